// The module's RS-485 settings, clock and restart: the texts accepted and the
// writes (tag, value, forced) in their order.
#include <gtest/gtest.h>

#include <vector>

#include "uDeviceSettings.h"
#include "uRecordingSink.h"

TEST(DeviceSettings, RS485SettingsAreWrittenInOrder) {
  TzRS485Field failed{};
  const std::optional<TzRS485Settings> s = ParseRS485Settings("32", "10", 5, 2, failed);
  ASSERT_TRUE(s.has_value());
  TzRecordingSink sink;
  EXPECT_TRUE(WriteRS485Settings(sink, *s));
  EXPECT_EQ(sink.Writes, (std::vector<TzWrite>{{28676, 32, true}, {28672, 5, true}, {28673, 6, true}, {28680, 10, true}}));
  for (int32_t index = 0; index < 4; ++index) EXPECT_EQ(RS485FormatCode(index), index + 4);
}

TEST(DeviceSettings, RS485TextsThatAreNoIntegers) {
  struct Case { const char *address, *timeout; bool ok; TzRS485Field failed; };
  const Case cases[] = {
      {"", "10", false, TzRS485Field::Address},
      {"abc", "", false, TzRS485Field::Address},  // the address is checked first
      {"16", "", false, TzRS485Field::Timeout},
      {"16", "1.5", false, TzRS485Field::Timeout},
      {"300", "-1", true, {}},  // out of the module's ranges: the module decides
  };
  for (const Case& c : cases) {
    // Starts as the other field, so the check sees that it was set.
    TzRS485Field failed = c.failed == TzRS485Field::Address ? TzRS485Field::Timeout : TzRS485Field::Address;
    const std::optional<TzRS485Settings> s = ParseRS485Settings(c.address, c.timeout, 3, 0, failed);
    EXPECT_EQ(s.has_value(), c.ok) << c.address << "/" << c.timeout;
    if (!c.ok) {
      EXPECT_EQ(failed, c.failed) << c.address << "/" << c.timeout;
    }
  }
  // Indices outside the lists write nothing.
  TzRecordingSink sink;
  EXPECT_FALSE(WriteRS485Settings(sink, {16, 10, 0, 0}));
  EXPECT_FALSE(WriteRS485Settings(sink, {16, 3, -1, 0}));
  EXPECT_FALSE(WriteRS485Settings(sink, {16, 3, 4, 0}));
  EXPECT_TRUE(sink.Writes.empty());
}

TEST(DeviceSettings, ClockAndRestart) {
  TzRecordingSink sink;
  WriteModuleClock(sink, {2021, 12, 31, 23, 59, 58});
  WriteRestart(sink);
  EXPECT_EQ(sink.Writes, (std::vector<TzWrite>{{32768, 2021, true},
                                               {32769, 12, true},
                                               {32770, 31, true},
                                               {32771, 23, true},
                                               {32772, 59, true},
                                               {32773, 58, true},
                                               {60000, 21930, false}}));
}
