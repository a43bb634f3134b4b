// The relay-logic caption beside a relay on the picture of the module.
#include <gtest/gtest.h>

#include "uOutputCaptions.h"

TEST(RelayLogicCaption, TextAndHeightByFunction) {
  struct Case {
    int32_t func, x, y, inv;
    bool visible;
    const char* text;
    int height;
  };
  const Case cases[] = {
      {0, 1, 2, 1, false, "", 0},
      {1, 3, 2, 0, true, "логика:\nСигнал\n(Вход #3)", 45},
      {2, 1, 2, 0, true, "логика:\nX AND Y\n(Вход #1)\n(Вход #2)", 55},
      {6, 11, 12, 1, true, "логика:\nRS-триггер\n(Вход #11)\n(Вход #12)\n(Invert)", 65},
      {7, 4, 2, 1, true, "логика:\nИмп.Реле-X\n(Вход #4)\n(Invert)", 55},
      // A code the module knows and the panel does not: its number, no sources.
      {9, 1, 2, 0, true, "логика:\nфункция 9", 35},
      {9, 1, 2, 1, true, "логика:\nфункция 9\n(Invert)", 45},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const TzRelayLogicCaption caption =
        RelayLogicCaption(TzDiscretOutParams{.LogicFunc = c.func, .LogicX = c.x, .LogicY = c.y, .LogicInv = c.inv});
    EXPECT_EQ(caption.Visible, c.visible);
    EXPECT_EQ(caption.Text, c.text);
    EXPECT_EQ(caption.Height, c.height);
  }
}
