// DecodeModbusAnswer: answers of the module against tags of every coding.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "ModelTestUtil.h"
#include "uGlobals.h"
#include "uModbusFrames.h"
#include "uValueText.h"

namespace {

std::vector<uint8_t> Positions(std::string_view aOrder) {
  std::vector<uint8_t> positions;
  for (char c : aOrder) positions.push_back(static_cast<uint8_t>(c - '0'));
  return positions;
}

class DecodeTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetDecimalSeparator(".");
    device.DevAddr = 1;
  }
  void TearDown() override { ResetDecimalSeparator(); }

  TzTag& MakeTag(int aReadCmd, int aValType, std::string_view aOrder = "21", int aBitPos = -1) {
    TzTag& tag = device.AddTag();
    tag.ReadCmd = aReadCmd;
    tag.ValType = aValType;
    tag.Order = aOrder;
    tag.OrderMas = Positions(aOrder);
    tag.BitPos = aBitPos;
    return tag;
  }

  // The tag exactly as a new one: nothing was decoded into it.
  static void ExpectUntouched(const TzTag& aTag) {
    EXPECT_EQ(aTag.Quality(), kQualityWaiting);
    EXPECT_EQ(aTag.Value(), 0);
    EXPECT_EQ(aTag.ValueStr, "0");
    EXPECT_FALSE(aTag.ModbusError);
    EXPECT_EQ(aTag.ModbusErrorCode, 0);
    EXPECT_TRUE(aTag.DataFull.empty());
    EXPECT_TRUE(aTag.Data.empty());
  }

  TzDevice device;
};

// One answer (without its check sum, which is added) against one tag.
struct AnswerCase {
  const char* what;
  int readCmd;
  int valType;
  const char* order;
  int bitPos;
  std::vector<uint8_t> answer;
  bool accepted;
  std::optional<double> value;  // nothing: no value is set
};

class DecodeAnswerCases : public DecodeTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(DecodeAnswerCases, DecodesOrRejects) {
  const AnswerCase& c = GetParam();
  TzTag& tag = MakeTag(c.readCmd, c.valType, c.order, c.bitPos);
  EXPECT_EQ(DecodeModbusAnswer(WithCrc(c.answer), &tag), c.accepted);
  if (c.value) {
    EXPECT_EQ(tag.Quality(), kQualityGood);
    EXPECT_EQ(tag.Value(), *c.value);
  } else {
    ExpectUntouched(tag);
  }
}

