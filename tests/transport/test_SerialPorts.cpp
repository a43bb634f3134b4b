// How port numbers map to device names and back, on both platforms.
#include <gtest/gtest.h>

#include <cstdlib>

#include "uSerialPorts.h"

namespace {
using namespace portrules;

struct WinCase {
  int32_t Number;
  const char* Name;
};

class WindowsNames : public ::testing::TestWithParam<WinCase> {};

TEST_P(WindowsNames, ShortFormUpToNineLongFormFromTen) {
  const auto c = GetParam();
  EXPECT_EQ(WindowsDeviceName(c.Number), c.Name);
  EXPECT_EQ(WindowsNumberFromName(c.Name), c.Number);
}

INSTANTIATE_TEST_SUITE_P(Cases, WindowsNames,
                         ::testing::Values(WinCase{1, "COM1"}, WinCase{9, "COM9"}, WinCase{10, "\\\\.\\COM10"},
                                           WinCase{12, "\\\\.\\COM12"}, WinCase{256, "\\\\.\\COM256"}));

TEST(WindowsNames, NamesOfNoPort) {
  EXPECT_EQ(WindowsDeviceName(0), "");
  EXPECT_EQ(WindowsDeviceName(-3), "");
  EXPECT_EQ(WindowsNumberFromName("COM12"), 12);  // the list shows the short name
  EXPECT_EQ(WindowsNumberFromName("com3"), 3);
  for (const char* bad : {"", "COM", "COM0", "COM03", "COM-1", "COMx", "LPT1", "COM1 ", "COM99999999999"})
    EXPECT_EQ(WindowsNumberFromName(bad), -1) << bad;
}

struct LinuxCase {
  const char* Path;
  int32_t Number;
};

class LinuxNames : public ::testing::TestWithParam<LinuxCase> {};

TEST_P(LinuxNames, FamiliesRoundTrip) {
  const auto c = GetParam();
  EXPECT_EQ(LinuxNumberFromName(c.Path, ""), c.Number);
  EXPECT_EQ(LinuxDeviceName(c.Number, ""), c.Path);
}

INSTANTIATE_TEST_SUITE_P(Cases, LinuxNames,
                         ::testing::Values(LinuxCase{"/dev/ttyS0", 1}, LinuxCase{"/dev/ttyS998", 999},
                                           LinuxCase{"/dev/ttyUSB0", 1000}, LinuxCase{"/dev/ttyUSB999", 1999},
                                           LinuxCase{"/dev/ttyACM3", 2003}, LinuxCase{"/dev/ttyAMA1", 3001},
                                           LinuxCase{"/dev/ttymxc2", 4002}, LinuxCase{"/dev/rfcomm0", 5000}));

TEST(LinuxNames, PortListEntriesCountFromOneAfterTheBase) {
  const std::string list = "/tmp/vm-a::/dev/pts/7:/dev/ttyUSB2:";
  EXPECT_EQ(SplitPortList(list), (std::vector<std::string>{"/tmp/vm-a", "/dev/pts/7", "/dev/ttyUSB2"}));
  EXPECT_EQ(LinuxNumberFromName("/tmp/vm-a", list), 100001);
  EXPECT_EQ(LinuxNumberFromName("/dev/pts/7", list), 100002);
  EXPECT_EQ(LinuxDeviceName(100001, list), "/tmp/vm-a");
  EXPECT_EQ(LinuxDeviceName(100002, list), "/dev/pts/7");
  // A family path keeps its family number.
  EXPECT_EQ(LinuxNumberFromName("/dev/ttyUSB2", list), 1002);
  EXPECT_EQ(LinuxDeviceName(100004, list), "");
  EXPECT_EQ(LinuxNumberFromName("/dev/pts/8", list), -1);
}

TEST(LinuxNames, NamesAndNumbersOfNoPort) {
  for (int32_t n : {0, -1, 6000, 99999, 100000, 100001})
    EXPECT_EQ(LinuxDeviceName(n, ""), "") << n;
  for (const char* bad : {"", "/dev/ttyS", "/dev/ttyS999", "/dev/ttyS01", "/dev/ttyUSB1000", "/dev/ttyUSB-1",
                          "ttyUSB0", "/dev/ttySAC0", "/dev/ttyUSB0/"})
    EXPECT_EQ(LinuxNumberFromName(bad, ""), -1) << bad;
}

#ifndef _WIN32
TEST(SystemPorts, EnumerationUsesThePortListVariable) {
  const char* old = std::getenv("RK7140_PORTS");
  const std::string saved = old ? old : "";
  ::setenv("RK7140_PORTS", "/dev/null:/dev/rk7140-missing", 1);
  const auto ports = EnumSerialPortList();
  if (old) ::setenv("RK7140_PORTS", saved.c_str(), 1); else ::unsetenv("RK7140_PORTS");

  ASSERT_FALSE(ports.empty());
  EXPECT_EQ(ports.front().Name, "/dev/null");  // exists: listed first; the missing one is not
  EXPECT_EQ(ports.front().Number, 100001);
  for (size_t i = 2; i < ports.size(); ++i) EXPECT_LT(ports[i - 1].Number, ports[i].Number);
  for (const auto& p : ports) EXPECT_NE(p.Name, "/dev/rk7140-missing");
}

TEST(SystemPorts, NameAndNumberFollowTheVariable) {
  ::setenv("RK7140_PORTS", "/tmp/a:/tmp/b", 1);
  EXPECT_EQ(PortDeviceName(100002), "/tmp/b");
  EXPECT_EQ(PortNumberFromName("/tmp/b"), 100002);
  EXPECT_EQ(PortDeviceName(1001), "/dev/ttyUSB1");
  ::unsetenv("RK7140_PORTS");
  EXPECT_EQ(PortDeviceName(100002), "");
}
#else
TEST(SystemPorts, NamesAreTheWindowsOnes) {
  EXPECT_EQ(PortDeviceName(3), "COM3");
  EXPECT_EQ(PortDeviceName(10), "\\\\.\\COM10");
  for (const auto& p : EnumSerialPortList()) EXPECT_EQ(PortNumberFromName(p.Name), p.Number);
}
#endif
}  // namespace
