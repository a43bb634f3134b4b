// The frame connected to the virtual module in the same process: what the
// screen shows while polling, the refresh map, and the way back to idle.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>

#include "uActivationPaths.h"
#include "uFindDevice.h"
#include "uFrameFixture.h"
#include "uPortObserver.h"
#include "uSimBackend.h"

namespace {

class ConnectedFrame : public FrameTest {
protected:
  void SetUp() override {
    FrameTest::SetUp();
    fFrame = std::make_unique<TfrRK_7140>();
    fFrame->InterfaceTimer.stop();  // the tests refresh by hand
    Ctl().SetEngineFactory([this](int32_t aPort) { return MakeSimEngine(aPort, Module); });
    fFrame->txtLineTimeout->setText(QStringLiteral("100"));
  }
  void TearDown() override {
    fFrame.reset();
    FrameTest::TearDown();
  }

  TfrRK_7140& Frame() { return *fFrame; }
  TzRK7140Controller& Ctl() { return fFrame->Controller(); }

  // Connects and waits until the first full reading has started the poll.
  void ConnectAndPoll() {
    Frame().btnConnectClick();
    ASSERT_TRUE(PumpUntil([this] { return Ctl().OprosTimer().isActive(); }));
    Ctl().OprosTimer().stop();
    ASSERT_TRUE(PumpUntil([this] { return Ctl().PendingCount() == 0; }));
    Frame().InterfaceTimerTimer();
  }

  // Gives a tag a good value, as a decoded answer would.
  void Good(int32_t aID, double aValue) {
    TzTag* tag = Ctl().Device()->GetTagByID(aID);
    ASSERT_NE(tag, nullptr) << aID;
    tag->SetValue(aValue);
    tag->SetQuality(kQualityGood);
  }
  void Bad(int32_t aID) { Ctl().Device()->GetTagByID(aID)->SetQuality(kQualityNoAnswer); }

  TzSimModule Module{TzSimConfig{.DemoInputs = false, .Inputs = 0x0805}};

private:
  std::unique_ptr<TfrRK_7140> fFrame;
};

}  // namespace

TEST_F(ConnectedFrame, ShowsTheModule) {
  ConnectAndPoll();
  EXPECT_EQ(Frame().btnConnect->text(), QStringLiteral("Отключиться"));
  EXPECT_TRUE(Frame().btnConnect->isEnabled());
  EXPECT_TRUE(Frame().btnPortObserver->isVisibleTo(&Frame()));
  EXPECT_TRUE(Frame().btnRS485->isEnabled());
  EXPECT_TRUE(Frame().btnDOUT[0]->isEnabled());
  EXPECT_TRUE(Frame().labAni->isHidden());
  EXPECT_TRUE(Frame().imgFindDevice->isHidden());

  EXPECT_EQ(Frame().txtMAC->text(), QStringLiteral("00-12-34-56-78-9A"));
  EXPECT_EQ(Frame().labAddr->text(), QStringLiteral("16"));
  EXPECT_EQ(Frame().labBaudRate->text(), QStringLiteral("9600"));
  EXPECT_EQ(Frame().labFormat->text(), QStringLiteral("RTU 8N1"));
  EXPECT_EQ(Frame().labVerPO->text(), QStringLiteral("1.05"));
  EXPECT_EQ(Frame().labTest->text(), QStringLiteral("0"));
  EXPECT_NE(Frame().labDate->text(), QStringLiteral("..."));
  EXPECT_NE(Frame().labTime->text(), QStringLiteral("..."));
  for (int i = 0; i < 12; ++i) EXPECT_EQ(Frame().ArrDIN[i], i == 0 || i == 2 || i == 11) << i;

  // The waiting picture shows only between identification and polling.
  Frame().PicLoadingTimerTimer();
  EXPECT_FALSE(Frame().btnPicFirstUpdate->isHidden());
  Ctl().OprosTimer().start();
  Frame().PicLoadingTimerTimer();
  EXPECT_TRUE(Frame().btnPicFirstUpdate->isHidden());
  Ctl().OprosTimer().stop();
}

