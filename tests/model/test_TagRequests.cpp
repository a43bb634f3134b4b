// Read and write frames built from tags of the embedded template.
#include <gtest/gtest.h>

#include "ModelTestUtil.h"
#include "uGlobals.h"
#include "uModbusFrames.h"
#include "uTagRequests.h"

namespace {

class TagRequestTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(device.LoadFromRes("XMLDATA"));
    device.DevAddr = 16;
  }
  const TzTag& Tag(int32_t aID) {
    const TzTag* tag = device.GetTagByID(aID);
    EXPECT_NE(tag, nullptr) << aID;
    return *tag;
  }
  TzDevice device;
};

TEST_F(TagRequestTest, ReadFrames) {
  const struct {
    int32_t id;
    std::vector<uint8_t> frame;
  } cases[] = {
      {4101, {0x10, 0x03, 0x10, 0x05, 0x00, 0x01, 0x93, 0x8A}},
      {60070, {0x10, 0x03, 0xEA, 0xA6, 0x00, 0x01, 0x53, 0x70}},
      {36864, Bytes(WithCrc({0x10, 0x04, 0x90, 0x00, 0x00, 0x01}))},
      {24583, Bytes(WithCrc({0x10, 0x04, 0x60, 0x07, 0x00, 0x02}))},
      {160071, Bytes(WithCrc({0x10, 0x03, 0xEA, 0xA7, 0x00, 0x0C}))},
      {4096, Bytes(WithCrc({0x10, 0x01, 0x10, 0x00, 0x00, 0x01}))},
  };
  for (const auto& c : cases) {
    TStringBytes frame;
    ASSERT_TRUE(BuildTagReadFrame(Tag(c.id), frame)) << c.id;
    EXPECT_EQ(Bytes(frame), c.frame) << c.id;
  }
}

TEST_F(TagRequestTest, AddressIsTheLowByteOfDevAddr) {
  device.DevAddr = 0x101;
  TStringBytes frame;
  ASSERT_TRUE(BuildTagReadFrame(Tag(4101), frame));
  EXPECT_EQ(frame.getByte(1), 0x01);
}

TEST_F(TagRequestTest, NoReadFrameWithoutAReadFunctionOrDevice) {
  const TStringBytes before = TStringBytes::FromBytes({0xAA});
  TStringBytes frame = before;
  EXPECT_FALSE(BuildTagReadFrame(Tag(60000), frame));  // "Команда" is write-only
  EXPECT_EQ(frame, before);

  TzTag loose;
  loose.ReadCmd = 3;
  EXPECT_FALSE(BuildTagReadFrame(loose, frame));
  EXPECT_EQ(frame, before);
}

TEST_F(TagRequestTest, WriteFramesAndTheValueAsWritten) {
  const struct {
    int32_t id;
    double value;
    std::vector<uint8_t> frame;
    double written;
  } cases[] = {
      {4101, 100, {0x10, 0x06, 0x10, 0x05, 0x00, 0x64, 0x9F, 0xA1}, 100},
      {4096, 1, {0x10, 0x05, 0x10, 0x00, 0xFF, 0x00, 0x8B, 0xBB}, 1},
      {4096, -1, {0x10, 0x05, 0x10, 0x00, 0xFF, 0x00, 0x8B, 0xBB}, 1},
      {4096, 0.7, Bytes(WithCrc({0x10, 0x05, 0x10, 0x00, 0x00, 0x00})), 0},
      {4096, 65536, Bytes(WithCrc({0x10, 0x05, 0x10, 0x00, 0x00, 0x00})), 0},
      {60000, 70000.9, Bytes(WithCrc({0x10, 0x06, 0xEA, 0x60, 0x11, 0x70})), 4464},
      {60000, -1, Bytes(WithCrc({0x10, 0x06, 0xEA, 0x60, 0xFF, 0xFF})), 65535},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.id << " := " << c.value);
    TStringBytes frame;
    double written = -12345;
    ASSERT_TRUE(BuildTagWriteFrame(Tag(c.id), c.value, frame, written));
    EXPECT_EQ(Bytes(frame), c.frame);
    EXPECT_EQ(written, c.written);
  }
}

TEST_F(TagRequestTest, Function16UsesTheStandardLayout) {
  TzTag& tag = device.AddTag();
  tag.Reg = 0x1005;
  tag.WriteCmd = 16;
  tag.ValType = vtInt16;
  tag.OrderMas = {2, 1};
  TStringBytes frame;
  double written = 0;
  ASSERT_TRUE(BuildTagWriteFrame(tag, 65535, frame, written));
  EXPECT_EQ(Bytes(frame), Bytes(WithCrc({0x10, 0x10, 0x10, 0x05, 0x00, 0x01, 0x02, 0xFF, 0xFF})));
  EXPECT_EQ(written, -1);

  tag.ValType = vtFloat32;
  tag.OrderMas = {4, 3, 2, 1};
  ASSERT_TRUE(BuildTagWriteFrame(tag, 10.0, frame, written));
  EXPECT_EQ(Bytes(frame),
            Bytes(WithCrc({0x10, 0x10, 0x10, 0x05, 0x00, 0x02, 0x04, 0x41, 0x20, 0x00, 0x00})));
  EXPECT_EQ(written, 10.0);
}

TEST_F(TagRequestTest, WritesThatCannotBeBuilt) {
  TzTag& odd = device.AddTag();
  odd.Reg = 1;
  odd.WriteCmd = 6;
  odd.ValType = vtUInt16;
  odd.OrderMas = {2, 1};

  TzTag loose;
  loose.WriteCmd = 6;
  loose.ValType = vtUInt16;
  loose.OrderMas = {2, 1};

  const struct {
    const char* what;
    const TzTag* tag;
    void (*change)(TzTag&);
  } cases[] = {
      {"block tag by function 16", &Tag(160071), nullptr},
      {"input register without a write function", &Tag(5096), nullptr},
      {"order too long", &odd, [](TzTag& t) { t.OrderMas = {4, 3, 2, 1}; }},
      {"position beyond the width", &odd, [](TzTag& t) { t.OrderMas = {3, 1}; }},
      {"byte coding", &odd, [](TzTag& t) { t.ValType = vtLowByte; t.OrderMas = {2, 1}; }},
      {"write function 3", &odd, [](TzTag& t) { t.ValType = vtUInt16; t.WriteCmd = 3; }},
      {"no device", &loose, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.change) c.change(odd);
    const TStringBytes before = TStringBytes::FromBytes({0xAA});
    TStringBytes frame = before;
    double written = -12345;
    EXPECT_FALSE(BuildTagWriteFrame(*c.tag, 1, frame, written));
    EXPECT_EQ(frame, before);
    EXPECT_EQ(written, -12345);
  }
}

}  // namespace
