// The PWM arithmetic of the outputs panel: on and off times from period and
// duty factor, period and duty factor from on and off times (the calculator),
// the clamping of the PWM fields and the time texts "h:mm:ss.t".
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// The longest time a time field may hold: 1:49:13.5, a period of 65535 tenths.
inline constexpr int64_t kShimTimeLimitMs = 6553500;
// The shortest PWM period the calculator gives: 0.1 s.
inline constexpr int64_t kShimMinTotalMs = 100;

// A millisecond count as hours (no leading zeros), ":", minutes (2 digits),
// ":", seconds (2 digits), ".", tenths (1 digit); whole days are dropped.
// Negative counts read as 0.
std::string MsToTimeStr(int64_t aMs);

struct TzTimeParts {
  int32_t Hours = 0, Minutes = 0, Seconds = 0, Tenths = 0;
  int64_t Ms() const { return Hours * 3600000LL + Minutes * 60000LL + Seconds * 1000LL + Tenths * 100LL; }
};
// Reads a time field of the mask "0:00:00.0": aBlank, spaces and underscores
// count as "0"; the text must have the mask's shape, minutes and seconds at
// most 59. aParts is filled when the shape and the 59s hold; the result is
// true when the time is also at most aLimitMs.
bool TryMaskTime(const std::string& aText, char aBlank, int64_t aLimitMs, TzTimeParts& aParts);

// Period (tenths of a second) and duty factor (tenths of a percent).
struct TzShimSetting {
  int32_t Period = 0;
  int32_t Duty = 0;
};
// The calculator's result for on and off times; none when their total is
// outside 100..6553500 ms.
std::optional<TzShimSetting> ShimFromOnOff(int64_t aOnMs, int64_t aOffMs);

// What a change of the three PWM fields does to the panel: texts to put into
// fields (none: leave the field alone). The clamps come first; the on/off
// times are only given when no clamp of the period or duty was needed.
struct TzShimFieldsUpdate {
  std::optional<std::string> SafeText, PeriodText, DutyText, OnText, OffText;
};
TzShimFieldsUpdate ShimFieldsChanged(const std::string& aPeriod, const std::string& aDuty, const std::string& aSafe);

// The calculator's examples.
struct TzShimExample {
  const char* Caption;
  const char* On;
  const char* Off;
};
inline constexpr TzShimExample kShimExamples[] = {
    {"(A) секунду ВКЛ, секунду ВЫКЛ", "0:00:01.0", "0:00:01.0"},
    {"(B) ВКЛ и ВЫКЛ за секунду", "0:00:00.5", "0:00:00.5"},
    {"(C) ВКЛ на 1 сек,  ВЫКЛ на 4 сек", "0:00:01.0", "0:00:04.0"},
    {"(D) ВКЛ на 5 сек, ВЫКЛ на 15 сек", "0:00:05.0", "0:00:15.0"},
};