TEST_F(ConnectedFrame, RefreshMap) {
  ConnectAndPoll();
  Good(60070, 0x0805);
  Good(60062, 0x0021);
  Frame().InterfaceTimerTimer();
  for (int i = 0; i < 12; ++i) {
    const bool on = i == 0 || i == 2 || i == 11;
    EXPECT_EQ(Frame().imgDIN[i]->pixmap().cacheKey(), (on ? Frame().imgDinOn : Frame().imgDinOff).cacheKey()) << i;
    EXPECT_EQ(Frame().txtDinLed[i]->palette().color(QPalette::WindowText), on ? QColor(Qt::white) : QColor(Qt::black));
  }
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(Frame().btnDOUT[i]->icon().cacheKey(),
              (i == 0 || i == 5 ? Frame().imgDoutOn : Frame().imgDoutOff).cacheKey()) << i;

  // Each row: set the tags, refresh, read the label. A value that is not good
  // or not in its table leaves the label as it was.
  struct Step {
    const char* what;
    std::vector<std::pair<int32_t, double>> good;
    std::vector<int32_t> bad;
    QLabel* TfrRK_7140::*label;
    const char* shown;
  };
  const Step steps[] = {
      {"identifier", {{36866, 0x0A1B}, {36867, 0x2C3D}, {36868, 0x4E5F}}, {}, &TfrRK_7140::txtMAC, "0A-1B-2C-3D-4E-5F"},
      {"identifier word missing", {{36866, 0x1111}, {36867, 0x2222}}, {36868}, &TfrRK_7140::txtMAC, "0A-1B-2C-3D-4E-5F"},
      {"baud code 3", {{28672, 3}}, {}, &TfrRK_7140::labBaudRate, "9600"},
      {"baud code 9", {{28672, 9}}, {}, &TfrRK_7140::labBaudRate, "115200"},
      {"baud code 10 keeps", {{28672, 10}}, {}, &TfrRK_7140::labBaudRate, "115200"},
      {"format code 4", {{28673, 4}}, {}, &TfrRK_7140::labFormat, "RTU 8N1"},
      {"format code 1", {{28673, 1}}, {}, &TfrRK_7140::labFormat, "ASCII 7O1"},
      {"format code 0 keeps", {{28673, 0}}, {}, &TfrRK_7140::labFormat, "ASCII 7O1"},
      {"address", {{28676, 32}}, {}, &TfrRK_7140::labAddr, "32"},
      {"address not good keeps", {}, {28676}, &TfrRK_7140::labAddr, "32"},
      {"date", {{32768, 2021}, {32769, 12}, {32770, 31}}, {}, &TfrRK_7140::labDate, "31.12.2021"},
      {"impossible date", {{32768, 2021}, {32769, 2}, {32770, 30}}, {}, &TfrRK_7140::labDate, "..."},
      {"date part not good keeps", {{32768, 2022}, {32769, 1}, {32770, 2}}, {32769}, &TfrRK_7140::labDate, "..."},
      {"time", {{32771, 9}, {32772, 5}, {32773, 7}}, {}, &TfrRK_7140::labTime, "09:05:07"},
      {"impossible time", {{32771, 24}, {32772, 0}, {32773, 0}}, {}, &TfrRK_7140::labTime, "..."},
  };
  for (const Step& step : steps) {
    for (const auto& [id, value] : step.good) Good(id, value);
    for (int32_t id : step.bad) Bad(id);
    Frame().InterfaceTimerTimer();
    EXPECT_EQ((Frame().*(step.label))->text(), QString::fromLatin1(step.shown)) << step.what;
  }

  // Inputs that are not good leave the lamps as they were.
  Bad(60070);
  Frame().InterfaceTimerTimer();
  EXPECT_TRUE(Frame().ArrDIN[11]);
}

TEST_F(ConnectedFrame, InputsFollowTheModule) {
  ConnectAndPoll();
  Module.SetInputs(0x0F0);
  Ctl().OprosTimerTimer();
  ASSERT_TRUE(PumpUntil([this] { return Ctl().PendingCount() == 0; }));
  Frame().InterfaceTimerTimer();
  for (int i = 0; i < 12; ++i) EXPECT_EQ(Frame().ArrDIN[i], i >= 4 && i <= 7) << i;
}

