// TStringBytes: the fixed-capacity byte buffer every Modbus frame lives in.
//
// A plain value: one "is set" flag, one length byte and 255 data bytes, no heap
// part. Copies are plain copies of all bytes, so frames can be queued, kept in
// pending records and handed across threads by value.
//
// Data bytes are numbered 1..Length; index 0 addresses the length byte. Every
// operation that would produce more than 255 bytes keeps the first 255.
//
// Text: "text" is a std::string used as a byte string in the system's 8-bit code
// page, one char per byte, so bytes 0..255 map one-to-one and AsString() and
// FromText() are exact inverses (zero bytes included).
//
// Errors: the operations that can fail ("range check error" for an index past
// Length) do not throw. They return false (or nullptr) and leave the buffer
// unchanged; a caller that wants the message passes a string to receive it.
// kRangeCheckError is that message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kRangeCheckError = "range check error";

class TStringBytes {
public:
  static constexpr int Capacity = 255;

  // Fields in this order; a default buffer is not set and empty.
  bool IsInitialize = false;
  uint8_t mvalue[Capacity + 1] = {};  // mvalue[0] is the length byte

  TStringBytes() = default;

  // Conversions into a buffer; each result is set.
  static TStringBytes FromText(std::string_view aText);
  static TStringBytes FromBytes(std::span<const uint8_t> aBytes);
  static TStringBytes FromBytes(std::initializer_list<uint8_t> aBytes);
  static TStringBytes FromChar(char aChar);

  // Makes the buffer valid: when not set, set it and empty it.
  void CheckInit();

  // CheckInit, then Length.
  uint8_t Size();
  // Length without CheckInit (0 for a buffer that is not set).
  uint8_t Length() const { return IsInitialize ? mvalue[0] : 0; }

  // CheckInit; Length := aSize; bytes 1..aSize := 0.
  void setSize(uint8_t aSize);

  // Byte aIndex, unchecked (0 gives the length byte).
  uint8_t getByte(uint8_t aIndex) const { return mvalue[aIndex]; }

  // CheckInit; false with kRangeCheckError when aIndex > Length, else stores.
  bool setByte(uint8_t aIndex, uint8_t aValue, std::string* aError = nullptr);

  // CheckInit; the address of byte aIndex, or nullptr with kRangeCheckError
  // when aIndex > Length.
  uint8_t* getChar(uint8_t aIndex, std::string* aError = nullptr);

  // Bytes 1..Length as a 0-based array; empty when not set.
  std::vector<uint8_t> AsBytes() const;
  // Bytes 1..Length as text; empty when not set.
  std::string AsString() const;
  std::string AsShortstring() const { return AsString(); }

  // CheckInit; removes aSize bytes from 1-based position aPos. A position
  // outside 1..Length removes nothing; a run past the end stops at the end.
  void Delete(int aPos, int aSize);

  // Appends in place (truncated to 255); sets the buffer first.
  void Append(std::span<const uint8_t> aBytes);
  void Append(uint8_t aByte);
};

// Append one byte: a buffer that is not set gives the one-byte buffer; a full
// buffer stays as it is. The operands are not changed.
TStringBytes operator+(const TStringBytes& aLeft, uint8_t aByte);
TStringBytes operator+(const TStringBytes& aLeft, char aChar);
TStringBytes operator+(uint8_t aByte, const TStringBytes& aRight);
TStringBytes operator+(char aChar, const TStringBytes& aRight);

// Concatenation; the result is set; a buffer that is not set contributes nothing.
TStringBytes operator+(const TStringBytes& aLeft, const TStringBytes& aRight);
TStringBytes operator+(const TStringBytes& aLeft, std::string_view aRight);
TStringBytes operator+(std::string_view aLeft, const TStringBytes& aRight);

// Equality: false when either buffer is not set; otherwise equal lengths and
// equal bytes 1..Length. Inequality: false when either is not set, otherwise
// the negation of equality. (So two buffers that were never set are neither
// equal nor unequal.)
bool operator==(const TStringBytes& aLeft, const TStringBytes& aRight);
bool operator!=(const TStringBytes& aLeft, const TStringBytes& aRight);

// Against text: false when the buffer is not set, otherwise its text form
// compared with the text.
bool operator==(const TStringBytes& aLeft, std::string_view aRight);
bool operator!=(const TStringBytes& aLeft, std::string_view aRight);

// Decimal values of bytes 1..Length-1 joined by "." (the last byte is not
// shown); empty when Length is 0 or 1. 01 03 02 0A gives "1.3.2".
std::string BytesToDotStr(const TStringBytes& aBuffer);
