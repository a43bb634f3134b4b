#include <gtest/gtest.h>

#include "uSniffFrames.h"
#include "uUtils.h"

namespace {
std::vector<uint8_t> Closed(std::vector<uint8_t> aBytes) {
  return WithModbusCRC(std::move(aBytes));
}
std::vector<uint8_t> Join(std::vector<uint8_t> aA, const std::vector<uint8_t>& aB) {
  aA.insert(aA.end(), aB.begin(), aB.end());
  return aA;
}
}  // namespace

// A request and an answer that arrive without a silence between them are two
// frames; each is described with its direction.
TEST(SniffFrames, ChunksSplitByFramingAndFramesDescribed) {
  const auto read = Closed({0x10, 0x03, 0xEA, 0xA6, 0x00, 0x02});
  const auto answer = Closed({0x10, 0x03, 0x04, 0x08, 0x05, 0x00, 0x07});
  const auto write = Closed({0x10, 0x06, 0x70, 0x08, 0x00, 0x0C});
  const auto exception = Closed({0x10, 0x83, 0x02});
  const auto coils = Closed({0x10, 0x01, 0x10, 0x00, 0x00, 0x01});
  const auto coilAnswer = Closed({0x10, 0x01, 0x03, 0x01, 0x02, 0x03});  // eight bytes too
  const std::vector<uint8_t> garbage = {0x10, 0x03, 0x77};

  std::vector<uint8_t> stream;
  for (const auto* frame : {&read, &answer, &write, &write, &read, &exception, &coils, &coilAnswer, &garbage})
    stream = Join(stream, *frame);
  const auto frames = SplitFrames(stream);
  ASSERT_EQ(frames.size(), 9u);

  struct Expect {
    const char* direction;
    std::optional<int> reg;
    const char* data;
    bool crc;
  };
  const Expect expected[] = {
      {"request", 60070, "quantity 2", true},   {"answer", 60070, "values 2053 7", true},
      {"request", 28680, "value 12", true},     {"answer", 28680, "value 12", true},
      {"request", 60070, "quantity 2", true},   {"answer", std::nullopt, "exception 02h", true},
      {"request", 4096, "quantity 1", true},    {"answer", 4096, "values 01 02 03", true},
      {"?", std::nullopt, "", false},
  };
  TzSniffDescriber describer;
  for (size_t i = 0; i < frames.size(); ++i) {
    const TzSniffFrame f = describer.Describe(frames[i]);
    EXPECT_EQ(f.Direction, expected[i].direction) << i;
    EXPECT_EQ(f.Register, expected[i].reg) << i;
    EXPECT_EQ(f.Data, expected[i].data) << i;
    EXPECT_EQ(f.CrcOk, expected[i].crc) << i;
  }
}

TEST(SniffFrames, TheSilenceThatEndsAFrame) {
  EXPECT_EQ(FrameGapMs(9600, 10), 4);    // 3.65 ms
  EXPECT_EQ(FrameGapMs(1200, 11), 33);   // 32.1 ms
  EXPECT_EQ(FrameGapMs(19200, 10), 2);
  EXPECT_EQ(FrameGapMs(115200, 10), 2);  // 1.75 ms above 19200
}
