// The frame without a module: construction, connection panel, options file,
// indicators, side panels and field checks.
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "uBlinker.h"
#include "uActivationPaths.h"
#include "uFindDevice.h"
#include "uFrameFixture.h"
#include "uMain.h"
#include "uNetworkPort.h"
#include "uOptions.h"
#include "uPanelRules.h"
#include "uResources.h"
#include "uSimBackend.h"

namespace {

QColor TextColor(const QLabel* aLabel) { return aLabel->palette().color(QPalette::WindowText); }

std::vector<QWidget*> FeatureButtons(TfrRK_7140& aFrame) {
  std::vector<QWidget*> buttons = {aFrame.btnRS485, aFrame.btnDIn_Filter, aFrame.btnDIn_Imp,
                                   aFrame.btnDOut, aFrame.btnSystem, aFrame.btnReset};
  for (QToolButton* relay : aFrame.btnDOUT) buttons.push_back(relay);
  return buttons;
}

}  // namespace

TEST_F(FrameTest, ConstructionShowsTheIdlePanel) {
  TfrRK_7140 frame;
  EXPECT_FALSE(frame.InitMode);
  for (QLabel* label : {frame.labAddr, frame.labBaudRate, frame.labFormat, frame.labDate, frame.labTime,
                        frame.labVerPO, frame.labTest})
    EXPECT_EQ(label->text(), QStringLiteral("...")) << label->objectName().toStdString();
  EXPECT_EQ(frame.txtMAC->text(), QStringLiteral("AA-BB-CC-DD-EE-FF"));
  EXPECT_EQ(frame.txtLineAddr->text(), QStringLiteral("16"));
  EXPECT_EQ(frame.cbLineBaudRate->currentText(), QStringLiteral("9600"));
  EXPECT_EQ(frame.cbLineFormat->currentText(), QStringLiteral("MODBUS RTU 8N1"));
  EXPECT_EQ(frame.txtLineTimeout->text(), QStringLiteral("20"));
  // The serial ports, then the way to a network port.
  ASSERT_EQ(frame.cbComPort->count(), 5);
  EXPECT_EQ(frame.cbComPort->itemText(4), QStringLiteral("Сетевой порт…"));
  EXPECT_EQ(frame.cbComPort->currentIndex(), 0);
  EXPECT_EQ(frame.ComPort, 1);
  EXPECT_EQ(frame.BaudRate, 9600);
  EXPECT_TRUE(Boxes.empty());
  // Nothing is written while the frame is being made.
  EXPECT_FALSE(QFile::exists(OptionsPath()));

  frame.InterfaceTimerTimer();
  EXPECT_EQ(frame.btnConnect->text(), QStringLiteral("Подключиться"));
  EXPECT_TRUE(frame.btnConnect->isEnabled());
  for (QWidget* button : FeatureButtons(frame)) EXPECT_FALSE(button->isEnabled()) << button->objectName().toStdString();
  EXPECT_TRUE(frame.btnComPort->isEnabled());
  EXPECT_FALSE(frame.btnPortObserver->isVisibleTo(&frame));
  EXPECT_FALSE(frame.panComPort->isVisibleTo(&frame));
  for (int i = 0; i < 12; ++i) {
    EXPECT_FALSE(frame.ArrDIN[i]);
    EXPECT_EQ(frame.txtDinLed[i]->text(), QString::number(i + 1));
  }
  // The template and the panel's own 24 coil tags.
  ASSERT_NE(frame.Controller().Device(), nullptr);
  EXPECT_NE(frame.Controller().Device()->GetTagByID(60070), nullptr);
  EXPECT_NE(frame.Controller().Device()->GetTagByID(1410), nullptr);
}

TEST_F(FrameTest, NoSerialPortGivesTheWarningAndTheFixedList) {
  Ports.clear();
  TfrRK_7140 frame;
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Kind, TzPanelBoxKind::Warning);
  EXPECT_EQ(Boxes[0].Title, QStringLiteral("Предупреждение"));
  EXPECT_EQ(Boxes[0].Text, QStringLiteral("Не удалось обнаружить ни одного СОМ-порта\r\n"
                                          "Попробуйте запустить программу с правами Администратора"));
  ASSERT_EQ(frame.cbComPort->count(), 256);
  EXPECT_EQ(frame.cbComPort->itemText(0), QStringLiteral("COM1"));
  EXPECT_EQ(frame.cbComPort->itemText(254), QStringLiteral("COM255"));
  EXPECT_EQ(frame.ComPort, 1);
  Choose(frame.cbComPort, 11);
  EXPECT_EQ(frame.ComPort, 12);
}