TEST_F(ConnectedFrame, DisconnectReturnsToIdle) {
  ConnectAndPoll();
  Frame().btnConnectClick();
  EXPECT_FALSE(Ctl().Connected());
  for (QLabel* label : {Frame().labAddr, Frame().labBaudRate, Frame().labFormat, Frame().labDate,
                        Frame().labTime, Frame().labVerPO, Frame().labTest})
    EXPECT_EQ(label->text(), QStringLiteral("...")) << label->objectName().toStdString();
  EXPECT_EQ(Frame().txtMAC->text(), QStringLiteral("AA-BB-CC-DD-EE-FF"));
  for (int i = 0; i < 12; ++i) EXPECT_FALSE(Frame().ArrDIN[i]);
  for (int i = 0; i < 6; ++i) EXPECT_FALSE(Frame().ArrDOUT[i]);
  for (const auto& tag : Ctl().Device()->Tags) EXPECT_EQ(tag->Quality(), 0) << tag->ID;
  EXPECT_TRUE(Frame().btnConnect->isEnabled());
  EXPECT_FALSE(Frame().imgFindDevice->isHidden());
  Frame().InterfaceTimerTimer();
  EXPECT_EQ(Frame().btnConnect->text(), QStringLiteral("Подключиться"));
  EXPECT_FALSE(Frame().btnRS485->isEnabled());
  EXPECT_FALSE(Frame().btnPortObserver->isVisibleTo(&Frame()));
  // Stale answers of the old engine change nothing on the idle screen.
  PumpUntil([this] { return Ctl().PendingCount() == 0; });
  Frame().InterfaceTimerTimer();
  EXPECT_EQ(Frame().labAddr->text(), QStringLiteral("..."));
}

TEST_F(ConnectedFrame, WrongDeviceTypeEndsTheAttempt) {
  Module.SetDeviceType(75);
  Frame().btnConnectClick();
  EXPECT_FALSE(Frame().btnConnect->isEnabled());
  EXPECT_FALSE(Frame().labAni->isHidden());
  ASSERT_TRUE(PumpUntil([this] { return Ctl().PendingCount() == 0; }));
  EXPECT_FALSE(Ctl().Connected());
  Ctl().ConnectBtnTimerTimer();
  EXPECT_TRUE(Frame().btnConnect->isEnabled());
  EXPECT_TRUE(Frame().labAni->isHidden());
  EXPECT_FALSE(Frame().imgFindDevice->isHidden());
  Frame().InterfaceTimerTimer();
  EXPECT_EQ(Frame().btnConnect->text(), QStringLiteral("Подключиться"));
}

// Each attempt empties the log but keeps the counters of exception answers.
TEST_F(ConnectedFrame, ConnectKeepsTheCounterBlock) {
  AddTempLog(QStringLiteral("old line"), clTempLogNavy);
  Frame().btnConnectClick();
  EXPECT_EQ(LogLinesWith(QStringLiteral("old line")), 0);
  EXPECT_EQ(LogLinesWith(QStringLiteral("Ошибок 01h: 0")), 1);
  EXPECT_EQ(LogLinesWith(QStringLiteral("Других ошибок: 0")), 1);
  ASSERT_TRUE(PumpUntil([this] { return Ctl().OprosTimer().isActive(); }));
}

