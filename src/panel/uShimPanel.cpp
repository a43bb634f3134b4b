#include "uShimPanel.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "uPanelControls.h"

bool TryMaskEditTime(QLineEdit* aEdit, char aBlank, int64_t aLimitMs, TzTimeParts& aParts) {
  if (aEdit == nullptr || !aEdit->hasAcceptableInput()) return false;
  // The shown text keeps every position of the mask (text() drops blanks).
  return TryMaskTime(aEdit->displayText().toStdString(), aBlank, aLimitMs, aParts);
}

TzShimPanel::TzShimPanel(QWidget* aParent) : QFrame(aParent) {
  StyleSidePanel(this, QStringLiteral("panShim"), QSize(230, 150));

  TitleCaption(this, QStringLiteral("Расчёт ШИМ"), QRect(8, 5, 214, 20));
  auto row = [this](const QString& aCaption, QWidget* aControl, int aTop, int aWidth) {
    Caption(this, aCaption, QRect(8, aTop, 88, 24))->setBuddy(aControl);
    aControl->setGeometry(100, aTop, aWidth, 24);
    aControl->setAccessibleName(aCaption);
  };
  auto timeField = [this](const QString& aName) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(aName);
    edit->setInputMask(QString::fromLatin1(kShimTimeMask));
    edit->setText(QStringLiteral("0:00:01.0"));
    return edit;
  };
  txtShimOn = timeField(QStringLiteral("txtShimOn"));
  row(QStringLiteral("Замкнуто"), txtShimOn, 30, 80);
  txtShimOff = timeField(QStringLiteral("txtShimOff"));
  row(QStringLiteral("Разомкнуто"), txtShimOff, 58, 80);

  cbShimPrimer = new QComboBox(this);
  cbShimPrimer->setObjectName(QStringLiteral("cbShimPrimer"));
  for (const TzShimExample& example : kShimExamples) cbShimPrimer->addItem(QString::fromUtf8(example.Caption));
  cbShimPrimer->setCurrentIndex(-1);
  row(QStringLiteral("Примеры"), cbShimPrimer, 86, 122);

  btnShim_Calc = new QPushButton(QStringLiteral("Установить"), this);
  btnShim_Calc->setObjectName(QStringLiteral("btnShim_Calc"));
  btnShim_Calc->setGeometry(100, 116, 122, 26);

  connect(cbShimPrimer, &QComboBox::activated, this, &TzShimPanel::cbShimPrimerChange);
  connect(btnShim_Calc, &QPushButton::clicked, this, &TzShimPanel::btnShim_CalcClick);
}

void TzShimPanel::cbShimPrimerChange() {
  const int index = cbShimPrimer->currentIndex();
  if (index < 0 || index >= static_cast<int>(std::size(kShimExamples))) return;
  txtShimOn->setText(QString::fromLatin1(kShimExamples[index].On));
  txtShimOff->setText(QString::fromLatin1(kShimExamples[index].Off));
}

void TzShimPanel::btnShim_CalcClick() {
  TzTimeParts on, off;
  if (!TryMaskEditTime(txtShimOn, ' ', kShimTimeLimitMs, on)) {
    BlinkMaskEdit(txtShimOn);
    return;
  }
  if (!TryMaskEditTime(txtShimOff, ' ', kShimTimeLimitMs, off)) {
    BlinkMaskEdit(txtShimOff);
    return;
  }
  const std::optional<TzShimSetting> setting = ShimFromOnOff(on.Ms(), off.Ms());
  if (!setting) {
    BlinkMaskEdit(txtShimOn);
    BlinkMaskEdit(txtShimOff);
    return;
  }
  emit Calculated(setting->Period, setting->Duty);
}

void TzShimPanel::ShowOnOff(const QString& aOn, const QString& aOff) {
  txtShimOn->setText(aOn);
  txtShimOff->setText(aOff);
}
