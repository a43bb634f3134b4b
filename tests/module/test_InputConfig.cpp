// The inputs' filter and counter coils, the filter bits and the counter bytes.
#include <gtest/gtest.h>

#include <vector>

#include "uInputConfig.h"
#include "uRecordingSink.h"

TEST(InputConfig, CoilsOfEachInput) {
  struct Case { int input; int32_t type; TzWrite write; };
  const Case filters[] = {{1, ftShort, {2, 0, true}}, {7, ftLong, {770, 1, true}}, {12, ftLong, {1410, 1, true}}};
  for (const Case& c : filters) {
    TzRecordingSink sink;
    EXPECT_TRUE(WriteFilterType(sink, c.input, c.type));
    EXPECT_EQ(sink.Writes, std::vector<TzWrite>{c.write}) << c.input;
  }
  TzRecordingSink sink;
  EXPECT_TRUE(ResetPulseCounter(sink, 12));
  EXPECT_TRUE(ResetPulseCounter(sink, 1));
  EXPECT_EQ(sink.Writes, (std::vector<TzWrite>{{1409, 1, true}, {1, 1, true}}));

  // Inputs and types the module does not have write nothing.
  TzRecordingSink none;
  EXPECT_FALSE(WriteFilterType(none, 0, ftShort));
  EXPECT_FALSE(WriteFilterType(none, 13, ftShort));
  EXPECT_FALSE(WriteFilterType(none, 3, 2));
  EXPECT_FALSE(ResetPulseCounter(none, 13));
  EXPECT_TRUE(none.Writes.empty());
}

TEST(InputConfig, FilterBits) {
  const int32_t expected[6] = {1, 0, 1, 0, 0, 0};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(FilterTypeOfInput(0x0005, i), expected[i]) << i;
}

TEST(InputConfig, CountersFromBytes) {
  struct Case { std::vector<uint8_t> bytes; std::vector<int32_t> counters; };
  std::vector<uint8_t> many(27, 0);
  many[22] = 0x12;
  many[23] = 0x34;
  many[24] = 0xFF;  // a thirteenth pair is not shown
  many[25] = 0xFF;
  const Case cases[] = {
      {{0x01, 0x02}, {258}},
      {{0xFF, 0xFF, 0x00, 0x00}, {65535, 0}},
      {{0x00, 0x07, 0x01}, {7}},  // a trailing odd byte is ignored
      {{0x05}, {}},
      {{}, {}},
      {many, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x1234}},
  };
  for (const Case& c : cases) EXPECT_EQ(PulseCountersFromBytes(c.bytes), c.counters) << c.bytes.size();
}
