// LocaleDateNames through newlocale and nl_langinfo_l, so that reading the names never touches
// the process's global locale.
#include "platform/LocaleDateNames.h"

#include <langinfo.h>
#include <locale.h>

#include <string_view>

namespace nubrel {
namespace {

// MON_n is the form used inside a date ("марта" in "21 марта"), ALTMON_n the stand-alone form
// ("Март"); glibc has both since 2.27. They are consecutive items from MON_1 and ALTMON_1.
constexpr nl_item kInDateItems[] = {MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                                    MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
constexpr nl_item kStandaloneItems[] = {ALTMON_1, ALTMON_2,  ALTMON_3,  ALTMON_4,
                                        ALTMON_5, ALTMON_6,  ALTMON_7,  ALTMON_8,
                                        ALTMON_9, ALTMON_10, ALTMON_11, ALTMON_12};
constexpr nl_item kWeekdayItems[] = {ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4, ABDAY_5, ABDAY_6, ABDAY_7};

bool isUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x6  ? 2
                               : (lead >> 4) == 0xE  ? 3
                               : (lead >> 3) == 0x1E ? 4
                                                     : 0;
    if (length == 0 || i + length > text.size()) {
      return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
        return false;
      }
    }
    i += length;
  }
  return true;
}

// Owns a locale_t.
class LocaleObject {
 public:
  explicit LocaleObject(const char* name) : locale_(::newlocale(LC_TIME_MASK, name, nullptr)) {}
  ~LocaleObject() {
    if (locale_ != nullptr) {
      ::freelocale(locale_);
    }
  }
  LocaleObject(const LocaleObject&) = delete;
  LocaleObject& operator=(const LocaleObject&) = delete;
  locale_t get() const { return locale_; }

 private:
  locale_t locale_;
};

}  // namespace

std::unique_ptr<LocaleDateNames> LocaleDateNames::fromEnvironment() {
  if (auto names = load("")) {
    return names;
  }
  return load("C");
}

std::unique_ptr<LocaleDateNames> LocaleDateNames::named(const std::string& localeName) {
  return load(localeName.c_str());
}

std::unique_ptr<LocaleDateNames> LocaleDateNames::load(const char* localeName) {
  const LocaleObject locale(localeName);
  if (locale.get() == nullptr) {
    return nullptr;
  }
  std::unique_ptr<LocaleDateNames> names(new LocaleDateNames);
  for (std::size_t i = 0; i < 12; ++i) {
    names->inDate_[i] = ::nl_langinfo_l(kInDateItems[i], locale.get());
    names->standalone_[i] = ::nl_langinfo_l(kStandaloneItems[i], locale.get());
    if (!isUtf8(names->inDate_[i]) || !isUtf8(names->standalone_[i])) {
      return std::string_view(localeName) == "C" ? nullptr : load("C");
    }
  }
  for (std::size_t i = 0; i < 7; ++i) {
    names->weekdays_[i] = ::nl_langinfo_l(kWeekdayItems[i], locale.get());
    if (!isUtf8(names->weekdays_[i])) {
      return std::string_view(localeName) == "C" ? nullptr : load("C");
    }
  }
  return names;
}

std::string LocaleDateNames::monthName(int month) const {
  return month >= 1 && month <= 12 ? inDate_[static_cast<std::size_t>(month - 1)] : std::string();
}

std::string LocaleDateNames::standaloneMonthName(int month) const {
  return month >= 1 && month <= 12 ? standalone_[static_cast<std::size_t>(month - 1)]
                                   : std::string();
}

std::string LocaleDateNames::weekdayAbbreviation(int weekday) const {
  return weekday >= 0 && weekday <= 6 ? weekdays_[static_cast<std::size_t>(weekday)]
                                      : std::string();
}

}  // namespace nubrel
