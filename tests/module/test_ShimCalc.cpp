// The PWM arithmetic: the calculator, the time texts and the field clamps.
#include <gtest/gtest.h>

#include <string>

#include "uShimCalc.h"

namespace {

std::optional<int64_t> FieldMs(const std::string& aText) {
  TzTimeParts parts;
  if (!TryMaskTime(aText, ' ', kShimTimeLimitMs, parts)) return std::nullopt;
  return parts.Ms();
}

}  // namespace

TEST(ShimCalc, MsToTimeStr) {
  const std::pair<int64_t, const char*> cases[] = {
      {0, "0:00:00.0"},       {500, "0:00:00.5"},         {10000, "0:00:10.0"},    {1999, "0:00:01.9"},
      {6553500, "1:49:13.5"}, {36000000, "10:00:00.0"},   {86400000 + 61000, "0:01:01.0"}, {-5, "0:00:00.0"}};
  for (const auto& [ms, text] : cases) EXPECT_EQ(MsToTimeStr(ms), text) << ms;
}

TEST(ShimCalc, TimeFields) {
  EXPECT_EQ(FieldMs("0:00:01.0"), 1000);
  EXPECT_EQ(FieldMs("1:49:13.5"), 6553500);
  EXPECT_EQ(FieldMs(" :  :05.5"), 5500);      // blanks count as 0
  EXPECT_EQ(FieldMs("0:__:01._"), 1000);
  EXPECT_EQ(FieldMs("1:49:13.6"), std::nullopt);  // over the limit
  EXPECT_EQ(FieldMs("0:60:00.0"), std::nullopt);
  EXPECT_EQ(FieldMs("0:00:60.0"), std::nullopt);
  EXPECT_EQ(FieldMs("0:00:1.0"), std::nullopt);   // not the mask's shape
  EXPECT_EQ(FieldMs("0-00-01-0"), std::nullopt);
  EXPECT_EQ(FieldMs("0:0a:01.0"), std::nullopt);
  TzTimeParts parts;
  EXPECT_TRUE(TryMaskTime("0:0x:01.0", 'x', kShimTimeLimitMs, parts));  // the given blank character
  EXPECT_EQ(parts.Seconds, 1);
}

// The examples and the limits, as "Установить" computes them.
TEST(ShimCalc, Calculator) {
  struct Case {
    const char* on;
    const char* off;
    bool ok;
    int32_t period, duty;
  };
  const Case cases[] = {
      {kShimExamples[1].On, kShimExamples[1].Off, true, 10, 500},  // (B)
      {kShimExamples[2].On, kShimExamples[2].Off, true, 50, 200},  // (C)
      {kShimExamples[3].On, kShimExamples[3].Off, true, 200, 250}, // (D)
      {"1:49:13.5", "0:00:00.0", true, 65535, 1000},
      {"0:00:00.1", "0:00:00.0", true, 1, 1000},
      {"0:00:00.0", "0:00:00.0", false, 0, 0},
      {"1:49:13.5", "0:00:00.1", false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.on) + " / " + c.off);
    const std::optional<TzShimSetting> s = ShimFromOnOff(*FieldMs(c.on), *FieldMs(c.off));
    ASSERT_EQ(s.has_value(), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(s->Period, c.period);
    EXPECT_EQ(s->Duty, c.duty);
  }
  EXPECT_STREQ(kShimExamples[2].Caption, "(C) ВКЛ на 1 сек,  ВЫКЛ на 4 сек");
}

TEST(ShimCalc, FieldChangesClampAndGiveOnOffTimes) {
  using O = std::optional<std::string>;
  struct Case {
    const char *period, *duty, *safe;
    O safeText, periodText, dutyText, on, off;
  };
  const Case cases[] = {
      {"70000", "0", "0", {}, "65535", {}, {}, {}},
      {"100", "1500", "0", {}, {}, "1000", {}, {}},
      {"100", "0", "1001", "1000", {}, {}, "0:00:00.0", "0:00:10.0"},
      {"100", "1000", "0", {}, {}, {}, "0:00:10.0", "0:00:00.0"},
      {"50", "200", "200", {}, {}, {}, "0:00:01.0", "0:00:04.0"},
      {"65535", "1000", "x", {}, {}, {}, "1:49:13.5", "0:00:00.0"},
      {"", "500", "2000", {}, {}, {}, {}, {}},  // no period: nothing at all
      {"10", "abc", "0", {}, {}, {}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.period) + " " + c.duty + " " + c.safe);
    const TzShimFieldsUpdate u = ShimFieldsChanged(c.period, c.duty, c.safe);
    EXPECT_EQ(u.SafeText, c.safeText);
    EXPECT_EQ(u.PeriodText, c.periodText);
    EXPECT_EQ(u.DutyText, c.dutyText);
    EXPECT_EQ(u.OnText, c.on);
    EXPECT_EQ(u.OffText, c.off);
  }
}
