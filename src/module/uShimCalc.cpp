#include "uShimCalc.h"

#include <cstdio>

#include "uUtils.h"

std::string MsToTimeStr(int64_t aMs) {
  if (aMs < 0) aMs = 0;
  const int64_t inDay = aMs % 86400000;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%lld", static_cast<long long>(inDay / 3600000),
                static_cast<long long>(inDay / 60000 % 60), static_cast<long long>(inDay / 1000 % 60),
                static_cast<long long>(inDay / 100 % 10));
  return text;
}

bool TryMaskTime(const std::string& aText, char aBlank, int64_t aLimitMs, TzTimeParts& aParts) {
  static constexpr char kShape[] = "0:00:00.0";  // '0' a digit, anything else itself
  if (aText.size() != sizeof kShape - 1) return false;
  int32_t parts[4] = {};
  int part = 0;
  for (size_t i = 0; i < aText.size(); ++i) {
    char c = aText[i];
    if (kShape[i] != '0') {
      if (c != kShape[i]) return false;
      ++part;
      continue;
    }
    if (c == aBlank || c == ' ' || c == '_') c = '0';
    if (c < '0' || c > '9') return false;
    parts[part] = parts[part] * 10 + (c - '0');
  }
  if (parts[1] > 59 || parts[2] > 59) return false;
  aParts = TzTimeParts{parts[0], parts[1], parts[2], parts[3]};
  return aParts.Ms() <= aLimitMs;
}

std::optional<TzShimSetting> ShimFromOnOff(int64_t aOnMs, int64_t aOffMs) {
  const int64_t total = aOnMs + aOffMs;
  if (aOnMs < 0 || aOffMs < 0 || total < kShimMinTotalMs || total > kShimTimeLimitMs) return std::nullopt;
  return TzShimSetting{static_cast<int32_t>(total / 100), static_cast<int32_t>(aOnMs * 1000 / total)};
}

TzShimFieldsUpdate ShimFieldsChanged(const std::string& aPeriod, const std::string& aDuty, const std::string& aSafe) {
  TzShimFieldsUpdate update;
  int32_t period = 0, duty = 0, safe = 0;
  if (!TryStrToInt32(aPeriod, period) || !TryStrToInt32(aDuty, duty)) return update;
  if (TryStrToInt32(aSafe, safe) && safe > 1000) update.SafeText = "1000";
  if (period > 65535) {
    update.PeriodText = "65535";
  } else if (duty > 1000) {
    update.DutyText = "1000";
  } else if (period >= 0 && duty >= 0) {
    // Negative entries give no times; Apply refuses them anyway.
    update.OnText = MsToTimeStr(int64_t{period} * duty / 10);
    update.OffText = MsToTimeStr(int64_t{period} * (1000 - duty) / 10);
  }
  return update;
}
