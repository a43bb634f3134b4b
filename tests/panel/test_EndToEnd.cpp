// The whole panel against the virtual module on a pseudo-terminal: the main
// window, the frame, the controller, the real port engine and the real POSIX
// backend. The module is offered through RK7140_PORTS, as on a real machine,
// and the buttons are pressed as a user would press them. The panel's own
// timers run (refresh, poll, connect time-out); the tests wait for states
// with generous guards against hanging, never for amounts of time.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDateEdit>
#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTime>
#include <QTimeEdit>
#include <QToolButton>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "uCounterPanel.h"
#include "uDevicePanel.h"
#include "uMain.h"
#include "uModbusFrames.h"
#include "uOutputsPanel.h"
#include "uPanelWindows.h"
#include "uPortObsFeed.h"
#include "uRK_7140.h"
#include "uSerialPorts.h"
#include "uShimPanel.h"
#include "uSimPtyModule.h"
#include "uSystemPanel.h"
#include "uTempLog.h"

namespace {

// One frame as the module received it, from the module's own request log.
struct TzReceived {
  std::vector<uint8_t> Frame;
  bool Answered = false;   // "request ...": the module answered it
  int Exception = 0;       // the exception code it answered with, 0 for none
  int Func() const { return Frame.size() > 1 ? Frame[1] : -1; }
  int Reg() const { return Frame.size() > 3 ? Frame[2] * 256 + Frame[3] : -1; }
};

// Collects the module's log lines (written by the module's thread).
class TzModuleLog {
public:
  void Add(const std::string& aLine) {
    std::lock_guard lock(fLock);
    fLines.push_back(aLine);
  }

