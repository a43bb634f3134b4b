#include "uOutputsPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "uButtonActivation.h"
#include "uOutputCaptions.h"
#include "uPanelControls.h"
#include "uShimCalc.h"
#include "uShimPanel.h"

namespace {

constexpr int kCaptionLeft = 8;
constexpr int kControlLeft = 170;
constexpr int kInfoLeft = 316;
constexpr int kRowStep = 28;

// The selector that is down stands out as the side buttons do.
const char* const kSelectorStyle =
    "QToolButton { border: 1px solid #7d848c; border-radius: 3px; color: #1d2430;"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fbfcfd, stop:1 #dfe3e8); }"
    "QToolButton:hover { border-color: #3f74b5; }"
    "QToolButton:checked { background: #bcd3ee; border-color: #3f74b5; }";

QString Hint(const char* aText) { return QString::fromUtf8(aText); }

}  // namespace

TzOutputsPanel::TzOutputsPanel(QWidget* aParent, TzRegSink& aSink, std::function<TzDiscretOutParams&(int)> aParams)
    : QFrame(aParent), fSink(aSink), fParams(std::move(aParams)) {
  StyleSidePanel(this, QStringLiteral("panDOut"), QSize(340, 378));
  BuildSelectors();
  BuildPwmRows();
  BuildLogicRows();
  BuildButtons();
  cbLogicFuncChange();
}

void TzOutputsPanel::SetShimPanel(TzShimPanel* aShim) {
  fShim = aShim;
  if (fShim) connect(fShim, &TzShimPanel::Calculated, this, &TzOutputsPanel::SetShimFields);
}

// ---- construction ---------------------------------------------------------

void TzOutputsPanel::BuildSelectors() {
  for (int i = 0; i < kOutputCount; ++i) {
    auto* button = new QToolButton(this);
    button->setObjectName(QStringLiteral("btnDOUT%1Pan").arg(i + 1));
    button->setText(QStringLiteral("Реле #%1").arg(i + 1));
    button->setAccessibleName(button->text());
    button->setCheckable(true);
    button->setAutoExclusive(true);  // exactly one down
    button->setGeometry(6 + i * 55, 6, 53, 26);
    button->setStyleSheet(QString::fromLatin1(kSelectorStyle));
    // A click on the selector that is down shows the stored parameters
    // again: the one-click way to drop unsaved edits.
    OnExclusiveButtonActivated(button, this, [this, i] { SelectorClick(i + 1); });
    btnDOUTPan[static_cast<size_t>(i)] = button;
  }
  SetCheckedQuietly(btnDOUTPan[0], true);  // "Реле #1" at start
}

QLabel* TzOutputsPanel::Row(const QString& aCaption, QWidget* aControl, int aTop, int aWidth, const QString& aHint) {
  QLabel* caption = Caption(this, aCaption, QRect(kCaptionLeft, aTop, kControlLeft - kCaptionLeft - 4, 24));
  caption->setBuddy(aControl);
  aControl->setGeometry(kControlLeft, aTop, aWidth, 24);
  aControl->setAccessibleName(aCaption);
  InfoIcon(this, QPoint(kInfoLeft, aTop + 4), aHint);
  return caption;
}

QLineEdit* TzOutputsPanel::NumberField(const QString& aName, const QString& aText, int aMaxLength) {
  auto* edit = new QLineEdit(aText, this);
  edit->setObjectName(aName);
  edit->setMaxLength(aMaxLength);
  return edit;
}

QComboBox* TzOutputsPanel::List(const QString& aName, const QStringList& aItems) {
  auto* list = new QComboBox(this);
  list->setObjectName(aName);
  list->addItems(aItems);
  list->setMaxVisibleItems(12);
  return list;
}

