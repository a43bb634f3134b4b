#include "uRK7140Controller.h"

#include <QUuid>

#include <cmath>
#include <limits>

#include "uDeviceSettings.h"
#include "uInputConfig.h"
#include "uModbusFrames.h"
#include "uPortObsFeed.h"
#include "uTagRequests.h"
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

QString NumberText(double aValue) { return QString::fromStdString(FloatToText(aValue)); }

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
  fFreePort.reset();
  ClearPending();
}

// ---- construction -------------------------------------------------------

bool TzRK7140Controller::LoadDevice(const char* aResName) {
  fDevice = std::make_unique<TzDevice>();
  fDevice->DevAddr = fDevAddr;
  fDevice->DevType = 3;
  fDevice->DevVersion = 0;
  fDevice->DevVersionStr = "0.00";
  fDevice->DevPOVersion = 0;
  fDevice->Freq = 100;
  fDevice->DevName = "RK-7140";

  if (!fDevice->LoadFromRes(aResName)) {
    AddTempLog(QStringLiteral("Ошибка загрузки таблицы регистров"), clTempLogNavy);
    return false;
  }
  AddOtherRK7140Tags();
  for (int32_t id : {28676, 28672, 28673, 36864}) SetRegForce(id, true);
  SetRegForce({4096, 4224, 4352, 4480, 4608, 4736}, true);
  SetRegForce(60069, true);
  SetRegForce(60000, true);
  return true;
}

void TzRK7140Controller::AddOtherRK7140Tags() {
  auto addCoil = [this](int32_t aID, const QString& aName) {
    TzTag* tag = &fDevice->AddTag();
    tag->ID = aID;
    tag->Reg = aID;
    tag->OPCName = aName.toStdString();
    tag->Enabled = false;
    tag->RegType = 1;
    tag->ValType = vtBit;
    tag->WriteCmd = 5;
    tag->Order = "21";
    tag->OrderMas = {2, 1};
    tag->GUID = QUuid::createUuid().toString(QUuid::WithBraces).toUpper().toStdString();
    tag->Force = true;
    tag->ReadPriority = 0;
    tag->WritePriority = 1;
    tag->CanRead = false;
  };
  for (int n = 1; n <= kInputCount; ++n) {
    addCoil(CounterResetCoil(n), QStringLiteral("Сброс счётчика импульсов DIN #%1").arg(n));
    addCoil(FilterCoil(n), QStringLiteral("Тип фильтрации дребезга контактов DIN #%1").arg(n));
  }
  for (int n = 1; n <= 6; ++n) {
    if (TzTag* state = fDevice->GetTagByID(OutputBase(n))) {
      state->ReadPriority = 1;
      state->WritePriority = 1;
      state->Force = true;
    }
  }
  if (TzTag* counters = fDevice->GetTagByID(kPulseCountersTag)) {
    counters->OnResponse = [this](TzTag& aTag) { ImpCounterCallback(aTag); };
  }
}

// ---- connection ---------------------------------------------------------

