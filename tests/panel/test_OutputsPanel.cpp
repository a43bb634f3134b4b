// The outputs panel and the PWM calculator as the engineer uses them: where
// they open, what the fields do, and "Применить" against the virtual module
// in the same process.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "uActivationPaths.h"
#include "uBlinker.h"
#include "uFrameFixture.h"
#include "uMain.h"
#include "uModbusFrames.h"
#include "uOutputsPanel.h"
#include "uPanelControls.h"
#include "uShimPanel.h"
#include "uSimBackend.h"

namespace {

bool IsRed(const QLineEdit* aEdit) { return aEdit->palette().color(QPalette::Base) == kBlinkRed; }

// A register of the module, as a read over the line would give it.
int ModuleRegister(TzSimModule& aModule, int aReg) {
  TStringBytes frame;
  if (!BuildReadFrame(16, 3, aReg, 1, frame)) return -1;
  const TzSimReply reply = aModule.HandleFrame(frame.AsBytes());
  return reply.Bytes.size() == 7 ? reply.Bytes[3] * 256 + reply.Bytes[4] : -1;
}

void WriteModuleRegister(TzSimModule& aModule, int aReg, int aValue) {
  TStringBytes frame;
  const uint8_t order[] = {2, 1};
  ASSERT_TRUE(BuildRegisterWriteFrame(16, 6, aReg, vtUInt16, order, aValue, frame));
  aModule.HandleFrame(frame.AsBytes());
}

}  // namespace

TEST_F(FrameTest, OutputsPanelOpensBesideTheDeviceButtonWithItsCalculator) {
  TfrRK_7140::Register();
  TfrmMain window;
  auto* frame = qobject_cast<TfrRK_7140*>(window.Frame());
  ASSERT_NE(frame, nullptr);
  frame->ButtonsEnabled(true);
  frame->btnDOut->click();
  TzOutputsPanel* outputs = frame->panDOut;
  TzShimPanel* shim = frame->panShim;
  ASSERT_FALSE(outputs->isHidden());
  ASSERT_FALSE(shim->isHidden());
  EXPECT_EQ(frame->CurrPanel, outputs);
  EXPECT_EQ(outputs->pos(), QPoint(frame->btnRS485->geometry().right() + 1, frame->btnRS485->y()));
  EXPECT_EQ(shim->x(), outputs->geometry().right());  // one pixel inside its right edge
  EXPECT_EQ(shim->y(), outputs->y() + 60);
  const QRect inside(0, 0, 720, 600);
  EXPECT_TRUE(inside.contains(outputs->geometry()));
  EXPECT_TRUE(inside.contains(shim->geometry()));
  // The example list's drop-down shows its longest caption.
  EXPECT_GT(shim->cbShimPrimer->view()->minimumWidth(), shim->cbShimPrimer->width());

  // Another side button closes both; the outputs button again opens both;
  // a click on the frame closes both.
  frame->btnComPort->click();
  EXPECT_TRUE(outputs->isHidden());
  EXPECT_TRUE(shim->isHidden());
  frame->btnDOut->click();
  EXPECT_FALSE(shim->isHidden());
  frame->btnDOut->click();
  EXPECT_TRUE(shim->isHidden());
  frame->btnDOut->click();
  frame->FrameClick();
  EXPECT_TRUE(outputs->isHidden());
  EXPECT_TRUE(shim->isHidden());
  EXPECT_FALSE(frame->btnDOut->isChecked());
}

