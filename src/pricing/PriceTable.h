// PriceTable: what each model's tokens cost, read from the JSON price lists (the one shipped in
// share/nubrel/prices.json and the user's own), and how a model id finds its entry.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace nubrel {

// Prices in picodollars (10^-12 USD) per token, which is the same number as micro-dollars per
// million tokens: $1.25 per million tokens is 1'250'000. Integers, so that sums are exact.
struct TierRates {
  std::int64_t input = 0;
  std::int64_t cachedInput = 0;
  std::int64_t output = 0;
  std::optional<std::int64_t> cacheWrite =
      std::nullopt;  // absent: cache writes cost the input price
  friend bool operator==(const TierRates&, const TierRates&) = default;
};

struct ModelPrice {
  TierRates base;
  // For a request whose own input exceeds kLongContextInputTokens, where the provider has one.
  std::optional<TierRates> longContext = std::nullopt;
  friend bool operator==(const ModelPrice&, const ModelPrice&) = default;
};

class PriceTable {
 public:
  // The rates of gpt-5 and the gpt-5.1 family: what a model missing from the table costs.
  static constexpr ModelPrice kFallback{
      .base = {.input = 1'250'000, .cachedInput = 125'000, .output = 10'000'000}};

  struct Match {
    const ModelPrice* price;  // never null; points into the table or at kFallback
    bool fallback;            // the model has no entry of its own
  };

  PriceTable() = default;
  explicit PriceTable(std::map<std::string, ModelPrice> entries) : entries_(std::move(entries)) {}

  // A price list: {"models": {"<id>": {"input": 1.25, "cachedInput": 0.125, "output": 10,
  // "cacheWrite"?: 1.5, "longContext"?: {"input", "cachedInput", "output", "cacheWrite"?},
  // "source"?: "...", "read"?: "yyyy-mm-dd"}}}, prices in USD per million tokens with at most six
  // decimals. nullopt for anything else, however small the fault: a damaged list is not used.
  static std::optional<PriceTable> parse(std::string_view json);

  // The exact id; else the id without a trailing "-yyyy-mm-dd"; else the fallback. Never a
  // prefix: "gpt-5.1-codex-mini" is not "gpt-5.1-codex".
  Match find(std::string_view model) const;

  // Entries of `other` replace or add to this table's, id by id.
  void overrideWith(const PriceTable& other);

  const std::map<std::string, ModelPrice>& entries() const { return entries_; }

  friend bool operator==(const PriceTable&, const PriceTable&) = default;

 private:
  std::map<std::string, ModelPrice> entries_;
};

}  // namespace nubrel
