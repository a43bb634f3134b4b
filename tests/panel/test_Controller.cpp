// The controller against the virtual module on an in-process line: connect,
// identification, first full reading, polling, writes, answers, disconnect.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "uSerialPorts.h"
#include "uSimBackend.h"
#include "uLineName.h"
#include "uModbusFrames.h"
#include "uPortObsFeed.h"
#include "uRK7140Controller.h"
#include "uTempLog.h"
#include "uUtils.h"

namespace {

// Records what the controller asked of the screen.
struct TzRecordingView : TzPanelView {
  std::vector<bool> AnimaCalls;
  bool ConnectEnabled = true;
  bool FindIconVisible = true;
  bool FirstUpdatePicture = false;
  int CloseAllCount = 0;
  std::vector<bool> ButtonsEnabledCalls;
  std::vector<QString> ClearedWith;
  int IndicatorsOffCount = 0;
  QString Firmware;
  std::vector<int> OutputsShown;
  int FindPanChecks = 0;
  std::vector<int32_t> Counters;

  void Anima(bool aEnabled) override { AnimaCalls.push_back(aEnabled); ConnectEnabled = !aEnabled; }
  void SetConnectButtonEnabled(bool aEnabled) override { ConnectEnabled = aEnabled; }
  void ShowFindDeviceIcon(bool aVisible) override { FindIconVisible = aVisible; }
  void ShowFirstUpdatePicture(bool aVisible) override { FirstUpdatePicture = aVisible; }
  void CloseAllPanel() override { ++CloseAllCount; }
  void ButtonsEnabled(bool aEnabled) override { ButtonsEnabledCalls.push_back(aEnabled); }
  void ClearLabels(const QString& aText) override { ClearedWith.push_back(aText); }
  void SetIndicatorsOff() override { ++IndicatorsOffCount; }
  void ShowFirmwareVersion(const QString& aText) override { Firmware = aText; }
  void ShowOutputInPanel(int aIndex) override { OutputsShown.push_back(aIndex); }
  void TryFindPanVisible() override { ++FindPanChecks; }
  void ShowImpCounters(const std::vector<int32_t>& aCounters) override { Counters = aCounters; }
  void ShowLinkLost(bool aLost) override { LinkLostCalls.push_back(aLost); }
  void OutputParamsRead(int aIndex) override { OutputParamsReadCalls.push_back(aIndex); }
  std::vector<bool> LinkLostCalls;
  std::vector<int> OutputParamsReadCalls;
};

// Records the request and answer feeds of the port observers.
struct TzRecordingObserver : IPortObserver {
  std::vector<TzPortObsRec> Requests, Answers;
  TzRecordingObserver() { PortObsAdd(this); }
  ~TzRecordingObserver() override { PortObsRemove(this); }
  void AddRequest(const TzPortObsRec& aRec) override { Requests.push_back(aRec); }
  void AddAnswer(const TzPortObsRec& aRec) override { Answers.push_back(aRec); }
};

template <class Pred>
bool PumpUntil(Pred aDone, int aLimitMs = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!aDone()) {
    if (timer.elapsed() > aLimitMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

TzSimConfig QuietModule() {
  TzSimConfig config;
  config.DemoInputs = false;
  config.Inputs = 0x0805;
  return config;
}

class ControllerTest : public ::testing::Test {
protected:
  void SetUp() override {
    controller.SetEngineFactory([this](int32_t aPort) {
      return MakeSimEngine(aPort, *module, &line);
    });
    ASSERT_TRUE(controller.LoadDevice());
  }

  void MakeModule(const TzSimConfig& aConfig) { module = std::make_unique<TzSimModule>(aConfig); }

  void Connect(int32_t aAddr = 16) {
    TzConnectSettings settings;
    settings.ComPort = 3;
    settings.DevAddr = aAddr;
    controller.Connect(settings);
  }

  // Waits until every request has been answered and left the engine's queue.
  bool Settle() {
    return PumpUntil([&] {
      return controller.PendingCount() == 0 && (!controller.FreePort() || controller.FreePort()->QueuedUIDs().empty());
    });
  }

  // Connects and waits until the first full reading has completed; polling
  // is stopped so that the test decides what is asked.
  void ConnectAndRead() {
    Connect();
    ASSERT_TRUE(PumpUntil([&] { return controller.OprosTimer().isActive(); }));
    controller.OprosTimer().stop();
    ASSERT_TRUE(Settle());
  }

  // Frames the module received, as tag-independent (function, register) pairs.
  std::vector<std::pair<int, int>> Written() {
    std::lock_guard lock(line.Lock);
    std::vector<std::pair<int, int>> result;
    for (const auto& frame : line.Written) result.emplace_back(frame[1], frame[2] * 256 + frame[3]);
    return result;
  }

  std::vector<QString> LogTexts() {
    std::vector<QString> texts;
    for (const TzTempLogLine& line : TempLogLines()) texts.push_back(line.Text);
    return texts;
  }

  std::unique_ptr<TzSimModule> module = std::make_unique<TzSimModule>(QuietModule());
  TzSimBackend::TzShared line;
  TzRecordingView view;
  TzRK7140Controller controller{view};
};

int32_t Value(const TzRK7140Controller& aController, int32_t aID) {
  int32_t value = -12345;
  EXPECT_TRUE(aController.TryValueByID(aID, value)) << aID;
  return value;
}

}  // namespace

TEST_F(ControllerTest, LoadsTheTemplateAndItsOwnTags) {
  TzDevice* device = controller.Device();
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->Tags.size(), 93u + 24u);
  EXPECT_TRUE(device->Ready);
  EXPECT_EQ(device->DevName, "RT-3300");

  const TzTag* reset12 = device->GetTagByID(1409);
  ASSERT_NE(reset12, nullptr);
  EXPECT_EQ(reset12->OPCName, "Сброс счётчика импульсов DIN #12");
  EXPECT_EQ(reset12->WriteCmd, 5);
  EXPECT_EQ(reset12->ReadCmd, 0);
  EXPECT_FALSE(reset12->CanRead);
  EXPECT_TRUE(reset12->Force);
  EXPECT_EQ(reset12->WritePriority, 1);
  EXPECT_EQ(reset12->GUID.size(), 38u);
  EXPECT_EQ(device->GetTagByID(770)->OPCName, "Тип фильтрации дребезга контактов DIN #7");

  for (int32_t id : {4096, 4224, 4352, 4480, 4608, 4736}) {
    const TzTag* state = device->GetTagByID(id);
    EXPECT_TRUE(state->Force) << id;
    EXPECT_EQ(state->ReadPriority, 1) << id;
    EXPECT_EQ(state->WritePriority, 1) << id;
  }
  for (int32_t id : {28676, 28672, 28673, 36864, 60069, 60000}) EXPECT_TRUE(device->GetTagByID(id)->Force) << id;
  EXPECT_FALSE(device->GetTagByID(60070)->Force);
  EXPECT_TRUE(static_cast<bool>(device->GetTagByID(160071)->OnResponse));
}

TEST_F(ControllerTest, ATemplateThatFailsToLoadIsLogged) {
  TzRK7140Controller other(view);
  EXPECT_FALSE(other.LoadDevice("NO-SUCH-TEMPLATE"));
  EXPECT_EQ(LogTexts().front(), "Ошибка загрузки таблицы регистров");
  EXPECT_EQ(ColorToBgr(TempLogLines().front().Color), clTempLogNavy);
  EXPECT_EQ(other.Device()->GetTagByID(1), nullptr);  // no tags of the panel's own
}

TEST_F(ControllerTest, IdentifiesReadsEveryReadableTagOnceAndPolls) {
  TzRecordingObserver observer;
  ConnectAndRead();
  EXPECT_TRUE(controller.Connected());
  EXPECT_FALSE(controller.FirstUpdate());
  EXPECT_EQ(view.AnimaCalls, (std::vector<bool>{true, false}));
  EXPECT_EQ(view.ButtonsEnabledCalls, (std::vector<bool>{true}));
  EXPECT_EQ(view.OutputsShown, (std::vector<int>{1}));
  EXPECT_EQ(view.Firmware, "1.05");
  EXPECT_FALSE(view.FindIconVisible);

  // The probe first, then each readable tag exactly once. The template's own
  // device-type read is the probe's frame, refused as a duplicate while the
  // probe's answer is being handled.
  const auto written = Written();
  ASSERT_FALSE(written.empty());
  EXPECT_EQ(written.front(), std::make_pair(4, 0x9000));
  std::vector<std::pair<int, int>> reading;
  std::vector<std::pair<int, int>> expected;
  for (const auto& tag : controller.Device()->Tags) {
    if (tag->ReadCmd >= 1 && tag->ReadCmd <= 4 && tag->ID != 36864) expected.emplace_back(tag->ReadCmd, tag->Reg);
  }
  EXPECT_EQ(expected.size(), 91u);
  reading.assign(written.begin() + 1, written.begin() + 1 + static_cast<long>(expected.size()));
  std::vector<std::pair<int, int>> sortedReading = reading, sortedExpected = expected;
  std::sort(sortedReading.begin(), sortedReading.end());
  std::sort(sortedExpected.begin(), sortedExpected.end());
  EXPECT_EQ(sortedReading, sortedExpected);
  // The forced output states go ahead of the unforced reads; the counters close the reading.
  const auto firstUnforced = std::find(reading.begin(), reading.end(), std::make_pair(4, 5096));
  for (int32_t state : {4096, 4224, 4352, 4480, 4608, 4736}) {
    const auto at = std::find(reading.begin(), reading.end(), std::make_pair(1, static_cast<int>(state)));
    EXPECT_LT(at, firstUnforced) << state;
  }
  EXPECT_EQ(reading.back(), std::make_pair(3, 60071));

  // The request feed saw every queued read in list order, probe first.
  ASSERT_GE(observer.Requests.size(), expected.size() + 1);
  EXPECT_EQ(observer.Requests[0].Reg, 0x9000);
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(observer.Requests[i + 1].Func, expected[i].first) << i;
    EXPECT_EQ(observer.Requests[i + 1].Reg, expected[i].second) << i;
  }