TEST_F(FrameTest, OutputsPanelControlsAreNamedByTheirCaptions) {
  TfrRK_7140 frame;
  for (QWidget* panel : std::initializer_list<QWidget*>{frame.panDOut, frame.panShim}) {
    const QList<QLabel*> labels = panel->findChildren<QLabel*>();
    for (QWidget* control : panel->findChildren<QWidget*>()) {
      if (!qobject_cast<QLineEdit*>(control) && !qobject_cast<QComboBox*>(control)) continue;
      if (qobject_cast<QComboBox*>(control->parentWidget())) continue;  // a list's own line edit
      const auto buddy = std::find_if(labels.begin(), labels.end(), [&](QLabel* l) { return l->buddy() == control; });
      ASSERT_NE(buddy, labels.end()) << control->objectName().toStdString();
      EXPECT_EQ(control->accessibleName(), (*buddy)->text()) << control->objectName().toStdString();
    }
    for (QAbstractButton* button : panel->findChildren<QAbstractButton*>())
      EXPECT_FALSE(button->text().isEmpty()) << button->objectName().toStdString();
  }
  int infoIcons = 0;
  for (QLabel* label : frame.panDOut->findChildren<QLabel*>())
    if (!label->pixmap().isNull()) {
      ++infoIcons;
      EXPECT_EQ(label->accessibleName(), label->toolTip().section(QLatin1Char('\n'), 0, 0));
      EXPECT_GE(label->toolTip().count(QLatin1Char('\n')), 1) << label->accessibleName().toStdString();
    }
  EXPECT_EQ(infoIcons, 10);  // one per row

  // A selector chosen as an assistive tool's Toggle chooses it: the output is
  // shown once, and exactly one selector stays down.
  TzOutputsPanel& p = *frame.panDOut;
  p.btnDOUTPan[4]->setChecked(true);
  EXPECT_EQ(p.CurrDoutIndx, 5);
  EXPECT_EQ(p.btnDOUT_Apply->text(), QStringLiteral("Применить #5"));
  EXPECT_EQ(std::count_if(p.btnDOUTPan.begin(), p.btnDOUTPan.end(), [](QToolButton* b) { return b->isChecked(); }), 1);
  EXPECT_EQ(frame.panShim->cbShimPrimer->itemText(2), QStringLiteral("(C) ВКЛ на 1 сек,  ВЫКЛ на 4 сек"));
}

