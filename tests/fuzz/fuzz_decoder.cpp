// Fuzz target: any 0..255 bytes as an answer, against tags of every coding,
// read function, bit position and byte order. Each input is decoded as it
// came and once more with a right check sum from its own address, so the
// decoding past the frame checks is reached too.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "uGlobals.h"
#include "uModbusFrames.h"
#include "uUtils.h"

namespace {

void Check(bool aCondition) {
  if (!aCondition) std::abort();
}

TzTag& AddTag(TzDevice& aDevice, int32_t aReadCmd, int32_t aValType,
             std::vector<uint8_t> aOrder = {2, 1}, int32_t aBitPos = -1) {
  TzTag& tag = aDevice.AddTag();
  tag.ReadCmd = aReadCmd;
  tag.ValType = aValType;
  tag.OrderMas = std::move(aOrder);
  tag.BitPos = aBitPos;
  return tag;
}

// Register reads (3, 4) with each coding and orders that fit, are reversed,
// name the byte count (0), reach past the data (9) or have the wrong length;
// bit tags with bits inside, at the sign and past 31. Other read functions
// take their own paths whatever the coding, so one tag of each coding does.
void AddTags(TzDevice& aDevice) {
  const int32_t widthTypes[] = {vtFloat32, vtFloat64, vtUInt16, vtUInt32, vtInt16, vtInt32};
  const int32_t otherTypes[] = {vtLowByte, vtHighByte, vtBlock, -1};
  const int32_t bitTypes[] = {vtBit, 9};
  const int32_t bitPositions[] = {-1, 0, 9, 15, 31, 40};
  for (int32_t readCmd : {3, 4}) {
    for (int32_t valType : widthTypes) {
      const int width = ValueWidth(valType);
      std::vector<uint8_t> bigEndian, littleEndian;
      for (int i = 0; i < width; ++i) {
        bigEndian.push_back(static_cast<uint8_t>(width - i));
        littleEndian.push_back(static_cast<uint8_t>(i + 1));
      }
      std::vector<uint8_t> withCount = bigEndian, pastData = bigEndian;
      withCount.back() = 0;
      pastData.back() = 9;
      for (auto order : {bigEndian, littleEndian, withCount, pastData, std::vector<uint8_t>{2, 1, 1}}) {
        AddTag(aDevice, readCmd, valType, order);
      }
    }
    for (int32_t valType : otherTypes) AddTag(aDevice, readCmd, valType);
    for (int32_t valType : bitTypes) {
      for (int32_t bitPos : bitPositions) AddTag(aDevice, readCmd, valType, {2, 1}, bitPos);
    }
  }
  for (int32_t readCmd : {0, 1, 2, 5}) {
    for (int32_t valType : {vtFloat32, vtUInt16, vtBit, vtBlock}) AddTag(aDevice, readCmd, valType);
  }
}

void DecodeAll(TzDevice& aDevice, const TStringBytes& aAnswer) {
  for (const auto& tag : aDevice.Tags) {
    const bool accepted = DecodeModbusAnswer(aAnswer, tag.get());
    Check(tag->Data.size() <= 255 && tag->DataFull.size() <= 255);
    Check(!std::isnan(tag->Value()));
    Check(tag->Value() >= tag->MinValue && tag->Value() <= tag->MaxValue);
    Check(!(accepted && tag->ModbusError));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  static TzDevice device;
  if (device.Tags.empty()) AddTags(device);

  std::vector<uint8_t> bytes(aData, aData + std::min<size_t>(aSize, 255));
  device.DevAddr = bytes.empty() ? 1 : bytes[0];
  DecodeAll(device, TStringBytes::FromBytes(bytes));

  if (bytes.size() <= 253) {
    const uint16_t crc = ModbusCRC(bytes);
    bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
    bytes.push_back(static_cast<uint8_t>(crc >> 8));
    DecodeAll(device, TStringBytes::FromBytes(bytes));
  }
  return 0;
}
