#include "uSerialPorts.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

#ifdef _WIN32
#include "uSerialWin32.h"
#else
#include <filesystem>
#include <fstream>
#include <system_error>
#endif

namespace portrules {
namespace {
struct TzFamily {
  std::string_view Prefix;
  int32_t Base;
  int32_t Count;
};
// ttyS starts at 1: port number 0 means no port.
constexpr TzFamily kFamilies[] = {
    {"/dev/ttyS", 1, 999},      {"/dev/ttyUSB", 1000, 1000}, {"/dev/ttyACM", 2000, 1000},
    {"/dev/ttyAMA", 3000, 1000}, {"/dev/ttymxc", 4000, 1000}, {"/dev/rfcomm", 5000, 1000},
};

// Plain decimal without a sign or leading zeros ("0" itself is fine).
bool ParseIndex(std::string_view aText, int64_t& aValue) {
  if (aText.empty() || aText.size() > 9 || (aText.size() > 1 && aText[0] == '0')) return false;
  if (!std::all_of(aText.begin(), aText.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  std::from_chars(aText.data(), aText.data() + aText.size(), aValue);
  return true;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return (x | 0x20) == (y | 0x20);
         });
}
}  // namespace

std::string WindowsDeviceName(int32_t aNumber) {
  if (aNumber < 1) return {};
  return (aNumber <= 9 ? "COM" : "\\\\.\\COM") + std::to_string(aNumber);
}

int32_t WindowsNumberFromName(std::string_view aName) {
  if (aName.size() >= 4 && aName.substr(0, 4) == "\\\\.\\") aName.remove_prefix(4);
  if (aName.size() < 3 || !EqualNoCase(aName.substr(0, 3), "COM")) return -1;
  int64_t n = 0;
  if (!ParseIndex(aName.substr(3), n) || n < 1) return -1;
  return static_cast<int32_t>(n);
}

std::vector<std::string> SplitPortList(std::string_view aList) {
  std::vector<std::string> items;
  while (!aList.empty()) {
    const auto colon = aList.find(':');
    const auto item = aList.substr(0, colon);
    if (!item.empty()) items.emplace_back(item);
    if (colon == std::string_view::npos) break;
    aList.remove_prefix(colon + 1);
  }
  return items;
}

int32_t LinuxFamilyNumber(std::string_view aPath) {
  for (const auto& f : kFamilies) {
    if (aPath.substr(0, f.Prefix.size()) != f.Prefix) continue;
    int64_t k = 0;
    if (!ParseIndex(aPath.substr(f.Prefix.size()), k)) continue;
    if (k < f.Count) return f.Base + static_cast<int32_t>(k);
    return -1;
  }
  return -1;
}

std::string LinuxDeviceName(int32_t aNumber, std::string_view aPortList) {
  if (aNumber > kExtraPortBase) {
    const auto items = SplitPortList(aPortList);
    const auto i = static_cast<size_t>(aNumber - kExtraPortBase);
    return i <= items.size() ? items[i - 1] : std::string();
  }
  for (const auto& f : kFamilies)
    if (aNumber >= f.Base && aNumber < f.Base + f.Count)
      return std::string(f.Prefix) + std::to_string(aNumber - f.Base);
  return {};
}

int32_t LinuxNumberFromName(std::string_view aName, std::string_view aPortList) {
  if (const auto n = LinuxFamilyNumber(aName); n >= 0) return n;
  const auto items = SplitPortList(aPortList);
  const auto it = std::find(items.begin(), items.end(), aName);
  if (it == items.end()) return -1;
  return kExtraPortBase + 1 + static_cast<int32_t>(it - items.begin());
}
}  // namespace portrules

#ifdef _WIN32

std::vector<TzSerialPortInfo> EnumSerialPortList() {
  std::vector<TzSerialPortInfo> ports;
  for (auto& name : SystemSerialPortNames()) {
    const auto n = portrules::WindowsNumberFromName(name);
    if (n > 0) ports.push_back({std::move(name), n});
  }
  std::sort(ports.begin(), ports.end(), [](const auto& a, const auto& b) { return a.Number < b.Number; });
  return ports;
}

std::string PortDeviceName(int32_t aNumber) { return portrules::WindowsDeviceName(aNumber); }
int32_t PortNumberFromName(std::string_view aName) { return portrules::WindowsNumberFromName(aName); }

#else

namespace {
std::string_view PortListVariable() {
  const char* value = std::getenv(std::string(kPortListVariable).c_str());
  return value ? value : "";
}

// A ttyS node is only a port when a driver backs it: the serial core reports
// its UART type (0 = none) in sysfs.
bool SerialCoreBacked(const std::string& aName) {
  std::error_code ec;
  const std::filesystem::path dir = "/sys/class/tty/" + aName;
  std::ifstream type(dir / "type");
  if (type) {
    int value = 0;
    return static_cast<bool>(type >> value) && value != 0;
  }
  return std::filesystem::exists(dir / "device", ec);
}
}  // namespace

std::vector<TzSerialPortInfo> EnumSerialPortList() {
  std::vector<TzSerialPortInfo> found;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/dev", ec)) {
    const std::string path = entry.path().string();
    const auto n = portrules::LinuxFamilyNumber(path);
    if (n < 0) continue;
    if (n < 1000 && !SerialCoreBacked(entry.path().filename().string())) continue;
    found.push_back({path, n});
  }
  // The family blocks are in number order, so one sort orders families and
  // the ports within each.
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.Number < b.Number; });

  // Ports named in the environment come first: whoever names a port (the
  // virtual module's start script, say) means it to be the one offered.
  std::vector<TzSerialPortInfo> ports;
  const auto list = PortListVariable();
  auto listed = [&ports](const std::string& aPath) {
    return std::any_of(ports.begin(), ports.end(), [&](const auto& p) { return p.Name == aPath; });
  };
  for (const auto& path : portrules::SplitPortList(list)) {
    if (listed(path) || !std::filesystem::exists(path, ec)) continue;
    ports.push_back({path, portrules::LinuxNumberFromName(path, list)});
  }
  for (auto& port : found) {
    if (!listed(port.Name)) ports.push_back(std::move(port));
  }
  return ports;
}

std::string PortDeviceName(int32_t aNumber) { return portrules::LinuxDeviceName(aNumber, PortListVariable()); }
int32_t PortNumberFromName(std::string_view aName) {
  return portrules::LinuxNumberFromName(aName, PortListVariable());
}

#endif