  // The module's values arrived.
  EXPECT_EQ(Value(controller, 60070), 0x0805);
  EXPECT_EQ(Value(controller, 36866), 0x0012);
  EXPECT_EQ(Value(controller, 36868), 0x789A);
  EXPECT_EQ(Value(controller, 28676), 16);
  EXPECT_EQ(Value(controller, 28672), 3);
  EXPECT_EQ(Value(controller, 28673), 4);
  EXPECT_EQ(controller.Device()->DevPOVersion, 105);
  EXPECT_EQ(controller.Device()->DevVersion, 100);  // the template's; the device-type tag was not read
  EXPECT_EQ(controller.Device()->Status, TzDeviceStatus::dsGood);
  EXPECT_EQ(view.Counters.size(), 12u);

  // Polling follows the module.
  controller.OprosTimer().start();
  module->SetInputs(0x0003);
  ASSERT_TRUE(PumpUntil([&] { int32_t v = 0; return controller.TryValueByID(60070, v) && v == 3; }));
}

TEST_F(ControllerTest, PollTicksAskTheSlowGroupEveryFourthTick) {
  ConnectAndRead();
  TzRecordingObserver observer;
  std::vector<uint32_t> ticks;
  std::vector<size_t> requestsPerTick;
  for (int i = 0; i < 4; ++i) {
    const size_t before = observer.Requests.size();
    controller.OprosTimerTimer();
    ticks.push_back(controller.OprosTick());
    requestsPerTick.push_back(observer.Requests.size() - before);
    ASSERT_TRUE(Settle());
  }
  EXPECT_EQ(ticks, (std::vector<uint32_t>{250, 500, 750, 0}));
  EXPECT_EQ(requestsPerTick, (std::vector<size_t>{2, 2, 2, 10}));
  const std::vector<int> slowRegs = {60062, 60070, 32768, 32769, 32770, 32771, 32772, 32773, 60018, 60071};
  for (size_t i = 0; i < slowRegs.size(); ++i) EXPECT_EQ(observer.Requests[6 + i].Reg, slowRegs[i]) << i;
}