  // Every frame the module took in, in arrival order.
  std::vector<TzReceived> Received() const {
    std::lock_guard lock(fLock);
    std::vector<TzReceived> result;
    for (const std::string& line : fLines) {
      TzReceived r;
      std::string hex;
      if (line.rfind("request ", 0) == 0) {
        r.Answered = true;
        hex = line.substr(8);
        const size_t arrow = hex.find(" -> exception ");
        if (arrow != std::string::npos) r.Exception = std::stoi(hex.substr(arrow + 14));
      } else if (line.rfind("ignored (", 0) == 0) {
        const size_t colon = line.find("): ");
        if (colon == std::string::npos) continue;
        hex = line.substr(colon + 3);
      } else {
        continue;
      }
      std::istringstream in(hex);
      std::string token;
      while (in >> token && token.size() == 2 && std::isxdigit(static_cast<unsigned char>(token[0])) &&
             std::isxdigit(static_cast<unsigned char>(token[1])))
        r.Frame.push_back(static_cast<uint8_t>(std::stoi(token, nullptr, 16)));
      result.push_back(std::move(r));
    }
    return result;
  }

private:
  mutable std::mutex fLock;
  std::vector<std::string> fLines;
};

// Records the panel's request and answer feeds.
struct TzRecordingObserver : IPortObserver {
  std::vector<TzPortObsRec> Requests, Answers;
  TzRecordingObserver() { PortObsAdd(this); }
  ~TzRecordingObserver() override { PortObsRemove(this); }
  void AddRequest(const TzPortObsRec& aRec) override { Requests.push_back(aRec); }
  void AddAnswer(const TzPortObsRec& aRec) override { Answers.push_back(aRec); }
};

// Runs the event loop until aDone holds; false when the guard of 20 s ends it.
bool PumpUntil(const std::function<bool()>& aDone) {
  QElapsedTimer guard;
  guard.start();
  while (!aDone()) {
    if (guard.elapsed() > 20000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(1);
  }
  return true;
}

bool IsCounterLine(const QString& aText) {
  return aText.startsWith(QStringLiteral("Ошибок 0")) || aText.startsWith(QStringLiteral("Других ошибок: "));
}

// The registers the poll asks for.
const std::set<int> kPolled = {60062, 60070, 32768, 32769, 32770, 32771, 32772, 32773, 60018, 60071};
const std::set<int> kOutputStates = {4096, 4224, 4352, 4480, 4608, 4736};

class EndToEnd : public ::testing::Test {
protected:
  void SetUp() override {
    // A private options folder: what one test saves must not steer the next.
    ASSERT_TRUE(fConfig.isValid());
    fOldConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", fConfig.path().toUtf8());
    SetPanelBoxHandler([this](TzPanelBoxKind, const QString& aTitle, const QString& aText) {
      Boxes.push_back(aTitle + QStringLiteral(": ") + aText);
    });
    // The transport's own enumeration, not a list of the tests'.
    TfrRK_7140::SetSerialPortSource(nullptr);
    TfrRK_7140::Register();

    fOldPorts = qgetenv(std::string(kPortListVariable).c_str());
    fHadPorts = qEnvironmentVariableIsSet(std::string(kPortListVariable).c_str());
    ConfigureSim();
    ASSERT_TRUE(Sim.Start()) << Sim.Error();
    // Set before the main window exists: the frame lists the ports when it is made.
    qputenv(std::string(kPortListVariable).c_str(), QByteArray::fromStdString(Sim.Path()));

    // The log starts empty for each test (its counter block with zeros).
    ClearTempLog(TzTempLogCounts{});
    ASSERT_NE(TempLogWindow(), nullptr);
    Window = std::make_unique<TfrmMain>(TempLogWindow());
    Frame = qobject_cast<TfrRK_7140*>(Window->Frame());
    ASSERT_NE(Frame, nullptr);
    Window->show();
  }

  void TearDown() override {
    Window.reset();
    Sim.Stop();
    if (fHadPorts) qputenv(std::string(kPortListVariable).c_str(), fOldPorts);
    else qunsetenv(std::string(kPortListVariable).c_str());
    SetPanelBoxHandler(nullptr);
    qputenv("XDG_CONFIG_HOME", fOldConfigHome);
  }

  TzRK7140Controller& Ctl() { return Frame->Controller(); }
  // What a variant of the fixture changes in the module before it starts.
  virtual void ConfigureSim() {}

  // A relay closed in the module, as a write over the line would close it.
  void CloseRelay(int aOutput) {
    TStringBytes frame;
    ASSERT_TRUE(BuildCoilWriteFrame(16, 4096 + 128 * (aOutput - 1), 1, frame));
    Sim.Module().HandleFrame(frame.AsBytes());
  }

  // A generous answer time-out: a busy machine must not lose answers.
  void SetGenerousTimeout() { Frame->txtLineTimeout->setText(QStringLiteral("500")); }

  // Presses "Подключиться" and waits until the first full reading has started the poll.
  void ConnectAndWaitForPolling() {
    SetGenerousTimeout();
    ASSERT_TRUE(Frame->btnConnect->isEnabled());
    Frame->btnConnect->click();
    ASSERT_TRUE(PumpUntil([this] { return Ctl().OprosTimer().isActive(); }))
        << "the first full reading did not complete";
  }

  // The tag reads of the first full reading, in the device's list order:
  // (function, register). The template's own device-type read is the
  // identification request's frame and is refused as its duplicate while
  // the identification answer is being handled.
  std::vector<std::pair<int, int>> ReadableTags() {
    std::vector<std::pair<int, int>> tags;
    for (const auto& tag : Ctl().Device()->Tags)
      if (tag->ReadCmd >= 1 && tag->ReadCmd <= 4 && tag->ID != 36864) tags.emplace_back(tag->ReadCmd, tag->Reg);
    return tags;
  }

  TzModuleLog ModuleLog;
  // Inputs 1, 3 and 12 on, standing still.
  TzSimPtyModule Sim{TzSimConfig{.DemoInputs = false, .Inputs = 0x0805},
                     [this](const std::string& aLine) { ModuleLog.Add(aLine); }};
  std::unique_ptr<TfrmMain> Window;
  TfrRK_7140* Frame = nullptr;
  std::vector<QString> Boxes;

private:
  QTemporaryDir fConfig;
  QByteArray fOldConfigHome;
  QByteArray fOldPorts;
  bool fHadPorts = false;
};

std::vector<QLabel*> ValueLabels(const TfrRK_7140& aFrame) {
  return {aFrame.labAddr, aFrame.labBaudRate, aFrame.labFormat, aFrame.labDate,
          aFrame.labTime, aFrame.labVerPO,    aFrame.labTest};
}

}  // namespace

TEST_F(EndToEnd, TheVirtualPortIsOfferedFirstAndSelected) {
  ASSERT_GE(Frame->cbComPort->count(), 1);
  EXPECT_EQ(Frame->cbComPort->currentIndex(), 0);
  EXPECT_EQ(Frame->cbComPort->currentText().toStdString(), Sim.Path());
  EXPECT_EQ(Frame->cbComPort->currentData().toInt(), kExtraPortBase + 1);
  EXPECT_EQ(Frame->ComPort, kExtraPortBase + 1);
  EXPECT_TRUE(Boxes.empty()) << Boxes.front().toStdString();
}

// One connection (a full reading takes seconds on a real line): connect,
// identification, first full reading, polling and the screen; exception
// answers on the log; then "Отключиться" and an answer that arrives after it.
TEST_F(EndToEnd, ASessionWithTheModule) {
  CloseRelay(1);
  CloseRelay(5);
  const QDate today = QDate::currentDate();
  TzRecordingObserver observer;

  ConnectAndWaitForPolling();
  EXPECT_TRUE(Ctl().Connected());

  // What went over the line: the identification request, then each readable
  // tag exactly once, then only the poll.
  const std::vector<std::pair<int, int>> tags = ReadableTags();
  ASSERT_TRUE(PumpUntil([&] { return ModuleLog.Received().size() > tags.size() + 1; }))
      << "no poll reached the module";
  const std::vector<TzReceived> received = ModuleLog.Received();
  for (const TzReceived& r : received) {
    ASSERT_EQ(r.Frame.size(), 8u);
    EXPECT_EQ(r.Frame[0], 16);  // the module's address
    EXPECT_TRUE(r.Answered);
  }
  EXPECT_EQ(received[0].Func(), 4);
  EXPECT_EQ(received[0].Reg(), 0x9000);
  std::vector<std::pair<int, int>> reading;
  for (size_t i = 1; i <= tags.size(); ++i) reading.emplace_back(received[i].Func(), received[i].Reg());

  // The six output states are asked ahead of everything else; the rest go in
  // list order; the counter block closes the reading.
  std::set<int> firstSix;
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(reading[i].first, 1) << i;
    firstSix.insert(reading[i].second);
  }
  EXPECT_EQ(firstSix, kOutputStates);
  std::vector<std::pair<int, int>> rest, expectedRest;
  rest.assign(reading.begin() + 6, reading.end());
  for (const auto& tag : tags)
    if (!(tag.first == 1 && kOutputStates.count(tag.second))) expectedRest.push_back(tag);
  EXPECT_EQ(rest, expectedRest);
  EXPECT_EQ(reading.back(), std::make_pair(3, 60071));
  EXPECT_EQ(std::count(reading.begin(), reading.end(), std::make_pair(4, 0x9000)), 0);
  for (size_t i = tags.size() + 1; i < received.size(); ++i)
    EXPECT_TRUE(kPolled.count(received[i].Reg())) << "unexpected request for " << received[i].Reg();

