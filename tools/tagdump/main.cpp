// rk7140-tags: loads the embedded register template "XMLDATA" and prints each
// tag with its ID, name and the read request it produces for the module at
// bus address 16 (hexadecimal bytes; "—" for a tag that is never read).
#include <cstdio>
#include <string>

#include "uGlobals.h"
#include "uTagRequests.h"
#include "uUtils.h"

namespace {

constexpr int kAddress = 16;

// aText followed by blanks up to aWidth characters (UTF-8 aware).
std::string Padded(const std::string& aText, size_t aWidth) {
  size_t chars = 0;
  for (unsigned char c : aText) chars += (c & 0xC0) != 0x80;
  return aText + std::string(chars < aWidth ? aWidth - chars : 0, ' ');
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    const bool help = std::string(argv[1]) == "--help";
    std::fprintf(help ? stdout : stderr,
                 "%susage: rk7140-tags\n"
                 "Lists the tags of the RK-7140 register template with the read request of each\n"
                 "for the module at bus address %d.\n",
                 help ? "" : "rk7140-tags: takes no arguments\n", kAddress);
    return help ? 0 : 2;
  }
  TzDevice device;
  device.DevAddr = kAddress;
  if (!device.LoadFromRes("XMLDATA")) {
    std::fprintf(stderr, "Ошибка загрузки таблицы регистров\n");
    return 1;
  }
  std::printf("Register template %s, version %d: %zu tags; read requests at address %d\n\n",
              device.DevName.c_str(), device.DevVersion, device.Tags.size(), kAddress);
  std::printf("%-8s %s %s\n", "ID", Padded("read request", 26).c_str(), "name");
  for (const auto& tag : device.Tags) {
    TStringBytes frame;
    const std::string request = BuildTagReadFrame(*tag, frame) ? HexBytes(frame.AsBytes()) : "—";
    std::printf("%-8d %s %s\n", tag->ID, Padded(request, 26).c_str(), tag->OPCName.c_str());
  }
  return 0;
}
