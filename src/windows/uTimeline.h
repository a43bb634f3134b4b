// The timeline window "Хронология": the module's inputs and relays (and, when
// chosen, the pulse counters as counts or as rates) as traces on one
// wall-clock time axis, live, with the controls of the view, fast recording,
// saving as CSV and PNG, and the last changes as a list a screen reader reads.
//
// It is fed from what the panel's poll reads (PolledAnswer, ValuesLost); a
// change is recorded at the time its answer arrived, so the time resolution
// is the poll's. "Быстрая запись" asks the panel to poll the inputs and
// relays as fast as the line allows (FastRecordingChanged); closing the
// window turns it off.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "uTimelineRecorder.h"
#include "uTimelineTraces.h"

class QComboBox;
class QLabel;
class QListWidget;
class QToolButton;
class TzTimelineView;

class TfrmTimeline : public QWidget {
  Q_OBJECT

public:
  static constexpr int kListLimit = 200;  // lines in the list of last changes
  static constexpr int kRefreshMs = 100;

  enum TzCounterMode { cmNone = 0, cmCounts = 1, cmRates = 2 };

  // A window of aOwner (may be null) that deletes itself when closed.
  explicit TfrmTimeline(QWidget* aOwner = nullptr);

  // The present in milliseconds since the epoch: the wall clock at opening
  // plus a steady clock since, so that a clock set meanwhile does not tear the
  // recording. Tests give their own (before anything is recorded).
  void SetClock(std::function<int64_t()> aClock);
  int64_t NowMs() const;

  // The port of the file names ("Хронология_COM"n"_<date>_<time>").
  void SetComPort(int32_t aPort) { fComPort = aPort; }

  // Feeds: an answer of the inputs' or relays' state or the counters (empty
  // values: the read failed), and the loss of every value.
  void PolledAnswer(int aTagID, const std::vector<int32_t>& aValues);
  void ValuesLost();

  const TzTimelineRecorder& Recorder() const { return fRecorder; }
  TzTimelineView* View() const { return fView; }
  bool FastRecording() const;
  void SetCounterMode(TzCounterMode aMode);
  // The traces shown (and saved), top to bottom.
  std::vector<size_t> ShownTraces() const;
  // The mean interval between the inputs' last answers, and as it is shown
  // ("Разрешение: " and milliseconds).
  std::optional<int64_t> ResolutionMs() const { return fInputsInterval.MeanMs(); }
  QString ResolutionText() const;

  // "CSV" / "PNG": ask for a file with the save dialog and write it.
  void SaveCsv();
  void SavePng();
  // The recording of the shown traces as CSV; the visible range as PNG.
  bool SaveCsvTo(const QString& aPath);
  bool SavePngTo(const QString& aPath);

  // The refresh: follows the present, shows the resolution.
  void RefreshTimerTimer();

  QToolButton* btnFollow = nullptr;
  QToolButton* btnZoomIn = nullptr;
  QToolButton* btnZoomOut = nullptr;
  QToolButton* btnFitAll = nullptr;
  QToolButton* btnCursor1 = nullptr;
  QToolButton* btnCursor2 = nullptr;
  QToolButton* btnPrevChange = nullptr;
  QToolButton* btnNextChange = nullptr;
  QToolButton* btnFast = nullptr;
  QComboBox* cbCounters = nullptr;
  QToolButton* btnSaveCsv = nullptr;
  QToolButton* btnSavePng = nullptr;
  QLabel* labResolution = nullptr;
  QLabel* labCursors = nullptr;
  QListWidget* lstChanges = nullptr;
  QTimer RefreshTimer;

signals:
  void FastRecordingChanged(bool aOn);

protected:
  void closeEvent(QCloseEvent* aEvent) override;

private:
  void BuildControls();
  // A line at the top of the list of changes.
  void AddListLine(int64_t aTimeMs, const QString& aText);
  // The last values of aTraces.
  std::vector<int64_t> LastValues(const std::vector<size_t>& aTraces) const;
  // A line for each of aTraces whose value is no longer aBefore; when they
  // all became unknown, one line "aGroup: нет данных".
  void ListChanged(int64_t aTimeMs, const std::vector<size_t>& aTraces, const std::vector<int64_t>& aBefore,
                   const QString& aGroup);
  void ShowViewState();

  TzTimelineRecorder fRecorder;
  TzCounterFeed fCounterFeed;
  TzPollInterval fInputsInterval;
  TzTimelineView* fView = nullptr;
  std::function<int64_t()> fClock;
  int64_t fOpenedMs = 0;
  QElapsedTimer fSinceOpened;
  int32_t fComPort = 0;
};
