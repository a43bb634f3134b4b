// The far end of a real line for the engine's line tests: the master side of
// a pseudo-terminal on POSIX; on Windows a second COM port wired to the
// engine's one (the test script maps both to the two ends of a pty pair).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TzFarEnd {
public:
  virtual ~TzFarEnd() = default;
  // The port number under which the engine opens the near end.
  virtual int32_t EnginePort() const = 0;
  // Reads exactly aCount bytes; false when the guard time ran out first.
  virtual bool ReadExactly(std::vector<uint8_t>& aBytes, size_t aCount, int aGuardMs) = 0;
  // Whatever arrives within aMs.
  virtual std::vector<uint8_t> Drain(int aMs) = 0;
  virtual bool Write(const std::vector<uint8_t>& aBytes) = 0;
  // Closes the far end for good.
  virtual void Close() = 0;
  // Whether the near end can tell that the far end has gone (a pty can,
  // a null-modem pair of ports cannot).
  virtual bool NearEndSeesClose() const = 0;
};

// nullptr with aWhy filled when this machine offers no line for the tests.
std::unique_ptr<TzFarEnd> MakeFarEnd(std::string& aWhy);
// A port number that names no device here.
int32_t MissingPortNumber();
