// The POSIX record <-> termios mapping, including what a pseudo-terminal
// cannot show: parity, mark and space, hardware flow control.
#include <gtest/gtest.h>

#include "uTermiosMapping.h"

namespace {
TzPlatformDCB Record(uint32_t aBaud, uint8_t aSize, uint8_t aParity, uint8_t aStop, uint32_t aFlags = dcbflag::Binary) {
  TzPlatformDCB d{};
  d.BaudRate = aBaud;
  d.ByteSize = aSize;
  d.Parity = aParity;
  d.StopBits = aStop;
  SetDcbFlagsWord(d, aFlags);
  return d;
}

termios Cooked() {
  termios t{};
  t.c_iflag = ICRNL | IXON | BRKINT;
  t.c_oflag = OPOST;
  t.c_lflag = ECHO | ICANON | ISIG;
  t.c_cflag = CS7 | PARENB | CREAD;
  t.c_cc[VMIN] = 1;
  return t;
}

struct FormatCase {
  uint8_t Parity;
  uint8_t StopBits;
  tcflag_t Cflag;  // the format bits expected
};

class TermiosFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(TermiosFormat, ParityAndStopBitsRoundTrip) {
  const auto c = GetParam();
  termios t = Cooked();
  ASSERT_TRUE(DcbToTermios(Record(9600, 8, c.Parity, c.StopBits), t));
  tcflag_t mask = PARENB | PARODD | CSTOPB | CSIZE;
#ifdef CMSPAR
  mask |= CMSPAR;
#endif
  EXPECT_EQ(t.c_cflag & mask, c.Cflag | CS8);
  const auto back = TermiosToDcb(t);
  EXPECT_EQ(back.Parity, c.Parity);
  EXPECT_EQ(back.StopBits, c.StopBits);
  EXPECT_EQ(back.ByteSize, 8);
  EXPECT_EQ(back.BaudRate, 9600u);
}

const FormatCase kFormats[] = {
    {0, 0, 0}, {1, 0, PARENB | PARODD}, {2, 0, PARENB}, {0, 2, CSTOPB}, {2, 2, PARENB | CSTOPB},
#ifdef CMSPAR
    {3, 0, PARENB | PARODD | CMSPAR}, {4, 0, PARENB | CMSPAR},
#endif
};
INSTANTIATE_TEST_SUITE_P(Formats, TermiosFormat, ::testing::ValuesIn(kFormats));

TEST(TermiosMapping, RawModeAndTheSpeedsOfThePanel) {
  for (uint32_t baud : {1200u, 2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u}) {
    termios t = Cooked();
    ASSERT_TRUE(DcbToTermios(Record(baud, 8, 0, 0), t)) << baud;
    EXPECT_EQ(SpeedToBaud(cfgetospeed(&t)), baud);
    EXPECT_EQ(SpeedToBaud(cfgetispeed(&t)), baud);
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | IXON | BRKINT | INPCK), 0u);
    EXPECT_NE(t.c_cflag & CREAD, 0u);
    EXPECT_NE(t.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
  }
}

TEST(TermiosMapping, WhatTermiosCannotDoIsRefusedAndLeavesTheRecord) {
  const TzPlatformDCB bad[] = {Record(12345, 8, 0, 0), Record(0, 8, 0, 0), Record(9600, 4, 0, 0),
                               Record(9600, 9, 0, 0), Record(9600, 8, 5, 0), Record(9600, 8, 0, 1),
                               Record(9600, 8, 0, 3)};
  for (const auto& d : bad) {
    termios t = Cooked();
    const termios before = t;
    EXPECT_FALSE(DcbToTermios(d, t)) << d.BaudRate << " " << int(d.ByteSize) << int(d.Parity) << int(d.StopBits);
    EXPECT_EQ(t.c_cflag, before.c_cflag);
    EXPECT_EQ(t.c_lflag, before.c_lflag);
  }
}

TEST(TermiosMapping, FlowControlAndParityCheckFlags) {
  termios t = Cooked();
  const uint32_t flags = dcbflag::Binary | dcbflag::Parity | dcbflag::OutX | dcbflag::InX |
                         (2u << dcbflag::RtsControlShift);
  auto d = Record(9600, 8, 2, 0, flags);
  d.XonChar = 0x21;
  d.XoffChar = 0x23;
  ASSERT_TRUE(DcbToTermios(d, t));
  EXPECT_NE(t.c_iflag & INPCK, 0u);
  EXPECT_NE(t.c_iflag & IXON, 0u);
  EXPECT_NE(t.c_iflag & IXOFF, 0u);
#ifdef CRTSCTS
  EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
#endif
  EXPECT_EQ(t.c_cc[VSTART], 0x21);
  EXPECT_EQ(t.c_cc[VSTOP], 0x23);
  const auto back = TermiosToDcb(t);
  const uint32_t word = DcbFlagsWord(back);
  EXPECT_NE(word & dcbflag::Parity, 0u);
  EXPECT_NE(word & dcbflag::OutX, 0u);
  EXPECT_NE(word & dcbflag::InX, 0u);
  EXPECT_EQ(back.XonChar, 0x21);

  // Without the flags the same record turns them off again.
  ASSERT_TRUE(DcbToTermios(Record(9600, 8, 2, 0), t));
  EXPECT_EQ(t.c_iflag & (INPCK | IXON | IXOFF), 0u);
#ifdef CRTSCTS
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
#endif
}
}  // namespace