void TzOutputsPanel::BuildPwmRows() {
  TitleCaption(this, QStringLiteral("Широтно-импульсная модуляция"), QRect(8, 38, 324, 20));
  int top = 60;
  txtShimPeriod = NumberField(QStringLiteral("txtShimPeriod"), QStringLiteral("100"), 5);
  Row(QStringLiteral("Значение периода ШИМ"), txtShimPeriod, top, 64,
      Hint("Период ШИМ\r\nT = Tзамкн + Tразомкн, в десятых долях секунды\r\nДиапазон: 1..65535 (0,1..6553,5 с)\r\n"
           "Запись периода перезапускает цикл ШИМ с новым периодом\r\n"
           "Минимальная длительность каждого состояния ШИМ: 0,05 с"));
  Caption(this, QStringLiteral("× 0,1 с"), QRect(kControlLeft + 70, top, 70, 24));
  top += kRowStep;
  txtShimKoef = NumberField(QStringLiteral("txtShimKoef"), QStringLiteral("0"), 4);
  Row(QStringLiteral("Коэф-т заполнения ШИМ"), txtShimKoef, top, 64,
      Hint("Коэффициент заполнения ШИМ\r\nk = Tзамкн / T, в десятых долях процента\r\nДиапазон: 0..1000 (0..100 %)\r\n"
           "Запись коэффициента не прерывает идущий цикл ШИМ\r\n"
           "Прямое включение или выключение выхода задаёт коэффициент 100 % или 0 %"));
  Caption(this, QStringLiteral("× 0,1 %"), QRect(kControlLeft + 70, top, 70, 24));
  top += kRowStep;
  txtShimKoefSecure = NumberField(QStringLiteral("txtShimKoefSecure"), QStringLiteral("0"), 4);
  Row(QStringLiteral("Аварийный коэф-т ШИМ"), txtShimKoefSecure, top, 64,
      Hint("Аварийный коэффициент заполнения ШИМ\r\nВ десятых долях процента, диапазон: 0..1000\r\n"
           "В аварийном режиме прибор заменяет коэффициент заполнения этим значением\r\n"
           "С ним же выход работает после включения прибора\r\n"
           "По окончании аварийного режима прежний коэффициент не восстанавливается"));
  Caption(this, QStringLiteral("× 0,1 %"), QRect(kControlLeft + 70, top, 70, 24));

  for (QLineEdit* edit : {txtShimPeriod, txtShimKoef, txtShimKoefSecure})
    connect(edit, &QLineEdit::textChanged, this, &TzOutputsPanel::txtShimPeriodChange);
}

void TzOutputsPanel::BuildLogicRows() {
  TitleCaption(this, QStringLiteral("Логика управления"), QRect(8, 146, 324, 20));
  QStringList functions, types, sources;
  for (const char* caption : kLogicFuncCaptions) functions << QString::fromUtf8(caption);
  for (const char* caption : kLogicTypeCaptions) types << QString::fromUtf8(caption);
  for (int input = 1; input <= kLogicSourceCount; ++input)
    sources << QString::fromStdString(LogicSourceCaption(input));

  int top = 168;
  cbLogicFunc = List(QStringLiteral("cbLogicFunc"), functions);
  Row(QStringLiteral("Тип логической функции"), cbLogicFunc, top, 130,
      Hint("Тип логической функции\r\nОткл.: логика выключена, выход работает обычно\r\nСигнал: сигнал входа X\r\n"
           "X AND Y, X OR Y, X XOR Y: логическое И, ИЛИ, исключающее ИЛИ входов X и Y\r\n"
           "Импульс: одиночный импульс по входу X длительностью «Задержка сигнала»\r\n"
           "RS-триггер: триггер, управляемый входами X и Y\r\nИмп.Реле-X: импульсное реле, управляемое входом X\r\n"
           "Функцию, отличную от «Откл.», прибор принимает только при выключенной логике; "
           "работающую функцию сначала выключите («Откл.», «Применить»)"));
  top += kRowStep;
  cbLogicType = List(QStringLiteral("cbLogicType"), types);
  labLogicType = Row(QStringLiteral("Тип задержки сигнала"), cbLogicType, top, 130,
                     Hint("Тип задержки сигнала\r\nНет: без задержки\r\n"
                          "Полож.: задерживается нарастающий фронт сигнала функции\r\n"
                          "Отриц.: задерживается спадающий фронт\r\nПока функция работает, тип не изменить"));
  top += kRowStep;
  txtLogicLag = NumberField(QStringLiteral("txtLogicLag"), QStringLiteral("0"), 5);
  labLogicLag = Row(QStringLiteral("Задержка сигнала"), txtLogicLag, top, 64,
                    Hint("Задержка сигнала\r\nВ десятых долях секунды, диапазон: 1..65535\r\n"
                         "Для функции «Импульс» это длительность импульса\r\nПока функция работает, задержку не изменить"));
  Caption(this, QStringLiteral("× 0,1 с"), QRect(kControlLeft + 70, top, 70, 24));
  top += kRowStep;
  cbLogicX = List(QStringLiteral("cbLogicX"), sources);
  labLogicX = Row(QStringLiteral("Источник сигнала X"), cbLogicX, top, 130,
                  Hint("Источник сигнала X\r\nДискретный вход 1..12, сигнал которого читает функция"));
  top += kRowStep;
  cbLogicY = List(QStringLiteral("cbLogicY"), sources);
  cbLogicY->setCurrentIndex(1);
  labLogicY = Row(QStringLiteral("Источник сигнала Y"), cbLogicY, top, 130,
                  Hint("Источник сигнала Y\r\nВторой дискретный вход 1..12 функций X AND Y, X OR Y, X XOR Y и "
                       "RS-триггер"));
  top += kRowStep;
  // A check box carries its caption itself.
  chkLogicInv = new QCheckBox(QStringLiteral("Инверсия сигнала"), this);
  chkLogicInv->setObjectName(QStringLiteral("chkLogicInv"));
  chkLogicInv->setGeometry(kCaptionLeft, top, 200, 24);
  InfoIcon(this, QPoint(kInfoLeft, top + 4),
           Hint("Инверсия сигнала\r\nПрибор инвертирует сигнал логики после задержки"));

  connect(cbLogicFunc, &QComboBox::currentIndexChanged, this, &TzOutputsPanel::cbLogicFuncChange);
}