TEST_F(FrameTest, LineSettingsFollowTheControls) {
  TfrRK_7140 frame;
  // The port number is the one the port list gives with the item.
  const std::vector<std::pair<int, int32_t>> ports = {{1, 1003}, {2, 100001}, {3, 4}, {0, 1}};
  for (const auto& [index, number] : ports) {
    Choose(frame.cbComPort, index);
    EXPECT_EQ(frame.ComPort, number) << index;
  }
  // Only the baud-rate list puts its minimum time-out into the field.
  Choose(frame.cbLineBaudRate, 9);
  EXPECT_EQ(frame.BaudRate, 115200);
  EXPECT_EQ(frame.txtLineTimeout->text(), QStringLiteral("32"));
  frame.txtLineTimeout->setText(QStringLiteral("70"));
  Choose(frame.cbLineFormat, 2);
  frame.txtLineAddr->setText(QStringLiteral("5"));
  EXPECT_EQ(frame.txtLineTimeout->text(), QStringLiteral("70"));
  Choose(frame.cbLineBaudRate, 0);
  EXPECT_EQ(frame.txtLineTimeout->text(), QStringLiteral("250"));
  frame.cbComPortChange(nullptr);
  EXPECT_EQ(frame.txtLineTimeout->text(), QStringLiteral("250"));
}

// "Сетевой порт…" asks for a network port; the one chosen joins the list
// before that item, is selected, connects and searches by its endpoint and
// comes back at the next start. A cancelled dialog keeps the port there was.
TEST_F(FrameTest, NetworkPortJoinsTheListAndIsRemembered) {
  std::vector<QString> asked;
  std::optional<QString> answer = QStringLiteral("tcp://127.0.0.1:4001");
  SetNetworkPortPrompt([&](QWidget*, const QString& aCurrent) {
    asked.push_back(aCurrent);
    return answer;
  });
  {
    TfrRK_7140 frame;
    Choose(frame.cbComPort, 2);  // /dev/pts/7
    Choose(frame.cbComPort, frame.cbComPort->count() - 1);
    ASSERT_EQ(frame.cbComPort->count(), 6);
    EXPECT_EQ(frame.cbComPort->currentText(), QStringLiteral("tcp://127.0.0.1:4001"));
    EXPECT_EQ(frame.cbComPort->itemText(5), QStringLiteral("Сетевой порт…"));
    EXPECT_EQ(frame.SelectedEndpoint(), QStringLiteral("tcp://127.0.0.1:4001"));
    EXPECT_EQ(frame.ComPort, 0);

    answer.reset();  // cancelled: the network port stays selected, nothing is added
    Choose(frame.cbComPort, frame.cbComPort->count() - 1);
    EXPECT_EQ(frame.cbComPort->count(), 6);
    EXPECT_EQ(frame.SelectedEndpoint(), QStringLiteral("tcp://127.0.0.1:4001"));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1], QStringLiteral("tcp://127.0.0.1:4001"));  // the dialog starts from it

    TzOptionsValues values;
    ASSERT_TRUE(LoadOptionsFile(OptionsFilePath(), values));
    EXPECT_EQ(values.Endpoint, std::optional<std::string>("tcp://127.0.0.1:4001"));
    EXPECT_EQ(values.NetworkPorts, std::vector<std::string>{"tcp://127.0.0.1:4001"});

    Choose(frame.cbComPort, 1);  // a serial port again: its device is the endpoint
    EXPECT_EQ(frame.SelectedEndpoint(), QStringLiteral("/dev/ttyUSB3"));
    Choose(frame.cbComPort, 4);
  }
  TfrRK_7140 next;
  EXPECT_EQ(next.cbComPort->count(), 6);
  EXPECT_EQ(next.SelectedEndpoint(), QStringLiteral("tcp://127.0.0.1:4001"));
  SetNetworkPortPrompt({});
}

TEST(NetworkPortFields, CheckedBeforeTheyMakeAnEndpoint) {
  struct Case {
    int kind;
    const char* host;
    const char* port;
    const char* endpoint;  // null: refused
    TzNetworkField bad;
  };
  const Case cases[] = {
      {0, "10.0.0.5", "4001", "tcp://10.0.0.5:4001", TzNetworkField::None},
      {1, " ser2net.local ", "2001", "rfc2217://ser2net.local:2001", TzNetworkField::None},
      {2, "gw", "502", "modbus-tcp://gw:502", TzNetworkField::None},
      {2, "fe80::1", "1502", "modbus-tcp://[fe80::1]:1502", TzNetworkField::None},
      {0, "", "4001", nullptr, TzNetworkField::Host},
      {0, "two words", "4001", nullptr, TzNetworkField::Host},
      {0, "host/path", "4001", nullptr, TzNetworkField::Host},
      {0, "host", "", nullptr, TzNetworkField::Port},
      {0, "host", "0", nullptr, TzNetworkField::Port},
      {0, "host", "65536", nullptr, TzNetworkField::Port},
  };
  for (const Case& c : cases) {
    TzNetworkField bad = TzNetworkField::None;
    const auto endpoint = NetworkEndpointFromFields(c.kind, QString::fromUtf8(c.host), QString::fromUtf8(c.port), bad);
    EXPECT_EQ(bad, c.bad) << c.host << " " << c.port;
    if (c.endpoint) {
      ASSERT_TRUE(endpoint) << c.host;
      EXPECT_EQ(EndpointText(*endpoint), c.endpoint);
    } else {
      EXPECT_FALSE(endpoint) << c.host << " " << c.port;
    }
  }
}

