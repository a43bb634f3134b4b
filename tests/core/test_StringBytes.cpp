#include <gtest/gtest.h>

#include <type_traits>

#include "uStringBytes.h"

namespace {

TStringBytes Bytes(std::initializer_list<uint8_t> aBytes) { return TStringBytes::FromBytes(aBytes); }

std::vector<uint8_t> Filled(size_t aCount, uint8_t aValue) { return std::vector<uint8_t>(aCount, aValue); }

}  // namespace

TEST(StringBytes, IsAPlainValueOfFixedSize) {
  static_assert(std::is_trivially_copyable_v<TStringBytes>);
  static_assert(sizeof(TStringBytes) == 257);
  TStringBytes buffer;
  EXPECT_FALSE(buffer.IsInitialize);
  EXPECT_EQ(buffer.getByte(0), 0);
}

TEST(StringBytes, BuildsAFrameByteByByte) {
  TStringBytes frame;
  frame.setSize(8);
  for (uint8_t i = 1; i <= 8; ++i) EXPECT_TRUE(frame.setByte(i, static_cast<uint8_t>(0x10 + i)));
  EXPECT_EQ(frame.getByte(0), 8);
  const std::vector<uint8_t> bytes = frame.AsBytes();
  ASSERT_EQ(bytes.size(), 8u);
  EXPECT_EQ(bytes[0], 0x11);
  EXPECT_EQ(bytes[7], 0x18);
}

TEST(StringBytes, SetBytePastLengthFailsWithRangeCheckErrorAndKeepsContents) {
  TStringBytes frame;
  frame.setSize(8);
  std::string error;
  EXPECT_TRUE(frame.setByte(8, 0xAA, &error));
  EXPECT_TRUE(error.empty());
  EXPECT_FALSE(frame.setByte(9, 0xBB, &error));
  EXPECT_EQ(error, "range check error");
  EXPECT_EQ(frame.Size(), 8);
  EXPECT_EQ(frame.getByte(8), 0xAA);
  EXPECT_EQ(frame.getByte(9), 0);  // untouched storage

  std::string charError;
  EXPECT_EQ(frame.getChar(9, &charError), nullptr);
  EXPECT_EQ(charError, "range check error");
  ASSERT_NE(frame.getChar(8), nullptr);
  EXPECT_EQ(*frame.getChar(8), 0xAA);
}

TEST(StringBytes, SetSizeZeroesAndEqualityIgnoresStaleBytes) {
  TStringBytes a = Bytes({1, 2, 3, 4, 5, 6, 7, 8});
  a.setSize(3);
  EXPECT_EQ(a.getByte(4), 4);  // stale, only visible to the unchecked read
  TStringBytes b;
  b.setSize(3);
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(a != b);
  EXPECT_EQ(a.AsBytes(), (std::vector<uint8_t>{0, 0, 0}));
}

TEST(StringBytes, NeverSetBufferEqualsNothingAndReadsEmpty) {
  TStringBytes never;
  TStringBytes copy = never;
  TStringBytes empty = TStringBytes::FromText("");
  EXPECT_FALSE(never == copy);
  EXPECT_FALSE(never != copy);
  EXPECT_FALSE(never == empty);
  EXPECT_FALSE(empty == never);
  EXPECT_FALSE(never == std::string_view(""));
  EXPECT_FALSE(never != std::string_view("x"));
  EXPECT_TRUE(never.AsBytes().empty());
  EXPECT_TRUE(never.AsString().empty());
  EXPECT_TRUE(BytesToDotStr(never).empty());

  EXPECT_TRUE(empty.IsInitialize);
  EXPECT_TRUE(empty == TStringBytes::FromBytes({}));

  EXPECT_EQ(never.Size(), 0);
  EXPECT_TRUE(never.IsInitialize);  // Size makes it valid
}

TEST(StringBytes, AppendingAByte) {
  const TStringBytes never;
  const TStringBytes one = never + static_cast<uint8_t>(0x01);
  EXPECT_EQ(one.AsBytes(), (std::vector<uint8_t>{0x01}));
  EXPECT_FALSE(never.IsInitialize);  // operand unchanged

  const std::vector<uint8_t> full = Filled(255, 0x5A);
  const TStringBytes fullBuffer = TStringBytes::FromBytes(full);
  const TStringBytes appended = fullBuffer + 'x';
  EXPECT_TRUE(appended == fullBuffer);
  EXPECT_EQ(appended.Length(), 255);
}

