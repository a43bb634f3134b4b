// The input filter, pulse counter, "Устройство" and clock panels and the
// restart: where they open, how assistive technology names their controls,
// and what they write to the virtual module on an in-process line.
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QToolButton>

#include "uActivationPaths.h"
#include "uBlinker.h"
#include "uButtonActivation.h"
#include "uCounterPanel.h"
#include "uDevicePanel.h"
#include "uFilterPanel.h"
#include "uFrameFixture.h"
#include "uModbusFrames.h"
#include "uOptions.h"
#include "uSimBackend.h"
#include "uSystemPanel.h"

namespace {

// A write frame the module received: function, register or coil, value.
struct TzLineWrite {
  int Func, Reg, Value;
  bool operator==(const TzLineWrite&) const = default;
};

class PanelsFrame : public FrameTest {
protected:
  void SetUp() override {
    FrameTest::SetUp();
    fFrame = std::make_unique<TfrRK_7140>();
    fFrame->InterfaceTimer.stop();  // the tests refresh by hand
    Ctl().SetEngineFactory([this](int32_t aPort) { return MakeSimEngine(aPort, Module, &Line); });
    fFrame->txtLineTimeout->setText(QStringLiteral("100"));
  }
  void TearDown() override {
    fFrame.reset();
    FrameTest::TearDown();
  }

  TfrRK_7140& Frame() { return *fFrame; }
  TzRK7140Controller& Ctl() { return fFrame->Controller(); }

  void ConnectAndPoll() {
    Frame().btnConnectClick();
    ASSERT_TRUE(PumpUntil([this] { return Ctl().OprosTimer().isActive(); }));
    Ctl().OprosTimer().stop();
    ASSERT_TRUE(Settle());
    Frame().InterfaceTimerTimer();
  }
  bool Settle() {
    return PumpUntil([this] {
      return Ctl().PendingCount() == 0 && (!Ctl().FreePort() || Ctl().FreePort()->QueuedUIDs().empty());
    });
  }

  // The writes (functions 5 and 6) the module received since aFrom frames.
  std::vector<TzLineWrite> WritesSince(size_t aFrom) {
    std::lock_guard lock(Line.Lock);
    std::vector<TzLineWrite> writes;
    for (size_t i = aFrom; i < Line.Written.size(); ++i) {
      const std::vector<uint8_t>& f = Line.Written[i];
      if (f.size() == 8 && (f[1] == 5 || f[1] == 6)) writes.push_back({f[1], f[2] * 256 + f[3], f[4] * 256 + f[5]});
    }
    return writes;
  }
  size_t Sent() {
    std::lock_guard lock(Line.Lock);
    return Line.Written.size();
  }

  void Good(int32_t aID, double aValue) {
    TzTag* tag = Ctl().Device()->GetTagByID(aID);
    ASSERT_NE(tag, nullptr) << aID;
    tag->SetValue(aValue);
    tag->SetQuality(kQualityGood);
  }

  TzSimModule Module{TzSimConfig{.DemoInputs = false, .Inputs = 0x0805}};
  TzSimBackend::TzShared Line;

private:
  std::unique_ptr<TfrRK_7140> fFrame;
};

// Every edit, list and picker has its row caption as buddy and as name.
void ExpectBuddies(QWidget* aPanel) {
  const QList<QLabel*> labels = aPanel->findChildren<QLabel*>();
  for (QWidget* control : aPanel->findChildren<QWidget*>()) {
    if (!qobject_cast<QLineEdit*>(control) && !qobject_cast<QComboBox*>(control) &&
        !qobject_cast<QAbstractSpinBox*>(control))
      continue;
    if (qobject_cast<QComboBox*>(control->parentWidget()) || qobject_cast<QAbstractSpinBox*>(control->parentWidget()))
      continue;  // a list's or picker's own line edit
    const auto buddy = std::find_if(labels.begin(), labels.end(), [&](QLabel* l) { return l->buddy() == control; });
    ASSERT_NE(buddy, labels.end()) << control->objectName().toStdString();
    EXPECT_EQ(control->accessibleName(), (*buddy)->text()) << control->objectName().toStdString();
  }
}

}  // namespace

