#include "uRK7140Controller.h"

#include <cmath>
#include <limits>

#include "uDeviceSettings.h"
#include "uInputConfig.h"
#include "uLineRules.h"
#include "uPortObsFeed.h"
#include "uTempLog.h"
#include "uUtils.h"

namespace {

int32_t Truncate(double aValue) {
  const double t = std::trunc(aValue);
  if (std::isnan(t)) return 0;
  if (t >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (t <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(t);
}

}  // namespace

TzRK7140Controller::TzRK7140Controller(TzPanelView& aView, QObject* aParent)
    : QObject(aParent), fView(aView) {
  fOprosTimer.setInterval(kOprosInterval);
  fConnectBtnTimer.setInterval(kConnectTimeout);
  connect(&fOprosTimer, &QTimer::timeout, this, &TzRK7140Controller::OprosTimerTimer);
  connect(&fConnectBtnTimer, &QTimer::timeout, this, &TzRK7140Controller::ConnectBtnTimerTimer);
}

TzRK7140Controller::~TzRK7140Controller() {
  // The port is closed and the worker gone before anything it could call back into.
  if (fFreePort) fFreePort->Stop();
  fPending.SetEngine(nullptr);
  fFreePort.reset();
  ClearPending();
}

// ---- construction -------------------------------------------------------

bool TzRK7140Controller::LoadDevice(const char* aResName) {
  fDevice = std::make_unique<TzDevice>();
  if (!LoadRK7140Device(*fDevice, fDevAddr, aResName)) {
    AddTempLog(QStringLiteral("Ошибка загрузки таблицы регистров"), clTempLogNavy);
    return false;
  }
  HookPulseCounters();
  return true;
}

void TzRK7140Controller::HookPulseCounters() {
  if (TzTag* counters = fDevice->GetTagByID(kPulseCountersTag)) {
    counters->OnResponse = [this](TzTag& aTag) { ImpCounterCallback(aTag); };
  }
}

// ---- connection ---------------------------------------------------------

std::unique_ptr<TzFreePort> TzRK7140Controller::MakeEngine(int32_t aComPort) {
  std::unique_ptr<TzFreePort> engine = fEngineFactory ? fEngineFactory(aComPort)
                                                      : std::make_unique<TzFreePort>(aComPort);
  engine->SetOnAsyncAnswerProc([this](int32_t aPort, uint32_t aUID, TStringBytes aAnswer, uint32_t aErr) {
    ModbusAsyncAnswer(aPort, aUID, std::move(aAnswer), aErr);
  });
  // Answers are run by this object's thread; a job left over after the
  // controller is gone is dropped by Qt together with its context object.
  engine->SetMainThreadPost([this](std::function<void()> aJob) {
    QMetaObject::invokeMethod(this, std::move(aJob), Qt::QueuedConnection);
  });
  return engine;
}

void TzRK7140Controller::Connect(const TzConnectSettings& aSettings) {
  fComPort = aSettings.ComPort;
  fOprosTimer.stop();
  fView.SetConnectButtonEnabled(false);
  fConnectBtnTimer.start();
  fView.ShowFindDeviceIcon(false);
  fView.ShowFirstUpdatePicture(true);
  fView.Anima(true);

  fDevAddr = aSettings.DevAddr;
  if (fDevice) {
    fDevice->DevAddr = fDevAddr;
    // A reading cut short by an earlier connection must not keep the device locked.
    fDevice->IsLocked = false;
  }

  // Records of the replaced engine would match the new engine's UIDs.
  if (fFreePort) fFreePort->Stop();
  fPending.SetEngine(nullptr);
  fFreePort.reset();
  ClearPending();
  fFreePort = MakeEngine(fComPort);

  fPending.SetEngine(fFreePort.get());
  ConfigureEngine(*fFreePort, {aSettings.BaudRate, aSettings.FormatIndex, aSettings.Timeout});
  // A port that does not open yields no answers; the connect time-out ends the attempt.
  fFreePort->Start();

  fFirstUpdate = true;
  Pulse();
}

void TzRK7140Controller::Pulse() {
  if (!fFreePort) return;
  fPulseDevice = MakeTypeProbeDevice(fDevAddr);
  TzTag* tag = TypeProbeTag(*fPulseDevice);
  tag->OnResponse = [this](TzTag& aTag) { PulseCallback(aTag); };
  fPulseTag = tag;
  GetModbusRegRTU(tag);
}

void TzRK7140Controller::PulseCallback(TzTag& aTag) {
  fConnected = IsRK7140Type(aTag.Value());
  if (fConnected) {
    fView.Anima(false);
    fView.CloseAllPanel();
  }
  LetsDoIt();
  fView.ShowFindDeviceIcon(false);
}

void TzRK7140Controller::LetsDoIt() {
  if (!fConnected || !fDevice || fDevice->IsLocked) return;
  fPending.ReadAll(*fDevice);
}

void TzRK7140Controller::AfterFirstUpdate() {
  int32_t value = 0;
  if (TryValueByID(36864, value)) fDevice->DevVersion = value;
  if (TryValueByID(36869, value)) {
    fDevice->DevPOVersion = value;
    QString text = QString::number(value);
    if (value >= 100) text.insert(1, QLatin1Char('.'));
    fDevice->DevPOVersionStr = text.toStdString();
    fView.ShowFirmwareVersion(text);
  }
  const TzTryValue tryValue = [this](int32_t aID, int32_t& aValue) { return TryValueByID(aID, aValue); };
  for (int n = 1; n <= kOutputCount; ++n) ReadOutputParams(tryValue, n, fDOUTs[static_cast<size_t>(n)]);
  fView.ShowOutputInPanel(1);
  fView.ButtonsEnabled(fConnected);
  fFirstUpdate = false;
  fOprosTimer.start();
}

void TzRK7140Controller::ConnectBtnTimerTimer() {
  if (fConnected) return;
  fView.SetConnectButtonEnabled(true);
  fConnectBtnTimer.stop();
  fView.Anima(false);
  fView.ShowFindDeviceIcon(true);
  if (fFreePort) fFreePort->Stop();
}

void TzRK7140Controller::OprosTimerTimer() {
  if (!fConnected || !fDevice) return;
  fOprosTick += static_cast<uint32_t>(fOprosTimer.interval());
  for (int32_t id : kFastPoll) GetModbusRegRTU2(id);
  if (fOprosTick % 1000 == 0) {
    for (int32_t id : kClockTags) GetModbusRegRTU2(id);
    GetModbusRegRTU2(60018);
    GetModbusRegRTU2(160071);
  }
  if (fOprosTick >= 1000) fOprosTick = 0;
}

void TzRK7140Controller::Disconnect() {
  fOprosTimer.stop();
  fView.ShowFirstUpdatePicture(false);
  if (fFreePort) fFreePort->Stop();
  fConnected = false;
  fView.Anima(false);
  fView.ButtonsEnabled(false);
  fView.ClearLabels(QStringLiteral("..."));
  SetAllOff();
  fView.SetConnectButtonEnabled(true);
  fView.ShowFindDeviceIcon(true);
  fView.TryFindPanVisible();
}

bool TzRK7140Controller::RestartModule() {
  if (!fConnected) return false;
  WriteRestart(*this);
  GoIdleKeepingEngine();
  return true;
}

void TzRK7140Controller::GoIdleKeepingEngine() {
  fConnected = false;
  fOprosTimer.stop();
  // The connect time-out would stop the engine of an idle panel, perhaps
  // before the restart command has gone out.
  fConnectBtnTimer.stop();
  fView.ShowFirstUpdatePicture(false);
  fView.Anima(false);
  fView.CloseAllPanel();
  fView.ButtonsEnabled(false);
  fView.ClearLabels(QStringLiteral("..."));
  SetAllOff();
  fView.ShowFindDeviceIcon(true);
}

void TzRK7140Controller::ReleasePort() {
  if (fConnected || !fFreePort || !fFreePort->QueuedUIDs().empty()) return;
  fFreePort->Stop();
}

void TzRK7140Controller::SetAllOff() {
  fView.SetIndicatorsOff();
  if (!fDevice) return;
  for (const auto& tag : fDevice->Tags) tag->SetQuality(0);
}

void TzRK7140Controller::ImpCounterCallback(TzTag& aTag) {
  if (aTag.Data.empty()) return;
  fImpCounters = PulseCountersFromBytes(aTag.Data);
  fView.ShowImpCounters(fImpCounters);
}

// ---- requests -----------------------------------------------------------

void TzRK7140Controller::ClearPending() {
  fPending.Clear();
}

TzTempLogCounts TzRK7140Controller::TempLogCounts() const {
  TzTempLogCounts counts{};
  for (size_t slot = 1; slot <= 9; ++slot) counts[slot - 1] = fPending.Errors()[slot];
  return counts;
}

static TzPortObsRec RequestRecord(const TzTag& aTag, uint32_t aUID, int32_t aFunc, const TStringBytes& aFrame) {
  TzPortObsRec rec;
  rec.Port = aTag.Device ? aTag.Device->Port : 0;
  rec.Index = static_cast<int32_t>(aUID);
  rec.Addr = aTag.Device ? aTag.Device->DevAddr : 0;
  rec.Func = aFunc;
  rec.Reg = aTag.Reg;
  rec.Cmd = aFrame.AsBytes();
  rec.Name = QString::fromStdString(aTag.OPCName);
  return rec;
}

bool TzRK7140Controller::GetModbusRegRTU(TzTag* aTag) { return fPending.Read(aTag); }

bool TzRK7140Controller::GetModbusRegRTU2(int32_t aID) {
  if (!fDevice) return false;
  TzTag* tag = fDevice->GetTagByID(aID);
  return tag && GetModbusRegRTU(tag);
}

void TzRK7140Controller::GetModbusListRTU2(std::initializer_list<int32_t> aIDs) {
  for (int32_t id : aIDs) GetModbusRegRTU2(id);
}

bool TzRK7140Controller::SetModbusRegRTU(TzTag* aTag, double aValue) { return fPending.Write(aTag, aValue); }

void TzRK7140Controller::SetRegByID(int32_t aID, double aValue, bool aForced) {
  if (!fConnected || !fDevice) return;
  TzTag* tag = fDevice->GetTagByID(aID);
  if (!tag) return;
  if (aForced) tag->ForceOnce = true;
  SetModbusRegRTU(tag, aValue);
}

bool TzRK7140Controller::QueueRead(int32_t aID, uint32_t& aUID) {
  if (!fConnected || !GetModbusRegRTU2(aID)) return false;
  aUID = fFreePort->LastUID();
  return true;
}

bool TzRK7140Controller::QueueWrite(int32_t aID, double aValue, bool aForced, uint32_t& aUID) {
  if (!fConnected || !fDevice) return false;
  TzTag* tag = fDevice->GetTagByID(aID);
  if (!tag) return false;
  if (aForced) tag->ForceOnce = true;
  if (!SetModbusRegRTU(tag, aValue)) return false;
  aUID = fFreePort->LastUID();
  return true;
}

bool TzRK7140Controller::SetRegForce(int32_t aID, bool aForce) {
  if (!fDevice) return false;
  TzTag* tag = fDevice->GetTagByID(aID);
  if (!tag) return false;
  tag->Force = aForce;
  return true;
}

void TzRK7140Controller::SetRegForce(std::initializer_list<int32_t> aIDs, bool aForce) {
  for (int32_t id : aIDs) SetRegForce(id, aForce);
}

bool TzRK7140Controller::TryValueByID(int32_t aID, double& aValue) const {
  if (!fDevice) return false;
  const TzTag* tag = fDevice->GetTagByID(aID);
  if (!tag || tag->Quality() != 192) return false;
  aValue = tag->Value();
  return true;
}

bool TzRK7140Controller::TryValueByID(int32_t aID, int32_t& aValue) const {
  double value = 0;
  if (!TryValueByID(aID, value)) return false;
  aValue = Truncate(value);
  return true;
}

// ---- answers ------------------------------------------------------------

void TzRK7140Controller::ModbusAsyncAnswer(int32_t aComPort, uint32_t aUID, TStringBytes aAnswer,
                                           uint32_t aErrCode) {
  const TzTag* tag = nullptr;
  if (OnAnswerDispatched)
    for (const auto& record : fPending.List())
      if (record->Code == aUID) tag = record->Tag;
  fPending.Dispatch(aComPort, aUID, aAnswer, aErrCode);
  if (OnAnswerDispatched && tag) OnAnswerDispatched(aUID, *tag, aErrCode);
}

void TzRK7140Controller::RequestSent(const TzTag& aTag, uint32_t aUID, int32_t aFunc, const TStringBytes& aFrame,
                                     const std::string& aValueText) {
  TzPortObsRec rec = RequestRecord(aTag, aUID, aFunc, aFrame);
  rec.Value = QString::fromStdString(aValueText);
  PortObsFeedRequest(rec);
}

void TzRK7140Controller::RequestPending(uint32_t aUID, int32_t aTagID) {
  if (OnRequestQueued) OnRequestQueued(aUID, aTagID);
}

void TzRK7140Controller::AnswerHandedBack(uint32_t aUID, uint32_t aErrCode) {
  if (OnAnswerHandedBack) OnAnswerHandedBack(aUID, aErrCode);
}

void TzRK7140Controller::UnknownAnswer(uint32_t aUID, const TStringBytes& aAnswer) {
  AddTempLog(QStringLiteral("Неизвестный UID (%1):   Ответ: %2")
                 .arg(aUID)
                 .arg(QString::fromStdString(BytesToDotStr(aAnswer))),
             clTempLogMaroon);
}

void TzRK7140Controller::AnswerNote(int32_t aComPort, uint32_t aUID, const TStringBytes& aAnswer,
                                    const std::string& aNote) {
  TzPortObsRec rec;
  rec.Port = aComPort;
  rec.Index = static_cast<int32_t>(aUID);
  rec.Cmd = aAnswer.AsBytes();
  rec.Value = QString::fromStdString(aNote);
  PortObsFeedAnswer(rec);
}

void TzRK7140Controller::ReadingComplete(TzTag&) { AfterFirstUpdate(); }

void TzRK7140Controller::ExceptionCounted(int32_t aCode, int32_t aCount) { SetTempLogErrors(aCode, aCount); }