  // The screen shows the module after a refresh.
  PumpUntil([&] {
    return Frame->btnConnect->text() == QStringLiteral("Отключиться") && Frame->ArrDIN[0] && Frame->ArrDOUT[0] &&
           Frame->txtMAC->text() != QStringLiteral("AA-BB-CC-DD-EE-FF") && Frame->labDate->text() != "..." &&
           Frame->labTime->text() != "..." && Frame->labAddr->text() != "...";
  });
  EXPECT_EQ(Frame->btnConnect->text(), QStringLiteral("Отключиться"));
  EXPECT_TRUE(Frame->btnConnect->isEnabled());
  for (int i = 0; i < 12; ++i) {
    const bool on = i == 0 || i == 2 || i == 11;
    EXPECT_EQ(Frame->ArrDIN[i], on) << "input " << i + 1;
    EXPECT_EQ(Frame->imgDIN[i]->pixmap().cacheKey(), (on ? Frame->imgDinOn : Frame->imgDinOff).cacheKey()) << i + 1;
    EXPECT_EQ(Frame->txtDinLed[i]->palette().color(QPalette::WindowText), on ? QColor(Qt::white) : QColor(Qt::black))
        << "input " << i + 1;
  }
  for (int i = 0; i < 6; ++i) {
    const bool on = i == 0 || i == 4;
    EXPECT_EQ(Frame->ArrDOUT[i], on) << "relay " << i + 1;
    EXPECT_EQ(Frame->btnDOUT[i]->icon().cacheKey(), (on ? Frame->imgDoutOn : Frame->imgDoutOff).cacheKey()) << i + 1;
  }
  EXPECT_EQ(Frame->txtMAC->text(), QStringLiteral("00-12-34-56-78-9A"));
  EXPECT_EQ(Frame->labAddr->text(), QStringLiteral("16"));
  EXPECT_EQ(Frame->labBaudRate->text(), QStringLiteral("9600"));
  EXPECT_EQ(Frame->labFormat->text(), QStringLiteral("RTU 8N1"));
  EXPECT_EQ(Frame->labVerPO->text(), QStringLiteral("1.05"));
  // The module keeps the PC's clock; the date may have turned over meanwhile.
  const QDate shownDate = QDate::fromString(Frame->labDate->text(), QStringLiteral("dd.MM.yyyy"));
  EXPECT_TRUE(shownDate == today || shownDate == today.addDays(1)) << Frame->labDate->text().toStdString();
  EXPECT_EQ(Frame->labTime->text().size(), 8);
  EXPECT_TRUE(QTime::fromString(Frame->labTime->text(), QStringLiteral("HH:mm:ss")).isValid())
      << Frame->labTime->text().toStdString();
  bool queueIsNumber = false;
  Frame->labTest->text().toInt(&queueIsNumber);
  EXPECT_TRUE(queueIsNumber) << Frame->labTest->text().toStdString();

  // Exception answers to the poll: each one the module sent is counted once
  // on the log's counter line of its code.
  TzSimFaultSettings faults;
  faults.Exceptions[60070] = 2;
  Sim.Module().SetFaults(faults);
  ASSERT_TRUE(PumpUntil([&] { return Ctl().ModbusErrors()[2] >= 2; }));
  // Stop asking, let the answers on their way arrive, then compare.
  Ctl().OprosTimer().stop();
  ASSERT_TRUE(PumpUntil([&] {
    return Ctl().PendingCount() == 0 && Ctl().FreePort() != nullptr && Ctl().FreePort()->QueuedUIDs().empty();
  }));
  int sent = 0;
  for (const TzReceived& r : ModuleLog.Received())
    if (r.Exception != 0) {
      EXPECT_EQ(r.Reg(), 60070);
      EXPECT_EQ(r.Exception, 2);
      ++sent;
    }
  const int counted = Ctl().ModbusErrors()[2];
  EXPECT_EQ(counted, sent);
  int counterLines = 0;
  for (const TzTempLogLine& line : TempLogLines()) {
    if (!line.Text.startsWith(QStringLiteral("Ошибок 02h: "))) continue;
    ++counterLines;
    EXPECT_EQ(line.Text, QStringLiteral("Ошибок 02h: %1").arg(counted));
  }
  EXPECT_EQ(counterLines, 1);
  // The other codes stay at zero.
  for (size_t slot = 1; slot <= 9; ++slot)
    if (slot != 2) {
      EXPECT_EQ(Ctl().ModbusErrors()[slot], 0) << slot;
    }
  Sim.Module().SetFaults({});

