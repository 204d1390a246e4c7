// ZonedCalendar on Howard Hinnant's date/tz (GCC 12 has no std::chrono::current_zone).
#include "platform/ZonedCalendar.h"

#include <date/tz.h>

#include <cstdlib>
#include <string>

namespace nubrel {
namespace {

using date::local_days;
using date::year_month_day;

// Local time is kept as microseconds since the local epoch.
using LocalTime = date::local_time<std::chrono::microseconds>;

LocalTime toLocal(const date::time_zone* zone, Instant instant) {
  if (zone == nullptr) {
    return LocalTime{instant.time_since_epoch()};
  }
  return zone->to_local(instant);
}

Instant toInstant(const date::time_zone* zone, LocalTime local) {
  if (zone == nullptr) {
    return Instant{local.time_since_epoch()};
  }
  // A local time in a daylight-saving gap maps to the end of the gap, the earliest instant that
  // exists; a repeated local time to its first occurrence.
  return zone->to_sys(local, date::choose::earliest);
}

// The date library's year covers -32767..32767; beyond it nothing is meaningful anyway.
bool representable(const CacheKey& day) {
  return day.year >= -32000 && day.year <= 32000 && day.month >= 1 && day.month <= 12 &&
         day.day >= 1 && day.day <= 31;
}

const date::time_zone* locate(std::string_view name) {
  try {
    return date::locate_zone(name);
  } catch (const std::exception&) {
    return nullptr;
  }
}

}  // namespace

std::unique_ptr<ZonedCalendar> ZonedCalendar::named(std::string_view zoneName) {
  const date::time_zone* zone = locate(zoneName);
  return zone ? std::unique_ptr<ZonedCalendar>(new ZonedCalendar(zone)) : nullptr;
}

std::unique_ptr<ZonedCalendar> ZonedCalendar::current() {
  if (const char* tz = std::getenv("TZ"); tz != nullptr && *tz != '\0') {
    std::string_view name(tz);
    if (name.front() == ':') {
      name.remove_prefix(1);  // the POSIX "implementation-defined" form, ":Europe/Berlin"
    }
    constexpr std::string_view kZoneinfo = "/usr/share/zoneinfo/";
    if (name.starts_with(kZoneinfo)) {
      name.remove_prefix(kZoneinfo.size());
    }
    if (auto calendar = named(name)) {
      return calendar;
    }
  }
  try {
    return std::unique_ptr<ZonedCalendar>(new ZonedCalendar(date::current_zone()));
  } catch (const std::exception&) {
    return std::unique_ptr<ZonedCalendar>(new ZonedCalendar(locate("UTC")));
  }
}

std::string_view ZonedCalendar::zoneName() const {
  if (zone_ == nullptr) {
    return "UTC";
  }
  return zone_->name();
}

CacheKey ZonedCalendar::dayOf(Instant instant) const {
  const year_month_day ymd{date::floor<date::days>(toLocal(zone_, instant))};
  return {.year = int{ymd.year()}, .month = unsigned{ymd.month()}, .day = unsigned{ymd.day()}};
}

Instant ZonedCalendar::startOf(const CacheKey& day) const {
  if (!representable(day)) {
    return Instant{};
  }
  const year_month_day ymd{date::year{static_cast<int>(day.year)},
                           date::month{static_cast<unsigned>(day.month)},
                           date::day{static_cast<unsigned>(day.day)}};
  return toInstant(zone_, LocalTime{local_days{ymd}});
}

std::optional<Instant> ZonedCalendar::addingDays(Instant instant, int days) const {
  const LocalTime local = toLocal(zone_, instant);
  const auto day = date::floor<date::days>(local);
  const year_month_day moved{day + date::days{days}};
  if (!moved.ok() || int{moved.year()} < -32000 || int{moved.year()} > 32000) {
    return std::nullopt;
  }
  return toInstant(zone_, LocalTime{local_days{moved}} + (local - day));
}

std::chrono::minutes ZonedCalendar::timeOfDay(Instant instant) const {
  const LocalTime local = toLocal(zone_, instant);
  return date::floor<std::chrono::minutes>(local - date::floor<date::days>(local));
}

}  // namespace nubrel
