#include <gtest/gtest.h>

#include "uUtils.h"

TEST(IntText, AcceptsTheAttributeSyntax) {
  struct Case {
    const char* text;
    int32_t value;
  };
  const Case cases[] = {
      {"0", 0},           {"42", 42},           {"  42", 42},        {"+7", 7},
      {"-2147483647", -2147483647}, {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},
      {"$1F", 31},        {"x1f", 31},          {"0x9000", 36864},   {"0X10", 16},
      {" -$10", -16},     {"$FFFFFFFF", -1},    {"007", 7},
  };
  for (const Case& c : cases) {
    int32_t value = 123;
    EXPECT_TRUE(TryStrToInt32(c.text, value)) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
}

TEST(IntText, RefusesAnythingElseAndLeavesTheValue) {
  const char* cases[] = {"", " ", "-", "$", "0x", "1.5", "12a", "a", "42 ", "2147483648",
                         "-2147483649", "$100000000", "1e3", "0x1G", "--1", "+-1"};
  for (const char* text : cases) {
    int32_t value = 123;
    EXPECT_FALSE(TryStrToInt32(text, value)) << '"' << text << '"';
    EXPECT_EQ(value, 123) << text;
  }
}

TEST(HexText, TwoUpperCaseDigitsPerByte) {
  const std::vector<uint8_t> frame = {0x10, 0x03, 0xEA, 0xA6, 0x00, 0x01};
  EXPECT_EQ(HexBytes(frame), "10 03 EA A6 00 01");
  EXPECT_EQ(HexBytes(frame, '.'), "10.03.EA.A6.00.01");
  EXPECT_EQ(HexBytes(std::vector<uint8_t>{0xFF}), "FF");
  EXPECT_EQ(HexBytes({}), "");
}
