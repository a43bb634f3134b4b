#include "uSimForeign.h"

#include <vector>

#include "uSimPdu.h"
#include "uUtils.h"

namespace {

constexpr uint16_t kTypeRegister = 0x9000;

bool ParseNumber(std::string_view aText, int aMin, int aMax, int& aValue) {
  int32_t value = 0;
  if (!TryStrToInt32(std::string(aText), value) || value < aMin || value > aMax) return false;
  aValue = value;
  return true;
}

std::vector<uint8_t> Framed(std::vector<uint8_t> aBytes) { return WithModbusCRC(std::move(aBytes)); }

}  // namespace

bool ParseSimForeign(std::string_view aSpec, TzSimForeignConfig& aConfig) {
  TzSimForeignConfig parsed = aConfig;
  parsed.Type = 75;
  parsed.ExceptionCode = 0;
  const size_t colon = aSpec.find(':');
  if (!ParseNumber(aSpec.substr(0, colon), 1, 247, parsed.Address)) return false;
  if (colon != std::string_view::npos) {
    const std::string_view rest = aSpec.substr(colon + 1);
    if (rest.rfind("exc:", 0) == 0) {
      if (!ParseNumber(rest.substr(4), 1, 255, parsed.ExceptionCode)) return false;
    } else if (!ParseNumber(rest, 0, 65535, parsed.Type)) {
      return false;
    }
  }
  aConfig = parsed;
  return true;
}

TzSimReply TzSimForeign::HandleFrame(std::span<const uint8_t> aFrame) {
  const std::lock_guard lock(fLock);
  TzSimReply reply;
  const std::string request = HexBytes(aFrame);
  if (const char* fault = SimFrameFault(aFrame)) {
    reply.Note = std::string("ignored (") + fault + "): " + request;
    return reply;
  }
  if (aFrame[0] != fConfig.Address) {
    reply.Note = "ignored (address " + std::to_string(aFrame[0]) + "): " + request;
    return reply;
  }
  const uint8_t function = aFrame[1];
  const bool typeRead = function == 4 && aFrame.size() == 8 && (aFrame[2] << 8 | aFrame[3]) == kTypeRegister &&
                        (aFrame[4] << 8 | aFrame[5]) == 1;
  uint8_t exception = 0;
  if (typeRead) exception = static_cast<uint8_t>(fConfig.ExceptionCode);
  else exception = function >= 1 && function <= 4 ? 2 : 1;
  if (exception != 0) {
    reply.Bytes = Framed({aFrame[0], static_cast<uint8_t>(function | 0x80), exception});
    reply.Note = "request " + request + " -> exception " + std::to_string(exception);
  } else {
    reply.Bytes = Framed({aFrame[0], 4, 2, static_cast<uint8_t>(fConfig.Type >> 8),
                          static_cast<uint8_t>(fConfig.Type & 0xFF)});
    reply.Note = "request " + request;
  }
  return reply;
}

TzSimLine TzSimForeign::Line() const {
  const std::lock_guard lock(fLock);
  return {fConfig.Address, fConfig.BaudCode, fConfig.FormatCode};
}

void TzSimForeign::SetType(int aType) {
  const std::lock_guard lock(fLock);
  fConfig.Type = aType;
  fConfig.ExceptionCode = 0;
}

void TzSimForeign::SetException(int aCode) {
  const std::lock_guard lock(fLock);
  fConfig.ExceptionCode = aCode;
}

std::string TzSimForeign::Status() const {
  const std::lock_guard lock(fLock);
  return "address " + std::to_string(fConfig.Address) + " baud " + std::to_string(kSimBaudRates[fConfig.BaudCode]) +
         " format " + SimFormatText(fConfig.FormatCode) + " " +
         (fConfig.ExceptionCode != 0 ? "exception " + std::to_string(fConfig.ExceptionCode)
                                     : "type " + std::to_string(fConfig.Type));
}
