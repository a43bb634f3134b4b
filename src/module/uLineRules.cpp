#include "uLineRules.h"

#include <cctype>

#include "uFreePort.h"
#include "uModbusFrames.h"

int32_t BaudCodeOf(int32_t aBaudRate) {
  for (size_t i = 0; i < kLineBaudRates.size(); ++i)
    if (kLineBaudRates[i] == aBaudRate) return static_cast<int32_t>(i);
  return -1;
}

int32_t FormatIndexOf(std::string_view aName) {
  for (size_t i = 0; i < kLineFormatNames.size(); ++i) {
    const std::string_view name = kLineFormatNames[i];
    if (name.size() != aName.size()) continue;
    bool same = true;
    for (size_t c = 0; c < name.size() && same; ++c)
      same = std::toupper(static_cast<unsigned char>(aName[c])) == name[c];
    if (same) return static_cast<int32_t>(i);
  }
  return -1;
}

int32_t GetTimeout(int32_t aBaudRate) {
  if (aBaudRate <= 0) return 0;
  return static_cast<int32_t>(264000 / static_cast<int64_t>(aBaudRate)) + 30;
}

bool CheckTimeout(int32_t aTimeout, int32_t aBaudRate) { return aTimeout >= GetTimeout(aBaudRate); }

void ConfigureEngine(TzFreePort& aEngine, const TzLineChoice& aChoice) {
  TzDCB& dcb = aEngine.LocDCB();
  dcb.BaudRate = aChoice.BaudRate;
  TzTimeouts& timeouts = aEngine.LocTimeouts();
  timeouts.ReadIntervalTimeout = 50;
  timeouts.ReadTotalTimeoutMultiplier = 1;
  timeouts.ReadTotalTimeoutConstant = aChoice.Timeout;
  timeouts.WriteTotalTimeoutMultiplier = 50;
  timeouts.WriteTotalTimeoutConstant = 50;
  // The exchange ends as soon as the answer is whole by the Modbus framing;
  // the 50 ms of silence stay as the fallback for one that never completes.
  aEngine.SetCompletionRule(IsCompleteRtuAnswer);
  SetDcbFormat(dcb, aChoice.FormatIndex);
}

void SetDcbFormat(TzDCB& aDCB, int32_t aFormatIndex) {
  aDCB.ByteSize = 8;
  if (const TzRtuFormat* format = RtuFormat(aFormatIndex)) {
    aDCB.Parity = format->DcbParity;
    aDCB.StopBits = format->DcbStopBits;
  }
}
