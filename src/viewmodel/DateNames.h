// DateNames: month and weekday names in the user's locale. The real one is LocaleDateNames.
#pragma once

#include <string>

namespace nubrel {

class DateNames {
 public:
  virtual ~DateNames() = default;
  // month 1-12. The full name as used inside a date ("21st March 2025"; Russian "марта").
  virtual std::string monthName(int month) const = 0;
  // The stand-alone full name, as in "This Month (March 2025)" (Russian "Март").
  virtual std::string standaloneMonthName(int month) const = 0;
  // weekday 0-6, Sunday first as in the C library. The abbreviation, "Mon" (German "Mo").
  virtual std::string weekdayAbbreviation(int weekday) const = 0;
};

}  // namespace nubrel