TEST_F(PanelsFrame, PanelsOpenBesideTheirButtonsInsideTheWindow) {
  TfrRK_7140& f = Frame();
  f.ButtonsEnabled(true);
  const QRect window(0, 0, 720, 600);
  const std::pair<QToolButton*, QWidget*> rows[] = {
      {f.btnRS485, f.panRS485}, {f.btnDIn_Filter, f.panDIn_Filter}, {f.btnDIn_Imp, f.panDIn_Imp}, {f.btnSystem, f.panSystem}};
  for (const auto& [button, panel] : rows) {
    SCOPED_TRACE(button->text().toStdString());
    button->click();
    ASSERT_FALSE(panel->isHidden());
    EXPECT_EQ(f.CurrPanel, panel);
    EXPECT_EQ(panel->pos(), QPoint(button->geometry().right() + 1, button->y()));
    EXPECT_TRUE(window.contains(panel->geometry()));
    ExpectBuddies(panel);
    button->click();
    EXPECT_TRUE(panel->isHidden());
  }

  // Opening the clock panel puts the PC's date and time into the pickers.
  f.panSystem->SetNow(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)));
  f.btnSystem->click();
  const QDateTime shown(f.panSystem->dtpDate->date(), f.panSystem->dtpTime->time());
  EXPECT_LE(std::abs(shown.secsTo(QDateTime::currentDateTime())), 60);

  // Twelve buttons of one caption are told apart by their input.
  EXPECT_EQ(f.panDIn_Filter->btnDinImp55[6]->accessibleName(), QStringLiteral("Вход #7: 5.5 мс"));
  EXPECT_EQ(f.panDIn_Filter->btnDinImp375[6]->accessibleName(), QStringLiteral("Вход #7: 0.375 мс"));
  EXPECT_EQ(f.panDIn_Imp->btnDinImpClear[11]->accessibleName(), QStringLiteral("Сброс: Вход #12"));
  EXPECT_EQ(f.panDIn_Imp->btnDinImpClear[11]->text(), QStringLiteral("Сброс"));
  for (int i = 0; i < 12; ++i) {
    EXPECT_TRUE(f.panDIn_Filter->btnDinImp375[i]->isChecked()) << i;  // "0.375 мс" at start
    EXPECT_EQ(f.panDIn_Imp->txtDinImp[i]->text(), QStringLiteral("65535"));
    EXPECT_TRUE(f.panDIn_Imp->txtDinImp[i]->accessibleName().isEmpty());  // read by its own text
    EXPECT_TRUE(f.panDIn_Imp->txtDinImp[i]->alignment() & Qt::AlignHCenter);
  }
  int headings = 0;
  for (QLabel* label : f.panDIn_Filter->findChildren<QLabel*>())
    headings += label->text() == QStringLiteral("Импульсы более:");
  EXPECT_EQ(headings, 2);

  // The restart reminder: hidden at start, read by its text, explained by its hint.
  EXPECT_TRUE(f.labNeedReset->isHidden());
  EXPECT_EQ(f.labNeedReset->text(), QStringLiteral("!"));
  EXPECT_TRUE(f.labNeedReset->accessibleName().isEmpty());
  EXPECT_EQ(f.labNeedReset->accessibleDescription(), QStringLiteral("Требуется перезагрузка"));
  EXPECT_EQ(f.labNeedReset->y(), f.btnReset->y());
  EXPECT_TRUE(window.contains(f.labNeedReset->geometry()));
  EXPECT_FALSE(f.labNeedReset->geometry().intersects(f.btnReset->geometry()));
}

TEST_F(PanelsFrame, FilterButtonsFollowTheModuleAndWriteTheirCoils) {
  ConnectAndPoll();
  TzFilterPanel& p = *Frame().panDIn_Filter;
  p.btnDinImp55[6]->click();  // input 7: kept, the module does not report it
  ASSERT_TRUE(Settle());
  Good(60018, 0x0005);
  Frame().InterfaceTimerTimer();
  for (int i = 0; i < 6; ++i) {
    const bool slow = i == 0 || i == 2;
    EXPECT_EQ(p.btnDinImp55[i]->isChecked(), slow) << "input " << i + 1;
    EXPECT_EQ(p.btnDinImp375[i]->isChecked(), !slow) << "input " << i + 1;
  }
  EXPECT_TRUE(p.btnDinImp55[6]->isChecked());
  EXPECT_FALSE(p.btnDinImp375[6]->isChecked());

  // Only the clicks went out: input 7's, then input 1's.
  const size_t before = Sent();
  p.btnDinImp375[0]->click();
  ASSERT_TRUE(Settle());
  p.SetDIN_Filter(1, 2);  // no such type: nothing changes
  p.SetDIN_Filter(6, 1);  // not reported by the module
  EXPECT_TRUE(p.btnDinImp375[1]->isChecked());
  EXPECT_TRUE(p.btnDinImp55[6]->isChecked());
  EXPECT_EQ(WritesSince(before), (std::vector<TzLineWrite>{{5, 2, 0x0000}}));
  EXPECT_EQ(WritesSince(0).front(), (TzLineWrite{5, 770, 0xFF00}));
}

