#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "uPanelRules.h"

TEST(PanelRules, BaudAndFormatCodes) {
  const std::vector<std::pair<int32_t, const char*>> bauds = {
      {0, "1200"}, {3, "9600"}, {9, "115200"}, {10, nullptr}, {-1, nullptr}};
  for (const auto& [code, text] : bauds) {
    const auto shown = BaudCodeText(code);
    if (text == nullptr) {
      EXPECT_FALSE(shown) << code;
    } else {
      ASSERT_TRUE(shown) << code;
      EXPECT_EQ(*shown, QString::fromLatin1(text));
    }
  }
  const std::vector<std::pair<int32_t, const char*>> formats = {
      {0, nullptr}, {1, "ASCII 7O1"}, {3, "ASCII 7N2"}, {4, "RTU 8N1"}, {7, "RTU 8N2"}, {8, nullptr}};
  for (const auto& [code, text] : formats) {
    const auto shown = FormatCodeText(code);
    if (text == nullptr) {
      EXPECT_FALSE(shown) << code;
    } else {
      ASSERT_TRUE(shown) << code;
      EXPECT_EQ(*shown, QString::fromLatin1(text));
    }
  }
}

TEST(PanelRules, DateAndTimeTexts) {
  struct Case { int32_t a, b, c; const char* date; const char* time; };
  const Case cases[] = {
      {2021, 12, 31, "31.12.2021", nullptr},
      {2021, 2, 30, "...", nullptr},
      {2024, 2, 29, "29.02.2024", nullptr},
      {2021, 13, 1, "...", nullptr},
      {2021, 1, 0, "...", nullptr},
      {0, 1, 1, "...", nullptr},
      {21, 5, 4, "04.05.0021", nullptr},  // the year is used as the module gives it
      {23, 59, 59, nullptr, "23:59:59"},
      {0, 0, 0, nullptr, "00:00:00"},
      {24, 0, 0, nullptr, "..."},
      {12, 60, 0, nullptr, "..."},
      {12, 0, -1, nullptr, "..."},
  };
  for (const Case& c : cases) {
    if (c.date) {
      EXPECT_EQ(ModuleDateText(c.a, c.b, c.c), QString::fromLatin1(c.date)) << c.a << " " << c.b << " " << c.c;
    }
    if (c.time) {
      EXPECT_EQ(ModuleTimeText(c.a, c.b, c.c), QString::fromLatin1(c.time)) << c.a << " " << c.b << " " << c.c;
    }
  }
}

TEST(PanelRules, MacTextNeedsExactlySixBytes) {
  const std::vector<uint8_t> six = {0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};
  ASSERT_TRUE(MacText(six));
  EXPECT_EQ(*MacText(six), QStringLiteral("0A-1B-2C-3D-4E-5F"));
  const std::vector<uint8_t> five(six.begin(), six.begin() + 5);
  std::vector<uint8_t> seven = six;
  seven.push_back(0);
  EXPECT_FALSE(MacText(five));
  EXPECT_FALSE(MacText(seven));
  EXPECT_FALSE(MacText({}));
}

TEST(PanelRules, PortDigits) {
  const std::vector<std::pair<const char*, int32_t>> cases = {
      {"COM12", 12}, {"COM3", 3}, {"COM", 0}, {"", 0}, {"C1O2M3", 123}, {"COM99999999999", 0}};
  for (const auto& [item, number] : cases) EXPECT_EQ(PortDigitsNumber(QString::fromLatin1(item)), number) << item;
}
