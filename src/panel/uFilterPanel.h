// The filter panel ("Фильтр дребезга"): the contact-bounce filter of each of
// the twelve inputs, in the picture's two groups of six. A row's two buttons
// "0.375 мс" / "5.5 мс" form a group of their own; a click writes the
// input's filter coil at once. Inputs 1..6 follow the module on each refresh.
#pragma once

#include <QFrame>

#include <array>
#include <cstdint>

#include "uInputConfig.h"

class QToolButton;

class TzFilterPanel : public QFrame {
  Q_OBJECT

public:
  TzFilterPanel(QWidget* aParent, TzRegSink& aSink);

  // Shared handler of the 24 buttons: aTag 1..24, odd "0.375 мс" and even
  // "5.5 мс" of input (aTag + 1) / 2.
  void btnDin1Imp375Click(int aTag);
  // Shows filter type aType (0 or 1) for input aIndex + 1, aIndex 0..5; any
  // other index or type changes nothing.
  void SetDIN_Filter(int aIndex, int32_t aType);

  // Per input (index 0..11): the "0.375 мс" and the "5.5 мс" button.
  std::array<QToolButton*, kInputCount> btnDinImp375{};
  std::array<QToolButton*, kInputCount> btnDinImp55{};

private:
  TzRegSink& fSink;
};