// Typing into the PWM fields clamps them and shows the on and off times.
TEST_F(FrameTest, PwmFieldsClampAndShowTheTimes) {
  TfrRK_7140 frame;
  TzOutputsPanel& p = *frame.panDOut;
  TzShimPanel& shim = *frame.panShim;
  struct Case {
    const char *period, *duty, *safe;
    const char *periodShown, *dutyShown, *safeShown, *on, *off;
  };
  const Case cases[] = {
      {"70000", "500", "0", "65535", "500", "0", "0:54:36.7", "0:54:36.7"},
      {"100", "1500", "0", "100", "1000", "0", "0:00:10.0", "0:00:00.0"},
      {"100", "0", "1001", "100", "0", "1000", "0:00:00.0", "0:00:10.0"},
      {"100", "1000", "0", "100", "1000", "0", "0:00:10.0", "0:00:00.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.period) + " " + c.duty + " " + c.safe);
    p.txtShimPeriod->setText(QStringLiteral("1"));
    p.txtShimKoef->setText(QString::fromLatin1(c.duty));
    p.txtShimKoefSecure->setText(QString::fromLatin1(c.safe));
    p.txtShimPeriod->setText(QString::fromLatin1(c.period));
    EXPECT_EQ(p.txtShimPeriod->text(), QString::fromLatin1(c.periodShown));
    EXPECT_EQ(p.txtShimKoef->text(), QString::fromLatin1(c.dutyShown));
    EXPECT_EQ(p.txtShimKoefSecure->text(), QString::fromLatin1(c.safeShown));
    EXPECT_EQ(shim.txtShimOn->displayText(), QString::fromLatin1(c.on));
    EXPECT_EQ(shim.txtShimOff->displayText(), QString::fromLatin1(c.off));
  }
}

TEST_F(FrameTest, CalculatorFillsThePwmFieldsOrFlashesItsFields) {
  TfrRK_7140 frame;
  TzOutputsPanel& p = *frame.panDOut;
  TzShimPanel& shim = *frame.panShim;
  EXPECT_EQ(shim.txtShimOn->displayText(), QStringLiteral("0:00:01.0"));  // as the frame starts
  EXPECT_EQ(shim.txtShimOff->displayText(), QStringLiteral("0:00:01.0"));
  Choose(shim.cbShimPrimer, 2);  // (C)
  EXPECT_EQ(shim.txtShimOn->displayText(), QStringLiteral("0:00:01.0"));
  EXPECT_EQ(shim.txtShimOff->displayText(), QStringLiteral("0:00:04.0"));
  shim.btnShim_Calc->click();
  EXPECT_EQ(p.txtShimPeriod->text(), QStringLiteral("50"));
  EXPECT_EQ(p.txtShimKoef->text(), QStringLiteral("200"));
  EXPECT_EQ(p.txtShimKoefSecure->text(), QStringLiteral("200"));
  EXPECT_EQ(shim.txtShimOn->displayText(), QStringLiteral("0:00:01.0"));
  EXPECT_EQ(shim.txtShimOff->displayText(), QStringLiteral("0:00:04.0"));

  // Both zero: both flash for a moment and nothing changes.
  shim.ShowOnOff(QStringLiteral("0:00:00.0"), QStringLiteral("0:00:00.0"));
  shim.btnShim_Calc->click();
  EXPECT_TRUE(IsRed(shim.txtShimOn));
  EXPECT_TRUE(IsRed(shim.txtShimOff));
  EXPECT_EQ(p.txtShimPeriod->text(), QStringLiteral("50"));
  EXPECT_TRUE(PumpUntil([&] { return !IsRed(shim.txtShimOn) && !IsRed(shim.txtShimOff); }));

  // Minutes over 59 in the off field: only that field flashes.
  shim.ShowOnOff(QStringLiteral("0:00:01.0"), QStringLiteral("0:61:00.0"));
  shim.btnShim_Calc->click();
  EXPECT_FALSE(IsRed(shim.txtShimOn));
  EXPECT_TRUE(IsRed(shim.txtShimOff));
  EXPECT_EQ(p.txtShimKoef->text(), QStringLiteral("200"));
  EXPECT_TRUE(PumpUntil([&] { return !IsRed(shim.txtShimOff); }));

  // The longest time the fields take.
  shim.ShowOnOff(QStringLiteral("1:49:13.5"), QStringLiteral("0:00:00.0"));
  shim.btnShim_Calc->click();
  EXPECT_EQ(p.txtShimPeriod->text(), QStringLiteral("65535"));
  EXPECT_EQ(p.txtShimKoef->text(), QStringLiteral("1000"));
}

TEST_F(FrameTest, ApplyStopsAtTheFirstInvalidField) {
  TfrRK_7140 frame;
  TzOutputsPanel& p = *frame.panDOut;
  TzDiscretOutParams& params = frame.Controller().DOUT(1);
  params.CanModify = true;
  p.btnDOUT_DefaultClick();
  EXPECT_EQ(p.txtLogicLag->text(), QStringLiteral("5"));
  EXPECT_EQ(p.cbLogicY->currentIndex(), 1);
  p.txtShimPeriod->setText(QStringLiteral("20"));
  p.txtLogicLag->setText(QStringLiteral("0"));
  ASSERT_EQ(p.cbLogicFunc->currentIndex(), 0);  // "Откл.": the delay is still checked
  p.btnDOUT_Apply->click();
  ASSERT_NE(BlinkTimerObj(), nullptr);
  EXPECT_EQ(BlinkTimerObj()->BlinkingEdit(), p.txtLogicLag);
  EXPECT_EQ(params.ShimPeriod, 20);  // fields before it are stored
  EXPECT_EQ(params.LogicLag, 0);
  // Let the blink end before the next test.
  EXPECT_TRUE(PumpUntil([] { return BlinkTimerObj()->BlinkingEdit() == nullptr; }));
}

// A module whose output 3 runs "X AND Y": its caption on the picture, the
// refused function change, and "Откл." that stops it.
TEST_F(FrameTest, ARunningFunctionOnOutputThree) {
  TzSimModule module{TzSimConfig{.DemoInputs = false, .Inputs = 0x0805}};
  WriteModuleRegister(module, 4352 + 17, 4);  // X = input 4
  WriteModuleRegister(module, 4352 + 18, 7);  // Y = input 7
  WriteModuleRegister(module, 4352 + 16, 2);  // function 2
  ASSERT_EQ(ModuleRegister(module, 4368), 2);

  TfrRK_7140 frame;
  frame.InterfaceTimer.stop();
  frame.Controller().SetEngineFactory([&module](int32_t aPort) { return MakeSimEngine(aPort, module); });
  frame.txtLineTimeout->setText(QStringLiteral("100"));
  frame.btnConnectClick();
  ASSERT_TRUE(PumpUntil([&] { return frame.Controller().OprosTimer().isActive(); }));
  frame.Controller().OprosTimer().stop();
  frame.InterfaceTimerTimer();

  QLabel* caption = frame.labRelayLogic[2];
  EXPECT_TRUE(caption->isVisibleTo(&frame));
  EXPECT_EQ(caption->text(), QStringLiteral("логика:\nX AND Y\n(Вход #4)\n(Вход #7)"));
  EXPECT_EQ(caption->height(), 55);
  EXPECT_TRUE(caption->accessibleName().isEmpty());  // read by its own text
  EXPECT_FALSE(frame.labRelayLogic[0]->isVisibleTo(&frame));

  TzOutputsPanel& p = *frame.panDOut;
  EXPECT_EQ(p.CurrDoutIndx, 1);
  EXPECT_TRUE(p.btnDOUTPan[0]->isChecked());
  p.btnDOUTPan[2]->click();
  EXPECT_EQ(p.CurrDoutIndx, 3);
  EXPECT_EQ(p.btnDOUT_Apply->text(), QStringLiteral("Применить #3"));
  EXPECT_EQ(std::count_if(p.btnDOUTPan.begin(), p.btnDOUTPan.end(), [](QToolButton* b) { return b->isChecked(); }), 1);
  EXPECT_EQ(p.cbLogicFunc->currentText(), QStringLiteral("X AND Y"));
  EXPECT_EQ(p.cbLogicX->currentIndex(), 3);
  EXPECT_FALSE(p.cbLogicX->isEnabled());
  EXPECT_FALSE(p.labLogicX->isEnabled());

  p.cbLogicFunc->setCurrentIndex(1);  // "Сигнал"
  p.btnDOUT_Apply->click();
  EXPECT_EQ(p.cbLogicFunc->currentText(), QStringLiteral("X AND Y"));
  ASSERT_TRUE(PumpUntil([&] { return frame.Controller().PendingCount() == 0; }));
  EXPECT_EQ(ModuleRegister(module, 4368), 2);

  p.cbLogicFunc->setCurrentIndex(0);  // "Откл."
  p.btnDOUT_Apply->click();
  ASSERT_TRUE(PumpUntil([&] { return frame.Controller().PendingCount() == 0; }));
  EXPECT_EQ(ModuleRegister(module, 4368), 0);
  EXPECT_TRUE(frame.Controller().DOUT(3).CanModify);
  for (QWidget* control : std::initializer_list<QWidget*>{p.cbLogicType, p.txtLogicLag, p.cbLogicX, p.cbLogicY,
                                                          p.chkLogicInv, p.labLogicType, p.labLogicY})
    EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
  frame.InterfaceTimerTimer();
  EXPECT_FALSE(caption->isVisibleTo(&frame));
}

// A click on the selector that is down shows that output's stored
// parameters again: the one-click way to drop unsaved edits, from every
// activation path that clicks.
TEST_F(FrameTest, TheSelectorThatIsDownReloadsOnEveryClick) {
  TfrRK_7140 frame;
  frame.show();
  frame.ButtonsEnabled(true);
  frame.btnDOut->click();
  TzOutputsPanel& p = *frame.panDOut;
  ASSERT_TRUE(p.isVisible());
  frame.Controller().DOUT(2).ShimPeriod = 250;
  frame.Controller().DOUT(2).ShimKoef = 400;
  p.btnDOUTPan[1]->click();
  ASSERT_EQ(p.txtShimPeriod->text(), QStringLiteral("250"));
  for (const TzActivation path : kAllActivations) {
    SCOPED_TRACE(ActivationName(path));
    p.txtShimPeriod->setText(QStringLiteral("999"));
    p.txtShimKoef->setText(QStringLiteral("7"));
    Activate(p.btnDOUTPan[1], path);
    EXPECT_TRUE(p.btnDOUTPan[1]->isChecked());
    EXPECT_EQ(p.CurrDoutIndx, 2);
    // An assistive "Toggle" cannot choose the button that is chosen already.
    const bool reloads = path != TzActivation::Accessibility;
    EXPECT_EQ(p.txtShimPeriod->text(), reloads ? QStringLiteral("250") : QStringLiteral("999"));
    EXPECT_EQ(p.txtShimKoef->text(), reloads ? QStringLiteral("400") : QStringLiteral("7"));
  }
  // Choosing another output works from every path, once.
  for (const TzActivation path : kAllActivations) {
    SCOPED_TRACE(ActivationName(path));
    p.btnDOUTPan[1]->click();
    Activate(p.btnDOUTPan[4], path);
    EXPECT_EQ(p.CurrDoutIndx, 5);
    EXPECT_EQ(p.btnDOUT_Apply->text(), QStringLiteral("Применить #5"));
  }
}
