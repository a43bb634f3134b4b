// The RK-7140's registers as this system names them: the template IDs of the
// tags (for most of them the Modbus register number; a block or a tag of
// another table may have an ID of its own). Code names a register by one of
// these, never by its number.
#pragma once

#include <cstdint>

// Identification (input registers).
inline constexpr int32_t kDeviceTypeReg = 36864;  // 0x9000; an RK-7140 reads 74
inline constexpr int32_t kHardwareVersionReg = 36865;
inline constexpr int32_t kIdentifierFirstReg = 36866;  // three words, high byte first: 00-12-34-56-78-9A
inline constexpr int32_t kFirmwareVersionReg = 36869;  // 105 reads 1.05
inline constexpr int32_t kPowerStatusReg = 36881;      // bit 0 U1, bit 1 U2 present
inline constexpr int32_t kSupplyU1Reg = 24583;         // float, volts, high half first
inline constexpr int32_t kSupplyU2Reg = 24711;

// Inputs and relays (holding registers).
inline constexpr int32_t kFilterTypesReg = 60018;     // bit N - 1: filter type of input N (inputs 1..6 reported)
inline constexpr int32_t kRelayStatesReg = 60062;     // bits 0..5: relays 1..6
inline constexpr int32_t kCounterResetReg = 60069;    // a set bit resets that input's counter
inline constexpr int32_t kInputStatesReg = 60070;     // bits 0..11: inputs 1..12
inline constexpr int32_t kPulseCountersTag = 160071;  // the block of the twelve counters 60071..60082

// The module's own RS-485 line (taken after a restart), clock and command.
inline constexpr int32_t kBaudRateReg = 28672;  // baud code 0..9
inline constexpr int32_t kFormatReg = 28673;    // format code 4..7
inline constexpr int32_t kAddressReg = 28676;
inline constexpr int32_t kNetTimeoutReg = 28680;  // seconds
inline constexpr int32_t kClockFirstReg = 32768;  // year, month, day, hour, minute, second
inline constexpr int kClockRegCount = 6;
inline constexpr int32_t kCommandReg = 60000;
inline constexpr int32_t kRestartCommand = 21930;  // 0x55AA
