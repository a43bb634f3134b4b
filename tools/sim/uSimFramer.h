// Cuts the received byte stream into request frames by the serial line rules:
// a frame ends after a 3.5-character silence, or as soon as it is complete by
// the length its function code implies and its check sum holds.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Length of the request starting at aBytes[0] (address, function, ...):
// 0 while too few bytes are there to tell, -1 when the function's request
// length is not known here.
int SimRequestLength(std::span<const uint8_t> aBytes);

// The 3.5-character silence at aBaudRate (11 bits a character) in whole
// milliseconds, at least 2.
int SimSilenceMs(int aBaudRate);

class TzSimFramer {
 public:
  void SetBaudRate(int aBaudRate) { fSilenceMs = SimSilenceMs(aBaudRate); }
  void Add(std::span<const uint8_t> aBytes, int64_t aNowMs);
  // The next frame, when one has ended by aNowMs. A stretch that ends by
  // silence is handed over whole, even when it is no valid frame.
  bool Take(int64_t aNowMs, std::vector<uint8_t>& aFrame);
  // Milliseconds until the pending bytes end by silence; -1 when none pend.
  int WaitMs(int64_t aNowMs) const;
  void Clear() { fBuffer.clear(); }

 private:
  std::vector<uint8_t> fBuffer;
  int64_t fLastByteAt = 0;
  int fSilenceMs = 5;
};
