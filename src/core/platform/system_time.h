// Times as the file model shows them: broken down into local calendar fields (the shape the panels,
// the date sort key and the archive formats all use), converted from the kernel's UTC seconds.
#pragma once

#include <cstdint>

namespace corvane::platform {

// A point in time as the kernel gives it: seconds and nanoseconds since 1970, UTC.
struct TFileTime {
  int64_t Sec = 0;
  uint32_t Nsec = 0;
};

// Local calendar time. Month and Day count from 1, DayOfWeek from 0 (Sunday).
struct TSystemTime {
  uint16_t Year = 0;
  uint16_t Month = 0;
  uint16_t DayOfWeek = 0;
  uint16_t Day = 0;
  uint16_t Hour = 0;
  uint16_t Minute = 0;
  uint16_t Second = 0;
  uint16_t Milliseconds = 0;

  friend bool operator==(const TSystemTime&, const TSystemTime&) = default;
};

// The local time of a UTC point in time, with the zone's offset on that date. Years outside
// 1..9999 are clamped so that every consumer can print four digits.
TSystemTime ToLocalSystemTime(TFileTime time);

} // namespace corvane::platform
