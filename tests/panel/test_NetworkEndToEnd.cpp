// The panel over network ports, end to end: the main window connects to a
// virtual bus (modules at 1 and 16, another device at 20) served as a Modbus
// TCP gateway and as a raw device server (RTU over TCP) on loopback, over the
// real port engine and network links.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>

#include <functional>
#include <memory>
#include <string>

#include "uFindDevice.h"
#include "uFindPanel.h"
#include "uMain.h"
#include "uPanelWindows.h"
#include "uRK_7140.h"
#include "uSimBus.h"
#include "uSimNetServer.h"
#include "uTempLog.h"

namespace {

bool PumpUntil(const std::function<bool()>& aDone, int aGuardMs = 60000) {
  QElapsedTimer guard;
  guard.start();
  while (!aDone()) {
    if (guard.elapsed() > aGuardMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(1);
  }
  return true;
}

int LogLinesWith(const QString& aText) {
  int count = 0;
  for (const TzTempLogLine& line : TempLogLines())
    if (line.Text.contains(aText)) ++count;
  return count;
}

class NetworkEndToEnd : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(fConfig.isValid());
    fOldConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", fConfig.path().toUtf8());
    SetPanelBoxHandler([](TzPanelBoxKind, const QString&, const QString&) {});
    TfrRK_7140::SetSerialPortSource([] { return std::vector<TzSerialPortInfo>{{"/dev/ttyS0", 1}}; });
    TfrRK_7140::Register();
    Bus.AddModule({.Address = 1, .DemoInputs = false});
    Bus.AddModule({.Address = 16, .DemoInputs = false, .Inputs = 0x0805});
    Bus.AddForeign({.Address = 20});
    ClearTempLog(TzTempLogCounts{});
    Window = std::make_unique<TfrmMain>(TempLogWindow());
    Frame = qobject_cast<TfrRK_7140*>(Window->Frame());
    ASSERT_NE(Frame, nullptr);
    Window->show();
  }

  void TearDown() override {
    Window.reset();
    Server.reset();
    TfrRK_7140::SetSerialPortSource(nullptr);
    SetPanelBoxHandler(nullptr);
    qputenv("XDG_CONFIG_HOME", fOldConfigHome);
  }

  // Serves the bus on a free loopback port; the endpoint the panel uses.
  std::string Serve(TzSimNetKind aKind, uint16_t aPort = 0) {
    Server = std::make_unique<TzSimNetServer>(Bus);
    std::string error;
    if (!Server->Listen({aKind, "127.0.0.1", aPort}, error) || !Server->Start()) {
      ADD_FAILURE() << error;
      return {};
    }
    return Server->Endpoint();
  }

  QStringList Lines() const {
    QStringList lines;
    for (int i = 0; i < Frame->panFind->FindListBox->count(); ++i) lines << Frame->panFind->FindListBox->item(i)->text();
    return lines;
  }

  TzSimBus Bus;
  std::unique_ptr<TzSimNetServer> Server;
  std::unique_ptr<TfrmMain> Window;
  TfrRK_7140* Frame = nullptr;

private:
  QTemporaryDir fConfig;
  QByteArray fOldConfigHome;
};

}  // namespace

// Over a Modbus TCP gateway: the search lists the devices that are there and
// nothing for the addresses the gateway says nobody answers (0x0B); the
// module at 16 connects and its inputs come in.
TEST_F(NetworkEndToEnd, ModbusTcpGatewaySearchAndConnect) {
  const std::string endpoint = Serve(TzSimNetKind::ModbusTcp);
  ASSERT_FALSE(endpoint.empty());
  Frame->btnComPort->click();
  Frame->SelectNetworkPort(QString::fromStdString(endpoint));
  EXPECT_EQ(Frame->SelectedEndpoint().toStdString(), endpoint);

  Frame->imgFindDevice->click();
  ASSERT_TRUE(Frame->FindDevice().InFindProgress());
  ASSERT_TRUE(PumpUntil([&] { return Lines().count(QStringLiteral("[20] Unknown")) == 2; }))
      << Lines().join(QStringLiteral(" | ")).toStdString();
  Frame->imgFindDevice->click();
  // As on a serial bus: the modules once, the other device once a pass.
  EXPECT_EQ(Lines(), (QStringList{QStringLiteral("[1] RK-7140"), QStringLiteral("[16] RK-7140"),
                                  QStringLiteral("[20] Unknown"), QStringLiteral("[20] Unknown")}));

  Frame->txtLineAddr->setText(QStringLiteral("16"));
  Frame->btnConnect->click();
  ASSERT_TRUE(PumpUntil([&] { return Frame->Controller().Connected() && Frame->Controller().OprosTimer().isActive(); }));
  int32_t inputs = 0;
  ASSERT_TRUE(PumpUntil([&] { return Frame->Controller().TryValueByID(60070, inputs) && inputs == 0x0805; }));

  // An address nobody has: the gateway's word is in the log, once.
  Frame->btnConnect->click();  // disconnect
  ASSERT_FALSE(Frame->Controller().Connected());
  Frame->txtLineAddr->setText(QStringLiteral("17"));
  Frame->btnConnect->click();
  ASSERT_TRUE(PumpUntil([&] { return Frame->btnConnect->isEnabled(); }));
  EXPECT_FALSE(Frame->Controller().Connected());
  EXPECT_EQ(LogLinesWith(QStringLiteral("Шлюз Modbus TCP: устройство не ответило (код 0bh), адрес 17 не отвечает")), 1);
}

// Over a raw device server: connected, the server goes away (restarted): the
// panel disconnects at once with the reason; when it listens again,
// "Подключиться" reaches the module again. A server that is not there says so.
TEST_F(NetworkEndToEnd, DeviceServerRestartedWhileConnected) {
  const std::string endpoint = Serve(TzSimNetKind::RtuOverTcp);
  ASSERT_FALSE(endpoint.empty());
  const uint16_t port = Server->Port();
  Frame->btnComPort->click();
  Frame->SelectNetworkPort(QString::fromStdString(endpoint));
  Frame->btnConnect->click();
  ASSERT_TRUE(PumpUntil([&] { return Frame->Controller().OprosTimer().isActive(); }));

  Server.reset();
  ASSERT_TRUE(PumpUntil([&] { return !Frame->Controller().Connected(); }));
  EXPECT_EQ(LogLinesWith(QStringLiteral("Связь потеряна: ") + QString::fromStdString(endpoint)), 1);
  EXPECT_TRUE(Frame->btnConnect->isEnabled());

  // Nobody listens: the attempt says why.
  ClearTempLog(TzTempLogCounts{});
  Frame->btnConnect->click();
  EXPECT_EQ(LogLinesWith(QStringLiteral("Не удалось подключиться к ") + QString::fromStdString(endpoint) +
                         QStringLiteral(" (адрес 16): соединение отклонено")),
            1);
  ASSERT_TRUE(PumpUntil([&] { return Frame->btnConnect->isEnabled(); }));

  ASSERT_EQ(Serve(TzSimNetKind::RtuOverTcp, port), endpoint);
  Frame->btnConnect->click();
  ASSERT_TRUE(PumpUntil([&] { return Frame->Controller().OprosTimer().isActive(); }));
  EXPECT_TRUE(Frame->Controller().Connected());
}
