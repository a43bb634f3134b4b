// Whether a value fits what a tag writes: a coil takes 0 or 1, an integer
// register the whole numbers of its width and sign, a float register any
// number it can hold. The frame builder would otherwise reduce a value to the
// register's low bits (99999999 goes out as 57599, -3 as 65533), so every
// write of a value someone typed is checked here first.
#pragma once

#include <optional>
#include <string>

#include "uGlobals.h"

struct TzValueRange {
  double Min = 0;
  double Max = 0;
  bool Whole = true;  // integers only
};

// The values aTag's write takes; none when the tag has no write this check knows.
std::optional<TzValueRange> TagWriteRange(const TzTag& aTag);
// True when aValue is one of them (never for NaN or an infinity).
bool ValueFitsTag(const TzTag& aTag, double aValue);
// What the tag takes, in words for a message: "0 or 1", "a whole number
// 0..65535", "a number within +-3.40282e+38", "a finite number".
std::string TagWriteRangeText(const TzTag& aTag);