// The dialog does not close on a wrong field: the field blinks.
TEST_F(FrameTest, NetworkPortDialogBlinksAWrongField) {
  TfrmNetworkPort dialog;
  dialog.SetEndpoint(QStringLiteral("modbus-tcp://gw:1502"));
  EXPECT_EQ(dialog.cbKind->currentIndex(), 2);
  EXPECT_EQ(dialog.txtHost->text(), QStringLiteral("gw"));
  EXPECT_EQ(dialog.txtPort->accessibleName(), QStringLiteral("Порт"));
  dialog.txtPort->setText(QStringLiteral("70000"));
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  ASSERT_NE(BlinkTimerObj(), nullptr);
  EXPECT_EQ(BlinkTimerObj()->BlinkingEdit(), dialog.txtPort);
  dialog.txtPort->setText(QStringLiteral("1502"));
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Endpoint(), QStringLiteral("modbus-tcp://gw:1502"));
}

TEST_F(FrameTest, FirstChangeWritesTheOptionsFile) {
  TfrRK_7140 frame;
  Choose(frame.cbLineBaudRate, 5);  // 19200
  TzOptionsValues values;
  ASSERT_TRUE(LoadOptionsFile(OptionsFilePath(), values));
  EXPECT_EQ(values.BaudRate, 5);
  EXPECT_EQ(values.Indx, 1);
  EXPECT_EQ(values.Addr, 16);
  EXPECT_EQ(values.Format, 0);
  EXPECT_EQ(values.Timeout, 43);  // the list put the minimum into the field
}

TEST_F(FrameTest, OptionsAreRestoredAtTheNextStart) {
  {
    TfrRK_7140 first;
    Choose(first.cbComPort, 3);  // COM4
    first.txtLineAddr->setText(QStringLiteral("32"));
    Choose(first.cbLineBaudRate, 7);
    Choose(first.cbLineFormat, 2);
    first.txtLineTimeout->setText(QStringLiteral("100"));
  }
  TfrRK_7140 second;
  EXPECT_EQ(second.cbComPort->currentText(), QStringLiteral("COM4"));
  EXPECT_EQ(second.ComPort, 4);
  EXPECT_EQ(second.txtLineAddr->text(), QStringLiteral("32"));
  EXPECT_EQ(second.cbLineBaudRate->currentText(), QStringLiteral("38400"));
  EXPECT_EQ(second.BaudRate, 38400);
  EXPECT_EQ(second.cbLineFormat->currentText(), QStringLiteral("MODBUS RTU 8E1"));
  EXPECT_EQ(second.txtLineTimeout->text(), QStringLiteral("100"));
}

