// The bus search end to end: the main window searches a virtual bus on a
// pseudo-terminal (modules at 1 and 16, another device at 20) over the real
// port engine and serial backend, the results are picked and a module is
// connected from the list. One test: a pass at 9600 baud with the minimum
// time-out takes about 17 s, and the second pass is needed only up to 20.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QToolButton>

#include <functional>
#include <memory>
#include <string>

#include "uBlinker.h"
#include "uFindDevice.h"
#include "uFindPanel.h"
#include "uMain.h"
#include "uPanelWindows.h"
#include "uRK_7140.h"
#include "uSerialPorts.h"
#include "uSimPtyModule.h"
#include "uTempLog.h"

namespace {

// Runs the event loop until aDone holds; false when a minute passes first.
bool PumpUntil(const std::function<bool()>& aDone) {
  QElapsedTimer guard;
  guard.start();
  while (!aDone()) {
    if (guard.elapsed() > 60000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(1);
  }
  return true;
}

class BusSearchEndToEnd : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(fConfig.isValid());
    fOldConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", fConfig.path().toUtf8());
    SetPanelBoxHandler([](TzPanelBoxKind, const QString&, const QString&) {});
    TfrRK_7140::SetSerialPortSource(nullptr);
    TfrRK_7140::Register();

    Bus.Bus().AddModule({.Address = 1, .DemoInputs = false});
    Bus.Bus().AddModule({.Address = 16, .DemoInputs = false});
    Bus.Bus().AddForeign({.Address = 20});
    ASSERT_TRUE(Bus.Start()) << Bus.Error();
    fHadPorts = qEnvironmentVariableIsSet(std::string(kPortListVariable).c_str());
    fOldPorts = qgetenv(std::string(kPortListVariable).c_str());
    qputenv(std::string(kPortListVariable).c_str(), QByteArray::fromStdString(Bus.Path()));

    ClearTempLog(TzTempLogCounts{});
    Window = std::make_unique<TfrmMain>(TempLogWindow());
    Frame = qobject_cast<TfrRK_7140*>(Window->Frame());
    ASSERT_NE(Frame, nullptr);
    Window->show();
  }

  void TearDown() override {
    Window.reset();
    Bus.Stop();
    if (fHadPorts) qputenv(std::string(kPortListVariable).c_str(), fOldPorts);
    else qunsetenv(std::string(kPortListVariable).c_str());
    SetPanelBoxHandler(nullptr);
    qputenv("XDG_CONFIG_HOME", fOldConfigHome);
  }

  QStringList Lines() const {
    QStringList lines;
    for (int i = 0; i < Frame->panFind->FindListBox->count(); ++i)
      lines << Frame->panFind->FindListBox->item(i)->text();
    return lines;
  }

  TzSimPtyBus Bus;
  std::unique_ptr<TfrmMain> Window;
  TfrRK_7140* Frame = nullptr;

private:
  QTemporaryDir fConfig;
  QByteArray fOldConfigHome;
  QByteArray fOldPorts;
  bool fHadPorts = false;
};

}  // namespace

