// A sink that records the writes of a sequence: (tag, value, forced) in order.
#pragma once

#include <cstdint>
#include <tuple>
#include <vector>

#include "uRegSink.h"

using TzWrite = std::tuple<int32_t, double, bool>;

struct TzRecordingSink : TzRegSink {
  std::vector<TzWrite> Writes;
  void SetRegByID(int32_t aID, double aValue, bool aForced) override { Writes.emplace_back(aID, aValue, aForced); }
};
