// Serial ports of the machine and how a port maps to the engine's port number.
//
// Windows: number n is the device "COM"n, opened as "COM"n (n <= 9) or
// "\\.\COM"n (n >= 10); the list is the data of the values under
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM.
//
// Linux: an item's name is its device path. Numbers follow fixed blocks of
// 1000 (k is the device's decimal index, 0..998 or 0..999):
//   /dev/ttyS<k> -> k + 1, /dev/ttyUSB<k> -> 1000 + k, /dev/ttyACM<k> -> 2000 + k,
//   /dev/ttyAMA<k> -> 3000 + k, /dev/ttymxc<k> -> 4000 + k, /dev/rfcomm<k> -> 5000 + k;
// any other path named in the colon-separated environment variable
// RK7140_PORTS is 100000 + i, i its 1-based position among the variable's
// non-empty entries. A path of a family above keeps its family number even
// when the variable names it too, so every path has exactly one number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TzSerialPortInfo {
  std::string Name;
  int32_t Number;
};

inline constexpr std::string_view kPortListVariable = "RK7140_PORTS";
inline constexpr int32_t kExtraPortBase = 100000;

// Windows: the SERIALCOMM ports sorted by number. Linux: /dev/ttyS* that a
// driver backs, then the other families' devices that exist, each family
// sorted by number, then the RK7140_PORTS paths that exist and are not
// listed yet, in the variable's order.
std::vector<TzSerialPortInfo> EnumSerialPortList();
// The device name to open for a port number; empty when none.
std::string PortDeviceName(int32_t aNumber);
// The port number of a name as EnumSerialPortList shows it (on Windows also
// the "\\.\COM"n form); -1 when the name maps to none.
int32_t PortNumberFromName(std::string_view aName);

// The rules of both platforms, independent of the one that runs them.
namespace portrules {
std::string WindowsDeviceName(int32_t aNumber);
int32_t WindowsNumberFromName(std::string_view aName);
// The non-empty entries of a colon-separated list.
std::vector<std::string> SplitPortList(std::string_view aList);
std::string LinuxDeviceName(int32_t aNumber, std::string_view aPortList);
int32_t LinuxNumberFromName(std::string_view aName, std::string_view aPortList);
// A family path's number; -1 when the path is of no family.
int32_t LinuxFamilyNumber(std::string_view aPath);
}  // namespace portrules
