// The RK-7140's serial line settings and their codes, each written once: the
// baud rates (the module's baud code is the index in the list) and its
// character formats (the module's format codes 1..7; 4..7 are the four RTU
// formats this system uses, 1..3 the ASCII ones the module refuses). The
// panel, rk7140ctl and the virtual module all take them from here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::array<int32_t, 10> kRtuBaudRates = {1200,  2400,  4800,  9600,  14400,
                                                          19200, 28800, 38400, 57600, 115200};

// An RTU character format: eight data bits, the parity and the stop bits.
struct TzRtuFormat {
  std::string_view Name;  // "8N1"
  char Parity;            // 'N', 'O' or 'E'
  uint8_t DcbParity;      // as a DCB writes it: 0 none, 1 odd, 2 even
  uint8_t StopBits;       // 1 or 2
  uint8_t DcbStopBits;    // as a DCB writes it: 0 one, 2 two
};
// By format index 0..3; the module's format code is kRtuFirstFormatCode + index.
inline constexpr std::array<TzRtuFormat, 4> kRtuFormats = {{
    {"8N1", 'N', 0, 1, 0},
    {"8O1", 'O', 1, 1, 0},
    {"8E1", 'E', 2, 1, 0},
    {"8N2", 'N', 0, 2, 2},
}};
inline constexpr int32_t kRtuFirstFormatCode = 4;
// Bits a character takes on the line: start, eight data, parity, stop.
constexpr int RtuBitsPerChar(const TzRtuFormat& aFormat) { return 9 + (aFormat.Parity != 'N') + aFormat.StopBits; }

// The format of an index 0..3; nullptr for any other.
const TzRtuFormat* RtuFormat(int32_t aFormatIndex);
// "1200 2400 ... 115200" and "8N1 8O1 8E1 8N2", for help texts.
std::string BaudRatesText();
std::string FormatNamesText();
// The baud rate of a module's baud code 0..9; none for another code.
std::optional<int32_t> BaudRateOfCode(int32_t aCode);
// "RTU 8N1" for format code 4 ... "RTU 8N2" for 7, "ASCII 7O1" .. "ASCII 7N2"
// for 1..3; none for another code.
std::optional<std::string> FormatCodeName(int32_t aCode);
