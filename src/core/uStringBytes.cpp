#include "uStringBytes.h"

#include <algorithm>
#include <cstring>

TStringBytes TStringBytes::FromText(std::string_view aText) {
  TStringBytes result;
  result.CheckInit();
  result.Append(std::span(reinterpret_cast<const uint8_t*>(aText.data()), aText.size()));
  return result;
}

TStringBytes TStringBytes::FromBytes(std::span<const uint8_t> aBytes) {
  TStringBytes result;
  result.CheckInit();
  result.Append(aBytes);
  return result;
}

TStringBytes TStringBytes::FromBytes(std::initializer_list<uint8_t> aBytes) {
  return FromBytes(std::span(aBytes.begin(), aBytes.size()));
}

TStringBytes TStringBytes::FromChar(char aChar) {
  TStringBytes result;
  result.CheckInit();
  result.Append(static_cast<uint8_t>(aChar));
  return result;
}

void TStringBytes::CheckInit() {
  if (!IsInitialize) {
    IsInitialize = true;
    mvalue[0] = 0;
  }
}

uint8_t TStringBytes::Size() {
  CheckInit();
  return mvalue[0];
}

void TStringBytes::setSize(uint8_t aSize) {
  CheckInit();
  mvalue[0] = aSize;
  std::memset(mvalue + 1, 0, aSize);
}

bool TStringBytes::setByte(uint8_t aIndex, uint8_t aValue, std::string* aError) {
  CheckInit();
  if (aIndex > mvalue[0]) {
    if (aError) *aError = kRangeCheckError;
    return false;
  }
  mvalue[aIndex] = aValue;
  return true;
}

uint8_t* TStringBytes::getChar(uint8_t aIndex, std::string* aError) {
  CheckInit();
  if (aIndex > mvalue[0]) {
    if (aError) *aError = kRangeCheckError;
    return nullptr;
  }
  return &mvalue[aIndex];
}

std::vector<uint8_t> TStringBytes::AsBytes() const {
  if (!IsInitialize) return {};
  return std::vector<uint8_t>(mvalue + 1, mvalue + 1 + mvalue[0]);
}

std::string TStringBytes::AsString() const {
  if (!IsInitialize) return {};
  return std::string(reinterpret_cast<const char*>(mvalue + 1), mvalue[0]);
}

void TStringBytes::Delete(int aPos, int aSize) {
  CheckInit();
  const int length = mvalue[0];
  if (aPos < 1 || aPos > length || aSize <= 0) return;
  const int count = std::min(aSize, length - aPos + 1);
  std::memmove(mvalue + aPos, mvalue + aPos + count, static_cast<size_t>(length - aPos - count + 1));
  mvalue[0] = static_cast<uint8_t>(length - count);
}

void TStringBytes::Append(std::span<const uint8_t> aBytes) {
  CheckInit();
  const size_t room = static_cast<size_t>(Capacity - mvalue[0]);
  const size_t count = std::min(room, aBytes.size());
  if (count > 0) std::memcpy(mvalue + 1 + mvalue[0], aBytes.data(), count);
  mvalue[0] = static_cast<uint8_t>(mvalue[0] + count);
}

void TStringBytes::Append(uint8_t aByte) { Append(std::span(&aByte, 1)); }

namespace {

std::span<const uint8_t> BytesOf(const TStringBytes& aBuffer) {
  return std::span(aBuffer.mvalue + 1, aBuffer.Length());
}

std::span<const uint8_t> BytesOf(std::string_view aText) {
  return std::span(reinterpret_cast<const uint8_t*>(aText.data()), aText.size());
}

}  // namespace

TStringBytes operator+(const TStringBytes& aLeft, uint8_t aByte) {
  TStringBytes result = aLeft;
  result.Append(aByte);
  return result;
}

TStringBytes operator+(const TStringBytes& aLeft, char aChar) {
  return aLeft + static_cast<uint8_t>(aChar);
}

TStringBytes operator+(uint8_t aByte, const TStringBytes& aRight) {
  TStringBytes result = TStringBytes::FromBytes({aByte});
  result.Append(BytesOf(aRight));
  return result;
}

TStringBytes operator+(char aChar, const TStringBytes& aRight) {
  return static_cast<uint8_t>(aChar) + aRight;
}

TStringBytes operator+(const TStringBytes& aLeft, const TStringBytes& aRight) {
  TStringBytes result = aLeft;
  result.Append(BytesOf(aRight));
  return result;
}

TStringBytes operator+(const TStringBytes& aLeft, std::string_view aRight) {
  TStringBytes result = aLeft;
  result.Append(BytesOf(aRight));
  return result;
}

TStringBytes operator+(std::string_view aLeft, const TStringBytes& aRight) {
  TStringBytes result = TStringBytes::FromText(aLeft);
  result.Append(BytesOf(aRight));
  return result;
}

bool operator==(const TStringBytes& aLeft, const TStringBytes& aRight) {
  if (!aLeft.IsInitialize || !aRight.IsInitialize) return false;
  const int length = aLeft.mvalue[0];
  return length == aRight.mvalue[0] && std::memcmp(aLeft.mvalue + 1, aRight.mvalue + 1, length) == 0;
}

bool operator!=(const TStringBytes& aLeft, const TStringBytes& aRight) {
  if (!aLeft.IsInitialize || !aRight.IsInitialize) return false;
  return !(aLeft == aRight);
}

bool operator==(const TStringBytes& aLeft, std::string_view aRight) {
  return aLeft.IsInitialize && aLeft.AsString() == aRight;
}

bool operator!=(const TStringBytes& aLeft, std::string_view aRight) {
  return aLeft.IsInitialize && aLeft.AsString() != aRight;
}

std::string BytesToDotStr(const TStringBytes& aBuffer) {
  std::string result;
  const int length = aBuffer.Length();
  for (int i = 1; i < length; ++i) {
    if (i > 1) result += '.';
    result += std::to_string(aBuffer.mvalue[i]);
  }
  return result;
}