const AnswerCase kAnswerCases[] = {
    // Register codings, by order.
    {"u16 big-endian", 3, vtUInt16, "21", -1, {1, 3, 2, 0x00, 0x2A}, true, 42},
    {"u16 order 12", 3, vtUInt16, "12", -1, {1, 3, 2, 0x00, 0x2A}, true, 10752},
    {"u16 high bit", 4, vtUInt16, "21", -1, {1, 4, 2, 0xFF, 0xFE}, true, 65534},
    {"s16 negative", 4, vtInt16, "21", -1, {1, 4, 2, 0xFF, 0xFE}, true, -2},
    {"s16 positive", 3, vtInt16, "21", -1, {1, 3, 2, 0x7F, 0xFF}, true, 32767},
    {"u32 first register high", 3, vtUInt32, "4321", -1, {1, 3, 4, 0, 1, 0, 2}, true, 65538},
    {"u32 above the upper limit", 3, vtUInt32, "4321", -1, {1, 3, 4, 0xFF, 0xFF, 0xFF, 0xFF}, true,
     kDefaultMaxValue},
    {"s32 negative", 4, vtInt32, "4321", -1, {1, 4, 4, 0xFF, 0xFF, 0xFF, 0xFE}, true, -2},
    {"s32 low register first", 4, vtInt32, "2143", -1, {1, 4, 4, 0x00, 0x01, 0x00, 0x02}, true, 0x00020001},
    {"float 10.0", 4, vtFloat32, "4321", -1, {1, 4, 4, 0x41, 0x20, 0x00, 0x00}, true, 10.0},
    {"float -1.5 little-endian", 3, vtFloat32, "1234", -1, {1, 3, 4, 0x00, 0x00, 0xC0, 0xBF}, true, -1.5},
    {"double 10.0", 3, vtFloat64, "87654321", -1, {1, 3, 8, 0x40, 0x24, 0, 0, 0, 0, 0, 0}, true, 10.0},
    {"order digit 0 takes the byte count", 3, vtUInt16, "10", -1, {1, 3, 2, 0x2A, 0x00}, true,
     0x022A},
    {"low byte", 3, vtLowByte, "", -1, {1, 3, 2, 0x12, 0x34}, true, 0x34},
    {"high byte", 3, vtHighByte, "", -1, {1, 3, 2, 0x12, 0x34}, true, 0x12},
    // Byte count and order length must fit the value.
    {"u16 with 4 data bytes", 3, vtUInt16, "21", -1, {1, 3, 4, 0, 1, 0, 2}, false, {}},
    {"float with 2 data bytes", 4, vtFloat32, "4321", -1, {1, 4, 2, 0x41, 0x20}, false, {}},
    {"u16 with a 4-digit order", 3, vtUInt16, "4321", -1, {1, 3, 2, 0, 1}, false, {}},
    {"float with a 2-digit order", 4, vtFloat32, "21", -1, {1, 4, 4, 0x41, 0x20, 0, 0}, false, {}},
    {"u16 with an empty order", 3, vtUInt16, "", -1, {1, 3, 2, 0, 1}, false, {}},
    {"order digit beyond the byte count", 3, vtUInt16, "31", -1, {1, 3, 2, 0, 1}, false, {}},
    {"byte count 0", 3, vtUInt16, "21", -1, {1, 3, 0}, false, {}},
    {"no byte count", 3, vtUInt16, "21", -1, {1, 3}, false, {}},
    {"low byte with 4 data bytes", 3, vtLowByte, "", -1, {1, 3, 4, 1, 2, 3, 4}, false, {}},
    // Data positions never reach into the check sum.
    {"u16 short of its second data byte", 3, vtUInt16, "21", -1, {1, 3, 2, 0x2A}, false, {}},
    {"float short of two data bytes", 4, vtFloat32, "4321", -1, {1, 4, 4, 0x41, 0x20}, false, {}},
    {"low byte past the data", 3, vtLowByte, "", -1, {1, 3, 2, 0x12}, false, {}},
    // Bit tags read by functions 3 and 4: the word is position 1 low, position 2 high.
    {"bit 9 set", 3, vtBit, "21", 9, {1, 3, 2, 0x00, 0x02}, true, 1},
    {"bit 9 clear", 3, vtBit, "21", 9, {1, 3, 2, 0x02, 0x00}, true, 0},
    {"bit 0", 4, vtBit, "21", 0, {1, 4, 2, 0x01, 0x00}, true, 1},
    {"bit 15", 3, vtBit, "21", 15, {1, 3, 2, 0x00, 0x80}, true, 1},
    {"bit 20 repeats bit 15", 3, vtBit, "21", 20, {1, 3, 2, 0x00, 0x80}, true, 1},
    {"bit 20 with bit 15 clear", 3, vtBit, "21", 20, {1, 3, 2, 0xFF, 0x7F}, true, 0},
    {"bit 41 is bit 9", 3, vtBit, "21", 41, {1, 3, 2, 0x00, 0x02}, true, 1},
    {"unknown coding is a bit", 3, 9, "21", 1, {1, 3, 2, 0x02, 0x00}, true, 1},
    {"no bit: accepted without a value", 3, vtBit, "21", -1, {1, 3, 2, 0xFF, 0xFF}, true, {}},
    {"bit with 4 data bytes", 3, vtBit, "21", 1, {1, 3, 4, 0, 2, 0, 0}, false, {}},
    // Discrete reads: exactly 6 bytes, byte count 1, bit 0 of the data byte.
    {"coil on", 1, vtBit, "21", -1, {1, 1, 1, 0x01}, true, 1},
    {"coil: only bit 0 counts", 1, vtBit, "21", -1, {1, 1, 1, 0x03}, true, 1},
    {"coil off", 1, vtBit, "21", -1, {1, 1, 1, 0x02}, true, 0},
    {"discrete input, any coding", 2, vtUInt16, "21", -1, {1, 2, 1, 0x01}, true, 1},
    {"coil answer of 7 bytes", 1, vtBit, "21", -1, {1, 1, 2, 0x01, 0x00}, false, {}},
    {"coil answer with byte count 0", 1, vtBit, "21", -1, {1, 1, 0, 0x01}, false, {}},
    // The echo of a write is judged as a read answer of the tag.
    {"register write echo", 3, vtUInt16, "21", -1, {1, 6, 0x10, 0x05, 0x00, 0x64}, false, {}},
    {"coil write echo", 1, vtBit, "21", -1, {1, 5, 0x10, 0x00, 0xFF, 0x00}, false, {}},
    // A tag that is never read needs no value.
    {"read function 0", 0, vtUInt16, "21", -1, {1, 3, 2, 0, 1}, true, {}},
    {"read function 5", 5, vtUInt16, "21", -1, {1, 3, 2, 0, 1}, true, {}},
};

