#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "uModbusFrames.h"
#include "uUtils.h"

namespace {

const std::vector<uint8_t> kOrder21 = {2, 1};
const std::vector<uint8_t> kOrder4321 = {4, 3, 2, 1};

std::vector<uint8_t> Read(int32_t aAddr, int32_t aFunc, int32_t aReg, int32_t aCount) {
  TStringBytes frame;
  EXPECT_TRUE(BuildReadFrame(aAddr, aFunc, aReg, aCount, frame));
  return frame.AsBytes();
}

bool CrcCloses(const std::vector<uint8_t>& aFrame) { return ModbusCRC(aFrame) == 0; }

}  // namespace

TEST(ModbusFrames, WorkedFramesByteForByte) {
  EXPECT_EQ(Read(1, 3, 0, 1), (std::vector<uint8_t>{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}));
  EXPECT_EQ(Read(16, 3, 0x1005, 1), (std::vector<uint8_t>{0x10, 0x03, 0x10, 0x05, 0x00, 0x01, 0x93, 0x8A}));
  EXPECT_EQ(Read(1, 4, 0x9000, 1), (std::vector<uint8_t>{0x01, 0x04, 0x90, 0x00, 0x00, 0x01, 0x1C, 0xCA}));
  EXPECT_EQ(Read(16, 3, 60070, 1), (std::vector<uint8_t>{0x10, 0x03, 0xEA, 0xA6, 0x00, 0x01, 0x53, 0x70}));

  TStringBytes frame;
  ASSERT_TRUE(BuildWriteFrame(16, 6, 0x1005, vtUInt16, kOrder21, 100, frame));
  EXPECT_EQ(frame.AsBytes(), (std::vector<uint8_t>{0x10, 0x06, 0x10, 0x05, 0x00, 0x64, 0x9F, 0xA1}));
  ASSERT_TRUE(BuildWriteFrame(16, 5, 0x1000, vtBit, kOrder21, 1, frame));
  EXPECT_EQ(frame.AsBytes(), (std::vector<uint8_t>{0x10, 0x05, 0x10, 0x00, 0xFF, 0x00, 0x8B, 0xBB}));
}

TEST(ModbusFrames, ReadsExistForFunctionsOneToFourOnly) {
  for (int32_t func : {1, 2, 3, 4}) {
    const std::vector<uint8_t> frame = Read(0x1F, func, 60071, 12);
    ASSERT_EQ(frame.size(), 8u);
    EXPECT_EQ(frame[1], func);
    EXPECT_EQ(frame[5], 12);
    EXPECT_TRUE(CrcCloses(frame));
  }
  TStringBytes frame = TStringBytes::FromText("keep");
  for (int32_t func : {0, 5, 6, 16, -1}) EXPECT_FALSE(BuildReadFrame(16, func, 1, 1, frame)) << func;
  EXPECT_TRUE(frame == std::string_view("keep"));
}

TEST(ModbusFrames, CoilWriteSwitchesOnByTheLow16BitsOfTheTruncatedValue) {
  struct Case {
    double value;
    bool on;
  };
  const Case cases[] = {{0.7, false}, {1, true}, {-1, true}, {65536, false}, {65537, true},
                        {-65536, false}, {0, false}, {1e20, false}, {-0.9, false}, {2.5, true}};
  for (const Case& c : cases) {
    TStringBytes frame;
    double written = -5;
    ASSERT_TRUE(BuildCoilWriteFrame(16, 4096, c.value, frame, &written)) << c.value;
    EXPECT_EQ(frame.getByte(5), c.on ? 0xFF : 0x00) << c.value;
    EXPECT_EQ(frame.getByte(6), 0x00) << c.value;
    EXPECT_EQ(written, c.on ? 1 : 0) << c.value;
    EXPECT_TRUE(CrcCloses(frame.AsBytes()));
  }
  TStringBytes frame;
  EXPECT_FALSE(BuildCoilWriteFrame(16, 1, std::nan(""), frame));
  EXPECT_FALSE(BuildCoilWriteFrame(16, 1, std::numeric_limits<double>::infinity(), frame));
}

