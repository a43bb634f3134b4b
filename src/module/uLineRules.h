// The line settings as the panel and rk7140ctl offer them: the baud rates
// (the module's baud codes 0..9 are indices into the list), the four RTU
// character formats, the minimum network time-out of a baud rate, and how a
// choice of them configures a port engine.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "uRtuLine.h"

class TzFreePort;
struct TzDCB;

// The baud rates and formats of uRtuLine.h (core, where the virtual module finds them too).
inline constexpr const std::array<int32_t, 10>& kLineBaudRates = kRtuBaudRates;
// Format index 0..3; the module knows them as format codes 4..7.
inline constexpr std::array<std::string_view, 4> kLineFormatNames = {kRtuFormats[0].Name, kRtuFormats[1].Name,
                                                                     kRtuFormats[2].Name, kRtuFormats[3].Name};

// The addresses a module can have on the bus: 0 is the broadcast, 248..255
// are reserved, and a frame carries only the address's low byte.
inline constexpr int32_t kMinDevAddr = 1;
inline constexpr int32_t kMaxDevAddr = 247;
constexpr bool IsDeviceAddress(int32_t aAddr) { return aAddr >= kMinDevAddr && aAddr <= kMaxDevAddr; }

// The baud code (index in kLineBaudRates) of a baud rate; -1 when not listed.
int32_t BaudCodeOf(int32_t aBaudRate);
// The format index of a name in kLineFormatNames (case-insensitive); -1 when none.
int32_t FormatIndexOf(std::string_view aName);

// Minimum network time-out in ms for a baud rate: the integer part of
// 264 / baud rate x 1000, plus 30. A baud rate of 0 or less has no minimum (0).
int32_t GetTimeout(int32_t aBaudRate);
// True when aTimeout >= GetTimeout(aBaudRate).
bool CheckTimeout(int32_t aTimeout, int32_t aBaudRate);

struct TzLineChoice {
  int32_t BaudRate = 9600;
  int32_t FormatIndex = 0;  // 0 8N1, 1 8O1, 2 8E1, 3 8N2
  int32_t Timeout = 57;     // ms, already raised to the baud rate's minimum
};

// The engine's settings for a connection: baud rate and format, reads ended
// as soon as the answer is whole (the completion rule), else by 50 ms of
// silence or the time-out, writes bounded by 50 ms per byte plus 50.
void ConfigureEngine(TzFreePort& aEngine, const TzLineChoice& aChoice);
// Eight data bits with the parity and stop bits of format index 0..3; another
// index leaves the parity and stop bits as they are.
void SetDcbFormat(TzDCB& aDCB, int32_t aFormatIndex);
