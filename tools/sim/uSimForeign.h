// A device of another kind on the virtual bus: it answers the type register
// (input register 36864, function 4) with its own type or with an exception,
// and knows nothing else: exception 2 for any other read (functions 1..4),
// exception 1 for any other function. It ignores broadcasts.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "uSimModule.h"

struct TzSimForeignConfig {
  int Address = 20;
  int Type = 75;           // answered in 36864
  int ExceptionCode = 0;   // 1..255: 36864 answers this exception instead
  int BaudCode = 3;        // the line settings it listens at
  int FormatCode = 4;
};

// "ADDR", "ADDR:TYPE" or "ADDR:exc:CODE" (address 1..247, type 0..65535,
// code 1..255) into aConfig's address, type and exception; false for
// anything else (aConfig unchanged).
bool ParseSimForeign(std::string_view aSpec, TzSimForeignConfig& aConfig);

class TzSimForeign {
 public:
  explicit TzSimForeign(const TzSimForeignConfig& aConfig) : fConfig(aConfig) {}

  // One received frame, address to check sum; no answer for other addresses.
  TzSimReply HandleFrame(std::span<const uint8_t> aFrame);
  TzSimLine Line() const;
  // The type register answers aType again (and no exception).
  void SetType(int aType);
  // The type register answers exception aCode (1..255).
  void SetException(int aCode);
  // "address 20 baud 9600 format 8N1 type 75" (or "... exception 2").
  std::string Status() const;

 private:
  mutable std::mutex fLock;
  TzSimForeignConfig fConfig;
};
