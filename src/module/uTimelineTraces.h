// The traces of the RK-7140 timeline and how the poll's answers become
// changes: inputs 1..12, relays 1..6, then the pulse counter of each input,
// once as its count and once as its rate (pulses per second between two
// readings). Also the time resolution the recording gets: the interval
// between successive answers of the inputs' state. No Qt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>

#include "uTimelineRecorder.h"

inline constexpr size_t kTlInputCount = 12, kTlRelayCount = 6, kTlCounterCount = 12;
inline constexpr size_t kTlFirstInput = 0;
inline constexpr size_t kTlFirstRelay = kTlFirstInput + kTlInputCount;
inline constexpr size_t kTlFirstCount = kTlFirstRelay + kTlRelayCount;
inline constexpr size_t kTlFirstRate = kTlFirstCount + kTlCounterCount;
inline constexpr size_t kTlTraceCount = kTlFirstRate + kTlCounterCount;

// Rates are kept in thousandths of a pulse per second.
inline constexpr int64_t kTlRateScale = 1000;

enum class TzTraceKind { Bit, Count, Rate };
TzTraceKind TimelineTraceKind(size_t aTrace);

// Bit i of aBits on trace aFirst + i, i < aCount; no bits (a failed read):
// those traces unknown. The traces that changed, in trace order.
size_t RecordBits(TzTimelineRecorder& aRecorder, size_t aFirst, size_t aCount, int64_t aTimeMs,
                  std::optional<int32_t> aBits);

// The counters' traces from successive readings of the counter block.
class TzCounterFeed {
public:
  // A reading of the counters of inputs 1.. (at most twelve): the counts, and
  // the rate since the previous reading. A counter that went down was reset:
  // its new count is what came since. An empty reading (a failed read): every
  // counter trace unknown, and the next rate needs two readings again.
  void Record(TzTimelineRecorder& aRecorder, int64_t aTimeMs, std::span<const int32_t> aCounters);
  // No previous reading any more (the line was lost).
  void Lost() { fHasPrevious = false; }

private:
  bool fHasPrevious = false;
  int64_t fPreviousMs = 0;
  int32_t fPrevious[kTlCounterCount]{};
};

// The interval between the last answers, averaged over a few of them.
class TzPollInterval {
public:
  static constexpr size_t kAnswers = 10;
  void Answer(int64_t aTimeMs);
  // Forgets the answers (the poll stopped or changed its pace).
  void Reset() { fTimes.clear(); }
  // The mean interval; none before two answers.
  std::optional<int64_t> MeanMs() const;

private:
  std::deque<int64_t> fTimes;
};

// The registers whose answers feed the timeline (the counters: kPulseCountersTag).
inline constexpr int32_t kTlInputsTag = 60070;
inline constexpr int32_t kTlRelaysTag = 60062;
