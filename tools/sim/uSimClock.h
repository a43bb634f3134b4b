// The module's clock: the PC's local time plus an offset that writes set.
#pragma once

#include <array>
#include <cstdint>

// Year, month, day, hours, minutes, seconds: the order of registers 32768..32773.
using TzSimDateTime = std::array<int, 6>;

// Seconds since 1970-01-01 00:00 of a local civil time (no zone, no DST),
// and back.
int64_t CivilToSeconds(const TzSimDateTime& aTime);
TzSimDateTime SecondsToCivil(int64_t aSeconds);
bool IsValidDateTime(const TzSimDateTime& aTime);
int DaysInMonth(int aYear, int aMonth);

class TzSimClock {
 public:
  // aLocalNow: the PC's local civil time in seconds (CivilToSeconds scale).
  TzSimDateTime Read(int64_t aLocalNow) const { return SecondsToCivil(aLocalNow + fOffset); }

  // Sets field aField (0..5) of the running clock. A year or month that the
  // current day does not fit moves the day to the month's last day (the
  // panel writes year, month and day one after another). False, and the
  // clock unchanged, when the result is no possible date or time.
  bool WriteField(int aField, int aValue, int64_t aLocalNow);

 private:
  int64_t fOffset = 0;
};

// The PC's local time now, in the scale above.
int64_t LocalCivilNow();