TEST_F(ControllerTest, DisconnectClearsTheScreenAndEveryQuality) {
  ConnectAndRead();
  controller.Disconnect();
  EXPECT_FALSE(controller.Connected());
  EXPECT_FALSE(controller.OprosTimer().isActive());
  EXPECT_EQ(view.ClearedWith.back(), "...");
  EXPECT_GE(view.IndicatorsOffCount, 1);
  EXPECT_TRUE(view.ConnectEnabled);
  EXPECT_TRUE(view.FindIconVisible);
  EXPECT_FALSE(view.ButtonsEnabledCalls.back());
  for (const auto& tag : controller.Device()->Tags) EXPECT_EQ(tag->Quality(), 0) << tag->ID;
  int32_t value = 7;
  EXPECT_FALSE(controller.TryValueByID(60070, value));
  EXPECT_EQ(value, 7);
}

// The restart: the command goes out over the engine that keeps running, and
// the panel is idle as after a disconnect.
TEST_F(ControllerTest, RestartSendsTheCommandAndGoesIdleKeepingTheEngine) {
  ConnectAndRead();
  controller.OprosTimer().start();
  const int closeAll = view.CloseAllCount;
  const int indicatorsOff = view.IndicatorsOffCount;
  controller.RestartModule();
  EXPECT_FALSE(controller.Connected());
  EXPECT_FALSE(controller.OprosTimer().isActive());
  // Nothing is left to stop the engine before the command is sent.
  EXPECT_FALSE(controller.ConnectBtnTimer().isActive());
  EXPECT_EQ(view.CloseAllCount, closeAll + 1);
  EXPECT_EQ(view.IndicatorsOffCount, indicatorsOff + 1);
  EXPECT_FALSE(view.ButtonsEnabledCalls.back());
  EXPECT_EQ(view.ClearedWith.back(), "...");
  EXPECT_FALSE(view.AnimaCalls.back());
  EXPECT_TRUE(view.ConnectEnabled);
  for (const auto& tag : controller.Device()->Tags) EXPECT_EQ(tag->Quality(), 0) << tag->ID;
  ASSERT_NE(controller.FreePort(), nullptr);
  ASSERT_TRUE(Settle());
  std::vector<uint8_t> restart;
  {
    std::lock_guard lock(line.Lock);
    for (const auto& frame : line.Written)
      if (frame[1] == 6 && frame[2] * 256 + frame[3] == 60000) restart = frame;
  }
  ASSERT_EQ(restart.size(), 8u);
  EXPECT_EQ(restart[4] * 256 + restart[5], 21930);
  EXPECT_TRUE(module->Restarting());

  // Not connected: a second restart sends nothing.
  const size_t sent = Written().size();
  controller.RestartModule();
  ASSERT_TRUE(Settle());
  EXPECT_EQ(Written().size(), sent);
}

