#include "uSimBusControl.h"

#include "uUtils.h"

namespace {

std::string_view Trimmed(std::string_view aText) {
  const size_t first = aText.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const size_t last = aText.find_last_not_of(" \t\r");
  return aText.substr(first, last - first + 1);
}

// The first word and the rest after it.
std::pair<std::string_view, std::string_view> Split(std::string_view aText) {
  const size_t end = aText.find_first_of(" \t");
  if (end == std::string_view::npos) return {aText, {}};
  return {aText.substr(0, end), Trimmed(aText.substr(end))};
}

TzSimCommandResult Fail(std::string& aReply, const std::string& aWhy) {
  aReply = "error: " + aWhy;
  return TzSimCommandResult::Error;
}

bool ParseInt(std::string_view aText, int aMin, int aMax, int& aValue) {
  int32_t value = 0;
  if (!TryStrToInt32(aText, value) || value < aMin || value > aMax) return false;
  aValue = value;
  return true;
}

TzSimCommandResult RunForeign(TzSimForeign& aDevice, std::string_view aCommand, std::string& aReply) {
  const auto [word, rest] = Split(aCommand);
  int value = 0;
  if (word == "status" && rest.empty()) {
    aReply = aDevice.Status();
    return TzSimCommandResult::Ok;
  }
  if (word == "type") {
    const auto [first, code] = Split(rest);
    if (first == "exc") {
      if (!ParseInt(code, 1, 255, value)) return Fail(aReply, "type exc: code 1..255");
      aDevice.SetException(value);
    } else {
      if (!ParseInt(rest, 0, 65535, value)) return Fail(aReply, "type: 0..65535 or exc CODE");
      aDevice.SetType(value);
    }
    aReply = "ok";
    return TzSimCommandResult::Ok;
  }
  return Fail(aReply, "a foreign device takes only \"type N\", \"type exc CODE\" and \"status\"");
}

TzSimCommandResult RunSwitch(std::string_view aWhat, std::string_view aValue, void (TzSimBus::*aSet)(bool),
                             TzSimBus& aBus, std::string& aReply) {
  if (aValue != "on" && aValue != "off") return Fail(aReply, std::string(aWhat) + ": on or off");
  (aBus.*aSet)(aValue == "on");
  aReply = "ok";
  return TzSimCommandResult::Ok;
}

}  // namespace

TzSimCommandResult RunSimBusCommand(TzSimBus& aBus, std::string_view aLine, std::string& aReply) {
  aReply.clear();
  const std::string_view line = Trimmed(aLine);
  const auto [word, rest] = Split(line);
  if (!word.empty() && word[0] == '@') {
    int address = 0;
    if (!ParseInt(word.substr(1), 1, 247, address)) return Fail(aReply, "@ADDR: a bus address 1..247");
    if (rest.empty()) return Fail(aReply, "@" + std::to_string(address) + ": a command must follow");
    if (TzSimModule* module = aBus.ModuleAt(address)) return RunSimCommand(*module, rest, aReply);
    if (TzSimForeign* device = aBus.ForeignAt(address)) return RunForeign(*device, rest, aReply);
    return Fail(aReply, "no device at address " + std::to_string(address));
  }
  if (word == "devices" && rest.empty()) {
    aReply = aBus.Describe();
    return TzSimCommandResult::Ok;
  }
  if (word == "wire") return RunSwitch(word, rest, &TzSimBus::SetWireTiming, aBus, aReply);
  if (word == "strict") return RunSwitch(word, rest, &TzSimBus::SetStrictLine, aBus, aReply);
  if (word == "help" && rest.empty()) {
    aReply = SimCommandHelp() + "\n" + SimBusCommandHelp();
    return TzSimCommandResult::Ok;
  }
  if (aBus.ModuleCount() == 0) {
    if (line.empty() || line[0] == '#') return TzSimCommandResult::Ok;
    return Fail(aReply, "no module on the bus: address a device with @ADDR");
  }
  return RunSimCommand(aBus.Module(0), line, aReply);
}

std::string SimBusCommandHelp() {
  return "on a bus (commands without @ADDR go to the first module):\n"
         "  @ADDR COMMAND            COMMAND for the device at bus address ADDR\n"
         "  @ADDR type N             a foreign device: answer type N in 36864\n"
         "  @ADDR type exc CODE      a foreign device: answer exception CODE for 36864\n"
         "  devices                  one line per device, then the line's modes\n"
         "  wire on|off              answers delayed by the line's time at the device's baud rate\n"
         "  strict on|off            answer only a client set to the device's baud rate and stop bits";
}
