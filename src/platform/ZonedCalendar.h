// ZonedCalendar: the Gregorian calendar in an IANA time zone, from the system's zone database.
#pragma once

#include <memory>
#include <string_view>

#include "service/Calendar.h"

namespace date {
class time_zone;
}

namespace nubrel {

class ZonedCalendar : public Calendar {
 public:
  // The user's zone: $TZ when it names a zone, else /etc/localtime, else UTC.
  static std::unique_ptr<ZonedCalendar> current();
  // nullptr when the database has no such zone.
  static std::unique_ptr<ZonedCalendar> named(std::string_view zoneName);

  CacheKey dayOf(Instant instant) const override;
  Instant startOf(const CacheKey& day) const override;
  std::optional<Instant> addingDays(Instant instant, int days) const override;
  std::chrono::minutes timeOfDay(Instant instant) const override;

  // The zone's name, "UTC" when no database was found.
  std::string_view zoneName() const;

 private:
  explicit ZonedCalendar(const date::time_zone* zone) : zone_(zone) {}
  const date::time_zone* zone_;  // owned by the database; nullptr: UTC without a database
};

}  // namespace nubrel
