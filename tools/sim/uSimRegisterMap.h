// The register map of the RK-7140 as the virtual module serves it: every coil,
// discrete input, input register and holding register it answers for, with
// what the point stands for and which values a write may carry.
#pragma once

#include <cstdint>
#include <span>

enum class TzSimTable : uint8_t { Coil, DiscreteInput, InputRegister, HoldingRegister };

// What one point of the map stands for. Index (in TzSimPoint) says which
// output (1..6), input (1..12), supply (1..2), clock field (0..5: year, month,
// day, hours, minutes, seconds) or identifier word (0..2).
enum class TzSimKind : uint8_t {
  // coils
  OutputState,     // relay of output Index
  LogicInversion,  // inversion of output Index's logic
  CounterReset,    // writing 1 resets the pulse counter of input Index
  FilterType,      // contact-bounce filter of input Index (0: 0.375 ms, 1: 5.5 ms)
  // discrete inputs
  InputState,
  // input registers
  OutputStatus,
  SupplyInteger,    // millivolts
  SupplyFloatHigh,  // IEEE float in volts, high half
  SupplyFloatLow,   // low half
  DeviceType,
  HardwareVersion,
  Identifier,
  FirmwareVersion,
  PowerStatus,
  // holding registers
  PwmDuty,      // tenths of a percent
  PwmPeriod,    // tenths of a second
  PwmSafeDuty,  // tenths of a percent
  LogicFunction,
  LogicX,
  LogicY,
  LogicDelayType,
  LogicDelay,  // tenths of a second
  BaudCode,
  FormatCode,
  BusAddress,
  NetTimeout,  // seconds
  ClockField,
  FilterTypes,    // bit N-1: filter type of input N
  OutputsState,   // bit n-1: relay of output n
  CountersReset,  // a set bit N-1 resets the counter of input N
  InputsState,    // bit N-1: input N
  Counter,        // pulse counter of input Index
  Command,        // 21930 restarts the module
};

enum TzSimAccess : uint8_t { saRead = 1, saWrite = 2, saReadWrite = 3 };

struct TzSimPoint {
  TzSimTable Table;
  uint16_t Reg;
  TzSimKind Kind;
  uint8_t Index;
  uint8_t Access;
  // Values a register write accepts; others get exception 3. Coils take
  // FF00/0000 only and ignore these.
  uint16_t Min;
  uint16_t Max;
};

// Output n's block starts at register 4096 + 128 * (n - 1).
constexpr uint16_t SimOutputBase(int aOutput) {
  return static_cast<uint16_t>(4096 + 128 * (aOutput - 1));
}

// Every point, sorted by table and register.
std::span<const TzSimPoint> SimRegisterMap();

// The point at aReg of aTable; nullptr when the module has none there.
const TzSimPoint* FindSimPoint(TzSimTable aTable, uint16_t aReg);