// A failed attempt ends with the connect time-out as before, and the log says
// why in one navy line: the port, no answer, another device type, or an
// answer that cannot be decoded.
TEST_F(ControllerTest, AFailedAttemptEndsAndSaysWhyOnce) {
  struct Case {
    const char* name;
    int deviceType;
    int32_t address;
    int crcPercent;
    bool portFails;
    const char* reason;
  };
  const Case cases[] = {
      {"no module at the address", 74, 17, 0, false, "нет ответа в течение секунды"},
      {"another device type", 75, 16, 0, false, "прибор другого типа (тип 75, у RK-7140 тип 74)"},
      {"an answer with a wrong check sum", 74, 16, 100, false, "ответ прибора не удалось разобрать"},
      {"a port that does not open", 74, 16, 0, true, "занят другой программой"},  // the link's reason
  };
  for (const Case& c : cases) {
    TzSimConfig config = QuietModule();
    config.DeviceType = c.deviceType;
    MakeModule(config);
    TzSimFaultSettings faults;
    faults.CrcPercent = c.crcPercent;
    module->SetFaults(faults);
    {
      std::lock_guard lock(line.Lock);
      line.OpenFails = c.portFails;
    }
    const size_t logLines = TempLogLines().size();
    Connect(c.address);
    EXPECT_FALSE(view.ConnectEnabled) << c.name;
    EXPECT_TRUE(controller.ConnectBtnTimer().isActive()) << c.name;
    if (!c.portFails) {  // no worker answers on a port that never opened
      ASSERT_TRUE(Settle()) << c.name;
    }
    controller.ConnectBtnTimerTimer();  // the second has passed
    EXPECT_FALSE(controller.Connected()) << c.name;
    EXPECT_TRUE(view.ConnectEnabled) << c.name;
    EXPECT_FALSE(view.AnimaCalls.back()) << c.name;
    EXPECT_TRUE(view.FindIconVisible) << c.name;
    EXPECT_FALSE(controller.ConnectBtnTimer().isActive()) << c.name;
    EXPECT_FALSE(controller.OprosTimer().isActive()) << c.name;
    controller.ConnectBtnTimerTimer();  // a late second tick says nothing more
    const std::vector<TzTempLogLine> lines = TempLogLines();
    ASSERT_EQ(lines.size(), logLines + 1) << c.name;
    EXPECT_EQ(lines.front().Text, QStringLiteral("Не удалось подключиться к %1 (адрес %2): %3")
                                      .arg(LineName(3))
                                      .arg(c.address)
                                      .arg(QString::fromUtf8(c.reason)))
        << c.name;
    EXPECT_EQ(ColorToBgr(lines.front().Color), clTempLogNavy) << c.name;
  }
  std::lock_guard lock(line.Lock);
  line.OpenFails = false;
}

