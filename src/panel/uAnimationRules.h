// The rules of the panel's small animations, without widgets: the bouncing
// arrow beside "СОМ-порт" and the hidden message behind the logo. The frame's
// timers and mouse handler drive them; tests call them directly.
#pragma once

// The arrow's left edge moves by its step every tick and turns round when it
// leaves [Low, High], so it runs over ten positions, Low - 1 .. High + 1,
// and back in eighteen ticks.
struct TzArrowBounce {
  int Low = 0;
  int High = 7;
  int Left = 0;
  int Step = 1;

  // One tick: the new left edge.
  int Tick() {
    Left += Step;
    if (Left < Low || Left > High) Step = -Step;
    return Left;
  }
};

// Mouse-ups on the logo: three plain, five with Ctrl and seven with Shift,
// in any order, show the message once. A counter that goes past its target
// keeps the message away until the program starts again.
class TzLogoClicks {
public:
  // Counts one mouse-up (Shift counts before Ctrl); true when this one
  // completes the combination, and the counters start again from zero.
  bool MouseUp(bool aShift, bool aCtrl);
  int Plain() const { return fPlain; }
  int Ctrl() const { return fCtrl; }
  int Shift() const { return fShift; }

private:
  int fPlain = 0;
  int fCtrl = 0;
  int fShift = 0;
};
