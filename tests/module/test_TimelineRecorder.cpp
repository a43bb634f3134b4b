// The timeline's recorder without widgets: changes only, gaps, the bound on
// memory, the cursor and edge queries; and how the poll's answers become
// changes (bits, counters and their rates, the poll interval).
#include <gtest/gtest.h>

#include <vector>

#include "uTimelineRecorder.h"
#include "uTimelineTraces.h"

namespace {

constexpr int64_t U = kTraceUnknown;

std::vector<TzTraceChange> ChangesOf(const TzTimelineRecorder& aRec, size_t aTrace) {
  return {aRec.Changes(aTrace).begin(), aRec.Changes(aTrace).end()};
}

struct TzSample {
  int64_t TimeMs;
  int64_t Value;
};

struct TzRecordCase {
  const char* Name;
  std::vector<TzSample> Samples;
  std::vector<TzTraceChange> Kept;
};

}  // namespace

// Found by the test's printer next to the type.
void PrintTo(const TzTraceChange& aChange, std::ostream* aOut);
void PrintTo(const TzTraceChange& aChange, std::ostream* aOut) {
  *aOut << "{" << aChange.TimeMs << ", " << (aChange.Value == U ? std::string("?") : std::to_string(aChange.Value))
        << "}";
}

// One trace fed sample by sample, as the poll would: what is kept.
TEST(TimelineRecorder, KeepsOnlyChangesAndGaps) {
  const TzRecordCase cases[] = {
      {"a steady value is one change", {{100, 1}, {350, 1}, {600, 1}}, {{100, 1}}},
      {"each change once", {{100, 0}, {350, 1}, {600, 1}, {850, 0}}, {{100, 0}, {350, 1}, {850, 0}}},
      {"unknown before the first value adds nothing", {{100, U}, {350, U}, {600, 1}}, {{600, 1}}},
      {"a failed read is a gap until the next good one",
       {{100, 1}, {350, U}, {600, U}, {850, 1}},
       {{100, 1}, {350, U}, {850, 1}}},
      {"a clock stepping back keeps the order", {{1000, 0}, {900, 1}, {1200, 0}}, {{1000, 0}, {1000, 1}, {1200, 0}}},
  };
  for (const TzRecordCase& c : cases) {
    TzTimelineRecorder rec(1, 0);
    for (const TzSample& s : c.Samples) rec.Record(0, s.TimeMs, s.Value);
    EXPECT_EQ(ChangesOf(rec, 0), c.Kept) << c.Name;
    EXPECT_EQ(rec.ChangeCount(), c.Kept.size()) << c.Name;
  }
}

TEST(TimelineRecorder, DisconnectMakesEveryKnownTraceUnknown) {
  TzTimelineRecorder rec(3, 0);
  rec.Record(0, 10, 1);
  rec.Record(1, 10, 0);
  EXPECT_EQ(rec.RecordAllUnknown(500), 2u);  // trace 2 was never known
  EXPECT_EQ(rec.ValueAt(0, 499), 1);
  EXPECT_EQ(rec.ValueAt(0, 500), U);
  EXPECT_EQ(rec.ValueAt(1, 800), U);
  EXPECT_TRUE(rec.Changes(2).empty());
  EXPECT_EQ(rec.RecordAllUnknown(600), 0u);  // still unknown: nothing new
  EXPECT_FALSE(rec.Record(7, 700, 1));       // no such trace
}

// Trace 0: 0 at 100, 1 at 200, gap at 300, 1 at 400.
TEST(TimelineRecorder, CursorAndEdgeQueries) {
  TzTimelineRecorder rec(2, 0);
  rec.Record(0, 100, 0);
  rec.Record(0, 200, 1);
  rec.Record(0, 300, U);
  rec.Record(0, 400, 1);
  struct Q {
    int64_t At;
    int64_t Value;
    std::optional<int64_t> Prev, Next;
    size_t First;
  };
  const Q queries[] = {
      {50, U, std::nullopt, 100, 0},  {100, 0, std::nullopt, 200, 0}, {150, 0, 100, 200, 1},
      {200, 1, 100, 300, 1},          {299, 1, 200, 300, 2},          {300, U, 200, 400, 2},
      {400, 1, 300, std::nullopt, 3}, {5000, 1, 400, std::nullopt, 4},
  };
  for (const Q& q : queries) {
    EXPECT_EQ(rec.ValueAt(0, q.At), q.Value) << q.At;
    EXPECT_EQ(rec.PrevChange(0, q.At), q.Prev) << q.At;
    EXPECT_EQ(rec.NextChange(0, q.At), q.Next) << q.At;
    EXPECT_EQ(rec.FirstChangeFrom(0, q.At), q.First) << q.At;
  }
  EXPECT_EQ(rec.NextChange(1, 0), std::nullopt);  // a trace without changes
  EXPECT_EQ(rec.ValueAt(1, 1000), U);
}

