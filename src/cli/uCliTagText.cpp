#include "uCliTagText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "uCliTable.h"
#include "uModbusFrames.h"
#include "uOutputParams.h"
#include "uRK7140Device.h"
#include "uRtuLine.h"

namespace {

bool Good(const TzTag& aTag) { return aTag.Quality() == kQualityGood && !std::isnan(aTag.Value()); }

// "1, 3, 12": the 1-based numbers of the set bits among the first aCount.
std::string BitList(int64_t aBits, int aCount) {
  std::string list;
  for (int i = 0; i < aCount; ++i)
    if ((aBits >> i) & 1) list += (list.empty() ? "" : ", ") + std::to_string(i + 1);
  return list;
}

std::string Tenths(int64_t aValue, const char* aUnit) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%lld %s", static_cast<long long>(aValue / 10),
                static_cast<long long>(std::llabs(aValue % 10)), aUnit);
  return text;
}

// The meaning of an output's tag, or none when aID is not one.
std::optional<std::string> OutputMeaning(int32_t aID, int64_t aValue) {
  static const char* const kFunctions[] = {"off",     "signal", "X AND Y",      "X OR Y",
                                           "X XOR Y", "pulse",  "RS flip-flop", "impulse relay"};
  static const char* const kDelayTypes[] = {"no delay", "rising edge delayed", "falling edge delayed"};
  for (int n = 1; n <= kOutputCount; ++n) {
    const TzOutputTags t = OutputTags(n);
    if (aID == t.State) return std::string(aValue ? "closed" : "open");
    if (aID == t.Status) {
      static const char* const kBits[] = {"relay closed", "PWM cycling", "logic running", "emergency mode"};
      std::string text;
      for (int bit = 0; bit < 4; ++bit)
        if ((aValue >> bit) & 1) text += (text.empty() ? "" : ", ") + std::string(kBits[bit]);
      return text.empty() ? std::string("relay open") : text;
    }
    if (aID == t.Duty || aID == t.SafeDuty) return Tenths(aValue, "%");
    if (aID == t.Period || aID == t.Delay) return Tenths(aValue, "s");
    if (aID == t.Inversion) return std::string(aValue ? "inverted" : "not inverted");
    if (aID == t.Function)
      return aValue >= 0 && aValue < 8 ? std::string(kFunctions[aValue]) : "function " + std::to_string(aValue);
    if (aID == t.DelayType)
      return aValue >= 0 && aValue < 3 ? std::string(kDelayTypes[aValue]) : "delay type " + std::to_string(aValue);
    if (aID == t.X || aID == t.Y) return "input " + std::to_string(aValue);
  }
  return std::nullopt;
}

}  // namespace

std::string TagRegisterName(const TzTag& aTag) {
  const int32_t cmd = aTag.ReadCmd ? aTag.ReadCmd : aTag.WriteCmd;
  const char* table = cmd == 1 || cmd == 5 || cmd == 15 ? "coil"
                      : cmd == 2                        ? "discrete input"
                      : cmd == 4                        ? "input register"
                                                        : "holding register";
  if (aTag.ValType == vtBlock && aTag.SegSize > 1)  // a block of SegSize registers
    return std::string(table) + "s " + std::to_string(aTag.Reg) + ".." + std::to_string(aTag.Reg + aTag.SegSize - 1);
  return std::string(table) + " " + std::to_string(aTag.Reg);
}

std::string NumberText(double aValue, bool aFloat32) {
  if (!aFloat32 || std::isnan(aValue) || std::isinf(aValue)) return FieldText(NumberValue(aValue));
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, static_cast<float>(aValue));
  return std::string(text, result.ptr);
}

nlohmann::json TagNumber(const TzTag& aTag) {
  if (!Good(aTag)) return nullptr;
  if (aTag.ValType != vtFloat32) return NumberValue(aTag.Value());
  // The shortest text that reads back as the same float32, as a double.
  return NumberValue(std::stod(NumberText(aTag.Value(), true)));
}


std::string TagMeaning(const TzTag& aTag) {
  if (!Good(aTag)) return {};
  const double value = aTag.Value();
  const auto code = static_cast<int64_t>(value);
  switch (aTag.ID) {
    case kDeviceTypeReg: return code == kDeviceTypeRK7140 ? "RK-7140" : "not an RK-7140";
    case kFirmwareVersionReg: return FirmwareText(static_cast<int32_t>(code));
    case kPowerStatusReg: {
      std::string text =
          std::string(code & 1 ? "U1 present" : "U1 absent") + (code & 2 ? ", U2 present" : ", U2 absent");
      return text;
    }
    case kSupplyU1Reg:
    case kSupplyU2Reg: return NumberText(value, true) + " V";
    case kSupplyU1Reg - 1:
    case kSupplyU2Reg - 1: return NumberText(value / 1000.0, false) + " V";  // millivolts
    case kBaudRateReg:
      if (const std::optional<int32_t> rate = BaudRateOfCode(static_cast<int32_t>(code)))
        return std::to_string(*rate) + " baud";
      return "unknown baud code";
    case kFormatReg:
      if (const std::optional<std::string> name = FormatCodeName(static_cast<int32_t>(code))) return *name;
      return "unknown format code";
    case kNetTimeoutReg: return code == 0 ? "off" : std::to_string(code) + " s";
    case kInputStatesReg: {
      const std::string on = BitList(code, 12);
      return on.empty() ? "all inputs off" : "on: " + on;
    }
    case kRelayStatesReg: {
      const std::string closed = BitList(code, kOutputCount);
      return closed.empty() ? "all relays open" : "closed: " + closed;
    }
    case kFilterTypesReg: {
      const std::string slow = BitList(code, 6);
      return slow.empty() ? "all 0.375 ms" : "5.5 ms: " + slow;
    }
    default: break;
  }
  if (const std::optional<std::string> output = OutputMeaning(aTag.ID, code)) return *output;
  return {};
}

std::string QualityText(uint16_t aQuality) {
  switch (aQuality) {
    case kQualityGood: return "good";
    case kQualityWaiting: return "waiting";
    case kQualityBadAnswer: return "bad answer";
    case kQualityNoAnswer: return "no answer";
    default: return std::to_string(aQuality);
  }
}
