// The message log window "Лог" and the plain functions every part of the panel
// writes to it with.
//
// The log lists notable events newest first (line 0 at the top) and ends with a
// block of nine counter lines of Modbus exception answers. One window exists
// for the life of the program; closing it only hides it. "Сохранить" saves the
// lines to a text file. The functions write to
// the rich-text box of the window created last; before a window exists (or
// after it is gone) they do nothing. Everything runs on the user-interface
// thread.
#pragma once

#include <QByteArray>
#include <QPointer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <vector>

#include "uTempLogLines.h"

class QCheckBox;
class QPushButton;
class QTextEdit;

// Line colours, window colour values in blue-green-red order.
inline constexpr uint32_t clTempLogNavy = 0x800000;    // ordinary messages
inline constexpr uint32_t clTempLogMaroon = 0x000080;  // answers with an unknown UID

// Counts of Modbus exception answers as the counter block shows them:
// [0]..[7] for the exception codes 1..8, [8] for every other code.
using TzTempLogCounts = std::array<int32_t, 9>;

// Trimming: a log of kTempLogTrimAt or more lines is cut to kTempLogKeep lines
// (the newest) before a line is added.
inline constexpr int kTempLogTrimAt = 1000;
inline constexpr int kTempLogKeep = 200;

class TfrmTempLog : public QWidget {
public:
  // aMainWindow (may be null) owns the log window; the log is centred over it
  // when first shown.
  explicit TfrmTempLog(QWidget* aMainWindow = nullptr);

  // Makes this window's box the one the functions write to and builds the
  // counter block with all counts 0 (the constructor calls it).
  void FormCreate();
  // Centres the window over aMainWindow (halves rounded toward zero).
  void RePos(const QWidget* aMainWindow);

  // btnSave: asks for a file (suggested "Лог_<date_time>.txt" in the documents
  // folder) and saves the log there.
  void SaveLog();
  // Writes TempLogFileText() to aPath. False, with the reason in the log, when
  // it cannot.
  bool SaveLogTo(const QString& aPath);

  QTextEdit* Rich = nullptr;
  QCheckBox* chkUnique = nullptr;
  QPushButton* btnClear = nullptr;
  QPushButton* btnSave = nullptr;

protected:
  void closeEvent(QCloseEvent* aEvent) override;  // hides instead of closing
  void showEvent(QShowEvent* aEvent) override;

private:
  QPointer<QWidget> fMainWindow;
  bool fShownOnce = false;
};

// Adds the line at the top in the colour (blue-green-red value). A log of 1000
// or more lines is first cut to its 200 newest lines. Line breaks inside the
// text become spaces: one call, one line.
void AddTempLog(const QString& aText, uint32_t aColor);
// Every line that contains aKey becomes aText and keeps its colour. An empty key
// or a key that matches no line changes nothing.
void ReplaceTempLog(const QString& aKey, const QString& aText);
// Shows the count of exception answers with the code on its counter line
// (codes 1..8), or on the line of other codes for any other code.
void SetTempLogErrors(int32_t aCode, int32_t aCount);
// Removes every line and builds the counter block again with the counts given,
// so the counters stay visible after the log is emptied.
void ClearTempLog(const TzTempLogCounts& aCounts);

// The log's lines top to bottom with their colours; empty without a window.
std::vector<TzTempLogLine> TempLogLines();
// The log as a UTF-8 text file: its lines top to bottom (newest first, the
// counter block included), each ended by a line break ("\r\n" on Windows).
QByteArray TempLogFileText();