// Inputs 7..12 are never read back, so the button that is down may not be
// what the module has: a click on it writes its coil again, forced. Every way
// of activating a button writes once, never twice.
TEST_F(PanelsFrame, FilterButtonsWriteOnEveryClickAlsoWhenDown) {
  ConnectAndPoll();
  TzFilterPanel& p = *Frame().panDIn_Filter;
  Frame().show();
  Frame().btnDIn_Filter->click();
  ASSERT_TRUE(p.isVisible());
  for (const TzActivation path : kAllActivations) {
    SCOPED_TRACE(ActivationName(path));
    SetCheckedQuietly(p.btnDinImp375[8], true);  // input 9 shows "0.375 мс"
    size_t before = Sent();
    Activate(p.btnDinImp55[8], path);
    ASSERT_TRUE(Settle());
    EXPECT_TRUE(p.btnDinImp55[8]->isChecked());
    EXPECT_EQ(WritesSince(before), (std::vector<TzLineWrite>{{5, 1026, 0xFF00}}));

    // The button that is down already: the module is made to agree.
    before = Sent();
    Activate(p.btnDinImp55[8], path);
    ASSERT_TRUE(Settle());
    EXPECT_TRUE(p.btnDinImp55[8]->isChecked());
    const std::vector<TzLineWrite> again = WritesSince(before);
    if (path == TzActivation::Accessibility) {
      // An assistive "Toggle" cannot let the chosen button of a group up, and
      // Qt sends nothing for it: no write either.
      EXPECT_TRUE(again.empty());
    } else {
      EXPECT_EQ(again, (std::vector<TzLineWrite>{{5, 1026, 0xFF00}}));
    }
  }
}

TEST_F(PanelsFrame, CountersShowThePollAndResetInTheModule) {
  // Input 5 sees three pulses, input 12 one more.
  for (int i = 0; i < 3; ++i) {
    Module.SetInput(5, true);
    Module.SetInput(5, false);
  }
  Module.SetInput(12, false);
  Module.SetInput(12, true);
  ConnectAndPoll();
  TzCounterPanel& p = *Frame().panDIn_Imp;
  EXPECT_EQ(p.txtDinImp[4]->text(), QStringLiteral("3"));
  EXPECT_EQ(p.txtDinImp[11]->text(), QStringLiteral("1"));
  EXPECT_EQ(p.txtDinImp[0]->text(), QStringLiteral("0"));

  const size_t before = Sent();
  p.btnDinImpClear[11]->click();
  ASSERT_TRUE(Settle());
  EXPECT_EQ(WritesSince(before), (std::vector<TzLineWrite>{{5, 1409, 0xFF00}}));
  EXPECT_EQ(Module.Counter(12), 0);
  EXPECT_EQ(p.txtDinImp[11]->text(), QStringLiteral("1"));  // until the next read
  Ctl().GetModbusRegRTU2(160071);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(p.txtDinImp[11]->text(), QStringLiteral("0"));
  EXPECT_EQ(p.txtDinImp[4]->text(), QStringLiteral("3"));

  // A short answer fills the first labels only.
  p.ShowImpCounters({65535});
  EXPECT_EQ(p.txtDinImp[0]->text(), QStringLiteral("65535"));
  EXPECT_EQ(p.txtDinImp[4]->text(), QStringLiteral("3"));
}

