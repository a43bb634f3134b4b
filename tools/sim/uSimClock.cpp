#include "uSimClock.h"

#include <ctime>

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back
// (the well-known era-based conversion).
int64_t DaysFromCivil(int64_t aYear, int aMonth, int aDay) {
  aYear -= aMonth <= 2 ? 1 : 0;
  const int64_t era = (aYear >= 0 ? aYear : aYear - 399) / 400;
  const int64_t yearOfEra = aYear - era * 400;
  const int64_t dayOfYear = (153 * (aMonth + (aMonth > 2 ? -3 : 9)) + 2) / 5 + aDay - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t aDays, int& aYear, int& aMonth, int& aDay) {
  aDays += 719468;
  const int64_t era = (aDays >= 0 ? aDays : aDays - 146096) / 146097;
  const int64_t dayOfEra = aDays - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  aDay = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  aMonth = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  aYear = static_cast<int>(yearOfEra + era * 400 + (aMonth <= 2 ? 1 : 0));
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

}  // namespace

int DaysInMonth(int aYear, int aMonth) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (aMonth < 1 || aMonth > 12) return 0;
  const bool leap = (aYear % 4 == 0 && aYear % 100 != 0) || aYear % 400 == 0;
  return aMonth == 2 && leap ? 29 : kDays[aMonth - 1];
}

bool IsValidDateTime(const TzSimDateTime& aTime) {
  const auto [year, month, day, hours, minutes, seconds] = aTime;
  return year >= 2000 && year <= 2099 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month) && hours >= 0 && hours <= 23 && minutes >= 0 &&
         minutes <= 59 && seconds >= 0 && seconds <= 59;
}

int64_t CivilToSeconds(const TzSimDateTime& aTime) {
  return DaysFromCivil(aTime[0], aTime[1], aTime[2]) * 86400 + aTime[3] * 3600 + aTime[4] * 60 +
         aTime[5];
}

TzSimDateTime SecondsToCivil(int64_t aSeconds) {
  const int64_t days = FloorDiv(aSeconds, 86400);
  const auto inDay = static_cast<int>(aSeconds - days * 86400);
  TzSimDateTime time{};
  CivilFromDays(days, time[0], time[1], time[2]);
  time[3] = inDay / 3600;
  time[4] = inDay / 60 % 60;
  time[5] = inDay % 60;
  return time;
}

bool TzSimClock::WriteField(int aField, int aValue, int64_t aLocalNow) {
  if (aField < 0 || aField > 5) return false;
  TzSimDateTime time = Read(aLocalNow);
  time[aField] = aValue;
  if (aField <= 1 && time[1] >= 1 && time[1] <= 12) {
    const int last = DaysInMonth(time[0], time[1]);
    if (time[2] > last) time[2] = last;
  }
  if (!IsValidDateTime(time)) return false;
  fOffset = CivilToSeconds(time) - aLocalNow;
  return true;
}

int64_t LocalCivilNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return CivilToSeconds({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                         local.tm_min, local.tm_sec});
}
