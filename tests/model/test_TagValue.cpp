// Tags and devices: defaults, SetValue, SetQuality, lookups, IsBitSet, value text.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

#include "uGlobals.h"
#include "uValueText.h"

namespace {

class TagValueTest : public ::testing::Test {
protected:
  void SetUp() override { SetDecimalSeparator(","); }
  void TearDown() override { ResetDecimalSeparator(); }
  TzTag tag;
};

TEST(TagDefaults, NewTagAndNewDevice) {
  const TzTag tag;
  EXPECT_EQ(tag.Value(), 0);
  EXPECT_EQ(tag.OPCValue(), 0);
  EXPECT_EQ(tag.Quality(), kQualityWaiting);
  EXPECT_EQ(tag.ValueStr, "0");
  EXPECT_TRUE(tag.IsChanged);
  EXPECT_TRUE(tag.Enabled);
  EXPECT_TRUE(tag.CanRead);
  EXPECT_TRUE(tag.CanWrite);
  EXPECT_FALSE(tag.IsNeed);
  EXPECT_EQ(tag.BitPos, -1);
  EXPECT_EQ(tag.Radius, 2147483647.0);
  EXPECT_EQ(tag.MinValue, -2147483647.0);
  EXPECT_EQ(tag.MaxValue, 2147483647.0);
  EXPECT_EQ(tag.Mode, TzTagMode::tmAll);
  EXPECT_EQ(tag.Device, nullptr);
  EXPECT_FALSE(tag.ModbusError);
  EXPECT_EQ(tag.ModbusErrorCode, 0);
  EXPECT_FALSE(tag.Force);
  EXPECT_FALSE(tag.OnResponse);
  EXPECT_FALSE(tag.OnChange);

  const TzDevice device;
  EXPECT_EQ(device.DevAddr, -1);
  EXPECT_EQ(device.DevType, -1);
  EXPECT_EQ(device.DevVersion, -1);
  EXPECT_EQ(device.Freq, 1000);
  EXPECT_EQ(device.IsLockedTime, 3000);
  EXPECT_FALSE(device.Ready);
  EXPECT_FALSE(device.IsLocked);
  EXPECT_EQ(device.Status, TzDeviceStatus::dsNone);
  EXPECT_TRUE(device.Tags.empty());
}

TEST_F(TagValueTest, FirstZeroMakesTheQualityGoodAndKeepsTheText) {
  tag.IsChanged = false;
  int changes = 0;
  tag.OnChange = [&] { ++changes; };
  tag.SetValue(0);
  EXPECT_EQ(tag.Quality(), kQualityGood);
  EXPECT_EQ(tag.ValueStr, "0");
  EXPECT_EQ(changes, 0);
  EXPECT_TRUE(tag.IsChanged);  // by the change of quality
}

TEST_F(TagValueTest, DefaultDeadBandRenewsTheTextOnlyOutsideIt) {
  int changes = 0;
  tag.OnChange = [&] { ++changes; };
  tag.SetValue(1.00001);
  EXPECT_EQ(tag.ValueStr, "1,00001");
  tag.SetValue(1.00005);
  EXPECT_EQ(tag.Value(), 1.00005);
  EXPECT_EQ(tag.OPCValue(), 1.00001);
  EXPECT_EQ(tag.ValueStr, "1,00001");
  tag.SetValue(1.0002);
  EXPECT_EQ(tag.ValueStr, "1,0002");
  EXPECT_EQ(changes, 2);
}

TEST_F(TagValueTest, OwnDeadBand) {
  tag.Radius = 5;
  tag.SetValue(10);
  EXPECT_EQ(tag.ValueStr, "10");
  tag.IsChanged = false;
  tag.SetValue(14);
  EXPECT_EQ(tag.ValueStr, "10");
  EXPECT_FALSE(tag.IsChanged);
  tag.SetValue(15);
  EXPECT_EQ(tag.ValueStr, "15");
  EXPECT_TRUE(tag.IsChanged);
}

TEST_F(TagValueTest, LimitsBindTheValueNotTheText) {
  const struct {
    double min, max, in, value;
    const char* text;
  } cases[] = {
      {kDefaultMinValue, kDefaultMaxValue, 4294967295.0, 2147483647.0, "4294967295"},
      {kDefaultMinValue, kDefaultMaxValue, -3e9, -2147483647.0, "-3000000000"},
      {0, 100, 150, 100, "150"},
      {0, 100, -1, 0, "-1"},
      {0, 100, 42.5, 42.5, "42,5"},
      // An empty range: the upper limit is applied last.
      {10, 0, 5, 0, "5"},
      {kDefaultMinValue, kDefaultMaxValue, std::numeric_limits<double>::infinity(), 2147483647.0,
       "INF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    TzTag limited;
    limited.MinValue = c.min;
    limited.MaxValue = c.max;
    limited.SetValue(c.in);
    EXPECT_EQ(limited.Value(), c.value);
    EXPECT_EQ(limited.OPCValue(), c.in);
    EXPECT_EQ(limited.ValueStr, c.text);
  }
}

TEST_F(TagValueTest, NaNOnlyEmptiesTheText) {
  tag.SetValue(7);
  tag.SetQuality(kQualityBadAnswer);
  tag.IsChanged = false;
  int changes = 0;
  tag.OnChange = [&] { ++changes; };
  tag.SetValue(std::nan(""));
  EXPECT_EQ(tag.ValueStr, "");
  EXPECT_EQ(tag.Value(), 7);
  EXPECT_EQ(tag.OPCValue(), 7);
  EXPECT_EQ(tag.Quality(), kQualityBadAnswer);
  EXPECT_FALSE(tag.IsChanged);
  EXPECT_EQ(changes, 0);
}

TEST_F(TagValueTest, SetQualityMarksOnlyAChange) {
  tag.IsChanged = false;
  tag.SetQuality(kQualityWaiting);
  EXPECT_FALSE(tag.IsChanged);
  tag.SetQuality(kQualityNoAnswer);
  EXPECT_TRUE(tag.IsChanged);
  EXPECT_EQ(tag.Quality(), kQualityNoAnswer);
}

TEST(ValueText, GeneralFormWith15Digits) {
  SetDecimalSeparator(",");
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {12.5, "12,5"},
      {-2, "-2"},
      {65534, "65534"},
      {0.1 + 0.2, "0,3"},
      {1.0 / 3, "0,333333333333333"},
      {123456789012345.0, "123456789012345"},
      {1234567890123456.0, "1,23456789012346E+15"},
      {1e20, "1E+20"},
      {0.0001, "0,0001"},
      {1.5e-7, "1,5E-07"},
      {-0.0, "0"},
      {-std::numeric_limits<double>::infinity(), "-INF"},
      {std::nan(""), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FloatToText(c.value), c.text) << c.value;
  SetDecimalSeparator("٫");  // a separator of more than one byte
  EXPECT_EQ(FloatToText(2.5), "2٫5");
  ResetDecimalSeparator();
}

TEST(ValueText, WithoutAChosenSeparatorFollowsTheCLocale) {
  ResetDecimalSeparator();
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  EXPECT_EQ(DecimalSeparator(), std::localeconv()->decimal_point);
  EXPECT_EQ(FloatToText(12.5), std::string("12") + std::localeconv()->decimal_point + "5");

  // A locale with a decimal comma, where the machine has one.
  bool found = false;
  for (const char* name : {"ru_RU.UTF-8", "ru_RU.utf8", "de_DE.UTF-8", "de_DE.utf8"}) {
    if (std::setlocale(LC_NUMERIC, name)) {
      found = true;
      break;
    }
  }
  if (found) {
    EXPECT_EQ(FloatToText(12.5), "12,5");
    SetDecimalSeparator(".");  // the panel's choice wins over the C locale
    EXPECT_EQ(FloatToText(12.5), "12.5");
    ResetDecimalSeparator();
  }
  std::setlocale(LC_NUMERIC, saved.c_str());
  if (!found) GTEST_SKIP() << "no locale with a decimal comma on this machine";
}

TEST(DeviceTags, AddTagAndGetTagByID) {
  TzDevice device;
  TzTag& first = device.AddTag();
  first.ID = 7;
  TzTag& second = device.AddTag();
  second.ID = 7;
  TzTag& other = device.AddTag();
  other.ID = -3;
  EXPECT_EQ(first.Device, &device);
  EXPECT_EQ(other.Device, &device);
  ASSERT_EQ(device.Tags.size(), 3u);
  EXPECT_EQ(device.Tags[1].get(), &second);
  EXPECT_EQ(device.GetTagByID(7), &first);
  EXPECT_EQ(device.GetTagByID(-3), &other);
  EXPECT_EQ(device.GetTagByID(0), nullptr);
}

TEST(BitTest, IsBitSetTakesTheBitModulo32) {
  const struct {
    int32_t value;
    uint8_t bit;
    bool set;
  } cases[] = {
      {0x0200, 9, true},  {0x0200, 8, false}, {0x0200, 41, true}, {1, 0, true},
      {1, 32, true},      {-1, 31, true},     {0x7FFFFFFF, 31, false},
      {INT32_MIN, 255, true},  // 255 mod 32 = 31
      {0, 0, false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsBitSet(c.value, c.bit), c.set) << c.value << " bit " << int(c.bit);
}

}  // namespace