// Every click of the observer button opens one more window over the panel;
// all of them see the same traffic.
TEST_F(ConnectedFrame, ObserverButtonOpensOneMoreWindowPerClick) {
  ConnectAndPoll();
  Frame().move(100, 50);
  Frame().btnPortObserver->click();
  Frame().btnPortObserver->click();
  EXPECT_FALSE(Frame().btnPortObserver->isChecked());

  const QList<TfrmPortObserver*> windows = Frame().findChildren<TfrmPortObserver*>();
  ASSERT_EQ(windows.size(), 2);
  for (TfrmPortObserver* observer : windows) {
#ifdef _WIN32
    EXPECT_EQ(observer->windowTitle(), QStringLiteral("Наблюдение за линией COM%1").arg(Frame().ComPort));
#else
    EXPECT_EQ(observer->windowTitle(), QStringLiteral("Наблюдение за линией /dev/ttyS0"));  // the port listed first
#endif
    EXPECT_TRUE(observer->isVisible());
    EXPECT_FALSE(observer->isModal());
    // Centred over the panel; a platform that learns the window's frame only
    // once it is shown puts the client area, not the frame, at that point.
    const QPoint centred(100 + Frame().width() / 2 - observer->width() / 2,
                         50 + Frame().height() / 2 - observer->height() / 2);
    EXPECT_TRUE(observer->pos() == centred || observer->geometry().topLeft() == centred)
        << observer->pos().x() << "," << observer->pos().y();
  }

  ASSERT_TRUE(Ctl().GetModbusRegRTU2(60070));
  ASSERT_TRUE(PumpUntil([this] { return Ctl().PendingCount() == 0; }));
  for (TfrmPortObserver* observer : windows) {
    EXPECT_EQ(observer->SG->item(0, kObsColReg)->text(), QStringLiteral("60070 (0xEAA6)"));
    EXPECT_EQ(observer->SG->item(0, kObsColRequest)->text(), QStringLiteral("10.03.EA.A6.00.01.53.70"));
    EXPECT_FALSE(observer->SG->item(0, kObsColAnswer)->text().isEmpty());
  }
}

// A relay button switches its output over: on when the module shows it off,
// off when it shows it on.
TEST_F(ConnectedFrame, RelayButtonsSwitchTheirOutputOver) {
  ConnectAndPoll();
  ASSERT_EQ(Module.Relays(), 0);
  Frame().btnDOUT[2]->click();
  ASSERT_TRUE(PumpUntil([this] { return Ctl().PendingCount() == 0; }));
  EXPECT_EQ(Module.Relays(), 1 << 2);
  EXPECT_FALSE(Frame().ArrDOUT[2]);  // the picture waits for the next read

  Ctl().OprosTimerTimer();
  ASSERT_TRUE(PumpUntil([this] { return Ctl().PendingCount() == 0; }));
  Frame().InterfaceTimerTimer();
  EXPECT_TRUE(Frame().ArrDOUT[2]);
  Frame().btnDOUT[2]->click();
  ASSERT_TRUE(PumpUntil([this] { return Ctl().PendingCount() == 0; }));
  EXPECT_EQ(Module.Relays(), 0);
}

// Mouse, Space, Enter and an assistive tool's "Toggle" each open exactly one
// observer window and leave the button up.
TEST_F(ConnectedFrame, ObserverButtonOpensOneWindowPerActivationWhateverThePath) {
  ConnectAndPoll();
  int expected = 0;
  for (const TzActivation path : kAllActivations) {
    Activate(Frame().btnPortObserver, path);
    ++expected;
    EXPECT_EQ(Frame().findChildren<TfrmPortObserver*>().size(), expected) << ActivationName(path);
    EXPECT_FALSE(Frame().btnPortObserver->isChecked()) << ActivationName(path);
  }
}

// Connect, disconnect and start a search at once: the connect time-out of the
// attempt must not tick on and enable "Подключиться" while the search holds
// the port.
TEST_F(ConnectedFrame, ConnectStaysDisabledWhileASearchRunsAfterADisconnect) {
  Frame().FindDevice().SetEngineFactory([this](int32_t aPort) { return MakeSimEngine(aPort, Module); });
  ConnectAndPoll();
  Frame().btnConnectClick();  // "Отключиться"
  ASSERT_FALSE(Ctl().Connected());
  EXPECT_FALSE(Ctl().ConnectBtnTimer().isActive());
  Frame().imgFindDeviceClick();
  ASSERT_TRUE(Frame().FindDevice().InFindProgress());
  EXPECT_FALSE(Frame().btnConnect->isEnabled());
  // Longer than the time-out's interval: its tick would have come by now.
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < TzRK7140Controller::kConnectTimeout + 300) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_FALSE(Frame().btnConnect->isEnabled()) << "after " << waited.elapsed() << " ms";
  }
  Frame().imgFindDeviceClick();
  EXPECT_FALSE(Frame().FindDevice().InFindProgress());
  EXPECT_TRUE(Frame().btnConnect->isEnabled());
}
