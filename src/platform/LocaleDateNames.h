// LocaleDateNames: the month and weekday names of a C library locale, read once when made.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "viewmodel/DateNames.h"

namespace nubrel {

class LocaleDateNames : public DateNames {
 public:
  // The user's LC_TIME from the environment (LC_ALL, LC_TIME, LANG), whatever setlocale was
  // called with; English when it names no installed locale.
  static std::unique_ptr<LocaleDateNames> fromEnvironment();
  // A named locale such as "ru_RU.UTF-8"; nullptr when it is not installed.
  static std::unique_ptr<LocaleDateNames> named(const std::string& localeName);

  // month 1-12; an empty text for any other number.
  std::string monthName(int month) const override;
  std::string standaloneMonthName(int month) const override;
  // weekday 0-6; an empty text for any other number.
  std::string weekdayAbbreviation(int weekday) const override;

 private:
  LocaleDateNames() = default;
  // Names in UTF-8 only: the menu and the JSON report expect it. A locale with another codeset
  // gives the English names.
  static std::unique_ptr<LocaleDateNames> load(const char* localeName);

  std::array<std::string, 12> inDate_;
  std::array<std::string, 12> standalone_;
  std::array<std::string, 7> weekdays_;
};

}  // namespace nubrel
