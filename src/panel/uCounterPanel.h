// The pulse-counter panel ("Счётчик импульсов"): the counter of each of the
// twelve inputs as the poll brings it, and "Сброс" that resets it in the
// module (the value shown changes with the next read).
#pragma once

#include <QFrame>

#include <array>
#include <cstdint>
#include <vector>

#include "uInputConfig.h"

class QLabel;
class QPushButton;

class TzCounterPanel : public QFrame {
  Q_OBJECT

public:
  TzCounterPanel(QWidget* aParent, TzRegSink& aSink);

  // Shared handler of the twelve "Сброс" buttons: aTag 0..11 is input aTag + 1.
  void btnDin1ImpClearClick(int aTag);
  // The counters of inputs 1.. into the value labels, first label first.
  void ShowImpCounters(const std::vector<int32_t>& aCounters);

  std::array<QLabel*, kInputCount> txtDinImp{};
  std::array<QPushButton*, kInputCount> btnDinImpClear{};

private:
  TzRegSink& fSink;
};
