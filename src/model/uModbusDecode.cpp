// DecodeModbusAnswer: one answer of the module into a tag's value.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>

#include "uGlobals.h"
#include "uModbusFrames.h"
#include "uUtils.h"

namespace {

// An answer as received, 0-based: A[0] address, A[1] function, then the
// payload, then two check-sum bytes. For a read answer A[2] is the byte count
// and data position p (1-based) is A[2 + p]; only bytes before the check sum
// count as data.
class TzAnswer {
public:
  explicit TzAnswer(const TStringBytes& aAnswer)
      : fBytes(aAnswer.mvalue + 1, aAnswer.Length()) {}

  size_t Size() const { return fBytes.size(); }
  std::vector<uint8_t> Bytes() const { return {fBytes.begin(), fBytes.end()}; }
  uint8_t Function() const { return fBytes[1]; }

  // Long enough for address, function and check sum, the check sum right,
  // and addressed by the module at aAddr.
  bool IsSoundFrom(uint8_t aAddr) const {
    const size_t n = fBytes.size();
    return n >= 4 && HasModbusCRC(fBytes) && fBytes[0] == aAddr;
  }

  // The accessors below are used on a sound frame only (at least 4 bytes).
  // Index of the first check-sum byte: the payload is A[2 .. PayloadEnd-1].
  size_t PayloadEnd() const { return fBytes.size() - 2; }
  bool HasByteCount() const { return PayloadEnd() > 2; }
  uint8_t ByteCount() const { return fBytes[2]; }

  // Data position p (0 is the byte count itself) lies before the check sum.
  bool HasData(int aPos) const { return 2 + static_cast<size_t>(aPos) < PayloadEnd(); }
  uint8_t DataAt(int aPos) const { return fBytes[2 + static_cast<size_t>(aPos)]; }
  // Bytes aFirst..aEnd-1 (aFirst <= aEnd <= Size()).
  std::vector<uint8_t> Slice(size_t aFirst, size_t aEnd) const {
    return {fBytes.begin() + static_cast<std::ptrdiff_t>(aFirst),
            fBytes.begin() + static_cast<std::ptrdiff_t>(aEnd)};
  }

private:
  std::span<const uint8_t> fBytes;  // bytes 1..Length of the buffer
};

void RecordException(const TzAnswer& aAnswer, TzTag& aTag) {
  aTag.ModbusError = true;
  if (aAnswer.HasByteCount()) {  // the byte after the function is the exception code
    const uint8_t code = aAnswer.ByteCount();
    char text[8];
    std::snprintf(text, sizeof text, "%02Xh", static_cast<unsigned>(code));
    aTag.ModbusErrorCode = code;
    aTag.ModbusErrorCodeStr = text;
  }
  aTag.DataFull = aAnswer.Bytes();
}

bool DecodeBlock(const TzAnswer& aAnswer, TzTag& aTag) {
  if (!aAnswer.HasByteCount() || aAnswer.ByteCount() == 0) return false;
  const size_t first = 3;
  const size_t end = std::max(first, std::min(first + aAnswer.ByteCount(), aAnswer.PayloadEnd()));
  aTag.Data = aAnswer.Slice(first, end);
  aTag.DataFull = aAnswer.Bytes();
  return true;
}

bool DecodeDiscrete(const TzAnswer& aAnswer, TzTag& aTag) {
  if (aAnswer.Size() != 6 || aAnswer.ByteCount() != 1) return false;
  aTag.SetValue(aAnswer.DataAt(1) & 1);
  return true;
}

// Value bytes by the tag's order, least significant first.
bool AssembleByOrder(const TzAnswer& aAnswer, const TzTag& aTag, int aWidth, uint64_t& aRaw) {
  const int count = aAnswer.ByteCount();
  if (count != aWidth || static_cast<int>(aTag.OrderMas.size()) != aWidth) return false;
  aRaw = 0;
  for (int i = 0; i < aWidth; ++i) {
    const int pos = aTag.OrderMas[static_cast<size_t>(i)];
    if (pos > count || !aAnswer.HasData(pos)) return false;
    aRaw |= static_cast<uint64_t>(aAnswer.DataAt(pos)) << (8 * i);
  }
  return true;
}

double NumberOf(int32_t aValType, uint64_t aRaw) {
  switch (aValType) {
    case vtFloat32: {
      const uint32_t bits = static_cast<uint32_t>(aRaw);
      float single;
      std::memcpy(&single, &bits, sizeof single);
      return single;
    }
    case vtFloat64: {
      double value;
      std::memcpy(&value, &aRaw, sizeof value);
      return value;
    }
    case vtUInt16: return static_cast<uint16_t>(aRaw);
    case vtUInt32: return static_cast<uint32_t>(aRaw);
    case vtInt16: return static_cast<int16_t>(static_cast<uint16_t>(aRaw));
    default: return static_cast<int32_t>(static_cast<uint32_t>(aRaw));  // vtInt32
  }
}

bool DecodeRegister(const TzAnswer& aAnswer, TzTag& aTag) {
  if (aAnswer.Size() < 5 || aAnswer.ByteCount() < 1) return false;
  const int32_t valType = aTag.ValType;
  if (const int width = ValueWidth(valType); width > 0) {
    uint64_t raw = 0;
    if (!AssembleByOrder(aAnswer, aTag, width, raw)) return false;
    aTag.SetValue(NumberOf(valType, raw));
    return true;
  }
  if (valType == vtLowByte || valType == vtHighByte) {
    const int pos = valType == vtLowByte ? 2 : 1;
    if (aAnswer.ByteCount() != 2 || !aAnswer.HasData(pos)) return false;
    aTag.SetValue(aAnswer.DataAt(pos));
    return true;
  }
  // Every other code is a bit of the register; a tag without a bit needs no value.
  if (aTag.BitPos < 0) return true;
  if (aAnswer.ByteCount() != 2 || !aAnswer.HasData(2)) return false;
  const uint16_t word = static_cast<uint16_t>(aAnswer.DataAt(1) | (aAnswer.DataAt(2) << 8));
  const int32_t extended = static_cast<int16_t>(word);
  aTag.SetValue(IsBitSet(extended, static_cast<uint8_t>(aTag.BitPos % 32)) ? 1 : 0);
  return true;
}

}  // namespace

bool DecodeModbusAnswer(const TStringBytes& aAnswer, TzTag* aTag) {
  if (!aTag || !aTag->Device) return false;
  TzTag& tag = *aTag;
  const TzAnswer answer(aAnswer);
  if (answer.Size() < 2) return false;
  // A corrupted or foreign frame says nothing about this tag.
  if (!answer.IsSoundFrom(static_cast<uint8_t>(tag.Device->DevAddr))) return false;

  if (answer.Function() & 0x80) {
    RecordException(answer, tag);
    return false;
  }
  tag.ModbusError = false;  // the code of the last exception stays

  if (tag.ValType == vtBlock) return DecodeBlock(answer, tag);
  switch (tag.ReadCmd) {
    case 1:
    case 2: return DecodeDiscrete(answer, tag);
    case 3:
    case 4: return DecodeRegister(answer, tag);
    default: return true;  // a tag that is never read needs no value
  }
}