  // "Отключиться": everything back to idle at once.
  Frame->btnConnect->click();
  EXPECT_FALSE(Ctl().Connected());
  EXPECT_FALSE(Ctl().OprosTimer().isActive());
  for (QLabel* label : ValueLabels(*Frame))
    EXPECT_EQ(label->text(), QStringLiteral("...")) << label->objectName().toStdString();
  EXPECT_EQ(Frame->txtMAC->text(), QStringLiteral("AA-BB-CC-DD-EE-FF"));
  for (int i = 0; i < 12; ++i) {
    EXPECT_FALSE(Frame->ArrDIN[i]) << "input " << i + 1;
    EXPECT_EQ(Frame->imgDIN[i]->pixmap().cacheKey(), Frame->imgDinOff.cacheKey()) << i + 1;
  }
  for (int i = 0; i < 6; ++i) {
    EXPECT_FALSE(Frame->ArrDOUT[i]) << "relay " << i + 1;
    EXPECT_EQ(Frame->btnDOUT[i]->icon().cacheKey(), Frame->imgDoutOff.cacheKey()) << i + 1;
  }
  for (const auto& tag : Ctl().Device()->Tags) EXPECT_EQ(tag->Quality(), 0) << tag->ID;
  EXPECT_TRUE(Frame->btnConnect->isEnabled());
  ASSERT_TRUE(PumpUntil([&] { return Frame->btnConnect->text() == QStringLiteral("Подключиться"); }));
  EXPECT_FALSE(Frame->btnRS485->isEnabled());
  for (QLabel* label : ValueLabels(*Frame))
    EXPECT_EQ(label->text(), QStringLiteral("...")) << label->objectName().toStdString();

  // A late answer. The engine answers every request it exchanged through the
  // request's record, so an answer for a UID that is no longer pending is
  // driven by hand: the module's real answer to an input poll, handed to the
  // controller again after its record is gone.
  ASSERT_TRUE(PumpUntil([&] { return Ctl().PendingCount() == 0; }));
  uint32_t uid = 0;
  std::vector<uint8_t> answer;
  for (const TzPortObsRec& request : observer.Requests) {
    if (request.Reg != 60070) continue;
    const auto it = std::find_if(observer.Answers.begin(), observer.Answers.end(), [&](const TzPortObsRec& a) {
      return a.Index == request.Index && !a.Cmd.empty();
    });
    if (it == observer.Answers.end()) continue;
    uid = static_cast<uint32_t>(request.Index);
    answer = it->Cmd;
    break;
  }
  ASSERT_FALSE(answer.empty()) << "no answer to an input poll was seen";
  const size_t linesBefore = TempLogLines().size();
  Ctl().ModbusAsyncAnswer(Frame->ComPort, uid, TStringBytes::FromBytes(answer), 0);
  // The answer's bytes in decimal without the last one (the check sum's high byte).
  QStringList bytes;
  for (size_t i = 0; i + 1 < answer.size(); ++i) bytes << QString::number(answer[i]);
  const std::vector<TzTempLogLine> lines = TempLogLines();
  ASSERT_EQ(lines.size(), linesBefore + 1);
  EXPECT_EQ(lines.front().Text,
            QStringLiteral("Неизвестный UID (%1):   Ответ: ").arg(uid) + bytes.join(QLatin1Char('.')));
  EXPECT_EQ(ColorToBgr(lines.front().Color), clTempLogMaroon);
  // It changes nothing on the idle screen.
  EXPECT_EQ(Ctl().Device()->GetTagByID(60070)->Quality(), 0);
  Frame->InterfaceTimerTimer();
  for (int i = 0; i < 12; ++i) EXPECT_FALSE(Frame->ArrDIN[i]) << "input " << i + 1;
  EXPECT_TRUE(Boxes.empty()) << Boxes.front().toStdString();
}

