#include "uDeviceSettings.h"

#include "uUtils.h"

std::optional<TzRS485Settings> ParseRS485Settings(std::string_view aAddress, std::string_view aTimeout,
                                                  int32_t aBaudIndex, int32_t aFormatIndex, TzRS485Field& aFailed) {
  TzRS485Settings settings;
  settings.BaudIndex = aBaudIndex;
  settings.FormatIndex = aFormatIndex;
  if (!TryStrToInt32(aAddress, settings.Address)) {
    aFailed = TzRS485Field::Address;
    return std::nullopt;
  }
  if (!TryStrToInt32(aTimeout, settings.Timeout)) {
    aFailed = TzRS485Field::Timeout;
    return std::nullopt;
  }
  return settings;
}

bool WriteRS485Settings(TzRegSink& aSink, const TzRS485Settings& aSettings) {
  if (aSettings.BaudIndex < 0 || aSettings.BaudIndex > 9 || aSettings.FormatIndex < 0 || aSettings.FormatIndex > 3)
    return false;
  aSink.SetRegByID(kAddressReg, aSettings.Address, true);
  aSink.SetRegByID(kBaudRateReg, aSettings.BaudIndex, true);
  aSink.SetRegByID(kFormatReg, RS485FormatCode(aSettings.FormatIndex), true);
  aSink.SetRegByID(kNetTimeoutReg, aSettings.Timeout, true);
  return true;
}

void WriteModuleClock(TzRegSink& aSink, const TzModuleDateTime& aTime) {
  const int32_t parts[] = {aTime.Year, aTime.Month, aTime.Day, aTime.Hour, aTime.Minute, aTime.Second};
  for (int32_t i = 0; i < 6; ++i) aSink.SetRegByID(kClockFirstReg + i, parts[i], true);
}

void WriteRestart(TzRegSink& aSink) { aSink.SetRegByID(kCommandReg, kRestartCommand, false); }
