#include "platform/system_time.h"

#include <ctime>

namespace corvane::platform {

TSystemTime ToLocalSystemTime(TFileTime time) {
  TSystemTime out;
  std::tm tm{};
  const time_t sec = static_cast<time_t>(time.Sec);
  if (!::localtime_r(&sec, &tm)) {
    out.Year = time.Sec < 0 ? 1 : 9999;
    out.Month = 1;
    out.Day = 1;
    return out;
  }
  const long year = static_cast<long>(tm.tm_year) + 1900;
  if (year < 1 || year > 9999) {
    out.Year = year < 1 ? 1 : 9999;
    out.Month = year < 1 ? 1 : 12;
    out.Day = year < 1 ? 1 : 31;
    return out;
  }
  out.Year = static_cast<uint16_t>(year);
  out.Month = static_cast<uint16_t>(tm.tm_mon + 1);
  out.DayOfWeek = static_cast<uint16_t>(tm.tm_wday);
  out.Day = static_cast<uint16_t>(tm.tm_mday);
  out.Hour = static_cast<uint16_t>(tm.tm_hour);
  out.Minute = static_cast<uint16_t>(tm.tm_min);
  out.Second = static_cast<uint16_t>(tm.tm_sec);
  out.Milliseconds = static_cast<uint16_t>(time.Nsec / 1000000u);
  return out;
}

} // namespace corvane::platform