// No module answers at the address, or the module is of another type: the
// connect time-out returns the panel to idle, and the log says why in one
// navy line beside its counter block.
TEST_F(EndToEnd, AnAttemptWithoutTheModuleReturnsToIdle) {
  struct Case {
    const char* name;
    const char* address;
    int deviceType;
    bool answered;  // whether the module answers the identification request
  };
  struct Reason {
    const char* text;
  };
  const Case cases[] = {{"no module at the address", "17", 74, false}, {"a module of type 75", "16", 75, true}};
  const Reason reasons[] = {{"нет ответа в течение секунды"}, {"прибор другого типа (тип 75, у RK-7140 тип 74)"}};
  size_t next = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sim.Module().SetDeviceType(c.deviceType);
    Frame->txtLineAddr->setText(QString::fromLatin1(c.address));
    SetGenerousTimeout();
    const size_t before = ModuleLog.Received().size();
    ASSERT_TRUE(Frame->btnConnect->isEnabled());
    Frame->btnConnect->click();
    EXPECT_FALSE(Frame->btnConnect->isEnabled());
    EXPECT_TRUE(Ctl().ConnectBtnTimer().isActive());

    // The real connect time-out ends the attempt.
    ASSERT_TRUE(PumpUntil([&] { return !Ctl().ConnectBtnTimer().isActive(); }));
    EXPECT_FALSE(Ctl().Connected());
    EXPECT_TRUE(Frame->btnConnect->isEnabled());
    EXPECT_TRUE(Frame->labAni->isHidden());
    EXPECT_FALSE(Frame->imgFindDevice->isHidden());
    EXPECT_FALSE(Ctl().OprosTimer().isActive());
    ASSERT_TRUE(PumpUntil([&] { return Frame->btnConnect->text() == QStringLiteral("Подключиться"); }));
    EXPECT_FALSE(Frame->btnRS485->isEnabled());

    // Only the identification request went out, and nothing else was asked.
    const std::vector<TzReceived> received = ModuleLog.Received();
    ASSERT_EQ(received.size(), before + 1);
    EXPECT_EQ(received.back().Frame[0], std::stoi(c.address));
    EXPECT_EQ(received.back().Func(), 4);
    EXPECT_EQ(received.back().Reg(), 0x9000);
    EXPECT_EQ(received.back().Answered, c.answered);

    const std::vector<TzTempLogLine> lines = TempLogLines();
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines.front().Text, QStringLiteral("Не удалось подключиться к %1 (адрес %2): %3")
                                      .arg(QString::fromStdString(Sim.Path()), QString::fromLatin1(c.address),
                                           QString::fromUtf8(reasons[next++].text)));
    EXPECT_EQ(ColorToBgr(lines.front().Color), clTempLogNavy);
    for (size_t i = 1; i < lines.size(); ++i) EXPECT_TRUE(IsCounterLine(lines[i].Text)) << lines[i].Text.toStdString();
  }
  EXPECT_TRUE(Boxes.empty()) << Boxes.front().toStdString();
}

// The module drops every answer while connected: after two seconds of polls
// without an answer the picture shows that its values are stale and the log
// says so once; when the answers return, the marks go and the log says so once.
TEST_F(EndToEnd, ALostLinkIsShownAndItsReturnToo) {
  Frame->txtLineTimeout->setText(QStringLiteral("100"));
  Frame->btnConnect->click();
  ASSERT_TRUE(PumpUntil([this] { return Ctl().OprosTimer().isActive(); }));
  ASSERT_TRUE(PumpUntil([this] { return Frame->ArrDIN[0]; }));  // input 1 is lit
  const QString lost = QStringLiteral("Нет связи с прибором: 8 опросов подряд без ответа");
  const QString back = QStringLiteral("Связь с прибором восстановлена");
  auto linesWith = [](const QString& aText) {
    int count = 0;
    for (const TzTempLogLine& line : TempLogLines())
      if (line.Text == aText) {
        ++count;
        EXPECT_EQ(ColorToBgr(line.Color), clTempLogNavy);
      }
    return count;
  };
  EXPECT_TRUE(Frame->labNoLink->isHidden());
  EXPECT_EQ(Frame->imgDIN[0]->graphicsEffect(), nullptr);

  TzSimFaultSettings faults;
  faults.DropPercent = 100;
  Sim.Module().SetFaults(faults);
  ASSERT_TRUE(PumpUntil([this] { return Ctl().LinkLost(); }));
  EXPECT_GE(Ctl().SilentPolls(), TzRK7140Controller::kLinkLostPolls);
  EXPECT_FALSE(Frame->labNoLink->isHidden());
  EXPECT_EQ(Frame->labNoLink->text(), QStringLiteral("Нет связи"));
  for (QWidget* stale : std::initializer_list<QWidget*>{Frame->imgDIN[0], Frame->btnDOUT[0], Frame->labTime, Frame->txtMAC})
    EXPECT_NE(stale->graphicsEffect(), nullptr) << stale->objectName().toStdString();
  // The lamp that was lit stays lit, dimmed: the last value, marked as old.
  EXPECT_TRUE(Frame->ArrDIN[0]);
  // Said once, however long the line stays dead.
  const int silent = Ctl().SilentPolls();
  ASSERT_TRUE(PumpUntil([&] { return Ctl().SilentPolls() >= silent + 4; }));
  EXPECT_EQ(linesWith(lost), 1);
  EXPECT_EQ(linesWith(back), 0);

  Sim.Module().SetFaults({});
  ASSERT_TRUE(PumpUntil([this] { return !Ctl().LinkLost(); }));
  EXPECT_TRUE(Frame->labNoLink->isHidden());
  for (QWidget* stale : std::initializer_list<QWidget*>{Frame->imgDIN[0], Frame->btnDOUT[0], Frame->labTime, Frame->txtMAC})
    EXPECT_EQ(stale->graphicsEffect(), nullptr) << stale->objectName().toStdString();
  ASSERT_TRUE(PumpUntil([&] { return Ctl().OprosTick() == 0; }));  // a few polls more
  EXPECT_EQ(linesWith(lost), 1);
  EXPECT_EQ(linesWith(back), 1);
  EXPECT_TRUE(Ctl().Connected());
  EXPECT_TRUE(Boxes.empty()) << Boxes.front().toStdString();
}

