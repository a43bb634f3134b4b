// Faults the virtual module can be told to show, for tests and demos.
// Shares are applied evenly and reproducibly: a share of 25 % spoils every
// fourth answer, not a random quarter.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct TzSimFaultSettings {
  int DelayMs = 0;          // every answer leaves this much later
  int DropPercent = 0;      // share of answers not sent
  int CrcPercent = 0;       // share of answers with a spoilt check sum
  int FromAddress = -1;     // 0..255: answers carry this address instead of the module's
  int NoiseBytes = 0;       // bytes of noise sent before every answer
  // Register number -> exception code sent for any request whose range
  // covers that register (in any table).
  std::map<uint16_t, uint8_t> Exceptions;
  // The same for write requests only: the module reads the register but
  // refuses to change it.
  std::map<uint16_t, uint8_t> WriteExceptions;

  bool Any() const;
  std::string Describe() const;
};

class TzSimFaults {
 public:
  const TzSimFaultSettings& Settings() const { return fSettings; }
  void Set(const TzSimFaultSettings& aSettings);

  // The injected exception code for a request covering aFirst..aFirst+aCount-1
  // (aWrite: a write request), 0 for none.
  uint8_t ExceptionFor(uint32_t aFirst, uint32_t aCount, bool aWrite) const;

  // Turns a correct answer (address .. CRC) into the one to send; false when
  // the answer is dropped.
  bool Spoil(std::vector<uint8_t>& aAnswer);

 private:
  static bool TakeShare(int aPercent, int& aAccumulator);

  TzSimFaultSettings fSettings;
  int fDropAcc = 0;
  int fCrcAcc = 0;
  uint32_t fNoiseSeed = 0x2545F491u;
};
