#include "uAnimationRules.h"

bool TzLogoClicks::MouseUp(bool aShift, bool aCtrl) {
  if (aShift) ++fShift;
  else if (aCtrl) ++fCtrl;
  else ++fPlain;
  if (fPlain != 3 || fCtrl != 5 || fShift != 7) return false;
  fPlain = fCtrl = fShift = 0;
  return true;
}
