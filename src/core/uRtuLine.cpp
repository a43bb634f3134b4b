#include "uRtuLine.h"

namespace {
// The module's format codes 1..3.
constexpr std::array<std::string_view, 3> kAsciiFormatNames = {"7O1", "7E1", "7N2"};
}  // namespace

const TzRtuFormat* RtuFormat(int32_t aFormatIndex) {
  if (aFormatIndex < 0 || aFormatIndex >= static_cast<int32_t>(kRtuFormats.size())) return nullptr;
  return &kRtuFormats[static_cast<size_t>(aFormatIndex)];
}

std::string BaudRatesText() {
  std::string text;
  for (const int32_t rate : kRtuBaudRates) text += (text.empty() ? "" : " ") + std::to_string(rate);
  return text;
}

std::string FormatNamesText() {
  std::string text;
  for (const TzRtuFormat& format : kRtuFormats) text += (text.empty() ? "" : " ") + std::string(format.Name);
  return text;
}

std::optional<int32_t> BaudRateOfCode(int32_t aCode) {
  if (aCode < 0 || aCode >= static_cast<int32_t>(kRtuBaudRates.size())) return std::nullopt;
  return kRtuBaudRates[static_cast<size_t>(aCode)];
}

std::optional<std::string> FormatCodeName(int32_t aCode) {
  if (const TzRtuFormat* format = RtuFormat(aCode - kRtuFirstFormatCode)) return "RTU " + std::string(format->Name);
  if (aCode >= 1 && aCode <= static_cast<int32_t>(kAsciiFormatNames.size()))
    return "ASCII " + std::string(kAsciiFormatNames[static_cast<size_t>(aCode - 1)]);
  return std::nullopt;
}