INSTANTIATE_TEST_SUITE_P(Answers, DecodeAnswerCases, ::testing::ValuesIn(kAnswerCases),
                         [](const auto& aInfo) {
                           std::string name;
                           for (const char* p = aInfo.param.what; *p; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

TEST_F(DecodeTest, GivesTheValueItsText) {
  TzTag& tag = MakeTag(3, vtUInt16);
  ASSERT_TRUE(DecodeModbusAnswer(WithCrc({1, 3, 2, 0x00, 0x2A}), &tag));
  EXPECT_EQ(tag.ValueStr, "42");

  // An unsigned reading above the upper limit: the value stops at the limit,
  // the text shows the reading.
  TzTag& wide = MakeTag(3, vtUInt32, "4321");
  ASSERT_TRUE(DecodeModbusAnswer(WithCrc({1, 3, 4, 0xFF, 0xFF, 0xFF, 0xFF}), &wide));
  EXPECT_EQ(wide.ValueStr, "4294967295");
}

TEST_F(DecodeTest, NaNReadingEmptiesTheTextAndKeepsTheValue) {
  TzTag& single = MakeTag(4, vtFloat32, "4321");
  ASSERT_TRUE(DecodeModbusAnswer(WithCrc({1, 4, 4, 0x41, 0x20, 0x00, 0x00}), &single));
  EXPECT_TRUE(DecodeModbusAnswer(WithCrc({1, 4, 4, 0x7F, 0xC0, 0x00, 0x00}), &single));
  EXPECT_EQ(single.Value(), 10.0);
  EXPECT_EQ(single.ValueStr, "");

  TzTag& wide = MakeTag(3, vtFloat64, "87654321");
  EXPECT_TRUE(DecodeModbusAnswer(WithCrc({1, 3, 8, 0x7F, 0xF8, 0, 0, 0, 0, 0, 1}), &wide));
  EXPECT_EQ(wide.Quality(), kQualityWaiting);
  EXPECT_EQ(wide.ValueStr, "");
}

TEST_F(DecodeTest, BlockTagKeepsTheDataBytesWhateverTheFunction) {
  struct BlockCase {
    int readCmd;
    std::vector<uint8_t> answer;
    bool accepted;
    std::vector<uint8_t> data;
  };
  const BlockCase cases[] = {
      {3, {1, 3, 4, 0x00, 0x05, 0xD4, 0x02}, true, {0x00, 0x05, 0xD4, 0x02}},
      {0, {1, 3, 2, 0xAB, 0xCD}, true, {0xAB, 0xCD}},
      {1, {1, 1, 1, 0x07}, true, {0x07}},
      // A byte count beyond the answer: the data bytes it holds, not the check sum.
      {3, {1, 3, 24, 0x01, 0x02, 0x03}, true, {0x01, 0x02, 0x03}},
      {3, {1, 3, 6}, true, {}},
      {3, {1, 3, 0}, false, {}},
      {3, {1, 3}, false, {}},
  };
  for (const BlockCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "read " << c.readCmd << ", " << c.answer.size() << " bytes");
    TzTag& tag = MakeTag(c.readCmd, vtBlock);
    const TStringBytes answer = WithCrc(c.answer);
    EXPECT_EQ(DecodeModbusAnswer(answer, &tag), c.accepted);
    EXPECT_EQ(tag.Data, c.data);
    EXPECT_EQ(tag.DataFull, c.accepted ? Bytes(answer) : std::vector<uint8_t>{});
    EXPECT_EQ(tag.Quality(), kQualityWaiting);  // the panel interprets Data
  }
}

TEST_F(DecodeTest, FullCounterBlock) {
  TzTag& tag = MakeTag(3, vtBlock);
  std::vector<uint8_t> answer = {1, 3, 24};
  for (uint8_t i = 1; i <= 24; ++i) answer.push_back(i);
  ASSERT_TRUE(DecodeModbusAnswer(WithCrc(answer), &tag));
  ASSERT_EQ(tag.Data.size(), 24u);
  EXPECT_EQ(tag.Data.front(), 1);
  EXPECT_EQ(tag.Data.back(), 24);
  EXPECT_EQ(tag.DataFull.size(), 29u);
}

TEST_F(DecodeTest, NeedsATagWithADevice) {
  EXPECT_FALSE(DecodeModbusAnswer(WithCrc({1, 3, 2, 0, 1}), nullptr));
  TzTag loose;
  loose.ReadCmd = 3;
  loose.ValType = vtUInt16;
  loose.OrderMas = {2, 1};
  EXPECT_FALSE(DecodeModbusAnswer(WithCrc({1, 3, 2, 0, 1}), &loose));
  EXPECT_EQ(loose.Quality(), kQualityWaiting);
}

// Answers that are not frames of this module are not looked at: the check sum
// must be right and the address byte must be the device's.
TEST_F(DecodeTest, RejectsCorruptedAndForeignFramesWithoutTouchingTheTag) {
  const std::vector<uint8_t> good = Bytes(WithCrc({1, 3, 2, 0x00, 0x2A}));
  auto corrupted = [&](size_t aIndex) {
    std::vector<uint8_t> bytes = good;
    bytes[aIndex] ^= 0x01;
    return Raw(bytes);
  };
  const struct {
    const char* what;
    TStringBytes answer;
  } cases[] = {
      {"empty", Raw({})},
      {"one byte", Raw({1})},
      {"no check sum", Raw({1, 3, 2, 0x00, 0x2A})},
      {"exception without check sum", Raw({1, 0x83, 2})},
      {"two bytes that are a check sum of nothing", Raw({0xFF, 0xFF})},
      {"data byte changed", corrupted(4)},
      {"byte count changed", corrupted(2)},
      {"check sum low byte changed", corrupted(5)},
      {"check sum high byte changed", corrupted(6)},
      {"check sum bytes swapped", Raw({good[0], good[1], good[2], good[3], good[4], good[6], good[5]})},
      {"answer from address 2", WithCrc({2, 3, 2, 0x00, 0x2A})},
      {"broadcast address 0", WithCrc({0, 3, 2, 0x00, 0x2A})},
      {"exception from another address", WithCrc({2, 0x83, 2})},
      {"corrupted exception", Raw({1, 0x83, 2, 0x00, 0x00})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (int valType : {int(vtUInt16), int(vtBlock)}) {
      TzTag& tag = MakeTag(3, valType);
      EXPECT_FALSE(DecodeModbusAnswer(c.answer, &tag));
      ExpectUntouched(tag);
    }
  }
}

TEST_F(DecodeTest, AddressIsTheLowByteOfDevAddr) {
  device.DevAddr = 0x110;
  TzTag& tag = MakeTag(3, vtUInt16);
  EXPECT_TRUE(DecodeModbusAnswer(WithCrc({0x10, 3, 2, 0x00, 0x2A}), &tag));
  EXPECT_EQ(tag.Value(), 42);
}

// Every function byte with bit 7 set is an exception answer, whatever the tag.
TEST_F(DecodeTest, AnyFunctionWithBit7IsAnException) {
  const struct {
    int readCmd;
    int valType;
    const char* order;
    uint8_t function;
    uint8_t code;
    const char* codeText;
  } cases[] = {
      {3, vtUInt16, "21", 0x83, 0x02, "02h"},
      {4, vtUInt16, "21", 0x84, 0x02, "02h"},    // not a value made of the check sum
      {4, vtFloat32, "4321", 0x84, 0x04, "04h"},
      {1, vtBit, "21", 0x81, 0x01, "01h"},
      {2, vtBit, "21", 0x82, 0x03, "03h"},
      {3, vtUInt16, "21", 0x86, 0x02, "02h"},    // exception to a write
      {3, vtUInt16, "21", 0x90, 0x0B, "0Bh"},
      {3, vtBlock, "21", 0x83, 0x0A, "0Ah"},
      {0, vtUInt16, "21", 0xFF, 0xFF, "FFh"},
      {3, vtBit, "21", 0x85, 0x00, "00h"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "function " << int(c.function) << " read " << c.readCmd);
    TzTag& tag = MakeTag(c.readCmd, c.valType, c.order, 3);
    const TStringBytes answer = WithCrc({1, c.function, c.code});
    EXPECT_FALSE(DecodeModbusAnswer(answer, &tag));
    EXPECT_TRUE(tag.ModbusError);
    EXPECT_EQ(tag.ModbusErrorCode, c.code);
    EXPECT_EQ(tag.ModbusErrorCodeStr, c.codeText);
    EXPECT_EQ(tag.DataFull, Bytes(answer));
    EXPECT_EQ(tag.Quality(), kQualityWaiting);
    EXPECT_EQ(tag.ValueStr, "0");
    EXPECT_TRUE(tag.Data.empty());
  }
}

TEST_F(DecodeTest, ExceptionToAWriteAtAddress16) {
  device.DevAddr = 16;
  TzTag& tag = MakeTag(3, vtUInt16);
  EXPECT_FALSE(DecodeModbusAnswer(Raw({0x10, 0x86, 0x02, 0x93, 0xA4}), &tag));
  EXPECT_TRUE(tag.ModbusError);
  EXPECT_EQ(tag.ModbusErrorCodeStr, "02h");
}

TEST_F(DecodeTest, NormalAnswerClearsTheErrorFlagButKeepsTheCode) {
  TzTag& tag = MakeTag(3, vtUInt16);
  ASSERT_FALSE(DecodeModbusAnswer(WithCrc({1, 0x83, 0x02}), &tag));
  ASSERT_TRUE(tag.ModbusError);
  EXPECT_EQ(tag.DataFull.size(), 5u);

  // Even an answer that is then not decodable clears the flag.
  EXPECT_FALSE(DecodeModbusAnswer(WithCrc({1, 3, 4, 0, 0, 0, 0}), &tag));
  EXPECT_FALSE(tag.ModbusError);
  EXPECT_EQ(tag.ModbusErrorCode, 2);
  EXPECT_EQ(tag.ModbusErrorCodeStr, "02h");

  ASSERT_FALSE(DecodeModbusAnswer(WithCrc({1, 0x83, 0x02}), &tag));
  EXPECT_TRUE(DecodeModbusAnswer(WithCrc({1, 3, 2, 0x00, 0x2A}), &tag));
  EXPECT_FALSE(tag.ModbusError);
  EXPECT_EQ(tag.ModbusErrorCode, 2);
  EXPECT_EQ(tag.Value(), 42);
}

TEST_F(DecodeTest, ExceptionWithoutACodeKeepsTheLastCode) {
  TzTag& tag = MakeTag(3, vtUInt16);
  ASSERT_FALSE(DecodeModbusAnswer(WithCrc({1, 0x83, 0x04}), &tag));
  EXPECT_FALSE(DecodeModbusAnswer(WithCrc({1, 0x83}), &tag));
  EXPECT_TRUE(tag.ModbusError);
  EXPECT_EQ(tag.ModbusErrorCode, 4);
  EXPECT_EQ(tag.ModbusErrorCodeStr, "04h");
  EXPECT_EQ(tag.DataFull.size(), 4u);
}

TEST_F(DecodeTest, RejectedAnswerKeepsTheLastValue) {
  TzTag& tag = MakeTag(3, vtUInt16);
  ASSERT_TRUE(DecodeModbusAnswer(WithCrc({1, 3, 2, 0x00, 0x2A}), &tag));
  tag.IsChanged = false;
  EXPECT_FALSE(DecodeModbusAnswer(WithCrc({1, 3, 4, 0, 0, 0, 7}), &tag));
  EXPECT_FALSE(DecodeModbusAnswer(Raw({1, 3, 2, 0x00, 0x07, 0x00, 0x00}), &tag));
  EXPECT_EQ(tag.Value(), 42);
  EXPECT_EQ(tag.ValueStr, "42");
  EXPECT_EQ(tag.Quality(), kQualityGood);
  EXPECT_FALSE(tag.IsChanged);
}

}  // namespace
