#include "uRK7140Controller.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "uDeviceSettings.h"
#include "uInputConfig.h"
#include "uLineName.h"
#include "uLineRules.h"
#include "uModbusFrames.h"
#include "uPortObsFeed.h"
#include "uSerialPorts.h"
#include "uTempLog.h"
#include "uUtils.h"
#include "uValueText.h"

namespace {

int32_t Truncate(double aValue) {
  const double t = std::trunc(aValue);
  if (std::isnan(t)) return 0;
  if (t >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (t <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(t);
}

// Why the port did not open, from the engine's opening code.
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

std::unique_ptr<TzFreePort> TzRK7140Controller::MakeEngine(int32_t aComPort, const std::string& aEndpoint) {
  std::unique_ptr<TzFreePort> engine = fEngineFactory ? fEngineFactory(aComPort)
                                                      : std::make_unique<TzFreePort>(aEndpoint, aComPort);
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
  fEndpoint = aSettings.Endpoint.empty() ? PortDeviceName(aSettings.ComPort) : aSettings.Endpoint;
  fOprosTimer.stop();
  ++fConnectionNumber;
  fAttemptFailureLogged = false;
  ResetLinkWatch();
  fOutputRereads.clear();
  fRereadAfterSwitch.clear();
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
  fFreePort = MakeEngine(fComPort, fEndpoint);
  fGatewayNoted = false;

  fPending.SetEngine(fFreePort.get());
  ConfigureEngine(*fFreePort, {aSettings.BaudRate, aSettings.FormatIndex, aSettings.Timeout});
  // A port that does not open yields no answers; the connect time-out ends
  // the attempt, and the log says why at once.
  if (!fFreePort->Start())
    ReportConnectFailure(QString::fromStdString(LinkErrorText(fFreePort->LinkError(), {}, TzTextLanguage::Russian)));

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
  if (!fConnected) {
    if (aTag.Quality() != kQualityGood) {
      ReportConnectFailure(aTag.ModbusError
                               ? QStringLiteral("прибор ответил ошибкой %1").arg(QString::fromStdString(aTag.ModbusErrorCodeStr))
                               : QStringLiteral("ответ прибора не удалось разобрать"));
    } else {
      ReportConnectFailure(QStringLiteral("прибор другого типа (тип %1, у RK-7140 тип %2)")
                               .arg(QString::fromStdString(FloatToText(aTag.Value())))
                               .arg(kDeviceTypeRK7140));
    }
  }
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
  if (TryValueByID(kDeviceTypeReg, value)) fDevice->DevVersion = value;
  if (TryValueByID(kFirmwareVersionReg, value)) {
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
  ReportConnectFailure(QStringLiteral("нет ответа в течение секунды"));
  fView.SetConnectButtonEnabled(true);
  fConnectBtnTimer.stop();
  fView.Anima(false);
  fView.ShowFindDeviceIcon(true);
  if (fFreePort) fFreePort->Stop();
}

void TzRK7140Controller::ReportConnectFailure(const QString& aReason) {
  if (fAttemptFailureLogged) return;
  fAttemptFailureLogged = true;
  AddTempLog(QStringLiteral("Не удалось подключиться к %1 (адрес %2): %3").arg(LineName(QString::fromStdString(fEndpoint))).arg(fDevAddr).arg(aReason),
             clTempLogNavy);
}

void TzRK7140Controller::OprosTimerTimer() {
  if (!fConnected || !fDevice) return;
  // A poll without one good answer since the last one is a failed poll.
  if (fGoodAnswerSinceTick) fSilentPolls = 0;
  else if (++fSilentPolls == kLinkLostPolls) SetLinkLost(true);
  fGoodAnswerSinceTick = false;
  fOprosTick += static_cast<uint32_t>(fOprosTimer.interval());
  for (int32_t id : kFastPoll) GetModbusRegRTU2(id);
  if (fOprosTick % 1000 == 0) {
    for (int32_t id : kClockTags) GetModbusRegRTU2(id);
    GetModbusRegRTU2(kFilterTypesReg);
    GetModbusRegRTU2(kPulseCountersTag);
  }
  if (fOprosTick >= 1000) fOprosTick = 0;
}

void TzRK7140Controller::Disconnect() {
  fOprosTimer.stop();
  ResetLinkWatch();
  fOutputRereads.clear();
  fRereadAfterSwitch.clear();
  // Its next tick would enable "Подключиться" of an idle panel, even while a
  // bus search started meanwhile holds the port.
  fConnectBtnTimer.stop();
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
  ResetLinkWatch();
  fOutputRereads.clear();
  fRereadAfterSwitch.clear();
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

void TzRK7140Controller::SetLinkLost(bool aLost) {
  fLinkLost = aLost;
  fView.ShowLinkLost(aLost);
  AddTempLog(aLost ? QStringLiteral("Нет связи с прибором: %1 опросов подряд без ответа").arg(kLinkLostPolls)
                   : QStringLiteral("Связь с прибором восстановлена"),
             clTempLogNavy);
}

void TzRK7140Controller::ResetLinkWatch() {
  fSilentPolls = 0;
  fGoodAnswerSinceTick = false;
  if (!fLinkLost) return;
  fLinkLost = false;
  fView.ShowLinkLost(false);
}

void TzRK7140Controller::AnswerChecked(const TzTag&, bool aGood) {
  if (!aGood) return;
  fGoodAnswerSinceTick = true;
  fSilentPolls = 0;
  if (fLinkLost) SetLinkLost(false);
}

void TzRK7140Controller::ReadOutputParamsAgain(int aOutput) {
  if (!fConnected || fFirstUpdate || !fDevice || !fFreePort || aOutput < 1 || aOutput > kOutputCount) return;
  for (int32_t id : OutputParamTagIDs(aOutput)) {
    TzTag* tag = fDevice->GetTagByID(id);
    if (tag && GetModbusRegRTU(tag)) fOutputRereads[fFreePort->LastUID()] = aOutput;
  }
}

void TzRK7140Controller::SwitchOutput(int aOutput, bool aOn) {
  const uint32_t before = fFreePort ? fFreePort->LastUID() : 0;
  WriteOutputState(*this, aOutput, aOn);
  if (fFreePort && fFreePort->LastUID() != before) fRereadAfterSwitch[fFreePort->LastUID()] = aOutput;
}

void TzRK7140Controller::OutputRereadAnswered(uint32_t aUID) {
  if (const auto it = fRereadAfterSwitch.find(aUID); it != fRereadAfterSwitch.end()) {
    const int switched = it->second;
    fRereadAfterSwitch.erase(it);
    ReadOutputParamsAgain(switched);
    return;
  }
  const auto it = fOutputRereads.find(aUID);
  if (it == fOutputRereads.end()) return;
  const int output = it->second;
  fOutputRereads.erase(it);
  for (const auto& [uid, other] : fOutputRereads)
    if (other == output) return;  // more of its answers to come
  const TzTryValue tryValue = [this](int32_t aID, int32_t& aValue) { return TryValueByID(aID, aValue); };
  ReadOutputParams(tryValue, output, fDOUTs[static_cast<size_t>(output)]);
  fView.OutputParamsRead(output);
}

void TzRK7140Controller::ReleasePort() {
  if (fConnected || !fFreePort || !fFreePort->QueuedUIDs().empty()) return;
  fFreePort->Stop();
}

void TzRK7140Controller::SetAllOff() {
  fView.SetIndicatorsOff();
  emit ValuesLost();
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
  // A write of an output's parameter ("Применить") makes a re-read of that
  // output that is still under way stale: it must not show the old values.
  for (int output = 1; output <= kOutputCount; ++output) {
    const auto ids = OutputParamTagIDs(output);
    if (std::find(ids.begin(), ids.end(), aID) == ids.end()) continue;
    std::erase_if(fOutputRereads, [output](const auto& aEntry) { return aEntry.second == output; });
  }
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
  const TzTag* watched = WatchedTag(aUID);
  const TzTag* tag = nullptr;
  if (OnAnswerDispatched)
    for (const auto& record : fPending.List())
      if (record->Code == aUID) tag = record->Tag;
  fPending.Dispatch(aComPort, aUID, aAnswer, aErrCode);
  if (OnAnswerDispatched && tag) OnAnswerDispatched(aUID, *tag, aErrCode);
  OutputRereadAnswered(aUID);
  if (watched) AfterWatchedAnswer(*watched);
  // The link itself is gone (an adapter pulled, a device server restarted):
  // the connection ends at once, with the reason, instead of a stream of
  // failed requests. "Подключиться" reaches the module again.
  if (aErrCode == kErrPortUnusable && fConnected && fFreePort) EndLostLink();
}

void TzRK7140Controller::EndLostLink() {
  AddTempLog(QStringLiteral("Связь потеряна: ") +
                 QString::fromStdString(LinkErrorText(fFreePort->LinkError(), fEndpoint, TzTextLanguage::Russian)),
             clTempLogNavy);
  Disconnect();
}

TzTag* TzRK7140Controller::WatchedTag(uint32_t aUID) const {
  for (const auto& record : fPending.List()) {
    if (record->Code != aUID) continue;
    TzTag* tag = record->Tag;
    if (!tag || tag->Device != fDevice.get()) return nullptr;
    const bool watched = tag->ID == kPulseCountersTag ||
                         std::find(kFastPoll.begin(), kFastPoll.end(), tag->ID) != kFastPoll.end();
    return watched ? tag : nullptr;
  }
  return nullptr;
}

void TzRK7140Controller::AfterWatchedAnswer(const TzTag& aTag) {
  std::vector<int32_t> values;
  int32_t bits = 0;
  if (aTag.ID == kPulseCountersTag) {
    if (aTag.Quality() == kQualityGood) values = PulseCountersFromBytes(aTag.Data);
  } else if (TryValueByID(aTag.ID, bits)) {
    values.push_back(bits);
  }
  emit PolledAnswer(aTag.ID, values);

  // Fast recording: each state's answer asks for the other state, so the two
  // reads follow each other as fast as the line answers (a request stays in
  // the engine's queue until its answer has been handled, so it cannot ask
  // for itself again here). The poll tick keeps queueing both, so a chain
  // that broke starts again.
  if (!fFastPoll || !fConnected || !fOprosTimer.isActive() || aTag.ID == kPulseCountersTag) return;
  const int32_t other = aTag.ID == kFastPoll[0] ? kFastPoll[1] : kFastPoll[0];
  for (const auto& record : fPending.List())
    if (record->Tag && record->Tag->ID == other && record->Tag->Device == fDevice.get()) return;
  GetModbusRegRTU2(other);
}

void TzRK7140Controller::RequestSent(const TzTag& aTag, uint32_t aUID, int32_t aFunc, const TStringBytes& aFrame,
                                     const std::string& aValueText) {
  TzPortObsRec rec = RequestRecord(aTag, aUID, aFunc, aFrame);
  rec.Connection = fConnectionNumber;
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
  rec.Connection = fConnectionNumber;
  rec.Cmd = aAnswer.AsBytes();
  rec.Value = QString::fromStdString(aNote);
  PortObsFeedAnswer(rec);
}

void TzRK7140Controller::ReadingComplete(TzTag&) { AfterFirstUpdate(); }

void TzRK7140Controller::ExceptionCounted(int32_t aCode, int32_t aCount) { SetTempLogErrors(aCode, aCount); }

void TzRK7140Controller::GatewayNoAnswer(const TzTag&, uint8_t aCode) {
  if (fGatewayNoted) return;
  fGatewayNoted = true;
  AddTempLog(QStringLiteral("Шлюз Modbus TCP: %1 (код %2h), адрес %3 не отвечает")
                 .arg(aCode == kExceptionGatewayPath ? QStringLiteral("путь к устройству недоступен")
                                                     : QStringLiteral("устройство не ответило"))
                 .arg(aCode, 2, 16, QLatin1Char('0'))
                 .arg(fDevAddr),
             clTempLogNavy);
}