TEST_F(FrameTest, OptionsFileCasesAtStart) {
  struct Case {
    const char* name;
    const char* text;
    int portIndex;
    const char* addr;
    const char* baud;
    const char* timeout;
  };
  const Case cases[] = {
      {"address not a number", "<options><comport indx=\"1003\" addr=\"1z\" baudrate=\"4\"/></options>", 1, "16", "14400", "20"},
      {"port not on this machine", "<options><comport indx=\"77\" timeout=\"90\"/></options>", -1, "16", "9600", "90"},
      {"list index outside the list", "<options><comport baudrate=\"10\" addr=\"17\"/></options>", 0, "17", "9600", "20"},
      {"other root", "<settings><comport indx=\"1003\" addr=\"32\"/></settings>", 0, "16", "9600", "20"},
      {"damaged", "<options><comport indx=\"1003\" addr=\"32\"", 0, "16", "9600", "20"},
  };
  for (const Case& c : cases) {
    QDir().mkpath(QFileInfo(OptionsPath()).path());
    QFile file(OptionsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(c.text);
    file.close();
    TfrRK_7140 frame;
    EXPECT_EQ(frame.cbComPort->currentIndex(), c.portIndex) << c.name;
    EXPECT_EQ(frame.txtLineAddr->text(), QString::fromLatin1(c.addr)) << c.name;
    EXPECT_EQ(frame.cbLineBaudRate->currentText(), QString::fromLatin1(c.baud)) << c.name;
    EXPECT_EQ(frame.txtLineTimeout->text(), QString::fromLatin1(c.timeout)) << c.name;
    if (c.portIndex < 0) {
      EXPECT_EQ(frame.ComPort, 0) << c.name;
    }
    EXPECT_TRUE(Boxes.empty()) << c.name;
  }
}

TEST_F(FrameTest, FailedSaveIsLogged) {
  // The configuration folder's parent is a regular file: no folder can be
  // made there, whoever runs the test.
  const QString blocker = OptionsPath() + QStringLiteral(".blocker");
  QDir().mkpath(QFileInfo(blocker).path());
  QFile file(blocker);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  qputenv("XDG_CONFIG_HOME", blocker.toUtf8());
  TfrRK_7140 frame;
  Choose(frame.cbLineBaudRate, 2);
  const std::vector<TzTempLogLine> lines = TempLogLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(lines[0].Text.startsWith(QStringLiteral("Ошибка: "))) << lines[0].Text.toStdString();
  EXPECT_EQ(ColorToBgr(lines[0].Color), 0x800000u);
}

TEST_F(FrameTest, FailedTemplateLoadIsLoggedAndShown) {
  RegisterResource("BROKEN", "<template><tag");
  for (const bool silence : {false, true}) {
    Boxes.clear();
    ClearTempLog(TzTempLogCounts{});
    TfrRK_7140 frame(nullptr, "BROKEN", silence);
    EXPECT_EQ(LogLinesWith(QStringLiteral("Ошибка загрузки таблицы регистров")), 1) << silence;
    if (silence) {
      EXPECT_TRUE(Boxes.empty());
    } else {
      ASSERT_EQ(Boxes.size(), 1u);
      EXPECT_EQ(Boxes[0].Text, QStringLiteral("Ошибка загрузки таблицы регистров\r\nПродолжение работы не "
                                              "рекомендуется\r\nОбратитесь к разработчикам"));
    }
    // The panel goes on without the panel's own tags.
    ASSERT_NE(frame.Controller().Device(), nullptr);
    EXPECT_EQ(frame.Controller().Device()->GetTagByID(1), nullptr);
  }
  UnregisterResource("BROKEN");
}

TEST_F(FrameTest, LampsAndRelaysTakeTheirPictures) {
  TfrRK_7140 frame;
  for (int i : {0, 2, 11}) frame.SetDIN(i, true);
  for (int i : {0, 5}) frame.SetDOUT(i, true);
  frame.SetDIN(-1, true);
  frame.SetDIN(12, true);
  frame.SetDOUT(6, true);
  for (int i = 0; i < 12; ++i) {
    const bool on = i == 0 || i == 2 || i == 11;
    EXPECT_EQ(frame.ArrDIN[i], on) << i;
    EXPECT_EQ(frame.imgDIN[i]->pixmap().cacheKey(), (on ? frame.imgDinOn : frame.imgDinOff).cacheKey()) << i;
    EXPECT_EQ(TextColor(frame.txtDinLed[i]), on ? QColor(Qt::white) : QColor(Qt::black)) << i;
  }
  for (int i = 0; i < 6; ++i) {
    const bool on = i == 0 || i == 5;
    EXPECT_EQ(frame.ArrDOUT[i], on) << i;
    EXPECT_EQ(frame.btnDOUT[i]->icon().cacheKey(), (on ? frame.imgDoutOn : frame.imgDoutOff).cacheKey()) << i;
    EXPECT_FALSE(frame.btnDOUT[i]->isChecked()) << i;
  }

  frame.labRelayLogic[2]->show();
  for (const auto& tag : frame.Controller().Device()->Tags) tag->SetValue(1);
  frame.SetAllOff();
  for (int i = 0; i < 12; ++i) EXPECT_FALSE(frame.ArrDIN[i]);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(frame.btnDOUT[i]->icon().cacheKey(), frame.imgDoutOff.cacheKey());
  for (QLabel* label : frame.labRelayLogic) EXPECT_FALSE(label->isVisibleTo(&frame));
  for (const auto& tag : frame.Controller().Device()->Tags) EXPECT_EQ(tag->Quality(), 0) << tag->ID;
}

TEST_F(FrameTest, LabelsAndIdentifier) {
  TfrRK_7140 frame;
  const std::vector<uint8_t> mac = {0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};
  frame.SetMAC(mac);
  EXPECT_EQ(frame.txtMAC->text(), QStringLiteral("0A-1B-2C-3D-4E-5F"));
  frame.SetMAC(std::vector<uint8_t>(mac.begin(), mac.begin() + 5));
  EXPECT_EQ(frame.txtMAC->text(), QStringLiteral("0A-1B-2C-3D-4E-5F"));
  frame.ClearLabels(QStringLiteral("-"));
  for (QLabel* label : {frame.labAddr, frame.labBaudRate, frame.labFormat, frame.labDate, frame.labTime,
                        frame.labVerPO, frame.labTest})
    EXPECT_EQ(label->text(), QStringLiteral("-"));
  EXPECT_EQ(frame.txtMAC->text(), QStringLiteral("AA-BB-CC-DD-EE-FF"));
  // Value labels: navy on sky blue, and their text is what a screen reader reads.
  EXPECT_EQ(TextColor(frame.labAddr), QColor(0, 0, 128));
  EXPECT_EQ(frame.labAddr->palette().color(QPalette::Window), QColor(166, 202, 240));
  EXPECT_TRUE(frame.labAddr->accessibleName().isEmpty());
}

TEST_F(FrameTest, CheckBlinkEditInt) {
  TfrRK_7140 frame;
  QLineEdit edit;
  struct Case { const char* text; int32_t min, max; bool ok; int32_t value; };
  const Case cases[] = {
      {"0", 1, 65535, false, 0},          {"1", 1, 65535, true, 1},
      {"65535", 1, 65535, true, 65535},   {"65536", 1, 65535, false, 0},
      {"12a", 1, 65535, false, 0},        {"", 1, 65535, false, 0},
      {"-5", INT32_MAX, INT32_MAX, true, -5}, {"2147483647", INT32_MAX, INT32_MAX, true, INT32_MAX},
      {"99999999999", INT32_MAX, INT32_MAX, false, 0}, {"-7", INT32_MAX, 10, true, -7},
      {"11", INT32_MAX, 10, false, 0},    {"3", 5, INT32_MAX, false, 0},
  };
  for (const Case& c : cases) {
    // Each case starts with a field that is not blinking.
    while (BlinkTimerObj() != nullptr && BlinkTimerObj()->BlinkingEdit() != nullptr) BlinkTimerObj()->TimerTimer();
    edit.setText(QString::fromLatin1(c.text));
    int32_t value = -12345;
    EXPECT_EQ(frame.CheckBlinkEditInt(&edit, value, c.min, c.max), c.ok) << c.text;
    EXPECT_EQ(value, c.ok ? c.value : -12345) << c.text;
    const bool blinking = BlinkTimerObj() != nullptr && BlinkTimerObj()->BlinkingEdit() == &edit;
    EXPECT_EQ(blinking, !c.ok) << c.text;
  }
  int32_t value = 0;
  EXPECT_FALSE(frame.CheckBlinkEditInt(nullptr, value, 1, 2));
}

TEST_F(FrameTest, PopupPanelTogglesAndReplaces) {
  TfrRK_7140 frame;
  frame.resize(720, 600);
  QFrame other(&frame);
  other.resize(100, 80);
  other.hide();

  frame.PopupPanel(frame.btnComPort, frame.panComPort, TzPopupSide::Right);
  EXPECT_TRUE(frame.panComPort->isVisibleTo(&frame));
  EXPECT_EQ(frame.panComPort->pos(), QPoint(frame.btnComPort->x() + frame.btnComPort->width(), frame.btnComPort->y()));
  EXPECT_EQ(frame.CurrPanel, frame.panComPort);
  frame.PopupPanel(frame.btnComPort, frame.panComPort, TzPopupSide::Right);
  EXPECT_FALSE(frame.panComPort->isVisibleTo(&frame));

  frame.PopupPanel(frame.btnComPort, frame.panComPort, TzPopupSide::Right);
  frame.PopupPanel(frame.btnRS485, &other, TzPopupSide::Right);
  EXPECT_FALSE(frame.panComPort->isVisibleTo(&frame));
  EXPECT_TRUE(other.isVisibleTo(&frame));
  EXPECT_EQ(frame.CurrPanel, &other);

  const QRect t = frame.btnRS485->geometry();
  const std::vector<std::pair<TzPopupSide, QPoint>> places = {
      {TzPopupSide::Top, {t.left(), t.top() - 80}},
      {TzPopupSide::Bottom, {t.left(), t.top() + t.height()}},
      {TzPopupSide::Left, {t.left() - 100, t.top()}},
      {TzPopupSide::Right, {t.left() + t.width(), t.top()}},
  };
  for (const auto& [side, place] : places) {
    other.hide();
    frame.PopupPanel(frame.btnRS485, &other, side);
    EXPECT_EQ(other.pos(), place);
  }
  other.move(7, 9);
  frame.PopupPanel(frame.btnRS485, &other, TzPopupSide::None);
  EXPECT_EQ(other.pos(), QPoint(7, 9));
}

TEST_F(FrameTest, SideButtonsFormOneGroupThatAllowsAllUp) {
  TfrRK_7140 frame;
  frame.ButtonsEnabled(true);
  frame.btnComPort->click();
  EXPECT_TRUE(frame.btnComPort->isChecked());
  EXPECT_TRUE(frame.panComPort->isVisibleTo(&frame));
  frame.btnRS485->click();
  EXPECT_TRUE(frame.btnRS485->isChecked());
  EXPECT_FALSE(frame.btnComPort->isChecked());
  EXPECT_FALSE(frame.panComPort->isVisibleTo(&frame));
  frame.btnRS485->click();
  EXPECT_FALSE(frame.btnRS485->isChecked());

  frame.btnComPort->click();
  frame.FrameClick();
  EXPECT_FALSE(frame.panComPort->isVisibleTo(&frame));
  for (QToolButton* button : {frame.btnComPort, frame.btnRS485, frame.btnDIn_Filter, frame.btnDIn_Imp,
                              frame.btnDOut, frame.btnLogic, frame.btnSystem, frame.btnCalibr})
    EXPECT_FALSE(button->isChecked());
  // The closed panel stays recorded; the next click opens it again.
  EXPECT_EQ(frame.CurrPanel, frame.panComPort);
  frame.btnComPort->click();
  EXPECT_TRUE(frame.panComPort->isVisibleTo(&frame));
}

TEST_F(FrameTest, ResizePlacesTheEdgeControls) {
  TfrRK_7140 frame;
  for (const QSize size : {QSize(720, 600), QSize(800, 650)}) {
    frame.resize(size);
    frame.FrameResize();
    const QRect ver = frame.btnVerInfo->geometry();
    EXPECT_EQ(ver.right(), size.width() - 1 - 5);
    EXPECT_EQ(ver.bottom(), size.height() - 1 - 5);
    EXPECT_EQ(frame.btnTempLog->geometry().right() + 1 + 5, ver.left());
    EXPECT_EQ(frame.btnTempLog->y(), ver.y());
    EXPECT_EQ(frame.imgLogo->geometry().right(), size.width() - 1);
    EXPECT_EQ(frame.imgLogo->y(), -8);
    EXPECT_EQ(frame.btnReset->y(), frame.btnSystem->geometry().bottom() + 1 + 60);
  }
}

TEST_F(FrameTest, ControlsStayInsideTheWindow) {
  TfrRK_7140::Register();
  TfrmMain window;
  auto* frame = qobject_cast<TfrRK_7140*>(window.Frame());
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(window.size(), QSize(720, 600));
  EXPECT_EQ(frame->geometry(), QRect(0, 0, 720, 600));
  const QRect inside(0, 0, 720, 600);
  for (QWidget* child : frame->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (child == frame->imgLogo) continue;  // its top 8 pixels are above the edge on purpose
    EXPECT_TRUE(inside.contains(child->geometry())) << child->objectName().toStdString();
  }
  // The connection panel opened next to its button fits too.
  frame->PopupPanel(frame->btnComPort, frame->panComPort, TzPopupSide::Right);
  EXPECT_TRUE(inside.contains(frame->panComPort->geometry()));
}

TEST_F(FrameTest, AssistiveNames) {
  TfrRK_7140 frame;
  for (QLineEdit* edit : {frame.txtLineAddr, frame.txtLineTimeout}) {
    bool hasBuddy = false;
    for (QLabel* label : frame.panComPort->findChildren<QLabel*>())
      if (label->buddy() == edit) hasBuddy = true;
    EXPECT_TRUE(hasBuddy) << edit->objectName().toStdString();
  }
  for (QComboBox* list : {frame.cbComPort, frame.cbLineBaudRate, frame.cbLineFormat}) {
    bool hasBuddy = false;
    for (QLabel* label : frame.panComPort->findChildren<QLabel*>())
      if (label->buddy() == list) hasBuddy = true;
    EXPECT_TRUE(hasBuddy) << list->objectName().toStdString();
  }
  EXPECT_EQ(frame.btnPortObserver->accessibleName(), QStringLiteral("Наблюдение за линией"));
  EXPECT_FALSE(frame.imgFindDevice->accessibleName().isEmpty());
  EXPECT_FALSE(frame.btnPicFirstUpdate->accessibleName().isEmpty());
  int infoIcons = 0;
  for (QLabel* label : frame.panComPort->findChildren<QLabel*>())
    if (!label->pixmap().isNull()) {
      ++infoIcons;
      EXPECT_FALSE(label->accessibleName().isEmpty());
      EXPECT_EQ(label->accessibleName(), label->toolTip().section(QLatin1Char('\n'), 0, 0));
    }
  EXPECT_EQ(infoIcons, 4);
}

TEST_F(FrameTest, ConnectingDots) {
  TfrRK_7140 frame;
  frame.Anima(true);
  EXPECT_FALSE(frame.btnConnect->isEnabled());
  EXPECT_FALSE(frame.labAni->isHidden());
  EXPECT_TRUE(frame.AniTimer.isActive());
  QStringList rows;
  for (int i = 0; i < 20; ++i) {
    frame.AniTimerTimer();
    rows << QString::number(frame.labAni->text().size());
  }
  EXPECT_EQ(rows.join(QLatin1Char(' ')), QStringLiteral("2 3 4 5 6 7 8 9 10 9 8 7 6 5 4 3 2 1 0 1"));
  frame.Anima(false);
  EXPECT_TRUE(frame.btnConnect->isEnabled());
  EXPECT_TRUE(frame.labAni->isHidden());
  EXPECT_FALSE(frame.AniTimer.isActive());
  EXPECT_EQ(frame.AniSlide, 0);
  EXPECT_EQ(frame.AniDirect, 1);
}

TEST_F(FrameTest, ConnectChecksItsFields) {
  TzSimModule module(TzSimConfig{.DemoInputs = false});
  TzSimBackend::TzShared line;
  TfrRK_7140 frame;
  frame.Controller().SetEngineFactory([&](int32_t aPort) { return MakeSimEngine(aPort, module, &line); });
  auto sent = [&] {
    std::lock_guard lock(line.Lock);
    return line.Written.size();
  };
  struct Case { const char* addr; const char* timeout; bool connects; const char* shown; QLineEdit* TfrRK_7140::*blinks; };
  const Case cases[] = {
      {"", "100", false, "100", &TfrRK_7140::txtLineAddr},
      // Outside 1..247: 999 would go out as 231 (its low byte), 0 as a broadcast.
      {"999", "100", false, "100", &TfrRK_7140::txtLineAddr},
      {"0", "100", false, "100", &TfrRK_7140::txtLineAddr},
      {"248", "100", false, "100", &TfrRK_7140::txtLineAddr},
      {"1", "100", true, "100", nullptr},
      {"247", "100", true, "100", nullptr},
      {"16", "", false, "", &TfrRK_7140::txtLineTimeout},
      {"16", "20", true, "57", &TfrRK_7140::txtLineTimeout},
      {"16", "57", true, "57", nullptr},
      {"16", "300", true, "300", nullptr},
  };
  for (const Case& c : cases) {
    while (BlinkTimerObj() != nullptr && BlinkTimerObj()->BlinkingEdit() != nullptr) BlinkTimerObj()->TimerTimer();
    frame.Controller().ConnectBtnTimer().stop();
    frame.txtLineAddr->setText(QString::fromLatin1(c.addr));
    frame.txtLineTimeout->setText(QString::fromLatin1(c.timeout));
    const size_t before = sent();
    EXPECT_EQ(frame.DoConnect(), c.connects) << c.addr << "/" << c.timeout;
    EXPECT_EQ(frame.Controller().ConnectBtnTimer().isActive(), c.connects) << c.addr << "/" << c.timeout;
    EXPECT_EQ(frame.txtLineTimeout->text(), QString::fromLatin1(c.shown)) << c.addr << "/" << c.timeout;
    QWidget* blinking = BlinkTimerObj() ? BlinkTimerObj()->BlinkingEdit() : nullptr;
    EXPECT_EQ(blinking, c.blinks ? frame.*(c.blinks) : nullptr) << c.addr << "/" << c.timeout;
    if (!c.connects) {
      PumpUntil([&] { return frame.Controller().PendingCount() == 0; });
      EXPECT_EQ(sent(), before) << c.addr << "/" << c.timeout;  // nothing went out
    } else {
      ASSERT_TRUE(PumpUntil([&] { return sent() > before; }));
      std::lock_guard lock(line.Lock);
      EXPECT_EQ(line.Written.back()[0], std::stoi(c.addr)) << c.addr;
    }
    if (c.connects) {
      EXPECT_FALSE(frame.btnConnect->isEnabled());
      frame.Controller().ConnectBtnTimerTimer();  // ends any attempt before the next case
      PumpUntil([&] { return frame.Controller().PendingCount() == 0; });
      frame.Controller().Disconnect();
    }
  }
}

// The search is refused the same way: an address outside 1..247 blinks and
// nothing starts.
TEST_F(FrameTest, AnAddressOutsideTheRangeStopsTheSearchToo) {
  TzSimModule module(TzSimConfig{.DemoInputs = false});
  TfrRK_7140 frame;
  frame.FindDevice().SetEngineFactory([&](int32_t aPort) { return MakeSimEngine(aPort, module); });
  for (const char* addr : {"999", "0", ""}) {
    while (BlinkTimerObj() != nullptr && BlinkTimerObj()->BlinkingEdit() != nullptr) BlinkTimerObj()->TimerTimer();
    frame.txtLineAddr->setText(QString::fromLatin1(addr));
    frame.FindStart();
    EXPECT_FALSE(frame.FindDevice().InFindProgress()) << addr;
    ASSERT_NE(BlinkTimerObj(), nullptr);
    EXPECT_EQ(BlinkTimerObj()->BlinkingEdit(), frame.txtLineAddr) << addr;
    EXPECT_TRUE(frame.btnConnect->isEnabled()) << addr;
    EXPECT_TRUE(frame.cbComPort->isEnabled()) << addr;
  }
  while (BlinkTimerObj() != nullptr && BlinkTimerObj()->BlinkingEdit() != nullptr) BlinkTimerObj()->TimerTimer();
  frame.txtLineAddr->setText(QStringLiteral("16"));
  frame.FindStart();
  EXPECT_TRUE(frame.FindDevice().InFindProgress());
  frame.FindStop();
}

// The stored baud rate and format follow the lists however their selection
// changes: a user's choice, an assistive tool or the program. Only a user's
// choice of the baud rate puts its minimum time-out into the field.
TEST_F(FrameTest, LineSettingsFollowTheSelectionHoweverItIsMade) {
  TfrRK_7140 frame;
  frame.txtLineTimeout->setText(QStringLiteral("300"));
  frame.cbLineBaudRate->setCurrentIndex(5);  // not "activated": as an assistive tool sets it
  EXPECT_EQ(frame.BaudRate, 19200);
  EXPECT_EQ(frame.txtLineTimeout->text(), QStringLiteral("300"));
  frame.cbLineFormat->setCurrentIndex(2);
  frame.cbComPort->setCurrentIndex(1);
  EXPECT_EQ(frame.ComPort, 1003);
  TzOptionsValues values;
  ASSERT_TRUE(LoadOptionsFile(OptionsFilePath(), values));
  EXPECT_EQ(values.BaudRate, 5);
  EXPECT_EQ(values.Format, 2);
  EXPECT_EQ(values.Indx, 1003);

  // Connect and search take the rate now shown.
  TzSimModule module(TzSimConfig{.DemoInputs = false});
  int32_t engineBaud = 0;
  frame.Controller().SetEngineFactory([&](int32_t aPort) {
    auto engine = MakeSimEngine(aPort, module);
    return engine;
  });
  ASSERT_TRUE(frame.DoConnect());
  ASSERT_NE(frame.Controller().FreePort(), nullptr);
  engineBaud = static_cast<int32_t>(frame.Controller().FreePort()->LocDCB().BaudRate);
  EXPECT_EQ(engineBaud, 19200);
  frame.Controller().ConnectBtnTimerTimer();
  PumpUntil([&] { return frame.Controller().PendingCount() == 0; });
  frame.Controller().Disconnect();
}

// A side button opens and closes its panel the same way whether it is
// clicked, pressed with Space or Enter, or toggled by an assistive tool.
TEST_F(FrameTest, SideButtonsWorkFromEveryActivationPath) {
  for (const TzActivation path : kAllActivations) {
    TfrRK_7140 frame;
    frame.ButtonsEnabled(true);
    Activate(frame.btnComPort, path);
    EXPECT_TRUE(frame.btnComPort->isChecked()) << ActivationName(path);
    EXPECT_TRUE(frame.panComPort->isVisibleTo(&frame)) << ActivationName(path);
    Activate(frame.btnRS485, path);
    EXPECT_FALSE(frame.btnComPort->isChecked()) << ActivationName(path);
    EXPECT_FALSE(frame.panComPort->isVisibleTo(&frame)) << ActivationName(path);
    Activate(frame.btnRS485, path);
    Activate(frame.btnComPort, path);
    EXPECT_TRUE(frame.panComPort->isVisibleTo(&frame)) << ActivationName(path);
    Activate(frame.btnComPort, path);
    EXPECT_FALSE(frame.btnComPort->isChecked()) << ActivationName(path);
    EXPECT_FALSE(frame.panComPort->isVisibleTo(&frame)) << ActivationName(path);
  }
}

// Only a click on the frame's free area closes the side panels: a press on a
// lamp, a value label or a caption does not, and neither does a press alone.
TEST_F(FrameTest, OnlyAClickOnTheFreeAreaClosesThePanels) {
  TfrRK_7140 frame;
  frame.resize(720, 600);
  frame.show();
  frame.ButtonsEnabled(true);
  auto openPanel = [&] {
    if (!frame.panComPort->isVisible()) frame.btnComPort->click();
    ASSERT_TRUE(frame.panComPort->isVisible());
  };
  // Where nothing of the frame's own lies: one point of the free area.
  QPoint free;
  for (int y = 590; y > 0 && free.isNull(); y -= 4)
    for (int x = 710; x > 200 && free.isNull(); x -= 4)
      if (frame.childAt(x, y) == nullptr) free = QPoint(x, y);
  ASSERT_FALSE(free.isNull());

  struct Case {
    const char* Name;
    QWidget* Target;
  };
  const Case onWidgets[] = {{"lamp", frame.imgDIN[0]}, {"value label", frame.labAddr}, {"input caption", frame.txtDinLed[0]}};
  for (const Case& c : onWidgets) {
    openPanel();
    QTest::mouseClick(c.Target, Qt::LeftButton);
    EXPECT_TRUE(frame.panComPort->isVisible()) << c.Name;
  }
  openPanel();
  QTest::mousePress(&frame, Qt::LeftButton, Qt::NoModifier, free);
  EXPECT_TRUE(frame.panComPort->isVisible()) << "a press alone";
  QTest::mouseRelease(&frame, Qt::LeftButton, Qt::NoModifier, free);
  EXPECT_FALSE(frame.panComPort->isVisible()) << "a click on the free area";
  EXPECT_FALSE(frame.btnComPort->isChecked());
}
