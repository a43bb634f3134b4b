// End of request frames: by length where the function is known, else by silence.
#include <gtest/gtest.h>

#include <vector>

#include "SimTestSupport.h"
#include "uSimFramer.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(SimFramer, RequestLengthByFunction) {
  struct TzCase {
    Bytes Start;
    int Length;
  };
  const TzCase cases[] = {
      {{16}, 0},
      {{16, 3}, 8},
      {{16, 1}, 8},
      {{16, 6}, 8},
      {{16, 16, 0, 1, 0, 1}, 0},
      {{16, 16, 0, 1, 0, 2, 4}, 13},
      {{16, 15, 0, 1, 0, 9, 2}, 11},
      {{16, 17}, -1},
      {{16, 0x83}, -1},
  };
  for (const TzCase& c : cases) EXPECT_EQ(SimRequestLength(c.Start), c.Length) << int(c.Start.size());
}

TEST(SimFramer, SilenceIsThreeAndAHalfCharacters) {
  struct TzCase {
    int Baud;
    int Ms;
  };
  const TzCase cases[] = {{1200, 33}, {9600, 5}, {19200, 3}, {38400, 2}, {115200, 2}, {0, 2}};
  for (const TzCase& c : cases) EXPECT_EQ(SimSilenceMs(c.Baud), c.Ms) << c.Baud;
}

TEST(SimFramer, CompleteFramesEndAtOnce) {
  TzSimFramer framer;
  framer.SetBaudRate(9600);
  const Bytes read = WithCrc({16, 3, 0xEA, 0xA6, 0, 1});
  const Bytes write = WithCrc({16, 16, 0x10, 0x08, 0, 1, 2, 0, 20});
  Bytes both = read;
  both.insert(both.end(), write.begin(), write.end());
  framer.Add(std::span(both).first(5), 100);
  Bytes frame;
  EXPECT_FALSE(framer.Take(100, frame));
  framer.Add(std::span(both).subspan(5), 101);
  ASSERT_TRUE(framer.Take(101, frame));
  EXPECT_EQ(frame, read);
  ASSERT_TRUE(framer.Take(101, frame));
  EXPECT_EQ(frame, write);
  EXPECT_FALSE(framer.Take(200, frame));
  EXPECT_EQ(framer.WaitMs(200), -1);
}

TEST(SimFramer, OtherStretchesEndBySilence) {
  const Bytes cases[] = {
      WithCrc({16, 17}),                // function of unknown length
      {16, 3, 0xEA, 0xA6, 0, 1, 0, 0},  // full length, wrong check sum
      {16, 3, 0xEA},                    // cut short
  };
  for (const Bytes& bytes : cases) {
    TzSimFramer framer;
    framer.SetBaudRate(9600);  // 5 ms
    framer.Add(bytes, 100);
    Bytes frame;
    EXPECT_FALSE(framer.Take(104, frame));
    EXPECT_EQ(framer.WaitMs(104), 1);
    ASSERT_TRUE(framer.Take(105, frame));
    EXPECT_EQ(frame, bytes);
    EXPECT_EQ(framer.WaitMs(105), -1);
  }
}

TEST(SimFramer, NoiseBeforeAFrameSpoilsOnlyThatStretch) {
  TzSimFramer framer;
  framer.SetBaudRate(19200);
  const Bytes good = WithCrc({16, 4, 0x90, 0x00, 0, 1});
  Bytes noisy{0x55};
  noisy.insert(noisy.end(), good.begin(), good.end());
  framer.Add(noisy, 100);
  Bytes frame;
  ASSERT_TRUE(framer.Take(103, frame));
  EXPECT_EQ(frame, noisy);  // the module drops it by its check sum
  framer.Add(good, 200);
  ASSERT_TRUE(framer.Take(200, frame));
  EXPECT_EQ(frame, good);
}

TEST(SimFramer, EndlessNoiseIsCutToOneFrameLength) {
  TzSimFramer framer;
  const Bytes noise(1000, 0xAA);
  framer.Add(noise, 100);
  Bytes frame;
  ASSERT_TRUE(framer.Take(1000, frame));
  EXPECT_EQ(frame.size(), 256u);
}

}  // namespace