TEST(StringBytes, TextFormIsAnExactInverse) {
  const TStringBytes original = Bytes({0x00, 0xFF, 0x80});
  const std::string text = original.AsString();
  EXPECT_EQ(text.size(), 3u);
  const TStringBytes back = TStringBytes::FromText(text);
  EXPECT_EQ(back.AsBytes(), (std::vector<uint8_t>{0x00, 0xFF, 0x80}));
  EXPECT_TRUE(back == original);
  EXPECT_TRUE(original == std::string_view(text));

  std::string all;
  for (int i = 0; i < 255; ++i) all += static_cast<char>(i);
  EXPECT_EQ(TStringBytes::FromText(all).AsString(), all);
}

TEST(StringBytes, ConversionsAndConcatenationsCutAt255) {
  EXPECT_EQ(TStringBytes::FromBytes(Filled(300, 7)).Length(), 255);
  EXPECT_EQ(TStringBytes::FromText(std::string(400, 'a')).Length(), 255);
  EXPECT_EQ(TStringBytes::FromChar('A').AsBytes(), (std::vector<uint8_t>{0x41}));

  const TStringBytes never;
  struct Case {
    const char* name;
    TStringBytes result;
    std::vector<uint8_t> expected;
  };
  const Case cases[] = {
      {"buffer+buffer", Bytes({1, 2}) + Bytes({3}), {1, 2, 3}},
      {"buffer+unset", Bytes({1, 2}) + never, {1, 2}},
      {"unset+buffer", never + Bytes({3}), {3}},
      {"buffer+text", Bytes({0x41}) + std::string_view("BC"), {0x41, 0x42, 0x43}},
      {"text+buffer", std::string_view("AB") + Bytes({0}), {0x41, 0x42, 0}},
      {"byte+buffer", static_cast<uint8_t>(9) + Bytes({8}), {9, 8}},
      {"char+unset", 'z' + never, {'z'}},
      {"long+long", TStringBytes::FromBytes(Filled(200, 1)) + TStringBytes::FromBytes(Filled(200, 2)),
       [] {
         std::vector<uint8_t> v = Filled(200, 1);
         v.insert(v.end(), 55, 2);
         return v;
       }()},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(c.result.IsInitialize) << c.name;
    EXPECT_EQ(c.result.AsBytes(), c.expected) << c.name;
  }
}

TEST(StringBytes, TextComparison) {
  const TStringBytes ab = TStringBytes::FromText("AB");
  EXPECT_TRUE(ab == std::string_view("AB"));
  EXPECT_FALSE(ab != std::string_view("AB"));
  EXPECT_TRUE(ab != std::string_view("ABC"));
}

TEST(StringBytes, DeleteRemovesARunInsideTheBuffer) {
  struct Case {
    int pos, size;
    std::vector<uint8_t> expected;
  };
  const Case cases[] = {
      {1, 1, {2, 3, 4, 5}},  {2, 2, {1, 4, 5}}, {4, 10, {1, 2, 3}}, {5, 1, {1, 2, 3, 4}},
      {6, 1, {1, 2, 3, 4, 5}}, {0, 2, {1, 2, 3, 4, 5}}, {2, 0, {1, 2, 3, 4, 5}}, {1, 5, {}},
  };
  for (const Case& c : cases) {
    TStringBytes buffer = Bytes({1, 2, 3, 4, 5});
    buffer.Delete(c.pos, c.size);
    EXPECT_EQ(buffer.AsBytes(), c.expected) << "Delete(" << c.pos << ", " << c.size << ")";
  }
  TStringBytes never;
  never.Delete(1, 1);
  EXPECT_TRUE(never.IsInitialize);
  EXPECT_EQ(never.Length(), 0);
}

TEST(StringBytes, BytesToDotStrLeavesOutTheLastByte) {
  EXPECT_EQ(BytesToDotStr(Bytes({0x01, 0x03, 0x02, 0x0A})), "1.3.2");
  EXPECT_EQ(BytesToDotStr(Bytes({0x11, 0x04, 0x02, 0x00, 0x05, 0xD4, 0x02})), "17.4.2.0.5.212");
  EXPECT_EQ(BytesToDotStr(Bytes({0x42})), "");
  EXPECT_EQ(BytesToDotStr(Bytes({})), "");
}
