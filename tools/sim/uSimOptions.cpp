#include "uSimOptions.h"

#include <cstdio>
#include <cstdlib>
#include <set>

#include "uUtils.h"

const char kSimUsage[] =
    "usage: rk7140-sim [options]\n"
    "  --port DEVICE     serve a serial device instead of a new pseudo-terminal\n"
    "  --link PATH       also make PATH a symbolic link to the pseudo-terminal\n"
    "  --tty-defaults    leave the client's end of the pseudo-terminal in the kernel's default\n"
    "                    terminal mode (echo, line editing, XON/XOFF), as a freshly plugged\n"
    "                    serial adapter is, instead of raw\n"
    "  --address N       bus address 1..247 of the lone module (16)\n"
    "  --baud N          1200 2400 4800 9600 14400 19200 28800 38400 57600 115200 (9600)\n"
    "  --format F        8N1 8O1 8E1 8N2 (8N1)\n"
    "  --type N          device type answered in input register 36864 (74)\n"
    "  --static-inputs   inputs stay as set (all off) instead of the demo pattern\n"
    "  --inputs MASK     inputs 1..12 as bits 0..11; implies --static-inputs\n"
    "  --exec COMMAND    run a control command at start (repeatable), e.g. --exec \"fault delay 300\"\n"
    "  --verbose         log every request and answer on stderr\n"
    "a bus of several devices on the one line:\n"
    "  --module ADDR     a module at bus address ADDR (repeatable; instead of --address). Every\n"
    "                    module has its own state and takes --baud, --format, --type and the inputs\n"
    "  --foreign DEVICE  a device of another kind (repeatable): ADDR answers type 75 in 36864,\n"
    "                    ADDR:TYPE answers TYPE (0..65535), ADDR:exc:CODE answers exception CODE\n"
    "                    (1..255); exception 2 to any other read, 1 to any other function\n"
    "  --tap PATH        a listen-only tap: a second pseudo-terminal, linked at PATH, that carries\n"
    "                    every byte of the line in both directions; printed as \"tap: DEVICE\"\n"
    "                    on the line after \"ready: DEVICE\"; what a listener writes is dropped\n"
    "  --strict-line     answer only while the client's end of the pseudo-terminal is set to the\n"
    "                    device's baud rate and stop bits (parity cannot be checked); the tap\n"
    "                    then carries bytes only to a listener set to the speed they went at\n"
    "  --wire-timing     delay each answer by the time a real line takes: request and answer at\n"
    "                    10 bits a byte (11 with parity or 2 stop bits) plus the 3.5-character\n"
    "                    silence, at the answering device's baud rate\n"
    "network listeners, serving the same devices and state as the line:\n"
    "  --listen ENDPOINT tcp://HOST:PORT (Modbus RTU frames over TCP, as a serial device server\n"
    "                    in raw mode passes them) or modbus-tcp://HOST:PORT (Modbus TCP, as a\n"
    "                    gateway: a unit nobody answers gets exception 0x0B); repeatable; PORT 0\n"
    "                    picks a free port. One client at a time, one after another. Printed as\n"
    "                    \"listen: ENDPOINT\" lines after \"ready: DEVICE\" (and \"tap: DEVICE\")\n"
    "  --help            this text; \"help\" on stdin lists the control commands\n"
    "exit codes: 0 ended by a signal or \"quit\", 1 the port cannot be opened or served or a\n"
    "listener cannot listen, 2 a bad command line or --exec command\n";

namespace {

bool IntArg(const char* aText, int aMin, int aMax, int& aValue) {
  int32_t value = 0;
  if (!TryStrToInt32(aText, value) || value < aMin || value > aMax) return false;
  aValue = value;
  return true;
}

bool Usage(const std::string& aMessage) {
  std::fprintf(stderr, "rk7140-sim: %s\n%s", aMessage.c_str(), kSimUsage);
  return false;
}

// The devices' addresses must differ; foreign devices take the line settings.
bool CheckBus(TzSimOptions& aOptions, bool aAddressGiven) {
  if (!aOptions.Modules.empty() && aAddressGiven) {
    return Usage("--address is for a lone module; give each module of a bus with --module");
  }
  if (aOptions.Modules.empty()) aOptions.Modules.push_back(aOptions.Config.Address);
  std::set<int> used;
  for (const int address : aOptions.Modules) {
    if (!used.insert(address).second) return Usage("two devices at address " + std::to_string(address));
  }
  for (TzSimForeignConfig& device : aOptions.Foreign) {
    if (!used.insert(device.Address).second) return Usage("two devices at address " + std::to_string(device.Address));
    device.BaudCode = aOptions.Config.BaudCode;
    device.FormatCode = aOptions.Config.FormatCode;
  }
  return true;
}

}  // namespace

bool ParseSimOptions(int argc, char** argv, TzSimOptions& aOptions) {
  bool addressGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help") {
      std::fputs(kSimUsage, stdout);
      std::exit(0);
    }
    bool* flag = option == "--verbose"         ? &aOptions.Verbose
                 : option == "--tty-defaults"  ? &aOptions.TtyDefaults
                 : option == "--strict-line"   ? &aOptions.StrictLine
                 : option == "--wire-timing"   ? &aOptions.WireTiming
                                               : nullptr;
    if (flag != nullptr) {
      *flag = true;
      continue;
    }
    if (option == "--static-inputs") {
      aOptions.Config.DemoInputs = false;
      continue;
    }
    if (i + 1 >= argc) return Usage(option + " needs a value");
    const char* value = argv[++i];
    bool good = true;
    int number = 0;
    if (option == "--port") {
      aOptions.Port = value;
    } else if (option == "--link") {
      aOptions.Link = value;
    } else if (option == "--tap") {
      aOptions.Tap = value;
      good = !aOptions.Tap.empty();
    } else if (option == "--address") {
      good = IntArg(value, 1, 247, aOptions.Config.Address);
      addressGiven = true;
    } else if (option == "--module") {
      good = IntArg(value, 1, 247, number);
      if (good) aOptions.Modules.push_back(number);
    } else if (option == "--foreign") {
      TzSimForeignConfig device;
      good = ParseSimForeign(value, device);
      if (good) aOptions.Foreign.push_back(device);
    } else if (option == "--baud") {
      good = IntArg(value, 1, 1000000, number) && SimBaudCode(number) >= 0;
      if (good) aOptions.Config.BaudCode = SimBaudCode(number);
    } else if (option == "--format") {
      aOptions.Config.FormatCode = SimFormatCode(value);
      good = aOptions.Config.FormatCode >= 0;
    } else if (option == "--type") {
      good = IntArg(value, 0, 65535, aOptions.Config.DeviceType);
    } else if (option == "--inputs") {
      good = IntArg(value, 0, 0x0FFF, number);
      aOptions.Config.Inputs = static_cast<uint16_t>(number);
      aOptions.Config.DemoInputs = false;
    } else if (option == "--listen") {
      TzSimListenAddress address;
      good = ParseSimListen(value, address);
      if (good) aOptions.Listen.push_back(address);
    } else if (option == "--exec") {
      aOptions.Commands.emplace_back(value);
    } else {
      return Usage("unknown option " + option);
    }
    if (!good) return Usage("bad value \"" + std::string(value) + "\" for " + option);
  }
  return CheckBus(aOptions, addressGiven);
}
