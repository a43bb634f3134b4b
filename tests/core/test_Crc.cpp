#include <gtest/gtest.h>

#include "uUtils.h"

TEST(ModbusCrc, CheckValueOverTheNineDigits) {
  const std::string digits = "123456789";
  EXPECT_EQ(ModbusCRC(std::span(reinterpret_cast<const uint8_t*>(digits.data()), digits.size())), 0x4B37);
  EXPECT_EQ(ModbusCRC(TStringBytes::FromText(digits), 9), 0x4B37);
}

TEST(ModbusCrc, CoversOnlyTheFirstNBytesOfABuffer) {
  const TStringBytes frame = TStringBytes::FromBytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A});
  EXPECT_EQ(ModbusCRC(frame, 6), 0x0A84);
  EXPECT_EQ(ModbusCRC(frame, 8), 0);  // a frame with its check sum sums to zero
  EXPECT_EQ(ModbusCRC(frame, 200), 0);  // cut to the buffer's length
  EXPECT_EQ(ModbusCRC(TStringBytes(), 5), 0xFFFF);
}
