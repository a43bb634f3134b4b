// The port observer window "Наблюдение за линией COM"n: a live list of every
// request the panel queues and of the answers that come back.
//
// Each request becomes a row (UID, time, register, function, tag name, request
// bytes); its answer fills the same row (elapsed time, value, answer bytes).
// Dynamic mode adds a row per request; static mode keeps one row per register
// and overwrites it. Function and register filters, hexadecimal or decimal
// bytes, an automatic row limit, Ctrl+C copy of the selected rows and saving
// the grid as shown to a CSV file. The panel
// opens any number of these windows; all of them are fed through
// PortObsFeedRequest / PortObsFeedAnswer. Everything runs on the user-interface
// thread.
#pragma once

#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "uPortObsFeed.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class QToolButton;

// What a grid row remembers about its request and its last answer.
struct TzRowTick {
  uint32_t TickCount = 0;  // tick count (ms) when the row's request was fed
  QString RequestHex, RequestDec;
  QString AnswerHex, AnswerDec;  // empty until the row's first answer
  QString Name;
  int32_t Reg = 0;  // static mode finds rows by it
  uint32_t Connection = 0;  // with the UID, what an answer must match
};

// The grid's columns.
enum TzObsColumn {
  kObsColUID = 0,
  kObsColTime,
  kObsColReg,
  kObsColFunc,
  kObsColElapsed,
  kObsColValue,
  kObsColName,
  kObsColRequest,
  kObsColAnswer,
  kObsColumnCount
};

// Row limits of the automatic cut: with btnAutoLimit down and up.
inline constexpr int kObsLimitOn = 2000, kObsCutOn = 1000;
inline constexpr int kObsLimitOff = 10000, kObsCutOff = 5000;
inline constexpr int kObsAutoClearMs = 500;
inline constexpr int kObsInterfaceMs = 100;
inline constexpr int kObsBarMargin = 46;      // grid's top margin with the control bar shown
inline constexpr int kObsHiddenMargin = 8;    // and with it hidden

// Milliseconds of the steady clock, cut to 32 bits (differences wrap).
uint32_t PortObsTickCount();

class TfrmPortObserver : public QWidget, public IPortObserver {
  Q_OBJECT

public:
  // A window of aOwner (may be null), always on top; it is in the list of
  // open observers from here until it is closed or destroyed. A closed window
  // deletes itself: nothing can show it again.
  explicit TfrmPortObserver(QWidget* aOwner = nullptr);
  ~TfrmPortObserver() override;

  // IPortObserver.
  void AddRequest(const TzPortObsRec& aRec) override;
  void AddAnswer(const TzPortObsRec& aRec) override;

  // Cuts the grid to the header and one empty row (releases btnClear).
  void Clear();
  int32_t ComPort() const { return fComPort; }
  // Sets the caption "Наблюдение за линией " and the line's name (LineName).
  void SetComPort(int32_t aValue);
  // Names the line by its endpoint instead (a network port has no number).
  void SetLine(const QString& aEndpoint);

  // The record of grid row aRow (0 is the first row below the header), or null.
  const TzRowTick* RowTick(int aRow) const;
  // The text Ctrl+C puts on the clipboard, for pasting into a spreadsheet: one
  // line per selected row, top to bottom, its cells joined by tabs; lines
  // joined by "\r\n". Tabs and line breaks inside a cell become spaces. Empty
  // rows are left out.
  QString SelectedRowsText() const;
  // Puts that text on the clipboard; without a selected row it is left alone.
  void CopySelectedRows();

  // The grid as shown: its column titles, and the texts of every row that is
  // not empty, top to bottom.
  QStringList GridHeader() const;
  QList<QStringList> GridRows() const;
  // btnSave: asks for a file (suggested "Наблюдение_<line>_<date_time>.csv" in
  // the documents folder) and saves the grid there. The grid keeps running
  // while the dialog is open; the rows it shows when the file is chosen are
  // saved.
  void SaveGrid();
  // Writes the grid to aPath as CSV (header row, ";", UTF-8 with a byte-order
  // mark). False, with the reason in the message log, when it cannot.
  bool SaveGridTo(const QString& aPath);

  // Timer handlers.
  void AutoClearTimerTimer();
  void InterfaceTimerTimer();
  // The control bar shown (pointer inside the window) or hidden.
  void ShowControlBar(bool aPointerInside);

  // Control handlers (the controls' signals call them).
  void NotationClick();
  void rbStaticaClick();
  void chFiltersClick();
  void chFilterFuncOrRegClick();
  void cbFuncChange();
  void txtRegChange();

  // The tick source; tests give their own clock.
  std::function<uint32_t()> TickSource = PortObsTickCount;
  bool Removing = false;

  QTableWidget* SG = nullptr;
  QToolButton* btnFilters = nullptr;
  QCheckBox* chFilters = nullptr;
  QToolButton* btnClear = nullptr;
  QToolButton* btnPause = nullptr;
  QToolButton* btnSave = nullptr;
  QToolButton* btnPin = nullptr;
  QGroupBox* gbFilters = nullptr;
  QCheckBox* chFilterFunc = nullptr;
  QComboBox* cbFunc = nullptr;
  QCheckBox* chFilterReg = nullptr;
  QSpinBox* txtReg = nullptr;
  QRadioButton* rbHex = nullptr;
  QRadioButton* rbDec = nullptr;
  QRadioButton* rbStatica = nullptr;
  QRadioButton* rbDinamica = nullptr;
  QToolButton* btnAutoLimit = nullptr;

  QTimer AutoClearTimer;
  QTimer InterfaceTimer;

protected:
  void closeEvent(QCloseEvent* aEvent) override;
  void resizeEvent(QResizeEvent* aEvent) override;
  bool eventFilter(QObject* aWatched, QEvent* aEvent) override;

private:
  void BuildBar();
  void BuildFilters();
  void BuildGrid();
  void PlaceGrid();
  bool PassesFilters(const TzPortObsRec& aRec) const;
  int FindStaticRow(int32_t aReg) const;
  int TakeRow();
  void SetCell(int aRow, int aColumn, const QString& aText);
  QString Cell(int aRow, int aColumn) const;
  // The row's cell texts, or an empty list when every cell is empty.
  QStringList RowTexts(int aRow) const;
  void SelectRow(int aRow);
  void WidenAnswerColumn(const QString& aText);
  void DeleteOldestRows(int aCount);
  bool StaticMode() const;
  bool HexMode() const;

  int32_t fComPort = 0;
  QString fLine;  // the line's name in the title and the suggested file name
  int fGridTop = kObsBarMargin;
  // One entry per grid row; null where the row has no record.
  std::vector<std::unique_ptr<TzRowTick>> fRowTicks;
};

// Creates an observer window owned by aOwner (the panel), in the list of open
// observers, and returns it (not shown yet).
TfrmPortObserver* CreatePortObserver(QWidget* aOwner);
