// Small shared helpers: the Modbus RTU check sum and the readers of integer and
// text attributes of XML elements (template and options file).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "uStringBytes.h"

namespace pugi {
class xml_node;
}

// CRC-16 of the Modbus serial line: initial 0xFFFF, reflected polynomial
// 0xA001, no final XOR. Sent low byte first.
uint16_t ModbusCRC(std::span<const uint8_t> aBytes);
// Over bytes 1..aCount of the buffer (aCount is cut to the buffer's Length).
uint16_t ModbusCRC(const TStringBytes& aBuffer, int aCount);
// Whether the last two bytes are the check sum of the bytes before them
// (false for fewer than three bytes).
bool HasModbusCRC(std::span<const uint8_t> aFrame);
// aBytes with their check sum appended.
std::vector<uint8_t> WithModbusCRC(std::vector<uint8_t> aBytes);

// Bytes as two upper-case hexadecimal digits each, joined by aSeparator
// ("10 03 EA A6"); no bytes give an empty text.
std::string HexBytes(std::span<const uint8_t> aBytes, char aSeparator = ' ');

// The winter holidays, when the panel puts a festive hat on the module: from
// 15 December to 9 January inclusive (aMonth 1..12, aDay 1..31).
bool IsHolidaySeason(int aMonth, int aDay);

// Milliseconds of a steady clock, cut to 32 bits: differences are taken in
// unsigned 32-bit arithmetic, as with a system tick count.
uint32_t TickCount32();

// A 32-bit signed integer in the attribute syntax: optional leading blanks, an
// optional sign, then decimal digits, or hexadecimal digits after "$", "x" or
// "0x"; nothing may follow the digits and the value must fit in 32 bits.
// True and the value on success; false and aValue untouched otherwise.
bool TryStrToInt32(std::string_view aText, int32_t& aValue);

// True and the value when the attribute exists and its text is such an
// integer; false and aValue untouched otherwise.
bool TryGetAttrInt(const pugi::xml_node& aNode, const char* aName, int32_t& aValue);
// True and the attribute's text (possibly empty) when it exists; false and
// aText untouched otherwise.
bool TryGetAttrStr(const pugi::xml_node& aNode, const char* aName, std::string& aText);