std::unique_ptr<TzFreePort> TzRK7140Controller::MakeEngine(int32_t aComPort) {
  std::unique_ptr<TzFreePort> engine = fEngineFactory ? fEngineFactory(aComPort)
                                                      : std::make_unique<TzFreePort>(aComPort);
  engine->SetOnAsyncAnswerProc([this](int32_t aPort, uint32_t aUID, TStringBytes aAnswer, uint32_t aErr) {
    ModbusAsyncAnswer(aPort, aUID, aAnswer, aErr);
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
  fFreePort.reset();
  ClearPending();
  fFreePort = MakeEngine(fComPort);

  TzDCB& dcb = fFreePort->LocDCB();
  dcb.BaudRate = aSettings.BaudRate;
  TzTimeouts& timeouts = fFreePort->LocTimeouts();
  timeouts.ReadIntervalTimeout = 50;
  timeouts.ReadTotalTimeoutMultiplier = 1;
  timeouts.ReadTotalTimeoutConstant = aSettings.Timeout;
  timeouts.WriteTotalTimeoutMultiplier = 50;
  timeouts.WriteTotalTimeoutConstant = 50;
  // FormatToFreePort
  dcb.ByteSize = 8;
  switch (aSettings.FormatIndex) {
    case 0: dcb.Parity = 0; dcb.StopBits = 0; break;
    case 1: dcb.Parity = 1; dcb.StopBits = 0; break;
    case 2: dcb.Parity = 2; dcb.StopBits = 0; break;
    case 3: dcb.Parity = 0; dcb.StopBits = 2; break;
    default: break;
  }
  // A port that does not open yields no answers; the connect time-out ends the attempt.
  fFreePort->Start();

  fFirstUpdate = true;
  Pulse();
}

void TzRK7140Controller::Pulse() {
  if (!fFreePort) return;
  fPulseDevice = std::make_unique<TzDevice>();
  fPulseDevice->DevAddr = fDevAddr;
  fPulseDevice->DevType = 3;
  fPulseDevice->DevVersion = 100;
  fPulseDevice->DevVersionStr = "1.00";
  fPulseDevice->Freq = 100;
  fPulseDevice->DevName = "RT-3300";
  TzTag* tag = &fPulseDevice->AddTag();
  tag->ID = 36864;
  tag->Reg = 36864;
  tag->Force = true;
  tag->Enabled = true;
  tag->RegType = 2;
  tag->ValType = vtUInt16;
  tag->Order = "21";
  tag->OrderMas = {2, 1};
  tag->SegSize = 1;
  tag->Offset = 0;
  tag->DataSize = 2;
  tag->DataType = 18;
  tag->ReadCmd = 4;
  tag->GUID = "{355ADFD2-9A2A-4E26-8DE3-0FB81E88BD68}";
  tag->OnResponse = [this](TzTag& aTag) { PulseCallback(aTag); };
  fPulseTag = tag;
  GetModbusRegRTU(tag);
}

void TzRK7140Controller::PulseCallback(TzTag& aTag) {
  fConnected = aTag.Value() == kDeviceTypeRK7140;
  if (fConnected) {
    fView.Anima(false);
    fView.CloseAllPanel();
  }
  LetsDoIt();
  fView.ShowFindDeviceIcon(false);
}

void TzRK7140Controller::LetsDoIt() {
  if (!fConnected || !fDevice || fDevice->IsLocked) return;
  fDevice->IsLocked = true;
  // The answer to the last unforced read completes the reading: forced reads
  // are queued ahead of it. Only a read that was queued can be answered.
  TzTag* last = nullptr;
  for (const auto& tag : fDevice->Tags) {
    tag->IsLast = false;
    const bool queued = GetModbusRegRTU(tag.get());
    if (!tag->Force && queued) last = tag.get();
  }
  if (last) last->IsLast = true;
  else fDevice->IsLocked = false;
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

bool TzRK7140Controller::Queue(TzTag& aTag, const TStringBytes& aFrame, int32_t aPriority) {
  if (!fFreePort) return false;
  const int32_t addr = aTag.Device ? aTag.Device->DevAddr : 0;
  if (aTag.Force || aTag.ForceOnce) return fFreePort->SendCmdForce(aFrame, addr, aPriority);
  return fFreePort->SendCmd(aFrame, addr);
}

void TzRK7140Controller::AddPending(TzTag* aTag, const TStringBytes& aCmd, uint32_t aUID) {
  auto record = std::make_unique<TzModbusAnswer>();
  record->Tag = aTag;
  record->Code = aUID;
  record->Mode = mmRTU;
  record->Cmd = aCmd;
  record->TimeStamp = TickCount32();
  {
    std::lock_guard lock(fLineCS);
    fModbusAnswerList.push_back(std::move(record));
  }
  if (OnRequestQueued) OnRequestQueued(aUID, aTag ? aTag->ID : 0);
}

void TzRK7140Controller::ClearPending() {
  std::lock_guard lock(fLineCS);
  fModbusAnswerList.clear();
}

TzTempLogCounts TzRK7140Controller::TempLogCounts() const {
  TzTempLogCounts counts{};
  for (size_t slot = 1; slot <= 9; ++slot) counts[slot - 1] = fModbusErrors[slot];
  return counts;
}

size_t TzRK7140Controller::PendingCount() const {
  std::lock_guard lock(fLineCS);
  return fModbusAnswerList.size();
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

bool TzRK7140Controller::GetModbusRegRTU(TzTag* aTag) {
  if (!aTag) return false;
  TStringBytes frame;
  if (!BuildTagReadFrame(*aTag, frame)) return false;
  if (!Queue(*aTag, frame, aTag->ReadPriority)) return false;
  aTag->ForceOnce = false;
  // A new request gets its own answer decoded and counted, whatever the last one was.
  aTag->ModbusError = false;
  aTag->ModbusErrorCode = -1;
  const uint32_t uid = fFreePort->LastUID();
  AddPending(aTag, frame, uid);
  PortObsFeedRequest(RequestRecord(*aTag, uid, aTag->ReadCmd, frame));
  return true;
}

bool TzRK7140Controller::GetModbusRegRTU2(int32_t aID) {
  if (!fDevice) return false;
  TzTag* tag = fDevice->GetTagByID(aID);
  return tag && GetModbusRegRTU(tag);
}

void TzRK7140Controller::GetModbusListRTU2(std::initializer_list<int32_t> aIDs) {
  for (int32_t id : aIDs) GetModbusRegRTU2(id);
}

bool TzRK7140Controller::SetModbusRegRTU(TzTag* aTag, double aValue) {
  if (!aTag) return false;
  TStringBytes frame;
  double written = 0;
  if (!BuildTagWriteFrame(*aTag, aValue, frame, written)) return false;
  const bool accepted = Queue(*aTag, frame, aTag->WritePriority);
  aTag->ForceOnce = false;
  if (!accepted) return false;
  aTag->ModbusError = false;
  aTag->ModbusErrorCode = -1;
  aTag->SetValue(written);
  const uint32_t uid = fFreePort->LastUID();
  TzPortObsRec rec = RequestRecord(*aTag, uid, aTag->WriteCmd, frame);
  rec.Value = NumberText(written);
  PortObsFeedRequest(rec);
  AddPending(aTag, frame, uid);
  return true;
}

void TzRK7140Controller::SetRegByID(int32_t aID, double aValue, bool aForced) {
  if (!fConnected || !fDevice) return;
  TzTag* tag = fDevice->GetTagByID(aID);
  if (!tag) return;
  if (aForced) tag->ForceOnce = true;
  SetModbusRegRTU(tag, aValue);
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
  if (OnAnswerHandedBack) OnAnswerHandedBack(aUID, aErrCode);
  TzModbusAnswer* record = nullptr;
  for (const auto& candidate : fModbusAnswerList) {
    if (candidate->Code == aUID) {
      record = candidate.get();
      break;
    }
  }
  if (!record) {
    AddTempLog(QStringLiteral("Неизвестный UID (%1):   Ответ: %2")
                   .arg(aUID)
                   .arg(QString::fromStdString(BytesToDotStr(aAnswer))),
               clTempLogMaroon);
    return;
  }

  TzPortObsRec rec;
  rec.Port = aComPort;
  rec.Index = static_cast<int32_t>(aUID);
  rec.Cmd = aAnswer.AsBytes();
  PortObsFeedAnswer(rec);

  if (TzTag* tag = record->Tag) {
    bool ok = false;
    if (aErrCode != 0 || tag->ModbusError) {
      tag->SetQuality(0);
    } else {
      if (record->Mode == mmRTU) {
        // The module's echo of a write confirms the value the panel wrote.
        ok = IsWriteEcho(record->Cmd, aAnswer) || DecodeModbusAnswer(aAnswer, tag);
      }
      tag->SetQuality(ok ? 192 : 16);
      if (tag->OnResponse) tag->OnResponse(*tag);
    }
    if (ok) {
      rec.Value = NumberText(tag->Value());
      PortObsFeedAnswer(rec);
    }
    if (tag->IsLast) {
      tag->IsLast = false;
      if (tag->Device) {
        tag->Device->IsLocked = false;
        AfterFirstUpdate();
      }
    }
    if (tag->ModbusError) {
      rec.Value = QStringLiteral("ErrCode: ") + QString::fromStdString(tag->ModbusErrorCodeStr);
      PortObsFeedAnswer(rec);
      const int32_t code = tag->ModbusErrorCode;
      const size_t slot = (code >= 1 && code <= 8) ? static_cast<size_t>(code) : 9;
      ++fModbusErrors[slot];
      SetTempLogErrors(code, fModbusErrors[slot]);
    } else if (ok) {
      rec.Value = QString::fromStdString(tag->ValueStr);
      PortObsFeedAnswer(rec);
    }
    if (tag->Quality() == 192 && tag->Device) tag->Device->Status = TzDeviceStatus::dsGood;
  }

  // OnResponse may have queued requests (and so added records); find ours again.
  std::lock_guard lock(fLineCS);
  for (auto it = fModbusAnswerList.begin(); it != fModbusAnswerList.end(); ++it) {
    if (it->get() == record) {
      fModbusAnswerList.erase(it);
      break;
    }
  }
}
