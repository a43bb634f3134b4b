#include "uValueFit.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <sstream>

#include "uModbusFrames.h"

std::optional<TzValueRange> TagWriteRange(const TzTag& aTag) {
  if (aTag.WriteCmd == 5) return TzValueRange{0, 1, true};
  if (aTag.WriteCmd != 6 && aTag.WriteCmd != 16) return std::nullopt;
  switch (aTag.ValType) {
    case vtUInt16: return TzValueRange{0, 65535, true};
    case vtInt16: return TzValueRange{-32768, 32767, true};
    case vtUInt32: return TzValueRange{0, 4294967295.0, true};
    case vtInt32: return TzValueRange{-2147483648.0, 2147483647.0, true};
    case vtFloat32: {
      const double max = std::numeric_limits<float>::max();
      return TzValueRange{-max, max, false};
    }
    case vtFloat64: {
      const double max = std::numeric_limits<double>::max();
      return TzValueRange{-max, max, false};
    }
    default: return std::nullopt;
  }
}

bool ValueFitsTag(const TzTag& aTag, double aValue) {
  const std::optional<TzValueRange> range = TagWriteRange(aTag);
  if (!range || !std::isfinite(aValue)) return false;
  if (range->Whole && std::trunc(aValue) != aValue) return false;
  return aValue >= range->Min && aValue <= range->Max;
}

std::string TagWriteRangeText(const TzTag& aTag) {
  const std::optional<TzValueRange> range = TagWriteRange(aTag);
  if (!range) return "nothing";
  if (aTag.WriteCmd == 5) return "0 or 1";
  std::ostringstream text;
  if (range->Whole) {
    text << "a whole number " << static_cast<int64_t>(range->Min) << ".." << static_cast<int64_t>(range->Max);
  } else if (aTag.ValType == vtFloat32) {
    text << "a number within +-" << range->Max;
  } else {
    text << "a finite number";
  }
  return text.str();
}