void TzOutputsPanel::BuildButtons() {
  btnDOUT_Apply = new QPushButton(QStringLiteral("Применить #1"), this);
  btnDOUT_Apply->setObjectName(QStringLiteral("btnDOUT_Apply"));
  btnDOUT_Apply->setGeometry(kCaptionLeft, 340, 140, 28);
  btnDOUT_Default = new QPushButton(QStringLiteral("По умолчанию"), this);
  btnDOUT_Default->setObjectName(QStringLiteral("btnDOUT_Default"));
  btnDOUT_Default->setGeometry(kCaptionLeft + 150, 340, 140, 28);
  InfoIcon(this, QPoint(kInfoLeft, 346),
           Hint("Применить и По умолчанию\r\n«Применить» сразу записывает настройки в прибор, только для текущего "
                "реле\r\n«По умолчанию» заполняет поля заводскими настройками текущего реле; в прибор они попадут "
                "после «Применить»"));
  connect(btnDOUT_Apply, &QPushButton::clicked, this, &TzOutputsPanel::btnDOUT_ApplyClick);
  connect(btnDOUT_Default, &QPushButton::clicked, this, &TzOutputsPanel::btnDOUT_DefaultClick);
}

// ---- behaviour ------------------------------------------------------------

void TzOutputsPanel::btnDOUT1PanClick(int aTag) {
  if (aTag < 1 || aTag > kOutputCount) return;
  CurrDoutIndx = aTag;
  SetCheckedQuietly(btnDOUTPan[static_cast<size_t>(aTag - 1)], true);
  btnDOUT_Apply->setText(QStringLiteral("Применить #%1").arg(aTag));
  const TzDiscretOutParams& p = fParams(aTag);
  txtShimPeriod->setText(QString::number(p.ShimPeriod));
  txtShimKoef->setText(QString::number(p.ShimKoef));
  txtShimKoefSecure->setText(QString::number(p.ShimKoefSecure));
  txtLogicLag->setText(QString::number(p.LogicLag));
  // A code without an item (a value of 0 for a source) leaves no item selected.
  auto select = [](QComboBox* aList, int32_t aIndex) {
    aList->setCurrentIndex(aIndex >= 0 && aIndex < aList->count() ? aIndex : -1);
  };
  select(cbLogicFunc, p.LogicFunc);
  select(cbLogicType, p.LogicType);
  select(cbLogicX, p.LogicX - 1);
  select(cbLogicY, p.LogicY - 1);
  chkLogicInv->setChecked(p.LogicInv != 0);
  txtShimPeriodChange();
  cbLogicFuncChange();
}

