#include "uInputConfig.h"

bool WriteFilterType(TzRegSink& aSink, int aInput, int32_t aType) {
  if (aInput < 1 || aInput > kInputCount || (aType != ftShort && aType != ftLong)) return false;
  aSink.SetRegByID(FilterCoil(aInput), aType, true);
  return true;
}

bool ResetPulseCounter(TzRegSink& aSink, int aInput) {
  if (aInput < 1 || aInput > kInputCount) return false;
  aSink.SetRegByID(CounterResetCoil(aInput), 1, true);
  return true;
}

std::vector<int32_t> PulseCountersFromBytes(std::span<const uint8_t> aData) {
  std::vector<int32_t> counters;
  for (size_t i = 0; i + 1 < aData.size() && counters.size() < kInputCount; i += 2)
    counters.push_back(aData[i] * 256 + aData[i + 1]);
  return counters;
}
