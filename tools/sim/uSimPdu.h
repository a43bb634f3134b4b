// The Modbus application layer of the virtual module: functions 1, 2, 3, 4,
// 5, 6, 15 and 16 in their standard layouts, over a map of points.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "uSimRegisterMap.h"

enum TzSimException : uint8_t {
  seNone = 0,
  seIllegalFunction = 1,
  seIllegalAddress = 2,
  seIllegalValue = 3,
  seDeviceFailure = 4,  // the module refuses the request
};

// What the application layer needs of the module.
class TzSimPointAccess {
 public:
  virtual ~TzSimPointAccess() = default;
  // The value of a readable point (coils and discrete inputs 0 or 1).
  virtual uint16_t Read(const TzSimPoint& aPoint) = 0;
  // Checks and carries out one write of a writable point whose value passed
  // the map's range; seNone or the exception code.
  virtual uint8_t Write(const TzSimPoint& aPoint, uint16_t aValue) = 0;
  // An exception injected for a request covering these registers (aWrite: a
  // write request); seNone for none.
  virtual uint8_t InjectedException(uint32_t aFirst, uint32_t aCount, bool aWrite) = 0;
};

bool IsSimWriteFunction(uint8_t aFunction);

// Why a received frame is not a request at all: "too short" (under four
// bytes) or "bad check sum"; null for a whole frame.
const char* SimFrameFault(std::span<const uint8_t> aFrame);

// Answers one request PDU (function code and data; no address, no check sum).
// aAnswer gets the answer PDU; the result is the exception code sent, seNone
// for a normal answer. The writes of a multiple write are carried out one
// after another; when one fails the caller undoes the earlier ones.
uint8_t HandleSimPdu(std::span<const uint8_t> aPdu, TzSimPointAccess& aAccess,
                     std::vector<uint8_t>& aAnswer);
