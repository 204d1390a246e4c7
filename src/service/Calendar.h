// Calendar: the user's calendar days in their time zone, behind an interface so that tests can
// pin a zone. The real one is ZonedCalendar (platform/).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "model/Instant.h"

namespace nubrel {

// A calendar day: year, month 1-12, day 1-31 (Gregorian).
struct CacheKey {
  std::int64_t year = 0;
  std::int64_t month = 0;
  std::int64_t day = 0;
  friend bool operator==(const CacheKey&, const CacheKey&) = default;
};

// "yyyy-MM-dd", the day key of the service and the view model.
std::string dayKeyText(const CacheKey& day);

class Calendar {
 public:
  virtual ~Calendar() = default;
  // The calendar day that contains the instant.
  virtual CacheKey dayOf(Instant instant) const = 0;
  // The first instant of the day: local midnight, or where midnight falls into a daylight-saving
  // gap, the earliest instant of that day.
  virtual Instant startOf(const CacheKey& day) const = 0;
  // The instant moved by whole calendar days, keeping its local time of day where the zone
  // allows; nullopt when the result cannot be represented.
  virtual std::optional<Instant> addingDays(Instant instant, int days) const = 0;
  // The local wall-clock time of the instant since its day's midnight, whole minutes (0-1439).
  virtual std::chrono::minutes timeOfDay(Instant instant) const = 0;
};

}  // namespace nubrel
