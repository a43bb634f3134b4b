// The module's twelve discrete inputs as configured over the line: the
// contact-bounce filter of each input, its pulse counter and the counter's
// reset. Coils per input N: 128 x (N - 1) + 1 resets the counter,
// 128 x (N - 1) + 2 holds the filter type.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "uRK7140Registers.h"
#include "uRegSink.h"

inline constexpr int kInputCount = 12;
// kFilterTypesReg's bits of inputs 1..6 are what the module reports.
inline constexpr int kReportedFilterInputs = 6;

// Filter types: pulses longer than 0.375 ms pass, or longer than 5.5 ms.
enum TzFilterType : int32_t { ftShort = 0, ftLong = 1 };

constexpr int32_t CounterResetCoil(int aInput) { return 128 * aInput - 127; }
constexpr int32_t FilterCoil(int aInput) { return 128 * aInput - 126; }

// Writes the filter type of input aInput (1..12), forced. Anything outside
// those inputs or types writes nothing and gives false.
bool WriteFilterType(TzRegSink& aSink, int aInput, int32_t aType);
// Resets the pulse counter of input aInput (1..12): its coil := 1, forced.
bool ResetPulseCounter(TzRegSink& aSink, int aInput);

// The filter type of input aIndex + 1 (aIndex 0..5) in the register value.
constexpr int32_t FilterTypeOfInput(int32_t aFilterTypes, int aIndex) { return (aFilterTypes >> aIndex) & 1; }

// The counters of inputs 1.. from the raw data of the counter block: each
// complete byte pair, high byte first, at most twelve; a trailing odd byte
// is ignored.
std::vector<int32_t> PulseCountersFromBytes(std::span<const uint8_t> aData);
