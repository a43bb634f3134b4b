// Where a write sequence sends its writes: the panel's controller queues each
// one on the line (and drops it while not connected); tests record them.
#pragma once

#include <cstdint>

class TzRegSink {
public:
  virtual ~TzRegSink() = default;
  // Writes aValue to the tag aID; aForced queues the write ahead of polling.
  virtual void SetRegByID(int32_t aID, double aValue, bool aForced) = 0;
};