// Switching relay 1 on from the picture makes the module set its duty factor
// to 100 %: the outputs panel reads it again and shows it, so "Применить #1"
// pressed unchanged keeps the relay on instead of writing the old 0 %.
TEST_F(EndToEnd, TheOutputsPanelShowsWhatTheModuleHas) {
  ConnectAndWaitForPolling();
  ASSERT_TRUE(PumpUntil([&] { return Frame->btnDOut->isEnabled(); }));
  Frame->btnDOut->click();
  TzOutputsPanel& p = *Frame->panDOut;
  ASSERT_TRUE(p.isVisible());
  EXPECT_EQ(p.txtShimKoef->text(), QStringLiteral("0"));

  Frame->btnDOUT[0]->click();
  ASSERT_TRUE(PumpUntil([&] { return (Sim.Module().Relays() & 1) != 0; }));
  ASSERT_TRUE(PumpUntil([&] { return p.txtShimKoef->text() == QStringLiteral("1000"); }))
      << "the panel shows duty " << p.txtShimKoef->text().toStdString();
  EXPECT_EQ(Ctl().DOUT(1).ShimKoef, 1000);
  ASSERT_TRUE(PumpUntil([&] { return Frame->ArrDOUT[0]; }));

  p.btnDOUT_Apply->click();
  ASSERT_TRUE(PumpUntil([&] {
    for (const auto& record : Ctl().ModbusAnswerList())
      if (record->Cmd.Length() > 2 && record->Cmd.mvalue[2] == 6) return false;
    return true;
  }));
  ASSERT_TRUE(PumpUntil([&] { return Ctl().PendingCount() == 0; }));
  EXPECT_NE(Sim.Module().Relays() & 1, 0) << "Применить #1 switched the relay off";

  // Opening the panel reads the shown output again: a change made behind the
  // panel's back (here directly in the module) is what it then shows.
  Frame->btnDOut->click();
  ASSERT_TRUE(p.isHidden());
  CloseRelay(1);  // already on; the duty stays 1000
  TStringBytes period;
  const uint8_t order[] = {2, 1};
  ASSERT_TRUE(BuildRegisterWriteFrame(16, 6, 4104, vtUInt16, order, 250, period));
  Sim.Module().HandleFrame(period.AsBytes());
  Frame->btnDOut->click();
  ASSERT_TRUE(PumpUntil([&] { return p.txtShimPeriod->text() == QStringLiteral("250"); }))
      << "the panel shows period " << p.txtShimPeriod->text().toStdString();
  EXPECT_TRUE(Boxes.empty()) << Boxes.front().toStdString();
}

namespace {

// The module's port left as Linux leaves a freshly plugged adapter: the
// kernel's default terminal mode, with XON/XOFF flow control, line editing
// and echo. The panel must make the line binary itself.
class EndToEndOnAFreshPort : public EndToEnd {
protected:
  void ConfigureSim() override { Sim.SetTtyDefaults(true); }
};

}  // namespace