void TzOutputsPanel::SelectorClick(int aTag) {
  btnDOUT1PanClick(aTag);
  if (OnOutputChosen) OnOutputChosen(aTag);
}

QLineEdit* TzOutputsPanel::FieldEdit(TzOutputField aField) const {
  switch (aField) {
    case TzOutputField::ShimPeriod: return txtShimPeriod;
    case TzOutputField::ShimKoef: return txtShimKoef;
    case TzOutputField::ShimKoefSecure: return txtShimKoefSecure;
    case TzOutputField::LogicLag: return txtLogicLag;
  }
  return nullptr;
}

void TzOutputsPanel::btnDOUT_ApplyClick() {
  TzDiscretOutParams& p = fParams(CurrDoutIndx);
  const TzOutputLogicChoice choice{cbLogicFunc->currentIndex(), cbLogicType->currentIndex(),
                                   cbLogicX->currentIndex(), cbLogicY->currentIndex(), chkLogicInv->isChecked()};
  const TzApplyOutcome outcome = ApplyOutputParams(
      fSink, CurrDoutIndx, p,
      [this](TzOutputField aField, int32_t aMin, int32_t aMax, int32_t& aValue) {
        return CheckBlinkEditInt(FieldEdit(aField), aValue, aMin, aMax);
      },
      choice);
  if (outcome == TzApplyOutcome::FieldInvalid) return;
  if (outcome == TzApplyOutcome::LogicRefused) {
    // The module's function runs: the list silently shows it again.
    cbLogicFunc->setCurrentIndex(p.LogicFunc >= 0 && p.LogicFunc < cbLogicFunc->count() ? p.LogicFunc : -1);
    return;
  }
  cbLogicFuncChange();
}

void TzOutputsPanel::btnDOUT_DefaultClick() {
  const TzOutputDefaults& d = kOutputDefaults;
  txtShimPeriod->setText(QString::number(d.ShimPeriod));
  txtShimKoef->setText(QString::number(d.ShimKoef));
  txtShimKoefSecure->setText(QString::number(d.ShimKoefSecure));
  cbLogicFunc->setCurrentIndex(d.Logic.FuncIndex);
  cbLogicType->setCurrentIndex(d.Logic.TypeIndex);
  cbLogicX->setCurrentIndex(d.Logic.XIndex);
  cbLogicY->setCurrentIndex(d.Logic.YIndex);
  txtLogicLag->setText(QString::number(d.LogicLag));
  chkLogicInv->setChecked(d.Logic.Inverted);
  cbLogicFuncChange();
}

void TzOutputsPanel::txtShimPeriodChange() {
  const TzShimFieldsUpdate update = ShimFieldsChanged(
      txtShimPeriod->text().toStdString(), txtShimKoef->text().toStdString(), txtShimKoefSecure->text().toStdString());
  // Each replaced text runs this handler again with the clamped value.
  if (update.SafeText) txtShimKoefSecure->setText(QString::fromStdString(*update.SafeText));
  if (update.PeriodText) txtShimPeriod->setText(QString::fromStdString(*update.PeriodText));
  if (update.DutyText) txtShimKoef->setText(QString::fromStdString(*update.DutyText));
  if (update.OnText && update.OffText && fShim)
    fShim->ShowOnOff(QString::fromStdString(*update.OnText), QString::fromStdString(*update.OffText));
}

void TzOutputsPanel::cbLogicFuncChange() {
  const bool editable = LogicFieldsEditable(cbLogicFunc->currentIndex(), fParams(CurrDoutIndx).CanModify);
  for (QWidget* control : std::initializer_list<QWidget*>{cbLogicType, txtLogicLag, cbLogicX, cbLogicY, chkLogicInv,
                                                          labLogicType, labLogicLag, labLogicX, labLogicY})
    control->setEnabled(editable);
}

void TzOutputsPanel::SetShimFields(int32_t aPeriod, int32_t aDuty) {
  txtShimPeriod->setText(QString::number(aPeriod));
  txtShimKoef->setText(QString::number(aDuty));
  txtShimKoefSecure->setText(QString::number(aDuty));
}
