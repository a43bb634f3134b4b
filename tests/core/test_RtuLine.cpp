// The line settings' one table: what each format puts on the wire and into a
// DCB, and the module's codes.
#include <gtest/gtest.h>

#include "uRtuLine.h"

TEST(RtuLine, FormatsByIndexAndByModuleCode) {
  struct Case {
    int32_t index;
    const char* name;
    uint8_t dcbParity, dcbStopBits;
    int bits;
  };
  for (const Case& c :
       {Case{0, "8N1", 0, 0, 10}, Case{1, "8O1", 1, 0, 11}, Case{2, "8E1", 2, 0, 11}, Case{3, "8N2", 0, 2, 11}}) {
    const TzRtuFormat* format = RtuFormat(c.index);
    ASSERT_NE(format, nullptr) << c.name;
    EXPECT_EQ(format->Name, c.name);
    EXPECT_EQ(format->DcbParity, c.dcbParity) << c.name;
    EXPECT_EQ(format->DcbStopBits, c.dcbStopBits) << c.name;
    EXPECT_EQ(RtuBitsPerChar(*format), c.bits) << c.name;
    EXPECT_EQ(FormatCodeName(kRtuFirstFormatCode + c.index), std::string("RTU ") + c.name);
  }
  EXPECT_EQ(RtuFormat(-1), nullptr);
  EXPECT_EQ(RtuFormat(4), nullptr);
  EXPECT_EQ(FormatCodeName(1), "ASCII 7O1");
  EXPECT_EQ(FormatCodeName(3), "ASCII 7N2");
  EXPECT_FALSE(FormatCodeName(0));
  EXPECT_FALSE(FormatCodeName(8));
}

TEST(RtuLine, BaudCodesAndHelpTexts) {
  EXPECT_EQ(BaudRateOfCode(0), 1200);
  EXPECT_EQ(BaudRateOfCode(3), 9600);
  EXPECT_EQ(BaudRateOfCode(9), 115200);
  EXPECT_FALSE(BaudRateOfCode(-1));
  EXPECT_FALSE(BaudRateOfCode(10));
  EXPECT_EQ(BaudRatesText(), "1200 2400 4800 9600 14400 19200 28800 38400 57600 115200");
  EXPECT_EQ(FormatNamesText(), "8N1 8O1 8E1 8N2");
}