TEST_F(EndToEndOnAFreshPort, AnswersFullOfXonXoffBytesKeepTheLineGoing) {
  {
    // The port really is in the default mode before the panel opens it.
    const int fd = ::open(Sim.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    ::close(fd);
    EXPECT_TRUE(t.c_iflag & IXON);
    EXPECT_TRUE(t.c_lflag & ICANON);
    EXPECT_TRUE(t.c_lflag & ECHO);
  }
  // The inputs' register answers 01 13, then 00 11: an XOFF, then an XON.
  Sim.Module().SetInputs(0x0113);
  ConnectAndWaitForPolling();
  const size_t afterReading = ModuleLog.Received().size();
  ASSERT_TRUE(PumpUntil([&] { return ModuleLog.Received().size() > afterReading + 12; }))
      << "the poll stopped reaching the module";
  ASSERT_TRUE(PumpUntil([&] { return Frame->ArrDIN[0] && Frame->ArrDIN[1] && Frame->ArrDIN[4] && Frame->ArrDIN[8]; }));
  for (int i = 0; i < 12; ++i) EXPECT_EQ(Frame->ArrDIN[i], i == 0 || i == 1 || i == 4 || i == 8) << "input " << i + 1;

  Sim.Module().SetInputs(0x0011);
  ASSERT_TRUE(PumpUntil([&] { return !Frame->ArrDIN[1] && !Frame->ArrDIN[8] && Frame->ArrDIN[4]; }))
      << "the lamps stopped following the module";
  const size_t later = ModuleLog.Received().size();
  ASSERT_TRUE(PumpUntil([&] { return ModuleLog.Received().size() > later + 12; }));
  // Every request arrived whole and was answered (none cut by a flow-control
  // stop or a CR/LF translation), and the panel logged no error.
  for (const TzReceived& r : ModuleLog.Received()) {
    EXPECT_EQ(r.Frame.size(), 8u);
    EXPECT_TRUE(r.Answered);
  }
  for (const TzTempLogLine& line : TempLogLines())
    EXPECT_FALSE(line.Text.contains(QStringLiteral("Ошибка"))) << line.Text.toStdString();
  const TzTag* inputs = Ctl().Device()->GetTagByID(60070);
  ASSERT_NE(inputs, nullptr);
  EXPECT_EQ(inputs->Quality(), kQualityGood);
}

// The outputs panel drives the module: it shows output 1 as the module holds
// it; period 10 and duty 500 go out in the order of "Применить" and the relay
// on the picture follows the module's PWM; then "Сигнал" from input 3 makes
// the relay follow that input.
TEST_F(EndToEnd, TheOutputsPanelDrivesARelay) {
  ConnectAndWaitForPolling();
  ASSERT_TRUE(PumpUntil([&] { return Frame->btnDOut->isEnabled(); }));
  Frame->btnDOut->click();
  TzOutputsPanel& p = *Frame->panDOut;
  ASSERT_TRUE(p.isVisible());
  ASSERT_TRUE(Frame->panShim->isVisible());
  // The virtual module's factory settings of output 1.
  EXPECT_EQ(p.btnDOUT_Apply->text(), QStringLiteral("Применить #1"));
  EXPECT_EQ(p.txtShimPeriod->text(), QStringLiteral("100"));
  EXPECT_EQ(p.txtShimKoef->text(), QStringLiteral("0"));
  EXPECT_EQ(p.txtLogicLag->text(), QStringLiteral("5"));
  EXPECT_EQ(p.cbLogicFunc->currentIndex(), 0);
  EXPECT_EQ(p.cbLogicX->currentIndex(), 0);
  EXPECT_EQ(p.cbLogicY->currentIndex(), 1);

  auto writesSince = [&](size_t aFrom) {
    std::vector<std::pair<int, int>> writes;
    const std::vector<TzReceived> received = ModuleLog.Received();
    for (size_t i = aFrom; i < received.size(); ++i)
      if (received[i].Func() == 5 || received[i].Func() == 6) writes.emplace_back(received[i].Func(), received[i].Reg());
    return writes;
  };
  const std::vector<std::pair<int, int>> applyOrder = {{6, 4101}, {6, 4104}, {6, 4105}, {5, 4112}, {6, 4113},
                                                       {6, 4114}, {6, 4115}, {6, 4116}, {6, 4112}};
  size_t before = ModuleLog.Received().size();
  p.txtShimPeriod->setText(QStringLiteral("10"));
  p.txtShimKoef->setText(QStringLiteral("500"));
  EXPECT_EQ(Frame->panShim->txtShimOn->displayText(), QStringLiteral("0:00:00.5"));
  p.btnDOUT_Apply->click();
  ASSERT_TRUE(PumpUntil([&] { return writesSince(before).size() >= applyOrder.size(); }));
  EXPECT_EQ(writesSince(before), applyOrder);
  // Closed and open in turn, as the module's PWM runs. The picture shows what
  // the poll reads; on a busy machine the poll can come round only once a
  // second, in step with a one-second period, and would then see one phase
  // only. A two-second period is followed at any poll rate down to that.
  // (Once the last write's answer is in: a request equal to one still queued
  // would be refused.)
  auto writesAnswered = [&] {
    for (const auto& record : Ctl().ModbusAnswerList())
      if (record->Cmd.Length() > 2 && (record->Cmd.mvalue[2] == 5 || record->Cmd.mvalue[2] == 6)) return false;
    return true;
  };
  ASSERT_TRUE(PumpUntil(writesAnswered));
  before = ModuleLog.Received().size();
  p.txtShimPeriod->setText(QStringLiteral("20"));
  p.btnDOUT_Apply->click();
  ASSERT_TRUE(PumpUntil([&] { return writesSince(before).size() >= applyOrder.size(); }));
  for (bool closed : {true, false, true, false})
    ASSERT_TRUE(PumpUntil([&] { return Frame->ArrDOUT[0] == closed; })) << "the relay did not become " << closed;

  // "Сигнал" from input 3: chosen while "Откл." is shown, then applied.
  ASSERT_TRUE(PumpUntil(writesAnswered));
  before = ModuleLog.Received().size();
  p.cbLogicX->setCurrentIndex(2);
  p.cbLogicFunc->setCurrentIndex(1);
  p.btnDOUT_Apply->click();
  ASSERT_TRUE(PumpUntil([&] { return writesSince(before).size() >= applyOrder.size(); }));
  EXPECT_EQ(writesSince(before), applyOrder);
  ASSERT_TRUE(PumpUntil([&] { return Frame->labRelayLogic[0]->isVisible(); }));
  EXPECT_EQ(Frame->labRelayLogic[0]->text(), QStringLiteral("логика:\nСигнал\n(Вход #3)"));
  for (bool on : {false, true, false}) {
    Sim.Module().SetInput(3, on);
    ASSERT_TRUE(PumpUntil([&] { return Frame->ArrDOUT[0] == on; })) << "the relay did not follow input 3 = " << on;
  }
  EXPECT_TRUE(Boxes.empty()) << Boxes.front().toStdString();
}

// New RS-485 settings take effect with the restart: the panel goes idle at
// once, the module answers at its new address after its restart, and
// "Подключиться" with the settings now in the connection panel reaches it.
TEST_F(EndToEnd, RestartAfterNewSettingsAndConnectAgain) {
  ConnectAndWaitForPolling();
  Frame->btnRS485->click();
  TzDevicePanel* device = Frame->panRS485;
  ASSERT_FALSE(device->isHidden());
  device->txtAddr->setText(QStringLiteral("32"));
  // A pseudo-terminal keeps no parity setting, so the format stays 8N1 here.
  device->cbBaudRate->setCurrentIndex(5);  // 19200
  device->btnRS485_Apply->click();
  ASSERT_TRUE(PumpUntil([&] { return Ctl().PendingCount() == 0; }));
  EXPECT_FALSE(Frame->labNeedReset->isHidden());

  Frame->btnReset->click();
  EXPECT_FALSE(Ctl().Connected());
  EXPECT_TRUE(Frame->labNeedReset->isHidden());
  for (QLabel* label : ValueLabels(*Frame))
    EXPECT_EQ(label->text(), QStringLiteral("...")) << label->objectName().toStdString();
  EXPECT_FALSE(Frame->btnRS485->isEnabled());
  EXPECT_FALSE(Frame->btnReset->isEnabled());
  // The engine kept running: the command reached the module, which restarts.
  ASSERT_TRUE(PumpUntil([&] {
    for (const TzReceived& r : ModuleLog.Received())
      if (r.Func() == 6 && r.Reg() == 60000 && r.Frame.size() == 8 && r.Frame[4] * 256 + r.Frame[5] == 21930)
        return true;
    return false;
  }));
  ASSERT_TRUE(PumpUntil([&] { return !Sim.Module().Restarting() && Sim.Module().Line().Address == 32; }));
  EXPECT_EQ(Sim.Module().Line().BaudCode, 5);
  EXPECT_EQ(Sim.Module().Line().FormatCode, 4);
  ASSERT_TRUE(PumpUntil([&] { return Frame->btnConnect->text() == QStringLiteral("Подключиться"); }));

  EXPECT_EQ(Frame->txtLineAddr->text(), QStringLiteral("32"));
  ConnectAndWaitForPolling();
  EXPECT_EQ(Ctl().DevAddr(), 32);
  ASSERT_TRUE(PumpUntil([&] { return Frame->labAddr->text() == QStringLiteral("32"); }));
  EXPECT_EQ(Frame->labBaudRate->text(), QStringLiteral("19200"));
  EXPECT_EQ(Frame->labFormat->text(), QStringLiteral("RTU 8N1"));
  EXPECT_EQ(Ctl().FreePort()->LocDCB().BaudRate, 19200u);
  EXPECT_TRUE(Boxes.empty()) << Boxes.front().toStdString();
}

// The clock set from the panel is the module's clock the picture shows.
TEST_F(EndToEnd, SettingTheClock) {
  ConnectAndWaitForPolling();
  Frame->btnSystem->click();
  TzSystemPanel* system = Frame->panSystem;
  ASSERT_FALSE(system->isHidden());
  const QTime set(12, 34, 56);
  system->dtpDate->setDate(QDate(2021, 6, 15));
  system->dtpTime->setTime(set);
  QElapsedTimer sinceApply;
  system->btnSystemApply->click();
  sinceApply.start();
  EXPECT_TRUE(system->isHidden());
  ASSERT_TRUE(PumpUntil([&] { return Frame->labDate->text() == QStringLiteral("15.06.2021"); }));
  ASSERT_TRUE(PumpUntil([&] { return QTime::fromString(Frame->labTime->text(), QStringLiteral("HH:mm:ss")) >= set; }));
  // The clock has run on from the set time no further than time has passed
  // (normally the picture shows it within two seconds).
  const QTime shown = QTime::fromString(Frame->labTime->text(), QStringLiteral("HH:mm:ss"));
  EXPECT_LE(set.secsTo(shown), sinceApply.elapsed() / 1000 + 1) << Frame->labTime->text().toStdString();
}

// A counter reset in the module shows as 0 with the next poll.
TEST_F(EndToEnd, ResettingAPulseCounter) {
  for (int i = 0; i < 4; ++i) {
    Sim.Module().SetInput(5, true);
    Sim.Module().SetInput(5, false);
  }
  ConnectAndWaitForPolling();
  Frame->btnDIn_Imp->click();
  TzCounterPanel* counters = Frame->panDIn_Imp;
  ASSERT_FALSE(counters->isHidden());
  ASSERT_TRUE(PumpUntil([&] { return counters->txtDinImp[4]->text() == QStringLiteral("4"); }));
  const size_t before = ModuleLog.Received().size();
  counters->btnDinImpClear[4]->click();
  // The answer to the first counter read the module got after the reset.
  ASSERT_TRUE(PumpUntil([&] {
    const std::vector<TzReceived> received = ModuleLog.Received();
    bool reset = false;
    for (size_t i = before; i < received.size(); ++i) {
      if (received[i].Func() == 5 && received[i].Reg() == 128 * 5 - 127) reset = true;
      if (reset && received[i].Reg() == 60071) return true;
    }
    return false;
  }));
  ASSERT_TRUE(PumpUntil([&] { return Ctl().PendingCount() == 0; }));
  EXPECT_EQ(counters->txtDinImp[4]->text(), QStringLiteral("0"));
  EXPECT_EQ(Sim.Module().Counter(5), 0);
}
