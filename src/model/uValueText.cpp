#include "uValueText.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <mutex>
#include <optional>

namespace {

std::mutex& SeparatorLock() {
  static std::mutex lock;
  return lock;
}

std::optional<std::string>& ChosenSeparator() {
  static std::optional<std::string> separator;
  return separator;
}

}  // namespace

void SetDecimalSeparator(std::string_view aSeparator) {
  std::lock_guard guard(SeparatorLock());
  ChosenSeparator() = std::string(aSeparator);
}

void ResetDecimalSeparator() {
  std::lock_guard guard(SeparatorLock());
  ChosenSeparator().reset();
}

std::string DecimalSeparator() {
  {
    std::lock_guard guard(SeparatorLock());
    if (ChosenSeparator()) return *ChosenSeparator();
  }
  const std::lconv* conventions = std::localeconv();
  if (conventions && conventions->decimal_point && *conventions->decimal_point) {
    return conventions->decimal_point;
  }
  return ".";
}

std::string FloatToText(double aValue) {
  if (std::isnan(aValue)) return {};
  if (std::isinf(aValue)) return aValue > 0 ? "INF" : "-INF";
  if (aValue == 0) return "0";  // also for -0

  char digits[64];
  const auto result = std::to_chars(digits, digits + sizeof digits, aValue,
                                    std::chars_format::general, 15);
  const std::string_view plain(digits, static_cast<size_t>(result.ptr - digits));

  const std::string separator = DecimalSeparator();
  std::string text;
  text.reserve(plain.size() + separator.size());
  for (char c : plain) {
    if (c == '.') text += separator;
    else if (c == 'e') text += 'E';
    else text += c;
  }
  return text;
}
