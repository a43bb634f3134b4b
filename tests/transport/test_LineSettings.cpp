// TzDCB and TzTimeouts laid over the platform records.
#include <gtest/gtest.h>

#include <cstring>

#include "uLineSettings.h"

namespace {
TzPlatformDCB SampleDCB() {
  TzPlatformDCB d{};
  d.DCBlength = sizeof d;
  d.BaudRate = 19200;
  SetDcbFlagsWord(d, dcbflag::Binary | (1u << 4) | dcbflag::AbortOnError);
  d.XonLim = 2048;
  d.XoffLim = 512;
  d.ByteSize = 7;
  d.Parity = 1;
  d.StopBits = 2;
  d.XonChar = 0x11;
  d.XoffChar = 0x13;
  d.ErrorChar = '?';
  d.EofChar = 0x1A;
  d.EvtChar = '\n';
  return d;
}

bool SameRecord(const TzPlatformDCB& a, const TzPlatformDCB& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(LineSettings, FreshObjectsChangeNothing) {
  const auto before = SampleDCB();
  auto record = before;
  TzDCB().AssignTo(record);
  EXPECT_TRUE(SameRecord(record, before));

  TzPlatformTimeouts t{1, 2, 3, 4, 5};
  TzTimeouts().AssignTo(t);
  EXPECT_EQ(t.ReadIntervalTimeout, 1u);
  EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 2u);
  EXPECT_EQ(t.ReadTotalTimeoutConstant, 3u);
  EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 4u);
  EXPECT_EQ(t.WriteTotalTimeoutConstant, 5u);
}

struct FlagsCase {
  int32_t Flags;
  bool OnlyMyFlags;
  uint32_t Expected;
};

class LineSettingsFlags : public ::testing::TestWithParam<FlagsCase> {};

TEST_P(LineSettingsFlags, FlagsAreOnlyAddedUnlessOnlyMyFlags) {
  const auto c = GetParam();
  TzPlatformDCB d{};
  SetDcbFlagsWord(d, (1u << 0) | (1u << 4) | (1u << 14));
  TzDCB dcb;
  dcb.Flags = c.Flags;
  dcb.OnlyMyFlags = c.OnlyMyFlags;
  dcb.AssignTo(d);
  EXPECT_EQ(DcbFlagsWord(d), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, LineSettingsFlags,
                         ::testing::Values(FlagsCase{1 << 2, false, (1u << 0) | (1u << 2) | (1u << 4) | (1u << 14)},
                                           FlagsCase{1 << 2, true, 1u << 2},
                                           FlagsCase{kNotSet, true, 0u},
                                           FlagsCase{kNotSet, false, (1u << 0) | (1u << 4) | (1u << 14)}));

TEST(LineSettings, FlagsWordSitsWhereTheRecordKeepsItsBits) {
  TzPlatformDCB d = SampleDCB();
  SetDcbFlagsWord(d, dcbflag::Parity | dcbflag::OutX);
  EXPECT_EQ(d.BaudRate, 19200u);  // neighbours untouched
  EXPECT_EQ(d.XonLim, 2048);
#ifdef _WIN32
  EXPECT_EQ(d.fParity, 1u);
  EXPECT_EQ(d.fOutX, 1u);
  EXPECT_EQ(d.fBinary, 0u);
#endif
}

TEST(LineSettings, SetFieldsAreCopiedWithTheirLowBits) {
  auto d = SampleDCB();
  TzDCB dcb;
  dcb.BaudRate = 115200;
  dcb.XonLim = 0x12345;   // wider than 16 bits
  dcb.XoffLim = 0x10007;
  dcb.ByteSize = 0x108;   // wider than 8 bits
  dcb.Parity = 2;
  dcb.StopBits = 0;
  dcb.wReserved = 99;     // never applied
  dcb.AssignTo(d);
  EXPECT_EQ(d.BaudRate, 115200u);
  EXPECT_EQ(d.XonLim, 0x2345);
  EXPECT_EQ(d.XoffLim, 0x0007);
  EXPECT_EQ(d.ByteSize, 8);
  EXPECT_EQ(d.Parity, 2);
  EXPECT_EQ(d.StopBits, 0);
  EXPECT_EQ(d.wReserved, SampleDCB().wReserved);
}

TEST(LineSettings, CharactersApplyOnlyWhileTheirSwitchIsOn) {
  TzDCB dcb;
  dcb.SetXonChar('a');
  dcb.SetXoffChar('b');
  dcb.SetErrorChar('c');
  dcb.SetEofChar('d');
  dcb.SetEvtChar('e');
  EXPECT_TRUE(dcb.bXonChar && dcb.bXoffChar && dcb.bErrorChar && dcb.bEofChar && dcb.bEvtChar);
  auto d = SampleDCB();
  dcb.AssignTo(d);
  EXPECT_EQ(std::string({d.XonChar, d.XoffChar, d.ErrorChar, d.EofChar, d.EvtChar}), "abcde");

  dcb.BaudRate = 1200;
  dcb.OnlyMyFlags = true;
  dcb.Clear();
  EXPECT_EQ(dcb.XonChar(), 'a');  // the value stays, it is just not applied
  EXPECT_EQ(dcb.BaudRate, kNotSet);
  EXPECT_FALSE(dcb.OnlyMyFlags);
  auto untouched = SampleDCB();
  dcb.AssignTo(untouched);
  EXPECT_TRUE(SameRecord(untouched, SampleDCB()));
}

TEST(LineSettings, TimeoutsCopySetFieldsAndNotSetMeansUntouched) {
  TzTimeouts to;
  to.ReadIntervalTimeout = 50;
  to.ReadTotalTimeoutConstant = kNotSet;  // behaves as not set
  to.WriteTotalTimeoutMultiplier = -1;    // all bits: the record's "maximum"
  TzPlatformTimeouts t{1, 2, 3, 4, 5};
  to.AssignTo(t);
  EXPECT_EQ(t.ReadIntervalTimeout, 50u);
  EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 2u);
  EXPECT_EQ(t.ReadTotalTimeoutConstant, 3u);
  EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 0xFFFFFFFFu);
  EXPECT_EQ(t.WriteTotalTimeoutConstant, 5u);
  to.Clear();
  EXPECT_EQ(to.ReadIntervalTimeout, kNotSet);
  EXPECT_EQ(to.WriteTotalTimeoutMultiplier, kNotSet);
}
}  // namespace
