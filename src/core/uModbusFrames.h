// Modbus RTU request frames as this system builds them.
//
// Every frame: address, function, register (high byte first), body, check sum
// (low byte first). The builders fill a TStringBytes and report false, leaving
// aFrame untouched, when the request cannot be built.
#pragma once

#include <cstdint>
#include <span>

#include "uStringBytes.h"

// Value codings of a tag (the template's valtype); the write builders handle 0..5.
enum TzValType : int32_t {
  vtFloat32 = 0,
  vtFloat64 = 1,
  vtUInt16 = 2,
  vtUInt32 = 3,
  vtInt16 = 4,
  vtInt32 = 5,
  vtLowByte = 6,   // data position 2 of a register
  vtHighByte = 7,  // data position 1 of a register
  vtBit = 8,       // and any other code not listed here
  vtBlock = 24,    // raw byte block
};

// Width in bytes of a written value of this type: 2, 4 or 8; 0 when the type
// cannot be written.
int ValueWidth(int32_t aValType);

// Read request of functions 1..4: address, function, register, count, CRC (8 bytes).
bool BuildReadFrame(int32_t aAddr, int32_t aFunc, int32_t aReg, int32_t aCount,
                    TStringBytes& aFrame);

// Write of one coil (function 5): FF 00 when the value truncated toward zero
// has non-zero low 16 bits, else 00 00. aWritten gets 1 or 0.
bool BuildCoilWriteFrame(int32_t aAddr, int32_t aReg, double aValue, TStringBytes& aFrame,
                         double* aWritten = nullptr);

// Write of a register value (function 6 or 16) of type aValType (0..5) with
// the byte order aOrder (1-based data positions, least significant byte
// first; exactly ValueWidth positions, none above it).
// Function 6: address, 06, register, value bytes, CRC.
// Function 16: address, 10, register, quantity of registers, byte count,
// value bytes, CRC (the standard layout; 11 bytes for a 16-bit value).
// aWritten gets the value as written: integers truncated and reduced to the
// type's width (signed or unsigned), float32 rounded to single precision.
// A value that is not a number is not written.
bool BuildRegisterWriteFrame(int32_t aAddr, int32_t aFunc, int32_t aReg, int32_t aValType,
                             std::span<const uint8_t> aOrder, double aValue,
                             TStringBytes& aFrame, double* aWritten = nullptr);

// Function 5 through BuildCoilWriteFrame, 6 and 16 through BuildRegisterWriteFrame.
bool BuildWriteFrame(int32_t aAddr, int32_t aFunc, int32_t aReg, int32_t aValType,
                     std::span<const uint8_t> aOrder, double aValue, TStringBytes& aFrame,
                     double* aWritten = nullptr);

// True when aAnswer is a module's confirmation of the write request aRequest:
// for functions 5 and 6 the exact echo of the request; for function 16 the
// request's address, function, register and quantity with a valid check sum.
bool IsWriteEcho(const TStringBytes& aRequest, const TStringBytes& aAnswer);

// The framing rules of Modbus RTU, the one place they are written (the tool's
// completion rule and listener, and the virtual module use them).
// The length of the request aBytes begin with, by its function: 8 for
// functions 1..6, 9 + byte count for 15 and 16; 0 while too few bytes are
// there to tell, -1 for any other function.
int RtuRequestLength(std::span<const uint8_t> aBytes);
// The length of the answer aBytes begin with: 5 + byte count for functions
// 1..4, 8 for the echoes of 5, 6, 15 and 16, 5 for an exception (function
// with bit 7 set); 0 while too few bytes are there to tell, -1 for any other.
int RtuAnswerLength(std::span<const uint8_t> aBytes);

// True when aBytes begin with a whole Modbus RTU answer by the framing rules:
// the length its function implies (functions 1..4: 5 + byte count; echoes of
// 5, 6, 15, 16: 8; an exception, function with bit 7 set: 5) with a correct
// check sum over that length. Bytes of any other function never complete.
bool IsCompleteRtuAnswer(std::span<const uint8_t> aBytes);
// Exception codes a Modbus TCP gateway answers with for a unit it cannot reach.
inline constexpr uint8_t kExceptionGatewayPath = 0x0A;    // gateway path unavailable
inline constexpr uint8_t kExceptionGatewayTarget = 0x0B;  // gateway target device failed to respond
// True for an intact exception answer of code 0x0A or 0x0B: nobody is at
// that address behind the gateway.
bool IsGatewayNoTarget(std::span<const uint8_t> aAnswer);
