// The PWM calculator ("Расчёт ШИМ") beside the outputs panel: on and off
// times in, period and duty factor out. It writes nothing to the module;
// the outputs panel takes its result into its fields.
#pragma once

#include <QFrame>

#include <cstdint>

#include "uShimCalc.h"

class QComboBox;
class QLineEdit;
class QPushButton;

// The mask of the time fields: hours, minutes, seconds, tenths; blanks show as "0".
inline constexpr char kShimTimeMask[] = "0:00:00.0;0";

// Reads a time field: the text must fill the field's mask, minutes and seconds
// at most 59 and the time at most aLimitMs (aBlank, spaces and underscores
// count as "0"). aParts is filled as far as the field could be read.
bool TryMaskEditTime(QLineEdit* aEdit, char aBlank, int64_t aLimitMs, TzTimeParts& aParts);

class TzShimPanel : public QFrame {
  Q_OBJECT

public:
  explicit TzShimPanel(QWidget* aParent);

  // Fills the two time fields from the chosen example.
  void cbShimPrimerChange();
  // "Установить": period and duty factor from the two times, or the failing
  // field(s) flash red and nothing changes.
  void btnShim_CalcClick();
  // The on and off times of the outputs panel's period and duty factor.
  void ShowOnOff(const QString& aOn, const QString& aOff);

  QLineEdit* txtShimOn = nullptr;
  QLineEdit* txtShimOff = nullptr;
  QComboBox* cbShimPrimer = nullptr;
  QPushButton* btnShim_Calc = nullptr;

signals:
  // A result of "Установить": period in tenths of a second, duty factor in
  // tenths of a percent (the safe duty factor takes it too).
  void Calculated(int32_t aPeriod, int32_t aDuty);
};