TEST_F(PanelsFrame, DeviceSettingsAreCopiedCheckedAndWritten) {
  ConnectAndPoll();
  TfrRK_7140& f = Frame();
  TzDevicePanel& p = *f.panRS485;
  // Filled from the connection at connect; the time-out keeps its text.
  EXPECT_EQ(p.txtAddr->text(), QStringLiteral("16"));
  EXPECT_EQ(p.cbBaudRate->currentText(), QStringLiteral("9600"));
  EXPECT_EQ(p.cbFormat->currentText(), QStringLiteral("MODBUS RTU 8N1"));
  EXPECT_EQ(p.txtTimeout->text(), QStringLiteral("0"));

  f.btnRS485->click();
  ASSERT_FALSE(p.isHidden());
  // An empty address blinks and writes nothing; the panel stays open.
  size_t before = Sent();
  p.txtAddr->setText(QString());
  p.btnRS485_Apply->click();
  ASSERT_TRUE(Settle());
  EXPECT_TRUE(WritesSince(before).empty());
  ASSERT_NE(BlinkTimerObj(), nullptr);
  EXPECT_EQ(BlinkTimerObj()->BlinkingEdit(), p.txtAddr);
  EXPECT_FALSE(p.isHidden());
  EXPECT_TRUE(f.labNeedReset->isHidden());
  EXPECT_EQ(f.txtLineAddr->text(), QStringLiteral("16"));
  ASSERT_TRUE(PumpUntil([] { return BlinkTimerObj()->BlinkingEdit() == nullptr; }));

  before = Sent();
  p.txtAddr->setText(QStringLiteral("32"));
  p.cbBaudRate->setCurrentIndex(5);
  p.cbFormat->setCurrentIndex(2);
  p.txtTimeout->setText(QStringLiteral("10"));
  p.btnRS485_Apply->click();
  ASSERT_TRUE(Settle());
  EXPECT_EQ(WritesSince(before), (std::vector<TzLineWrite>{{6, 28676, 32}, {6, 28672, 5}, {6, 28673, 6}, {6, 28680, 10}}));
  EXPECT_TRUE(TempLogLines().front().Text.isEmpty());
  EXPECT_TRUE(p.isHidden());
  EXPECT_FALSE(f.btnRS485->isChecked());
  EXPECT_FALSE(f.labNeedReset->isHidden());
  // The next connection uses them; the running one keeps its own line.
  EXPECT_EQ(f.txtLineAddr->text(), QStringLiteral("32"));
  EXPECT_EQ(f.cbLineBaudRate->currentText(), QStringLiteral("19200"));
  EXPECT_EQ(f.cbLineFormat->currentText(), QStringLiteral("MODBUS RTU 8E1"));
  EXPECT_EQ(f.BaudRate, 19200);
  EXPECT_EQ(f.txtLineTimeout->text(), QStringLiteral("100"));
  EXPECT_EQ(Ctl().FreePort()->LocDCB().BaudRate, 9600u);
  TzOptionsValues saved;
  ASSERT_TRUE(LoadOptionsFile(OptionsPath().toStdString(), saved));
  EXPECT_EQ(saved.Addr, 32);
  EXPECT_EQ(saved.BaudRate, 5);
  EXPECT_EQ(saved.Format, 2);
  EXPECT_EQ(Module.Line().Address, 16);  // until the module restarts

  // "!" stays through a disconnect; only the restart hides it.
  f.btnConnectClick();
  EXPECT_FALSE(f.labNeedReset->isHidden());
  before = Sent();
  p.btnRS485_Apply->click();  // not connected: nothing at all
  EXPECT_EQ(Sent(), before);
  f.txtLineAddr->setText(QStringLiteral("16"));
  ConnectAndPoll();
  EXPECT_FALSE(f.labNeedReset->isHidden());
  before = Sent();
  f.btnReset->click();
  EXPECT_TRUE(f.labNeedReset->isHidden());
  EXPECT_FALSE(Ctl().Connected());
  EXPECT_FALSE(f.btnRS485->isEnabled());
  EXPECT_FALSE(f.btnReset->isEnabled());
  EXPECT_EQ(f.labAddr->text(), QStringLiteral("..."));
  ASSERT_TRUE(Settle());
  EXPECT_EQ(WritesSince(before), (std::vector<TzLineWrite>{{6, 60000, 21930}}));
}

TEST_F(PanelsFrame, ClockIsWrittenInOrderAndThePanelsClose) {
  ConnectAndPoll();
  TfrRK_7140& f = Frame();
  TzSystemPanel& p = *f.panSystem;
  f.btnSystem->click();
  ASSERT_FALSE(p.isHidden());
  p.dtpDate->setDate(QDate(2021, 12, 31));
  p.dtpTime->setTime(QTime(23, 59, 58, 900));  // milliseconds are dropped
  size_t before = Sent();
  p.btnSystemApply->click();
  ASSERT_TRUE(Settle());
  EXPECT_EQ(WritesSince(before), (std::vector<TzLineWrite>{
                                     {6, 32768, 2021}, {6, 32769, 12}, {6, 32770, 31}, {6, 32771, 23}, {6, 32772, 59}, {6, 32773, 58}}));
  EXPECT_TRUE(p.isHidden());
  EXPECT_FALSE(f.btnSystem->isChecked());
  EXPECT_TRUE(TempLogLines().front().Text.isEmpty());

  // A date being typed is taken as it stands.
  f.btnSystem->click();
  p.dtpDate->setFocus();
  QLineEdit* typed = p.dtpDate->findChild<QLineEdit*>();
  ASSERT_NE(typed, nullptr);
  typed->setText(QStringLiteral("30.11.2021"));
  p.dtpTime->setTime(QTime(1, 2, 3));
  before = Sent();
  p.btnSystemApply->click();
  ASSERT_TRUE(Settle());
  const std::vector<TzLineWrite> writes = WritesSince(before);
  ASSERT_EQ(writes.size(), 6u);
  EXPECT_EQ(writes[1].Value, 11);
  EXPECT_EQ(writes[2].Value, 30);
  EXPECT_EQ(writes[5].Value, 3);
}