TEST(ModbusFrames, RegisterWritesByTypeAndOrder) {
  struct Case {
    const char* name;
    int32_t func;
    int32_t valType;
    std::vector<uint8_t> order;
    double value;
    std::vector<uint8_t> body;  // bytes after the register address, check sum left out
    double written;
  };
  const Case cases[] = {
      {"u16 21", 6, vtUInt16, kOrder21, 0x1234, {0x12, 0x34}, 0x1234},
      {"u16 12", 6, vtUInt16, {1, 2}, 0x1234, {0x34, 0x12}, 0x1234},
      {"u16 truncates", 6, vtUInt16, kOrder21, 7.9, {0x00, 0x07}, 7},
      {"u16 wraps", 6, vtUInt16, kOrder21, 65537, {0x00, 0x01}, 1},
      {"u16 negative", 6, vtUInt16, kOrder21, -2, {0xFF, 0xFE}, 65534},
      {"i16 negative", 6, vtInt16, kOrder21, -2, {0xFF, 0xFE}, -2},
      {"i16 wraps to negative", 6, vtInt16, kOrder21, 40000, {0x9C, 0x40}, -25536},
      {"u32 4321", 6, vtUInt32, kOrder4321, 0x01020304, {0x01, 0x02, 0x03, 0x04}, 0x01020304},
      {"i32 1234", 6, vtInt32, {1, 2, 3, 4}, -1, {0xFF, 0xFF, 0xFF, 0xFF}, -1},
      {"i32 2143", 6, vtInt32, {2, 1, 4, 3}, 0x01020304, {0x03, 0x04, 0x01, 0x02}, 0x01020304},
      {"f32 4321", 6, vtFloat32, kOrder4321, 10.0, {0x41, 0x20, 0x00, 0x00}, 10.0},
      {"f32 rounds", 6, vtFloat32, kOrder4321, 0.1, {0x3D, 0xCC, 0xCC, 0xCD}, static_cast<double>(0.1f)},
      {"f64", 6, vtFloat64, {8, 7, 6, 5, 4, 3, 2, 1}, 1.0, {0x3F, 0xF0, 0, 0, 0, 0, 0, 0}, 1.0},
      {"fn16 u16", 16, vtUInt16, kOrder21, 100, {0x00, 0x01, 0x02, 0x00, 0x64}, 100},
      {"fn16 f32", 16, vtFloat32, kOrder4321, 10.0, {0x00, 0x02, 0x04, 0x41, 0x20, 0x00, 0x00}, 10.0},
  };
  for (const Case& c : cases) {
    TStringBytes frame;
    double written = -12345;
    ASSERT_TRUE(BuildWriteFrame(16, c.func, 0x1005, c.valType, c.order, c.value, frame, &written)) << c.name;
    const std::vector<uint8_t> bytes = frame.AsBytes();
    ASSERT_EQ(bytes.size(), 4 + c.body.size() + 2) << c.name;
    EXPECT_EQ(bytes[0], 16) << c.name;
    EXPECT_EQ(bytes[1], c.func) << c.name;
    EXPECT_EQ(bytes[2], 0x10) << c.name;
    EXPECT_EQ(bytes[3], 0x05) << c.name;
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 4, bytes.end() - 2), c.body) << c.name;
    EXPECT_TRUE(CrcCloses(bytes)) << c.name;
    EXPECT_EQ(written, c.written) << c.name;
  }
}

TEST(ModbusFrames, Function16OfA16BitValueIsTheStandardElevenByteFrame) {
  TStringBytes frame;
  ASSERT_TRUE(BuildWriteFrame(16, 16, 60071, vtUInt16, kOrder21, 0, frame));
  EXPECT_EQ(frame.Length(), 11);
  EXPECT_EQ(frame.AsBytes(), (std::vector<uint8_t>{0x10, 0x10, 0xEA, 0xA7, 0x00, 0x01, 0x02, 0x00, 0x00,
                                                   frame.getByte(10), frame.getByte(11)}));
  EXPECT_TRUE(CrcCloses(frame.AsBytes()));
}

