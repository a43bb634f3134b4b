// Line settings a caller wants imposed on a port: TzDCB (speed, character
// format, flow-control flags, special characters) and TzTimeouts (read and
// write time-outs). Every numeric field either holds a value or is "not set"
// (kNotSet); opening a port reads the driver's record, lays the set fields
// over it (AssignTo) and writes the result back, so everything left unset
// keeps the value the driver already had.
//
// The platform records: on Windows the real DCB and COMMTIMEOUTS; elsewhere
// TzPlatformDCB / TzPlatformTimeouts with the same fields and the same bit
// layout of the flags word, which the POSIX backend maps onto termios.
#pragma once

#include <cstdint>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

inline constexpr int32_t kNotSet = 2147483647;

// Bits of the flags word (DCB layout).
namespace dcbflag {
inline constexpr uint32_t Binary = 1u << 0;
inline constexpr uint32_t Parity = 1u << 1;
inline constexpr uint32_t OutxCtsFlow = 1u << 2;
inline constexpr uint32_t OutxDsrFlow = 1u << 3;
inline constexpr uint32_t DtrControlShift = 4;  // 2 bits: 0 off, 1 on, 2 handshake
inline constexpr uint32_t DsrSensitivity = 1u << 6;
inline constexpr uint32_t TXContinueOnXoff = 1u << 7;
inline constexpr uint32_t OutX = 1u << 8;
inline constexpr uint32_t InX = 1u << 9;
inline constexpr uint32_t ErrorChar = 1u << 10;
inline constexpr uint32_t Null = 1u << 11;
inline constexpr uint32_t RtsControlShift = 12;  // 2 bits: 0 off, 1 on, 2 handshake, 3 toggle
inline constexpr uint32_t AbortOnError = 1u << 14;
}  // namespace dcbflag

#ifdef _WIN32
using TzPlatformDCB = DCB;
using TzPlatformTimeouts = COMMTIMEOUTS;
#else
struct TzPlatformDCB {
  uint32_t DCBlength = sizeof(TzPlatformDCB);
  uint32_t BaudRate = 0;
  uint32_t Flags = 0;  // dcbflag bits
  uint16_t wReserved = 0;
  uint16_t XonLim = 0;
  uint16_t XoffLim = 0;
  uint8_t ByteSize = 0;
  uint8_t Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  uint8_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
  char XonChar = 0;
  char XoffChar = 0;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
  uint16_t wReserved1 = 0;
};

struct TzPlatformTimeouts {
  uint32_t ReadIntervalTimeout = 0;
  uint32_t ReadTotalTimeoutMultiplier = 0;
  uint32_t ReadTotalTimeoutConstant = 0;
  uint32_t WriteTotalTimeoutMultiplier = 0;
  uint32_t WriteTotalTimeoutConstant = 0;
};
#endif

// The flags word of the record as one 32-bit value (the Windows DCB keeps it
// as bit fields).
uint32_t DcbFlagsWord(const TzPlatformDCB& aDCB);
void SetDcbFlagsWord(TzPlatformDCB& aDCB, uint32_t aFlags);

class TzDCB {
public:
  // Fields in this order.
  char fXonChar = 0;
  char fXoffChar = 0;
  char fErrorChar = 0;
  char fEofChar = 0;
  char fEvtChar = 0;
  int32_t BaudRate = kNotSet;
  int32_t Flags = kNotSet;
  int32_t wReserved = kNotSet;
  int32_t XonLim = kNotSet;
  int32_t XoffLim = kNotSet;
  int32_t ByteSize = kNotSet;
  int32_t Parity = kNotSet;
  int32_t StopBits = kNotSet;
  bool bXonChar = false;
  bool bXoffChar = false;
  bool bErrorChar = false;
  bool bEofChar = false;
  bool bEvtChar = false;
  bool OnlyMyFlags = false;

  TzDCB() { Clear(); }

  // Every numeric field := not set; the b... switches and OnlyMyFlags :=
  // false. The character values stay.
  void Clear();
  // Lays the set fields over aRecord (see the .cpp for the order).
  void AssignTo(TzPlatformDCB& aRecord) const;

  char XonChar() const { return fXonChar; }
  char XoffChar() const { return fXoffChar; }
  char ErrorChar() const { return fErrorChar; }
  char EofChar() const { return fEofChar; }
  char EvtChar() const { return fEvtChar; }
  void SetXonChar(char aValue) { fXonChar = aValue; bXonChar = true; }
  void SetXoffChar(char aValue) { fXoffChar = aValue; bXoffChar = true; }
  void SetErrorChar(char aValue) { fErrorChar = aValue; bErrorChar = true; }
  void SetEofChar(char aValue) { fEofChar = aValue; bEofChar = true; }
  void SetEvtChar(char aValue) { fEvtChar = aValue; bEvtChar = true; }
};

class TzTimeouts {
public:
  int32_t ReadIntervalTimeout = kNotSet;
  int32_t ReadTotalTimeoutMultiplier = kNotSet;
  int32_t ReadTotalTimeoutConstant = kNotSet;
  int32_t WriteTotalTimeoutMultiplier = kNotSet;
  int32_t WriteTotalTimeoutConstant = kNotSet;

  TzTimeouts() { Clear(); }

  void Clear();
  // Copies each set field into the field of the same name of aRecord.
  void AssignTo(TzPlatformTimeouts& aRecord) const;
};
