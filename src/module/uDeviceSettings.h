// Settings that change the module itself: its own RS-485 line (address,
// baud rate, character format, network time-out; they take effect after a
// restart), its clock, and the restart command.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "uRK7140Registers.h"
#include "uRegSink.h"

// The RS-485 settings as the panel offers them: the baud rate as its code
// (the index in 1200..115200) and one of the four RTU formats by index
// (8N1, 8O1, 8E1, 8N2), which the module knows as codes 4..7.
struct TzRS485Settings {
  int32_t Address = 16;
  int32_t BaudIndex = 3;
  int32_t FormatIndex = 0;
  int32_t Timeout = 0;  // seconds
};

constexpr int32_t RS485FormatCode(int32_t aFormatIndex) { return aFormatIndex + 4; }

// Which text of the RS-485 settings holds no integer.
enum class TzRS485Field { Address, Timeout };

// Reads the address and then the time-out text as integers. No range is
// enforced: the module's answer decides. On failure aFailed names the first
// field that holds no integer.
std::optional<TzRS485Settings> ParseRS485Settings(std::string_view aAddress, std::string_view aTimeout,
                                                  int32_t aBaudIndex, int32_t aFormatIndex, TzRS485Field& aFailed);

// Writes the settings, each forced, in the order address, baud code, format
// code, time-out. False (nothing written) for a baud or format index outside
// the lists.
bool WriteRS485Settings(TzRegSink& aSink, const TzRS485Settings& aSettings);

struct TzModuleDateTime {
  int32_t Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};
// Sets the module's clock: registers 32768..32773, each forced, in order.
void WriteModuleClock(TzRegSink& aSink, const TzModuleDateTime& aTime);

// The restart command (21930 to register 60000), written without the forced
// flag of the call; the command tag's own force flag decides its place in the queue.
void WriteRestart(TzRegSink& aSink);
