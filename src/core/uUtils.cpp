#include "uUtils.h"

#include <algorithm>
#include <chrono>
#include <cctype>

bool IsHolidaySeason(int aMonth, int aDay) { return (aMonth == 12 && aDay >= 15) || (aMonth == 1 && aDay <= 9); }

uint32_t TickCount32() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint16_t ModbusCRC(std::span<const uint8_t> aBytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t byte : aBytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
      const bool carry = crc & 1;
      crc >>= 1;
      if (carry) crc ^= 0xA001;
    }
  }
  return crc;
}

bool HasModbusCRC(std::span<const uint8_t> aFrame) {
  if (aFrame.size() < 3) return false;
  const size_t body = aFrame.size() - 2;
  const uint16_t crc = ModbusCRC(aFrame.first(body));
  return aFrame[body] == (crc & 0xFF) && aFrame[body + 1] == (crc >> 8);
}

std::vector<uint8_t> WithModbusCRC(std::vector<uint8_t> aBytes) {
  const uint16_t crc = ModbusCRC(aBytes);
  aBytes.push_back(static_cast<uint8_t>(crc & 0xFF));
  aBytes.push_back(static_cast<uint8_t>(crc >> 8));
  return aBytes;
}

uint16_t ModbusCRC(const TStringBytes& aBuffer, int aCount) {
  const int count = std::clamp(aCount, 0, static_cast<int>(aBuffer.Length()));
  return ModbusCRC(std::span(aBuffer.mvalue + 1, static_cast<size_t>(count)));
}

std::string HexBytes(std::span<const uint8_t> aBytes, char aSeparator) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (uint8_t byte : aBytes) {
    if (!text.empty()) text += aSeparator;
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xF];
  }
  return text;
}

namespace {

int DigitValue(char aChar, int aBase) {
  int value = -1;
  if (aChar >= '0' && aChar <= '9') value = aChar - '0';
  else if (aChar >= 'a' && aChar <= 'f') value = aChar - 'a' + 10;
  else if (aChar >= 'A' && aChar <= 'F') value = aChar - 'A' + 10;
  return value < aBase ? value : -1;
}

}  // namespace

bool TryStrToInt32(std::string_view aText, int32_t& aValue) {
  size_t pos = 0;
  while (pos < aText.size() && (aText[pos] == ' ' || aText[pos] == '\t')) ++pos;
  bool negative = false;
  if (pos < aText.size() && (aText[pos] == '+' || aText[pos] == '-')) {
    negative = aText[pos] == '-';
    ++pos;
  }
  int base = 10;
  const std::string_view rest = aText.substr(pos);
  if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X')) {
    base = 16;
    pos += 1;
  } else if (rest.starts_with("0x") || rest.starts_with("0X")) {
    base = 16;
    pos += 2;
  }
  if (pos >= aText.size()) return false;
  // Decimal values must fit the signed range; an unsigned hexadecimal value may
  // use all 32 bits ($FFFFFFFF reads as -1).
  const int64_t limit = negative ? 2147483648LL : (base == 10 ? 2147483647LL : 0xFFFFFFFFLL);
  int64_t magnitude = 0;
  for (; pos < aText.size(); ++pos) {
    const int digit = DigitValue(aText[pos], base);
    if (digit < 0) return false;
    magnitude = magnitude * base + digit;
    if (magnitude > limit) return false;
  }
  aValue = negative ? static_cast<int32_t>(-magnitude)
                   : static_cast<int32_t>(static_cast<uint32_t>(magnitude));
  return true;
}
