// The outputs panel ("Дискретные выходы"): the PWM and relay-logic parameters
// of one relay output at a time, chosen with the six grouped selector buttons
// "Реле #1".."Реле #6". "Применить" checks the fields and writes them to the
// module; the PWM calculator beside it shows the on and off times.
#pragma once

#include <QFrame>

#include <array>
#include <cstdint>
#include <functional>

#include "uOutputParams.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TzShimPanel;

class TzOutputsPanel : public QFrame {
  Q_OBJECT

public:
  // aParams gives the panel's copy of output 1..6; aSink takes the writes.
  TzOutputsPanel(QWidget* aParent, TzRegSink& aSink, std::function<TzDiscretOutParams&(int)> aParams);

  // The calculator whose on/off fields follow the PWM fields and whose result
  // fills them.
  void SetShimPanel(TzShimPanel* aShim);

  // Shows output aTag (1..6): its selector down, the apply caption, the fields.
  void btnDOUT1PanClick(int aTag);
  // A selector activated by the user (also the one that is down): shows the
  // output's stored parameters, then asks for them to be read again.
  void SelectorClick(int aTag);
  // Asked to read output aTag's parameters from the module again.
  std::function<void(int aTag)> OnOutputChosen;
  // "Применить #n": checks and writes the shown output's parameters.
  void btnDOUT_ApplyClick();
  // "По умолчанию": factory values into the fields; nothing is written.
  void btnDOUT_DefaultClick();
  // A PWM field changed: clamps the fields, shows the on and off times.
  void txtShimPeriodChange();
  // The logic parameters are editable only with "Откл." over a module whose
  // function is off.
  void cbLogicFuncChange();
  // The calculator's result into the PWM fields.
  void SetShimFields(int32_t aPeriod, int32_t aDuty);

  int32_t CurrDoutIndx = 1;

  std::array<QToolButton*, kOutputCount> btnDOUTPan{};
  QLineEdit* txtShimPeriod = nullptr;
  QLineEdit* txtShimKoef = nullptr;
  QLineEdit* txtShimKoefSecure = nullptr;
  QComboBox* cbLogicFunc = nullptr;
  QComboBox* cbLogicType = nullptr;
  QLineEdit* txtLogicLag = nullptr;
  QComboBox* cbLogicX = nullptr;
  QComboBox* cbLogicY = nullptr;
  QCheckBox* chkLogicInv = nullptr;
  QPushButton* btnDOUT_Apply = nullptr;
  QPushButton* btnDOUT_Default = nullptr;
  // Captions of the rows that are enabled with their controls.
  QLabel *labLogicType = nullptr, *labLogicLag = nullptr, *labLogicX = nullptr, *labLogicY = nullptr;

private:
  void BuildSelectors();
  void BuildPwmRows();
  void BuildLogicRows();
  void BuildButtons();
  QLabel* Row(const QString& aCaption, QWidget* aControl, int aTop, int aWidth, const QString& aHint);
  QLineEdit* NumberField(const QString& aName, const QString& aText, int aMaxLength);
  QComboBox* List(const QString& aName, const QStringList& aItems);
  QLineEdit* FieldEdit(TzOutputField aField) const;

  TzRegSink& fSink;
  std::function<TzDiscretOutParams&(int)> fParams;
  TzShimPanel* fShim = nullptr;
};
