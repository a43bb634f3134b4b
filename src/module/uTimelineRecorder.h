// A recording of signals over time, kept the way a logic analyser keeps it:
// per trace only its changes (time, new value), so a signal that holds still
// costs nothing however long the recording runs.
//
// A value nobody knows (a read that failed, the line lost, the panel
// disconnected) is a change too, to kTraceUnknown: a gap stays a gap instead
// of carrying the last value on as a flat line. A trace is unknown before its
// first change.
//
// Memory is bounded: the whole recording keeps at most MaxChanges() changes
// (16 bytes each; never fewer than one more than the traces). Beyond that the oldest history is dropped: the recording
// then begins later (StartMs), and every trace keeps its value at that new
// beginning, so what is kept stays exact.
//
// Times are milliseconds of the caller's clock. A time earlier than the
// latest one recorded is taken as that latest time, so a clock that steps back
// never unsorts a trace. No Qt; one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <vector>

inline constexpr int64_t kTraceUnknown = std::numeric_limits<int64_t>::min();

struct TzTraceChange {
  int64_t TimeMs = 0;
  int64_t Value = kTraceUnknown;
  bool operator==(const TzTraceChange&) const = default;
};

class TzTimelineRecorder {
public:
  static constexpr size_t kDefaultMaxChanges = 1'000'000;

  TzTimelineRecorder(size_t aTraceCount, int64_t aStartMs, size_t aMaxChanges = kDefaultMaxChanges);

  size_t TraceCount() const { return fTraces.size(); }
  size_t MaxChanges() const { return fMaxChanges; }
  // All traces together.
  size_t ChangeCount() const { return fCount; }
  // The beginning of what is kept, and the latest time recorded (at least the start).
  int64_t StartMs() const { return fStartMs; }
  int64_t LastMs() const { return fLastMs; }
  // What the changes take, with the containers' own bookkeeping (approximate).
  size_t MemoryBytes() const;

  // Records aValue on aTrace at aTimeMs when it differs from the trace's
  // current value; true when it did. A trace outside the recording: false.
  bool Record(size_t aTrace, int64_t aTimeMs, int64_t aValue);
  // Every trace unknown from aTimeMs; the number of traces that changed.
  size_t RecordAllUnknown(int64_t aTimeMs);
  // Forgets everything; the recording begins again at aStartMs.
  void Clear(int64_t aStartMs);

  // The changes of aTrace, oldest first (empty for a trace outside the recording).
  const std::deque<TzTraceChange>& Changes(size_t aTrace) const;
  // The value at aTimeMs (a change at exactly aTimeMs counts); unknown before
  // the first change.
  int64_t ValueAt(size_t aTrace, int64_t aTimeMs) const;
  // The index of the first change at or after aTimeMs (Changes().size() when none).
  size_t FirstChangeFrom(size_t aTrace, int64_t aTimeMs) const;
  // The time of the nearest change strictly after / strictly before aTimeMs.
  std::optional<int64_t> NextChange(size_t aTrace, int64_t aTimeMs) const;
  std::optional<int64_t> PrevChange(size_t aTrace, int64_t aTimeMs) const;

private:
  // Drops the oldest history until the count is within the bound.
  void Trim();

  std::vector<std::deque<TzTraceChange>> fTraces;
  size_t fMaxChanges;
  size_t fCount = 0;
  int64_t fStartMs;
  int64_t fLastMs;
};