// Polls without a single good answer: the eighth in a row (two seconds of
// polling) marks the link as lost, once; the first good answer ends it.
TEST_F(ControllerTest, EightSilentPollsInARowMarkTheLinkAsLost) {
  ConnectAndRead();
  TzSimFaultSettings faults;
  faults.DropPercent = 100;
  module->SetFaults(faults);
  for (int poll = 1; poll <= TzRK7140Controller::kLinkLostPolls + 3; ++poll) {
    controller.OprosTimerTimer();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(controller.LinkLost(), poll > TzRK7140Controller::kLinkLostPolls) << poll;
    EXPECT_EQ(view.LinkLostCalls, std::vector<bool>(poll > TzRK7140Controller::kLinkLostPolls ? 1 : 0, true)) << poll;
  }
  module->SetFaults({});
  controller.OprosTimerTimer();
  ASSERT_TRUE(Settle());
  EXPECT_FALSE(controller.LinkLost());
  EXPECT_EQ(view.LinkLostCalls, (std::vector<bool>{true, false}));
  EXPECT_EQ(controller.SilentPolls(), 0);

  // A lost link that ends with "Отключиться" clears its marks without a log line.
  module->SetFaults(faults);
  for (int poll = 0; poll <= TzRK7140Controller::kLinkLostPolls; ++poll) {
    controller.OprosTimerTimer();
    ASSERT_TRUE(Settle());
  }
  ASSERT_TRUE(controller.LinkLost());
  const size_t logLines = TempLogLines().size();
  controller.Disconnect();
  EXPECT_FALSE(controller.LinkLost());
  EXPECT_EQ(view.LinkLostCalls, (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(TempLogLines().size(), logLines);
}

// Each connection's engine numbers its requests from 1 again; the records
// the port observers get say which connection they belong to.
TEST_F(ControllerTest, ObserverRecordsCarryTheirConnection) {
  TzRecordingObserver observer;
  ConnectAndRead();
  const uint32_t first = controller.ConnectionNumber();
  controller.Disconnect();
  ASSERT_TRUE(Settle());
  ConnectAndRead();
  EXPECT_EQ(controller.ConnectionNumber(), first + 1);
  std::set<std::pair<uint32_t, int32_t>> requests;
  for (const TzPortObsRec& rec : observer.Requests) {
    EXPECT_TRUE(rec.Connection == first || rec.Connection == first + 1);
    EXPECT_TRUE(requests.insert({rec.Connection, rec.Index}).second) << "a UID twice in one connection";
  }
  // The UIDs repeat across the two connections, not within one.
  EXPECT_TRUE(requests.count({first, 1}) == 1 && requests.count({first + 1, 1}) == 1);
  for (const TzPortObsRec& rec : observer.Answers)
    EXPECT_TRUE(requests.count({rec.Connection, rec.Index}) == 1) << rec.Connection << " " << rec.Index;
}

// Reading an output's parameters again fills its copy with what the module
// has, and the view hears of it once all nine answers are in.
TEST_F(ControllerTest, OutputParametersAreReadAgainOnRequest) {
  ConnectAndRead();
  EXPECT_EQ(controller.DOUT(2).ShimPeriod, 100);
  TStringBytes frame;
  const uint8_t order[] = {2, 1};
  ASSERT_TRUE(BuildRegisterWriteFrame(16, 6, 4224 + 8, vtUInt16, order, 321, frame));
  module->HandleFrame(frame.AsBytes());
  view.OutputParamsReadCalls.clear();
  const size_t sent = Written().size();
  controller.ReadOutputParamsAgain(2);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(Written().size(), sent + 9);
  EXPECT_EQ(controller.DOUT(2).ShimPeriod, 321);
  EXPECT_EQ(view.OutputParamsReadCalls, std::vector<int>{2});
  controller.ReadOutputParamsAgain(7);  // no such output
  controller.Disconnect();
  controller.ReadOutputParamsAgain(2);  // not connected
  ASSERT_TRUE(Settle());
  EXPECT_EQ(Written().size(), sent + 9);
}

TEST_F(ControllerTest, ExceptionAnswersAreCountedOncePerAnswerAndLaterAnswersDecode) {
  ConnectAndRead();
  TzSimFaultSettings faults;
  faults.Exceptions[60070] = 2;
  module->SetFaults(faults);

  for (int i = 1; i <= 2; ++i) {
    ASSERT_TRUE(controller.GetModbusRegRTU2(60070));
    ASSERT_TRUE(Settle());
    EXPECT_EQ(controller.ModbusErrors()[2], i);
  }
  const std::vector<QString> texts = LogTexts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Ошибок 02h: 2"), texts.end());
  const TzTag* tag = controller.Device()->GetTagByID(60070);
  EXPECT_TRUE(tag->ModbusError);
  EXPECT_EQ(tag->ModbusErrorCodeStr, "02h");

  // Exception codes outside 1..8 share the ninth slot (0x0A and 0x0B are a
  // gateway's "no answer", not exceptions of the module).
  faults.Exceptions[60070] = 12;
  module->SetFaults(faults);
  ASSERT_TRUE(controller.GetModbusRegRTU2(60070));
  ASSERT_TRUE(Settle());
  EXPECT_EQ(controller.ModbusErrors()[9], 1);
  EXPECT_EQ(LogTexts().back(), "Других ошибок: 1");

  // Once the module answers again, the value is decoded.
  module->SetFaults({});
  module->SetInputs(0x0001);
  ASSERT_TRUE(controller.GetModbusRegRTU2(60070));
  ASSERT_TRUE(Settle());
  EXPECT_EQ(Value(controller, 60070), 1);
  EXPECT_FALSE(tag->ModbusError);
  EXPECT_EQ(controller.ModbusErrors()[2], 2);
}

TEST_F(ControllerTest, TheWriteEchoConfirmsTheWrittenValue) {
  ConnectAndRead();
  TzRecordingObserver observer;
  controller.SetRegByID(28680, 10, true);
  ASSERT_EQ(observer.Requests.size(), 1u);
  EXPECT_EQ(observer.Requests[0].Func, 6);
  EXPECT_EQ(observer.Requests[0].Value, "10");
  ASSERT_TRUE(Settle());
  const TzTag* tag = controller.Device()->GetTagByID(28680);
  EXPECT_EQ(tag->Quality(), 192);
  EXPECT_EQ(tag->Value(), 10);
  EXPECT_FALSE(tag->ForceOnce);
  ASSERT_FALSE(observer.Answers.empty());
  EXPECT_EQ(observer.Answers.back().Value, "10");

  // A coil write: the relay follows, and the tag keeps the written 1.
  controller.SetRegByID(4096, 1, false);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(controller.Device()->GetTagByID(4096)->Quality(), 192);
  EXPECT_EQ(module->Relays() & 1, 1);
}

TEST_F(ControllerTest, WritesNeedAConnectionAndForcedOnesTakeTheWritePriority) {
  TzTag* tag = controller.Device()->GetTagByID(28680);
  controller.SetRegByID(28680, 5, true);
  EXPECT_FALSE(tag->ForceOnce);  // idle: nothing happens at all
  EXPECT_EQ(controller.PendingCount(), 0u);

  ConnectAndRead();
  tag->WritePriority = 1;
  // No events are pumped here, so the worker waits with the first answer and
  // the queue can be looked at.
  for (int32_t id : {60062, 60070, 32768}) ASSERT_TRUE(controller.GetModbusRegRTU2(id));
  controller.SetRegByID(28680, 7, true);
  EXPECT_FALSE(tag->ForceOnce);
  const std::vector<uint32_t> queue = controller.FreePort()->QueuedUIDs();
  const uint32_t writeUID = controller.FreePort()->LastUID();
  ASSERT_GE(queue.size(), 2u);
  // Priority 1: next after the request in exchange, ahead of the other reads.
  EXPECT_NE(std::find(queue.begin(), queue.begin() + 2, writeUID), queue.begin() + 2);
  ASSERT_TRUE(Settle());
}

TEST_F(ControllerTest, TryValueByIDTruncatesGoodValuesOnly) {
  TzTag* tag = controller.Device()->GetTagByID(24583);
  struct Case {
    double value;
    uint16_t quality;
    bool ok;
    int32_t expected;
  };
  const Case cases[] = {{2.9, 192, true, 2}, {-2.9, 192, true, -2}, {5, 16, false, 99}, {5, 0, false, 99},
                        {5, 32, false, 99}};
  for (const Case& c : cases) {
    tag->SetValue(c.value);
    tag->SetQuality(c.quality);
    int32_t value = 99;
    EXPECT_EQ(controller.TryValueByID(24583, value), c.ok) << c.value;
    EXPECT_EQ(value, c.expected) << c.value;
  }
  double real = 0;
  tag->SetValue(2.5);
  EXPECT_TRUE(controller.TryValueByID(24583, real));
  EXPECT_EQ(real, 2.5);
  int32_t untouched = 99;
  EXPECT_FALSE(controller.TryValueByID(424242, untouched));
  EXPECT_EQ(untouched, 99);
}

TEST_F(ControllerTest, AnAnswerForNoPendingRequestIsLoggedInMaroon) {
  controller.ModbusAsyncAnswer(3, 777, TStringBytes::FromBytes({0x11, 0x04, 0x02, 0x00, 0x05, 0xD4, 0x02}), 0);
  const TzTempLogLine top = TempLogLines().front();
  EXPECT_EQ(top.Text, "Неизвестный UID (777):   Ответ: 17.4.2.0.5.212");
  EXPECT_EQ(ColorToBgr(top.Color), clTempLogMaroon);
}

// A link that stops working (a device server restarted, an adapter pulled)
// ends the connection at once with its reason in the log, not a stream of
// failed requests; "Подключиться" then reaches the module again.
TEST_F(ControllerTest, ALostLinkDisconnectsWithItsReason) {
  ConnectAndRead();
  line.LinkGone = true;
  ASSERT_TRUE(controller.GetModbusRegRTU2(60070));
  ASSERT_TRUE(controller.GetModbusRegRTU2(60062));
  ASSERT_TRUE(PumpUntil([&] { return !controller.Connected(); }));
  ASSERT_TRUE(Settle());
  const QString expected = QStringLiteral("Связь потеряна: ") + QString::fromStdString(PortDeviceName(3)) +
                           QStringLiteral(": соединение закрыто удалённой стороной");
  const std::vector<QString> texts = LogTexts();
  EXPECT_EQ(std::count(texts.begin(), texts.end(), expected), 1);
  EXPECT_EQ(view.ButtonsEnabledCalls.back(), false);

  line.LinkGone = false;
  ConnectAndRead();
  EXPECT_TRUE(controller.Connected());
}

TEST_F(ControllerTest, DisconnectWhileQueuedAnswersEveryRequestAsLost) {
  ConnectAndRead();
  for (int32_t id : {60062, 60070, 32768, 32769, 32770}) ASSERT_TRUE(controller.GetModbusRegRTU2(id));
  controller.Disconnect();
  ASSERT_TRUE(Settle());
  // The first request may have been exchanged before the port closed; the
  // others come back as lost.
  for (int32_t id : {60070, 32768, 32769, 32770}) {
    EXPECT_EQ(controller.Device()->GetTagByID(id)->Quality(), 0) << id;
  }
}

TEST_F(ControllerTest, AReconnectStartsCleanEvenAfterAnInterruptedReading) {
  Connect();
  ASSERT_TRUE(PumpUntil([&] { return controller.Connected(); }));
  // Replace the engine while the first reading is still under way.
  EXPECT_TRUE(controller.Device()->IsLocked);
  Connect();
  EXPECT_EQ(controller.PendingCount(), 1u);  // only the new probe
  ASSERT_TRUE(PumpUntil([&] { return controller.OprosTimer().isActive(); }));
  EXPECT_FALSE(controller.Device()->IsLocked);
  ASSERT_TRUE(Settle());
}

TEST_F(ControllerTest, FirmwareVersionText) {
  struct Case {
    int firmware;
    const char* text;
  };
  for (const Case& c : {Case{105, "1.05"}, Case{99, "99"}, Case{1234, "1.234"}}) {
    TzSimConfig config = QuietModule();
    config.FirmwareVersion = c.firmware;
    MakeModule(config);
    ConnectAndRead();
    EXPECT_EQ(view.Firmware, c.text);
    EXPECT_EQ(controller.Device()->DevPOVersionStr, c.text);
    controller.Disconnect();
  }
}

TEST_F(ControllerTest, OutputParametersAreCopiedAfterTheFirstReading) {
  // Output 3 runs AND of inputs 4 and 5 with a delay of 7, inverted.
  const int32_t b = 4096 + 128 * 2;
  auto write = [&](int32_t aFunc, int32_t aReg, int aValue) {
    TStringBytes frame;
    const std::vector<uint8_t> order = {2, 1};
    ASSERT_TRUE(BuildWriteFrame(16, aFunc, aReg, vtUInt16, order, aValue, frame));
    module->HandleFrame(frame.AsBytes());
  };
  write(6, b + 17, 4);
  write(6, b + 18, 5);
  write(6, b + 20, 7);
  write(5, b + 16, 1);
  write(6, b + 16, 2);
  ConnectAndRead();
  const TzDiscretOutParams& p = controller.DOUT(3);
  EXPECT_EQ(p.LogicFunc, 2);
  EXPECT_EQ(p.LogicX, 4);
  EXPECT_EQ(p.LogicY, 5);
  EXPECT_EQ(p.LogicLag, 7);
  EXPECT_EQ(p.LogicInv, 1);
  EXPECT_FALSE(p.CanModify);
  EXPECT_TRUE(controller.DOUT(1).CanModify);
}

// What the timeline hears of the poll, and its fast recording: with it on the
// inputs and relays are read again as each answer arrives; off, the poll
// tick's single read is all there is.
TEST_F(ControllerTest, TellsPolledStatesAndFastPollChainsTheirReads) {
  ConnectAndRead();
  std::vector<std::pair<int, std::vector<int32_t>>> told;
  int lost = 0;
  QObject::connect(&controller, &TzRK7140Controller::PolledAnswer,
                   [&](int aTagID, const std::vector<int32_t>& aValues) { told.emplace_back(aTagID, aValues); });
  QObject::connect(&controller, &TzRK7140Controller::ValuesLost, [&] { ++lost; });
  auto inputReads = [&] {
    const auto written = Written();
    return std::count(written.begin(), written.end(), std::make_pair(3, 60070));
  };
  // Polling, with a tick that only the test gives.
  controller.OprosTimer().setInterval(3'600'000);
  controller.OprosTimer().start();

  long before = inputReads();
  controller.OprosTimerTimer();
  ASSERT_TRUE(Settle());
  EXPECT_EQ(inputReads(), before + 1);
  // (This tick's length makes every tick one of the slow group too.)
  std::map<int, std::vector<int32_t>> byTag(told.begin(), told.end());
  EXPECT_EQ(byTag.size(), 3u);
  EXPECT_EQ(byTag[60070], (std::vector<int32_t>{0x0805}));
  EXPECT_EQ(byTag[60062].size(), 1u);
  EXPECT_EQ(byTag[160071].size(), 12u);

  controller.SetFastPoll(true);
  EXPECT_TRUE(controller.FastPoll());
  before = inputReads();
  controller.OprosTimerTimer();
  ASSERT_TRUE(PumpUntil([&] { return inputReads() >= before + 10; }));
  // One read of each state waits at a time, however fast the answers come.
  for (int32_t id : {60062, 60070}) {
    long waiting = 0;
    for (const auto& record : controller.ModbusAnswerList())
      if (record->Tag && record->Tag->ID == id) ++waiting;
    EXPECT_LE(waiting, 1) << id;
  }

  controller.SetFastPoll(false);
  ASSERT_TRUE(Settle());
  const long settled = inputReads();
  QElapsedTimer quiet;
  quiet.start();
  while (quiet.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(inputReads(), settled);  // back to the tick's schedule

  // A failed read is told without values; a disconnect as the loss of all.
  told.clear();
  TzSimFaultSettings faults;
  faults.Exceptions[60070] = 2;
  module->SetFaults(faults);
  controller.OprosTimerTimer();
  ASSERT_TRUE(Settle());
  const auto inputs = std::find_if(told.begin(), told.end(), [](const auto& aTold) { return aTold.first == 60070; });
  ASSERT_NE(inputs, told.end());
  EXPECT_TRUE(inputs->second.empty());
  module->SetFaults({});
  controller.Disconnect();
  EXPECT_EQ(lost, 1);
}
