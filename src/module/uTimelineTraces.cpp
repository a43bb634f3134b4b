#include "uTimelineTraces.h"

#include <algorithm>

TzTraceKind TimelineTraceKind(size_t aTrace) {
  if (aTrace >= kTlFirstRate) return TzTraceKind::Rate;
  if (aTrace >= kTlFirstCount) return TzTraceKind::Count;
  return TzTraceKind::Bit;
}

size_t RecordBits(TzTimelineRecorder& aRecorder, size_t aFirst, size_t aCount, int64_t aTimeMs,
                  std::optional<int32_t> aBits) {
  size_t changed = 0;
  for (size_t i = 0; i < aCount; ++i) {
    const int64_t value = aBits ? ((*aBits >> i) & 1) : kTraceUnknown;
    if (aRecorder.Record(aFirst + i, aTimeMs, value)) ++changed;
  }
  return changed;
}

void TzCounterFeed::Record(TzTimelineRecorder& aRecorder, int64_t aTimeMs, std::span<const int32_t> aCounters) {
  const size_t count = std::min(aCounters.size(), kTlCounterCount);
  const bool rates = fHasPrevious && aTimeMs > fPreviousMs;
  for (size_t i = 0; i < kTlCounterCount; ++i) {
    if (i >= count) {
      aRecorder.Record(kTlFirstCount + i, aTimeMs, kTraceUnknown);
      aRecorder.Record(kTlFirstRate + i, aTimeMs, kTraceUnknown);
      continue;
    }
    aRecorder.Record(kTlFirstCount + i, aTimeMs, aCounters[i]);
    if (!rates) continue;
    const int64_t pulses = aCounters[i] >= fPrevious[i] ? int64_t{aCounters[i]} - fPrevious[i] : aCounters[i];
    const int64_t elapsed = aTimeMs - fPreviousMs;
    const int64_t rate = (pulses * 1000 * kTlRateScale + elapsed / 2) / elapsed;
    aRecorder.Record(kTlFirstRate + i, aTimeMs, rate);
  }
  fHasPrevious = count == kTlCounterCount;
  fPreviousMs = aTimeMs;
  std::copy_n(aCounters.begin(), count, fPrevious);
}

void TzPollInterval::Answer(int64_t aTimeMs) {
  fTimes.push_back(aTimeMs);
  if (fTimes.size() > kAnswers + 1) fTimes.pop_front();
}

std::optional<int64_t> TzPollInterval::MeanMs() const {
  if (fTimes.size() < 2) return std::nullopt;
  const int64_t span = fTimes.back() - fTimes.front();
  const int64_t intervals = static_cast<int64_t>(fTimes.size()) - 1;
  return (span + intervals / 2) / intervals;
}
