// Which values a tag's write takes: the width and sign of its register, whole
// numbers for integers, 0 or 1 for a coil.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "uGlobals.h"
#include "uModbusFrames.h"
#include "uValueFit.h"

namespace {

TzTag Writable(int32_t aWriteCmd, int32_t aValType) {
  TzTag tag;
  tag.WriteCmd = aWriteCmd;
  tag.ValType = aValType;
  return tag;
}

TEST(ValueFit, EachRegisterTakesWhatItsWidthAndSignHold) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* what;
    int32_t writeCmd, valType;
    double value;
    bool fits;
  } cases[] = {
      {"u16 low edge", 6, vtUInt16, 0, true},
      {"u16 high edge", 6, vtUInt16, 65535, true},
      {"u16 one above", 6, vtUInt16, 65536, false},
      {"u16 far above (went out as 57599)", 6, vtUInt16, 99999999, false},
      {"u16 negative (went out as 65533)", 6, vtUInt16, -3, false},
      {"u16 a fraction", 6, vtUInt16, 2.5, false},
      {"i16 low edge", 6, vtInt16, -32768, true},
      {"i16 below", 6, vtInt16, -32769, false},
      {"i16 above", 16, vtInt16, 32768, false},
      {"u32 high edge", 16, vtUInt32, 4294967295.0, true},
      {"u32 above", 16, vtUInt32, 4294967296.0, false},
      {"u32 negative", 16, vtUInt32, -1, false},
      {"i32 edges", 16, vtInt32, -2147483648.0, true},
      {"i32 above", 16, vtInt32, 2147483648.0, false},
      {"f32 a fraction", 16, vtFloat32, 2.5, true},
      {"f32 beyond its range", 16, vtFloat32, 1e39, false},
      {"f64 large", 16, vtFloat64, 1e300, true},
      {"f64 infinity", 16, vtFloat64, inf, false},
      {"NaN", 16, vtFloat64, nan, false},
      {"coil 1", 5, vtBit, 1, true},
      {"coil 0", 5, vtBit, 0, true},
      {"coil 2", 5, vtBit, 2, false},
      {"coil -1", 5, vtBit, -1, false},
      {"register without a known coding", 6, vtLowByte, 1, false},
      {"no write function", 0, vtUInt16, 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ValueFitsTag(Writable(c.writeCmd, c.valType), c.value), c.fits);
  }
}

TEST(ValueFit, TheRangeInWords) {
  EXPECT_EQ(TagWriteRangeText(Writable(6, vtUInt16)), "a whole number 0..65535");
  EXPECT_EQ(TagWriteRangeText(Writable(16, vtInt32)), "a whole number -2147483648..2147483647");
  EXPECT_EQ(TagWriteRangeText(Writable(5, vtBit)), "0 or 1");
  EXPECT_EQ(TagWriteRangeText(Writable(16, vtFloat64)), "a finite number");
}

}  // namespace
