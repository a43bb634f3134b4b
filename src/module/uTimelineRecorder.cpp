#include "uTimelineRecorder.h"

#include <algorithm>

namespace {

const std::deque<TzTraceChange>& NoChanges() {
  static const std::deque<TzTraceChange> none;
  return none;
}

bool Before(const TzTraceChange& aChange, int64_t aTimeMs) { return aChange.TimeMs < aTimeMs; }

}  // namespace

TzTimelineRecorder::TzTimelineRecorder(size_t aTraceCount, int64_t aStartMs, size_t aMaxChanges)
    : fTraces(aTraceCount), fMaxChanges(std::max(aMaxChanges, aTraceCount + 1)), fStartMs(aStartMs), fLastMs(aStartMs) {}

size_t TzTimelineRecorder::MemoryBytes() const {
  // A deque holds its elements in blocks of 512 bytes plus a map of block pointers.
  constexpr size_t kBlock = 512;
  size_t bytes = sizeof(*this) + fTraces.size() * sizeof(std::deque<TzTraceChange>);
  for (const auto& trace : fTraces) {
    const size_t blocks = (trace.size() * sizeof(TzTraceChange) + kBlock - 1) / kBlock + 1;
    bytes += blocks * (kBlock + sizeof(void*));
  }
  return bytes;
}

bool TzTimelineRecorder::Record(size_t aTrace, int64_t aTimeMs, int64_t aValue) {
  if (aTrace >= fTraces.size()) return false;
  auto& trace = fTraces[aTrace];
  const int64_t current = trace.empty() ? kTraceUnknown : trace.back().Value;
  if (current == aValue) return false;
  const int64_t time = std::max(aTimeMs, fLastMs);
  fLastMs = time;
  trace.push_back({time, aValue});
  ++fCount;
  if (fCount > fMaxChanges) Trim();
  return true;
}

size_t TzTimelineRecorder::RecordAllUnknown(int64_t aTimeMs) {
  size_t changed = 0;
  for (size_t i = 0; i < fTraces.size(); ++i)
    if (Record(i, aTimeMs, kTraceUnknown)) ++changed;
  return changed;
}

void TzTimelineRecorder::Clear(int64_t aStartMs) {
  for (auto& trace : fTraces) trace.clear();
  fCount = 0;
  fStartMs = aStartMs;
  fLastMs = aStartMs;
}

void TzTimelineRecorder::Trim() {
  while (fCount > fMaxChanges) {
    // The new beginning: the earliest second change of any trace, so that at
    // least one change goes.
    std::optional<int64_t> horizon;
    for (const auto& trace : fTraces)
      if (trace.size() >= 2 && (!horizon || trace[1].TimeMs < *horizon)) horizon = trace[1].TimeMs;
    // Some trace has two changes: the bound exceeds the number of traces.
    if (!horizon) return;
    // Every trace keeps its value at the horizon as its first change there;
    // an unknown value needs no change (a trace is unknown before its first).
    for (auto& trace : fTraces) {
      const auto firstAfter = std::upper_bound(trace.begin(), trace.end(), *horizon,
                                               [](int64_t aTime, const TzTraceChange& aChange) {
                                                 return aTime < aChange.TimeMs;
                                               });
      const size_t upTo = static_cast<size_t>(firstAfter - trace.begin());
      if (upTo == 0) continue;
      const int64_t valueAtHorizon = trace[upTo - 1].Value;
      trace.erase(trace.begin(), firstAfter);
      fCount -= upTo;
      if (valueAtHorizon != kTraceUnknown) {
        trace.push_front({*horizon, valueAtHorizon});
        ++fCount;
      }
    }
    fStartMs = std::max(fStartMs, *horizon);
  }
}

const std::deque<TzTraceChange>& TzTimelineRecorder::Changes(size_t aTrace) const {
  return aTrace < fTraces.size() ? fTraces[aTrace] : NoChanges();
}

size_t TzTimelineRecorder::FirstChangeFrom(size_t aTrace, int64_t aTimeMs) const {
  const auto& trace = Changes(aTrace);
  return static_cast<size_t>(std::lower_bound(trace.begin(), trace.end(), aTimeMs, Before) - trace.begin());
}

int64_t TzTimelineRecorder::ValueAt(size_t aTrace, int64_t aTimeMs) const {
  const auto& trace = Changes(aTrace);
  const auto after = std::upper_bound(trace.begin(), trace.end(), aTimeMs,
                                      [](int64_t aTime, const TzTraceChange& aChange) { return aTime < aChange.TimeMs; });
  return after == trace.begin() ? kTraceUnknown : std::prev(after)->Value;
}

std::optional<int64_t> TzTimelineRecorder::NextChange(size_t aTrace, int64_t aTimeMs) const {
  const auto& trace = Changes(aTrace);
  const auto after = std::upper_bound(trace.begin(), trace.end(), aTimeMs,
                                      [](int64_t aTime, const TzTraceChange& aChange) { return aTime < aChange.TimeMs; });
  if (after == trace.end()) return std::nullopt;
  return after->TimeMs;
}

std::optional<int64_t> TzTimelineRecorder::PrevChange(size_t aTrace, int64_t aTimeMs) const {
  const size_t index = FirstChangeFrom(aTrace, aTimeMs);
  if (index == 0) return std::nullopt;
  return Changes(aTrace)[index - 1].TimeMs;
}
