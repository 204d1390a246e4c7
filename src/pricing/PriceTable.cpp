// PriceTable: parsing a price list and matching model ids.
#include "pricing/PriceTable.h"

#include <simdjson.h>

#include <cmath>

namespace nubrel {
namespace {

// Far above any real price, and small enough that tokens times price stays in range.
constexpr double kMaxDollarsPerMillion = 1'000'000.0;

// USD per million tokens to picodollars per token, only where that is exact to the
// micro-dollar: "0.1" is 100'000, "0.0000001" is refused rather than rounded.
std::optional<std::int64_t> rate(simdjson::dom::element value) {
  double dollars = 0;
  if (value.get_double().get(dollars) != simdjson::SUCCESS || !(dollars >= 0) ||
      dollars > kMaxDollarsPerMillion) {
    return std::nullopt;
  }
  const double scaled = dollars * 1e6;
  const double whole = std::round(scaled);
  // A decimal with six places is not exact in binary; its product with 10^6 lands within a few
  // ulps of the integer, while a seventh decimal lands at least 0.1 away.
  if (std::fabs(scaled - whole) > 1e-3) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(whole);
}

std::optional<std::int64_t> requiredRate(simdjson::dom::object object, std::string_view key) {
  simdjson::dom::element value;
  if (object[key].get(value) != simdjson::SUCCESS) {
    return std::nullopt;
  }
  return rate(value);
}

std::optional<TierRates> tier(simdjson::dom::element value) {
  simdjson::dom::object object;
  if (value.get_object().get(object) != simdjson::SUCCESS) {
    return std::nullopt;
  }
  const auto input = requiredRate(object, "input");
  const auto cachedInput = requiredRate(object, "cachedInput");
  const auto output = requiredRate(object, "output");
  if (!input || !cachedInput || !output) {
    return std::nullopt;
  }
  TierRates rates{.input = *input, .cachedInput = *cachedInput, .output = *output};
  simdjson::dom::element cacheWrite;
  if (object["cacheWrite"].get(cacheWrite) == simdjson::SUCCESS) {
    rates.cacheWrite = rate(cacheWrite);
    if (!rates.cacheWrite) {
      return std::nullopt;
    }
  }
  return rates;
}

std::optional<ModelPrice> modelPrice(simdjson::dom::element value) {
  std::optional<TierRates> base = tier(value);
  if (!base) {
    return std::nullopt;
  }
  ModelPrice price{.base = *base};
  simdjson::dom::element longContext;
  if (value["longContext"].get(longContext) == simdjson::SUCCESS) {
    price.longContext = tier(longContext);
    if (!price.longContext) {
      return std::nullopt;
    }
  }
  return price;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// "gpt-5-2025-08-07" to "gpt-5"; nullopt when the id does not end in "-dddd-dd-dd".
std::optional<std::string_view> withoutTrailingDate(std::string_view model) {
  constexpr std::string_view kShape = "-dddd-dd-dd";
  if (model.size() <= kShape.size()) {
    return std::nullopt;
  }
  const std::string_view tail = model.substr(model.size() - kShape.size());
  for (std::size_t i = 0; i < kShape.size(); ++i) {
    if (kShape[i] == 'd' ? !isDigit(tail[i]) : tail[i] != '-') {
      return std::nullopt;
    }
  }
  return model.substr(0, model.size() - kShape.size());
}

}  // namespace

std::optional<PriceTable> PriceTable::parse(std::string_view json) {
  simdjson::dom::parser parser;
  simdjson::dom::element document;
  simdjson::dom::object models;
  if (parser.parse(json.data(), json.size()).get(document) != simdjson::SUCCESS ||
      document["models"].get_object().get(models) != simdjson::SUCCESS) {
    return std::nullopt;
  }
  std::map<std::string, ModelPrice> entries;
  for (const auto field : models) {
    std::optional<ModelPrice> price = modelPrice(field.value);
    if (!price || field.key.empty()) {
      return std::nullopt;
    }
    entries.insert_or_assign(std::string(field.key), *price);
  }
  return PriceTable(std::move(entries));
}

PriceTable::Match PriceTable::find(std::string_view model) const {
  if (const auto exact = entries_.find(std::string(model)); exact != entries_.end()) {
    return {&exact->second, false};
  }
  if (const auto undated = withoutTrailingDate(model)) {
    if (const auto found = entries_.find(std::string(*undated)); found != entries_.end()) {
      return {&found->second, false};
    }
  }
  return {&kFallback, true};
}

void PriceTable::overrideWith(const PriceTable& other) {
  for (const auto& [model, price] : other.entries_) {
    entries_.insert_or_assign(model, price);
  }
}

}  // namespace nubrel