TEST_F(BusSearchEndToEnd, SearchPickAndConnect) {
  Frame->btnComPort->click();
  ASSERT_TRUE(Frame->panComPort->isVisible());
  ASSERT_EQ(Frame->cbLineBaudRate->currentText(), QStringLiteral("9600"));
  Frame->txtLineTimeout->setText(QStringLiteral("5"));

  // The time-out is raised to the minimum of 9600 baud, and the field blinks.
  Frame->imgFindDevice->click();
  EXPECT_EQ(Frame->txtLineTimeout->text(), QStringLiteral("57"));
  ASSERT_NE(BlinkTimerObj(), nullptr);
  EXPECT_EQ(BlinkTimerObj()->BlinkingEdit(), Frame->txtLineTimeout);
  ASSERT_TRUE(Frame->FindDevice().InFindProgress());

  // While it searches, nothing connects and the connection settings wait.
  EXPECT_TRUE(Frame->panFind->isVisible());
  EXPECT_TRUE(Frame->panFind->aniAdvProgress->isVisible());
  EXPECT_FALSE(Frame->btnConnect->isEnabled());
  for (QWidget* control : std::initializer_list<QWidget*>{Frame->cbComPort, Frame->txtLineAddr, Frame->cbLineBaudRate,
                                                          Frame->cbLineFormat, Frame->txtLineTimeout,
                                                          Frame->panFind->FindListBox})
    EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
  Frame->btnConnectClick();
  EXPECT_EQ(Frame->Controller().FreePort(), nullptr);

  // One pass: the progress line, then the devices in the order they answered.
  const QRegularExpression progress(QStringLiteral("^\\[\\d+\\] \\.{1,10}$"));
  bool seenLast = false;
  ASSERT_TRUE(PumpUntil([&] {
    const QString head = Frame->panFind->FindListBox->count() > 0 ? Frame->panFind->FindListBox->item(0)->text() : QString();
    if (head.startsWith(QStringLiteral("[247] "))) seenLast = true;
    return seenLast && !head.startsWith(QStringLiteral("[247] "));
  })) << Lines().join(QStringLiteral(" | ")).toStdString();
  QStringList lines = Lines();
  ASSERT_EQ(lines.size(), 4) << lines.join(QStringLiteral(" | ")).toStdString();
  EXPECT_TRUE(progress.match(lines[0]).hasMatch()) << lines[0].toStdString();
  EXPECT_EQ(lines.mid(1), (QStringList{QStringLiteral("[1] RK-7140"), QStringLiteral("[16] RK-7140"),
                                       QStringLiteral("[20] Unknown")}));

  // The second pass lists the other device again, the modules not.
  ASSERT_TRUE(PumpUntil([&] { return Lines().count(QStringLiteral("[20] Unknown")) == 2; }));
  lines = Lines();
  EXPECT_EQ(lines.mid(1), (QStringList{QStringLiteral("[1] RK-7140"), QStringLiteral("[16] RK-7140"),
                                       QStringLiteral("[20] Unknown"), QStringLiteral("[20] Unknown")}));

  // Stopping keeps the results without the progress line.
  Frame->imgFindDevice->click();
  EXPECT_FALSE(Frame->FindDevice().InFindProgress());
  EXPECT_EQ(Lines(), lines.mid(1));
  EXPECT_FALSE(Frame->panFind->aniAdvProgress->isVisible());
  EXPECT_TRUE(Frame->panFind->isVisible());
  EXPECT_TRUE(Frame->btnConnect->isEnabled());
  EXPECT_TRUE(Frame->panFind->FindListBox->isEnabled());

  // A click on "[16] RK-7140" brings its settings into the connection panel.
  Frame->txtLineAddr->setText(QStringLiteral("99"));
  Frame->txtLineTimeout->setText(QStringLiteral("500"));
  QListWidget* list = Frame->panFind->FindListBox;
  QListWidgetItem* module16 = list->item(1);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(module16).center());
  EXPECT_EQ(Frame->txtLineAddr->text(), QStringLiteral("16"));
  EXPECT_EQ(Frame->txtLineTimeout->text(), QStringLiteral("57"));
  EXPECT_EQ(Frame->cbLineBaudRate->currentText(), QStringLiteral("9600"));
  EXPECT_EQ(Frame->cbLineFormat->currentIndex(), 0);
  EXPECT_EQ(Frame->cbComPort->currentText().toStdString(), Bus.Path());

  // A double click connects, and the module at 16 is identified.
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(module16).center());
  ASSERT_TRUE(PumpUntil([&] { return Frame->Controller().Connected(); }));
  EXPECT_EQ(Frame->Controller().DevAddr(), 16);
  EXPECT_FALSE(Frame->panFind->isVisible());

  // While connected the search picture does nothing.
  Frame->imgFindDeviceClick();
  EXPECT_FALSE(Frame->FindDevice().InFindProgress());
}