// The bound: the oldest history goes, the beginning moves on, and every trace
// keeps its exact value from the new beginning.
TEST(TimelineRecorder, BoundDropsOldestAndKeepsValuesExact) {
  TzTimelineRecorder rec(2, 0, 10);
  rec.Record(1, 5, 7);  // a slow trace: one change long ago
  for (int64_t t = 1; t <= 100; ++t) rec.Record(0, t * 10, t % 2);
  EXPECT_LE(rec.ChangeCount(), 10u);
  EXPECT_GT(rec.StartMs(), 5);
  // Everything from the beginning on reads as it was recorded.
  for (int64_t t = rec.StartMs(); t <= 1000; ++t) {
    const int64_t expected = t < 10 ? U : (t / 10) % 2;
    ASSERT_EQ(rec.ValueAt(0, t), expected) << t;
    ASSERT_EQ(rec.ValueAt(1, t), 7) << t;
  }
  // Through a gap too: an unknown value at the new beginning needs no change.
  TzTimelineRecorder gap(2, 0, 4);
  gap.Record(1, 1, 3);
  gap.Record(1, 2, U);
  for (int64_t t = 1; t <= 10; ++t) gap.Record(0, 10 * t, t % 2);
  EXPECT_LE(gap.ChangeCount(), 4u);
  EXPECT_EQ(gap.ValueAt(1, gap.StartMs()), U);
  EXPECT_EQ(gap.ValueAt(0, 100), 0);
}

TEST(TimelineRecorder, MemoryOfAnHourStaysSmall) {
  // An input toggling ten times a second for an hour: 36 000 changes.
  TzTimelineRecorder rec(kTlTraceCount, 0);
  for (int64_t i = 0; i < 36000; ++i) rec.Record(0, i * 100, i % 2);
  EXPECT_EQ(rec.ChangeCount(), 36000u);
  EXPECT_LT(rec.MemoryBytes(), 1'000'000u);
  rec.Clear(5);
  EXPECT_EQ(rec.ChangeCount(), 0u);
  EXPECT_EQ(rec.StartMs(), 5);
}

TEST(TimelineTraces, BitsAndFailedReads) {
  TzTimelineRecorder rec(kTlTraceCount, 0);
  EXPECT_EQ(RecordBits(rec, kTlFirstInput, kTlInputCount, 100, 0x0805), 12u);  // first values
  EXPECT_EQ(RecordBits(rec, kTlFirstInput, kTlInputCount, 350, 0x0805), 0u);
  EXPECT_EQ(RecordBits(rec, kTlFirstInput, kTlInputCount, 600, 0x0804), 1u);   // input 1 fell
  EXPECT_EQ(rec.ValueAt(kTlFirstInput + 0, 600), 0);
  EXPECT_EQ(rec.ValueAt(kTlFirstInput + 2, 600), 1);
  EXPECT_EQ(rec.ValueAt(kTlFirstInput + 11, 600), 1);
  EXPECT_EQ(RecordBits(rec, kTlFirstRelay, kTlRelayCount, 600, 0x0021), 6u);
  EXPECT_EQ(rec.ValueAt(kTlFirstRelay + 5, 600), 1);
  EXPECT_EQ(RecordBits(rec, kTlFirstInput, kTlInputCount, 850, std::nullopt), 12u);
  EXPECT_EQ(rec.ValueAt(kTlFirstInput + 2, 900), U);
  EXPECT_EQ(rec.ValueAt(kTlFirstRelay + 5, 900), 1);  // the relays' read did not fail
  EXPECT_EQ(TimelineTraceKind(kTlFirstRelay + 5), TzTraceKind::Bit);
  EXPECT_EQ(TimelineTraceKind(kTlFirstCount), TzTraceKind::Count);
  EXPECT_EQ(TimelineTraceKind(kTlFirstRate + 11), TzTraceKind::Rate);
}

TEST(TimelineTraces, CounterRates) {
  TzTimelineRecorder rec(kTlTraceCount, 0);
  TzCounterFeed feed;
  std::vector<int32_t> counts(12, 0);
  struct Step {
    int64_t TimeMs;
    int32_t Count;            // input 1's counter; empty reading when negative
    int64_t Rate;             // expected rate of input 1 after the step, in thousandths
  };
  const Step steps[] = {
      {1000, 10, U},     // the first reading: no rate yet
      {2000, 15, 5000},  // 5 pulses in one second
      {3000, 15, 0},
      {5000, 20, 2500},  // 5 pulses in two seconds
      {6000, 3, 3000},   // reset in between: 3 since
      {7000, -1, U},     // a failed read
      {8000, 9, U},      // the rate needs two readings again
      {8500, 10, 2000},
  };
  for (const Step& s : steps) {
    if (s.Count < 0) {
      feed.Record(rec, s.TimeMs, {});
      EXPECT_EQ(rec.ValueAt(kTlFirstCount, s.TimeMs), U) << s.TimeMs;
    } else {
      counts[0] = s.Count;
      feed.Record(rec, s.TimeMs, counts);
      EXPECT_EQ(rec.ValueAt(kTlFirstCount, s.TimeMs), s.Count) << s.TimeMs;
    }
    EXPECT_EQ(rec.ValueAt(kTlFirstRate, s.TimeMs), s.Rate) << s.TimeMs;
  }
  // After a lost line the rate starts over as well.
  feed.Lost();
  counts[0] = 20;
  feed.Record(rec, 9000, counts);
  EXPECT_EQ(rec.ValueAt(kTlFirstRate, 9000), 2000);  // unchanged: no new rate from one reading
}

TEST(TimelineTraces, PollIntervalIsTheMeanOfTheLastAnswers) {
  TzPollInterval interval;
  EXPECT_EQ(interval.MeanMs(), std::nullopt);
  interval.Answer(1000);
  EXPECT_EQ(interval.MeanMs(), std::nullopt);
  interval.Answer(1250);
  EXPECT_EQ(interval.MeanMs(), 250);
  // Fast answers push the slow ones out of the window.
  for (int i = 1; i <= 10; ++i) interval.Answer(1250 + i * 40);
  EXPECT_EQ(interval.MeanMs(), 40);
  interval.Reset();
  EXPECT_EQ(interval.MeanMs(), std::nullopt);
}
