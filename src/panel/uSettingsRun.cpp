#include "uSettingsRun.h"

#include "uRK7140Controller.h"

namespace {
constexpr int kRetryMs = 20;
}

TzSettingsRun::TzSettingsRun(TzRK7140Controller& aController, QObject* aParent)
    : QObject(aParent), fController(aController), fHooked(&aController) {
  fTimer.setInterval(kRetryMs);
  connect(&fTimer, &QTimer::timeout, this, &TzSettingsRun::Tick);
  fController.OnAnswerDispatched = [this](uint32_t aUID, const TzTag& aTag, uint32_t aErrCode) {
    Answer(aUID, aTag, aErrCode);
  };
}

TzSettingsRun::~TzSettingsRun() {
  if (fHooked) fHooked->OnAnswerDispatched = nullptr;
}

QString TzSettingsRun::FailureText(const TzTag& aTag, uint32_t aErrCode) {
  const QString name = QString::fromStdString(aTag.OPCName);
  if (aErrCode == 0 && aTag.ModbusError)
    return QStringLiteral("модуль отказал (%1): %2").arg(QString::fromStdString(aTag.ModbusErrorCodeStr), name);
  if (aErrCode == 512) return QStringLiteral("нет ответа: %1").arg(name);
  if (aErrCode != 0) return QStringLiteral("ошибка связи (%1): %2").arg(aErrCode).arg(name);
  return QStringLiteral("ответ не разобран: %1").arg(name);
}

bool TzSettingsRun::StartRead(TzReadDone aDone) {
  if (Busy() || !fController.Connected()) return false;
  ReadAll(std::move(aDone));
  return true;
}

bool TzSettingsRun::StartRestore(const TzModuleSettings& aFile, bool aWithLine) {
  if (Busy() || !fController.Connected()) return false;
  fFile = aFile;
  fWithLine = aWithLine;
  fOutcome = {};
  // The plan needs the module's functions as they are now.
  ReadAll([this](bool aOk, const TzModuleSettings& aModule, const QString& aReason) {
    if (!aOk) {
      FinishRestore(aReason);
      return;
    }
    fPlan = RestorePlan(fFile, aModule, fWithLine);
    fOutcome.Planned = fPlan.size();
    fNext = 0;
    fQueued = false;
    fPhase = TzPhase::Writing;
    fTimer.start();  // watches the connection while the writes go out
    if (OnProgress) OnProgress(0, fPlan.size());
    WriteNext();
  });
  return true;
}

void TzSettingsRun::ReadAll(std::function<void(bool, const TzModuleSettings&, const QString&)> aNext) {
  fPhase = TzPhase::Reading;
  fToRead = SettingsReadTags();
  fWaiting.clear();
  fReadFailure.clear();
  fReadNext = std::move(aNext);
  fTimer.start();
  Tick();
}

void TzSettingsRun::Tick() {
  if (!fController.Connected()) {
    // The connection went away: nothing more can be asked.
    fWaiting.clear();
    fToRead.clear();
    if (fPhase == TzPhase::Reading) {
      fReadFailure = QStringLiteral("нет связи с модулем");
      ReadFinished();
    } else if (fPhase == TzPhase::Writing) {
      FinishRestore(QStringLiteral("нет связи с модулем"));
    }
    return;
  }
  if (fPhase == TzPhase::Reading) {
    // Those refused now (the same read is queued by the polling) wait for the next tick.
    std::vector<int32_t> left;
    for (const int32_t id : fToRead) {
      uint32_t uid = 0;
      if (fController.QueueRead(id, uid)) fWaiting[uid] = id;
      else left.push_back(id);
    }
    fToRead.swap(left);
  } else if (fPhase == TzPhase::Writing) {
    WriteNext();
  }
}

void TzSettingsRun::Answer(uint32_t aUID, const TzTag& aTag, uint32_t aErrCode) {
  if (fPhase == TzPhase::Reading) {
    const auto it = fWaiting.find(aUID);
    if (it == fWaiting.end()) return;
    fWaiting.erase(it);
    if (fReadFailure.isEmpty() && (aErrCode != 0 || aTag.ModbusError || aTag.Quality() != kQualityGood))
      fReadFailure = FailureText(aTag, aErrCode);
    if (fToRead.empty() && fWaiting.empty()) ReadFinished();
  } else if (fPhase == TzPhase::Writing && fQueued && aUID == fWriteUID) {
    fQueued = false;
    if (aErrCode != 0 || aTag.ModbusError || aTag.Quality() != kQualityGood) {
      fOutcome.Stopped = fPlan[fNext];
      fOutcome.Unconfirmed = !(aErrCode == 0 && aTag.ModbusError);
      FinishRestore(FailureText(aTag, aErrCode));
      return;
    }
    ++fOutcome.Written;
    ++fNext;
    if (OnProgress) OnProgress(fOutcome.Written, fPlan.size());
    WriteNext();
  }
}

void TzSettingsRun::ReadFinished() {
  fTimer.stop();
  TzModuleSettings settings;
  QString reason = fReadFailure;
  bool ok = reason.isEmpty();
  if (ok) {
    int32_t failed = 0;
    ok = SettingsFromValues([this](int32_t aID, int32_t& aValue) { return fController.TryValueByID(aID, aValue); },
                            settings, failed);
    if (!ok) reason = QStringLiteral("значение %1 не может быть сохранено").arg(failed);
  }
  fPhase = TzPhase::Idle;
  TzReadDone next = std::move(fReadNext);
  fReadNext = nullptr;
  if (next) next(ok, settings, reason);
}

void TzSettingsRun::WriteNext() {
  if (fQueued) return;
  if (fNext >= fPlan.size()) {
    fTimer.stop();
    fOutcome.LineWritten = fWithLine;
    ReadAll([this](bool aOk, const TzModuleSettings& aBack, const QString& aReason) {
      if (!aOk) {
        FinishRestore(aReason);
        return;
      }
      fOutcome.Mismatches = CompareSettings(fFile, aBack, fWithLine);
      fOutcome.Verified = fOutcome.Mismatches.empty();
      FinishRestore(fOutcome.Verified ? QString() : QStringLiteral("прочитано не то, что записано"));
    });
    return;
  }
  const TzSettingsWrite& write = fPlan[fNext];
  fQueued = fController.QueueWrite(write.ID, write.Value, write.Forced, fWriteUID);
  if (!fQueued) fTimer.start();  // asked again on the next tick
}

void TzSettingsRun::FinishRestore(const QString& aReason) {
  fTimer.stop();
  fPhase = TzPhase::Idle;
  fOutcome.Reason = aReason;
  if (OnRestored) OnRestored(fOutcome);
}
