#include "uSimControl.h"

#include <cstdlib>
#include <vector>

#include "uUtils.h"

namespace {

std::vector<std::string> Words(std::string_view aLine) {
  std::vector<std::string> words;
  size_t pos = 0;
  while (pos < aLine.size()) {
    while (pos < aLine.size() && (aLine[pos] == ' ' || aLine[pos] == '\t' || aLine[pos] == '\r')) ++pos;
    size_t end = pos;
    while (end < aLine.size() && aLine[end] != ' ' && aLine[end] != '\t' && aLine[end] != '\r') ++end;
    if (end > pos) words.emplace_back(aLine.substr(pos, end - pos));
    pos = end;
  }
  return words;
}

bool ParseInt(const std::string& aText, int aMin, int aMax, int& aValue) {
  int32_t value = 0;
  if (!TryStrToInt32(aText, value) || value < aMin || value > aMax) return false;
  aValue = value;
  return true;
}

bool ParseVolts(const std::string& aText, double& aValue) {
  char* end = nullptr;
  const double value = std::strtod(aText.c_str(), &end);
  if (aText.empty() || end == nullptr || *end != '\0' || !(value >= 0.0 && value <= 60.0)) return false;
  aValue = value;
  return true;
}

bool ParseOnOff(const std::string& aText, bool& aValue) {
  if (aText == "on" || aText == "1") aValue = true;
  else if (aText == "off" || aText == "0") aValue = false;
  else return false;
  return true;
}

TzSimCommandResult Fail(std::string& aReply, const std::string& aWhy) {
  aReply = "error: " + aWhy;
  return TzSimCommandResult::Error;
}

TzSimCommandResult Done(std::string& aReply) {
  aReply = "ok";
  return TzSimCommandResult::Ok;
}

TzSimCommandResult RunFault(TzSimModule& aModule, const std::vector<std::string>& aWords,
                            std::string& aReply) {
  TzSimFaultSettings faults = aModule.Faults();
  const std::string what = aWords.size() > 1 ? aWords[1] : "";
  const size_t args = aWords.size() - 2;
  if (what == "off" && args == 0) {
    faults = {};
  } else if (what == "delay" && args == 1) {
    if (!ParseInt(aWords[2], 0, 60000, faults.DelayMs)) return Fail(aReply, "delay: 0..60000 ms");
  } else if (what == "drop" && args == 1) {
    if (!ParseInt(aWords[2], 0, 100, faults.DropPercent)) return Fail(aReply, "drop: 0..100 %");
  } else if (what == "crc" && args == 1) {
    if (!ParseInt(aWords[2], 0, 100, faults.CrcPercent)) return Fail(aReply, "crc: 0..100 %");
  } else if (what == "from" && args == 1) {
    if (aWords[2] == "off") faults.FromAddress = -1;
    else if (!ParseInt(aWords[2], 0, 255, faults.FromAddress)) return Fail(aReply, "from: 0..255 or off");
  } else if (what == "noise" && args == 1) {
    if (!ParseInt(aWords[2], 0, 64, faults.NoiseBytes)) return Fail(aReply, "noise: 0..64 bytes");
  } else if ((what == "exception" || what == "write-exception") && (args == 1 || args == 2)) {
    std::map<uint16_t, uint8_t>& table = what == "exception" ? faults.Exceptions : faults.WriteExceptions;
    int reg = 0;
    int code = 0;
    if (!ParseInt(aWords[2], 0, 65535, reg)) return Fail(aReply, what + ": register 0..65535");
    if (args == 1 || aWords[3] == "off") {
      table.erase(static_cast<uint16_t>(reg));
    } else {
      if (!ParseInt(aWords[3], 1, 255, code)) return Fail(aReply, what + ": code 1..255 or off");
      table[static_cast<uint16_t>(reg)] = static_cast<uint8_t>(code);
    }
  } else {
    return Fail(aReply, "unknown fault command (see help)");
  }
  aModule.SetFaults(faults);
  return Done(aReply);
}

}  // namespace

TzSimCommandResult RunSimCommand(TzSimModule& aModule, std::string_view aLine, std::string& aReply) {
  aReply.clear();
  const std::vector<std::string> words = Words(aLine);
  if (words.empty() || words[0][0] == '#') return TzSimCommandResult::Ok;
  const std::string& command = words[0];
  const size_t args = words.size() - 1;
  if (command == "help" && args == 0) {
    aReply = SimCommandHelp();
    return TzSimCommandResult::Ok;
  }
  if (command == "status" && args == 0) {
    aReply = aModule.Status();
    return TzSimCommandResult::Ok;
  }
  if (command == "quit" && args == 0) {
    aReply = "ok";
    return TzSimCommandResult::Quit;
  }
  if (command == "inputs" && args == 1) {
    int mask = 0;
    if (!ParseInt(words[1], 0, 0x0FFF, mask)) return Fail(aReply, "inputs: a mask 0..0x0FFF");
    aModule.SetInputs(static_cast<uint16_t>(mask));
    return Done(aReply);
  }
  if (command == "input" && args == 2) {
    int input = 0;
    bool on = false;
    if (!ParseInt(words[1], 1, 12, input)) return Fail(aReply, "input: number 1..12");
    if (!ParseOnOff(words[2], on)) return Fail(aReply, "input: on or off");
    aModule.SetInput(input, on);
    return Done(aReply);
  }
  if (command == "demo" && args == 1) {
    bool on = false;
    if (!ParseOnOff(words[1], on)) return Fail(aReply, "demo: on or off");
    aModule.SetDemoInputs(on);
    return Done(aReply);
  }
  if (command == "type" && args == 1) {
    int type = 0;
    if (!ParseInt(words[1], 0, 65535, type)) return Fail(aReply, "type: 0..65535");
    aModule.SetDeviceType(type);
    return Done(aReply);
  }
  if (command == "supply" && args == 2) {
    double u1 = 0;
    double u2 = 0;
    if (!ParseVolts(words[1], u1) || !ParseVolts(words[2], u2)) return Fail(aReply, "supply: volts 0..60");
    aModule.SetSupply(u1, u2);
    return Done(aReply);
  }
  if (command == "fault") return RunFault(aModule, words, aReply);
  return Fail(aReply, "unknown command \"" + std::string(aLine) + "\" (see help)");
}

std::string SimCommandHelp() {
  return "commands (one a line; numbers decimal or 0x hex):\n"
         "  inputs MASK              inputs 1..12 as bits 0..11; stops the demo pattern\n"
         "  input N on|off           one input; stops the demo pattern\n"
         "  demo on|off              the walking demo pattern of the inputs\n"
         "  type N                   device type in input register 36864 (74 is the RK-7140)\n"
         "  supply U1 U2             supply voltages in volts\n"
         "  fault delay MS           answer MS milliseconds late\n"
         "  fault drop PCT           drop PCT % of the answers\n"
         "  fault crc PCT            spoil the check sum of PCT % of the answers\n"
         "  fault from ADDR|off      answer with another bus address\n"
         "  fault noise N            send N noise bytes before every answer\n"
         "  fault exception REG CODE answer CODE to requests that cover register REG\n"
         "  fault exception REG off  no longer\n"
         "  fault write-exception REG CODE|off  the same for write requests only\n"
         "  fault off                no faults\n"
         "  status                   one line of state\n"
         "  quit                     end the module";
}