TEST(ModbusFrames, WritesThatCannotBeBuiltLeaveTheFrameAlone) {
  struct Case {
    const char* name;
    int32_t func;
    int32_t valType;
    std::vector<uint8_t> order;
    double value;
  };
  const Case cases[] = {
      {"function 3", 3, vtUInt16, kOrder21, 1},
      {"function 15", 15, vtUInt16, kOrder21, 1},
      {"bit type", 6, vtBit, kOrder21, 1},
      {"block type", 16, vtBlock, kOrder21, 1},
      {"byte type", 6, vtLowByte, kOrder21, 1},
      {"order too short", 6, vtUInt32, kOrder21, 1},
      {"order too long", 6, vtUInt16, kOrder4321, 1},
      {"position past width", 6, vtUInt16, {3, 1}, 1},
      {"position zero", 6, vtUInt16, {0, 1}, 1},
      {"empty order", 6, vtUInt16, {}, 1},
      {"not a number", 6, vtUInt16, kOrder21, std::nan("")},
      {"infinite integer", 6, vtInt32, kOrder4321, std::numeric_limits<double>::infinity()},
  };
  for (const Case& c : cases) {
    TStringBytes frame = TStringBytes::FromText("keep");
    double written = 99;
    EXPECT_FALSE(BuildWriteFrame(16, c.func, 1, c.valType, c.order, c.value, frame, &written)) << c.name;
    EXPECT_TRUE(frame == std::string_view("keep")) << c.name;
    EXPECT_EQ(written, 99) << c.name;
  }
}

TEST(ModbusFrames, ValueWidths) {
  EXPECT_EQ(ValueWidth(vtUInt16), 2);
  EXPECT_EQ(ValueWidth(vtInt16), 2);
  EXPECT_EQ(ValueWidth(vtFloat32), 4);
  EXPECT_EQ(ValueWidth(vtUInt32), 4);
  EXPECT_EQ(ValueWidth(vtInt32), 4);
  EXPECT_EQ(ValueWidth(vtFloat64), 8);
  EXPECT_EQ(ValueWidth(vtBit), 0);
  EXPECT_EQ(ValueWidth(vtBlock), 0);
}

TEST(ModbusFrames, WriteEchoConfirmsOnlyTheMatchingWrite) {
  TStringBytes write6, write16, coil, read;
  ASSERT_TRUE(BuildWriteFrame(16, 6, 0x1005, vtUInt16, kOrder21, 100, write6));
  ASSERT_TRUE(BuildWriteFrame(16, 16, 60071, vtUInt16, kOrder21, 0, write16));
  ASSERT_TRUE(BuildWriteFrame(16, 5, 4096, vtBit, kOrder21, 1, coil));
  ASSERT_TRUE(BuildReadFrame(16, 3, 0x1005, 1, read));

  TStringBytes echo16 = TStringBytes::FromBytes({0x10, 0x10, 0xEA, 0xA7, 0x00, 0x01});
  const uint16_t crc = ModbusCRC(echo16, 6);
  echo16 = echo16 + static_cast<uint8_t>(crc & 0xFF) + static_cast<uint8_t>(crc >> 8);
  TStringBytes badCrc16 = echo16;
  badCrc16.setByte(8, static_cast<uint8_t>(badCrc16.getByte(8) ^ 1));
  TStringBytes otherValue = write6;
  otherValue.setByte(6, 0x65);

  EXPECT_TRUE(IsWriteEcho(write6, write6));
  EXPECT_TRUE(IsWriteEcho(coil, coil));
  EXPECT_TRUE(IsWriteEcho(write16, echo16));
  EXPECT_FALSE(IsWriteEcho(write16, badCrc16));
  EXPECT_FALSE(IsWriteEcho(write6, otherValue));
  EXPECT_FALSE(IsWriteEcho(read, read));  // a read is no write
  EXPECT_FALSE(IsWriteEcho(write6, TStringBytes::FromBytes({0x10, 0x86, 0x02, 0x93, 0xA4})));
  EXPECT_FALSE(IsWriteEcho(write6, TStringBytes()));
}

