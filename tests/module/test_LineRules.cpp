#include <gtest/gtest.h>

#include <array>

#include "uLineRules.h"

TEST(LineRules, MinimumTimeoutPerBaudRate) {
  const std::array<std::pair<int32_t, int32_t>, 10> table = {{{1200, 250},
                                                             {2400, 140},
                                                             {4800, 85},
                                                             {9600, 57},
                                                             {14400, 48},
                                                             {19200, 43},
                                                             {28800, 39},
                                                             {38400, 36},
                                                             {57600, 34},
                                                             {115200, 32}}};
  for (const auto& [baud, minimum] : table) {
    EXPECT_EQ(GetTimeout(baud), minimum) << baud;
    EXPECT_TRUE(CheckTimeout(minimum, baud)) << baud;
    EXPECT_FALSE(CheckTimeout(minimum - 1, baud)) << baud;
  }
  EXPECT_EQ(GetTimeout(0), 0);
  EXPECT_EQ(GetTimeout(-9600), 0);
}

TEST(LineRules, BaudCodesAndFormatNames) {
  EXPECT_EQ(BaudCodeOf(1200), 0);
  EXPECT_EQ(BaudCodeOf(9600), 3);
  EXPECT_EQ(BaudCodeOf(115200), 9);
  EXPECT_EQ(BaudCodeOf(9601), -1);
  EXPECT_EQ(FormatIndexOf("8N1"), 0);
  EXPECT_EQ(FormatIndexOf("8e1"), 2);
  EXPECT_EQ(FormatIndexOf("8N2"), 3);
  EXPECT_EQ(FormatIndexOf("7E1"), -1);
  EXPECT_EQ(FormatIndexOf("8N"), -1);
}
