// The settings file's work on the panel's connection, without widgets: reads
// every value a file holds fresh from the module, and restores a file one
// write at a time (a refused write stops it at once), then reads everything
// back and compares. Requests go through the controller beside its polling;
// a request the engine refuses because the same one is queued is asked again
// on the next tick.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "uGlobals.h"
#include "uSettingsCompare.h"
#include "uSettingsFile.h"
#include "uSettingsRestore.h"

class TzRK7140Controller;

struct TzRestoreOutcome {
  bool Verified = false;  // every write confirmed and every value read back as in the file
  size_t Planned = 0, Written = 0;
  bool LineWritten = false;          // the RS-485 settings were among the writes
  TzSettingsWrite Stopped;           // the write that stopped it (Key empty: none)
  QString Reason;                    // why it stopped or failed, in the panel's words
  bool Unconfirmed = false;          // the stopping write got no answer: it may have arrived
  std::vector<TzSettingsDifference> Mismatches;  // the file against the read-back
};

class TzSettingsRun : public QObject {
  Q_OBJECT

public:
  explicit TzSettingsRun(TzRK7140Controller& aController, QObject* aParent = nullptr);
  ~TzSettingsRun() override;

  bool Busy() const { return fPhase != TzPhase::Idle; }

  using TzReadDone = std::function<void(bool aOk, const TzModuleSettings& aSettings, const QString& aReason)>;
  // Reads every value of a file; aDone gets the settings or why they are missing.
  bool StartRead(TzReadDone aDone);
  // Writes aFile (the RS-485 settings only with aWithLine) and verifies it.
  bool StartRestore(const TzModuleSettings& aFile, bool aWithLine);

  // Progress of the writes, and the end of a restore.
  std::function<void(size_t aWritten, size_t aPlanned)> OnProgress;
  std::function<void(const TzRestoreOutcome& aOutcome)> OnRestored;

private:
  enum class TzPhase { Idle, Reading, Writing };
  void Tick();
  void Answer(uint32_t aUID, const TzTag& aTag, uint32_t aErrCode);
  void ReadAll(std::function<void(bool, const TzModuleSettings&, const QString&)> aNext);
  void ReadFinished();
  void WriteNext();
  void FinishRestore(const QString& aReason);
  static QString FailureText(const TzTag& aTag, uint32_t aErrCode);

  TzRK7140Controller& fController;
  // The frame frees its controller before its child panels: the hook is
  // taken back only from a controller that is still there.
  QPointer<TzRK7140Controller> fHooked;
  QTimer fTimer;
  TzPhase fPhase = TzPhase::Idle;

  // Reading.
  std::vector<int32_t> fToRead;
  std::map<uint32_t, int32_t> fWaiting;  // UID -> tag ID
  QString fReadFailure;
  TzReadDone fReadNext;

  // Writing.
  TzModuleSettings fFile;
  bool fWithLine = false;
  std::vector<TzSettingsWrite> fPlan;
  size_t fNext = 0;
  bool fQueued = false;
  uint32_t fWriteUID = 0;
  TzRestoreOutcome fOutcome;
};