namespace {
std::vector<uint8_t> Closed(std::vector<uint8_t> aBytes) {
  return WithModbusCRC(std::move(aBytes));
}
}  // namespace

TEST(ModbusFrames, AnAnswerIsCompleteAtTheLengthItsFunctionImpliesWithACorrectCheckSum) {
  const std::vector<uint8_t> read3 = Closed({0x10, 0x03, 0x04, 0x00, 0x4A, 0x00, 0x01});
  const std::vector<uint8_t> coils = Closed({0x10, 0x01, 0x01, 0x05});
  const std::vector<uint8_t> echo6 = Closed({0x10, 0x06, 0x70, 0x08, 0x00, 0x0A});
  const std::vector<uint8_t> echo16 = Closed({0x10, 0x10, 0x70, 0x08, 0x00, 0x02});
  const std::vector<uint8_t> exception = Closed({0x10, 0x84, 0x02});
  const std::vector<uint8_t> unknown = Closed({0x10, 0x2B, 0x0E, 0x01});
  std::vector<uint8_t> badCrc = read3;
  badCrc.back() ^= 0xFF;
  std::vector<uint8_t> trailing = echo6;
  trailing.push_back(0x55);
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    size_t take;  // bytes seen so far; 0: all
    bool complete;
  };
  const Case cases[] = {
      {"read answer whole", read3, 0, true},
      {"read answer one byte short", read3, read3.size() - 1, false},
      {"read answer, byte count only", read3, 3, false},
      {"coil answer whole", coils, 0, true},
      {"write echo 6 whole", echo6, 0, true},
      {"write echo 6 at seven bytes", echo6, 7, false},
      {"write echo 16 whole", echo16, 0, true},
      {"exception whole", exception, 0, true},
      {"exception at four bytes", exception, 4, false},
      {"wrong check sum waits for the silence", badCrc, 0, false},
      {"bytes after a whole answer", trailing, 0, true},
      {"a function without a known length", unknown, 0, false},
      {"nothing yet", {}, 0, false},
  };
  for (const Case& c : cases) {
    const size_t n = c.take ? c.take : c.bytes.size();
    EXPECT_EQ(IsCompleteRtuAnswer(std::span<const uint8_t>(c.bytes.data(), n)), c.complete) << c.name;
  }
}

// The framing rules by function, from the first bytes that tell them.
TEST(ModbusFrames, RequestAndAnswerLengthsByFunction) {
  struct Case {
    std::vector<uint8_t> bytes;
    int request, answer;
  };
  const Case cases[] = {
      {{0x10}, 0, 0},                                   // too short to tell
      {{0x10, 0x04}, 8, 0},                             // a read: the answer needs its byte count
      {{0x10, 0x04, 0x02}, 8, 7},                       // ... 5 + 2
      {{0x10, 0x03, 0x0C}, 8, 17},                      //
      {{0x10, 0x05}, 8, 8},                             // coil write and its echo
      {{0x10, 0x06}, 8, 8},                             //
      {{0x10, 0x10, 0x70, 0x00, 0x00, 0x02}, 0, 8},     // request needs its byte count
      {{0x10, 0x10, 0x70, 0x00, 0x00, 0x02, 0x04}, 13, 8},
      {{0x10, 0x0F, 0x00, 0x00, 0x00, 0x0C, 0x02}, 11, 8},
      {{0x10, 0x84}, -1, 5},                            // exception answer
      {{0x10, 0x2B}, -1, -1},                           // a function outside the rules
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    EXPECT_EQ(RtuRequestLength(c.bytes), c.request);
    EXPECT_EQ(RtuAnswerLength(c.bytes), c.answer);
  }
}
