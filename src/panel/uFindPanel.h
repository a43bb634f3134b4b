// The search panel "Устройства" beside the connection panel: the result list
// of the bus search (FindListBox) over its progress bar (aniAdvProgress,
// addresses 1..247, shown while a search runs). The list's lines mirror a
// TzFindResultList.
//
// Picking a line: a mouse click, or moving onto it with the keyboard or an
// assistive tool (Picked); a double click or Enter (Chosen).
#pragma once

#include <QFrame>
#include <QListWidget>

#include <cstdint>
#include <span>

#include "uFindResults.h"

class QProgressBar;

class TzFindListBox : public QListWidget {
  Q_OBJECT

public:
  using QListWidget::QListWidget;

signals:
  void Picked(int aRow);
  void Chosen(int aRow);

protected:
  void keyPressEvent(QKeyEvent* aEvent) override;
};

class TzFindPanel : public QFrame {
  Q_OBJECT

public:
  explicit TzFindPanel(QWidget* aParent);

  // The progress line for address aPos (added as line 0 when missing).
  void Progress(int32_t aPos);
  // The line for an answer from aAddr, if it gets one (TzFindResultList).
  void AddAnswer(int32_t aAddr, std::span<const uint8_t> aAnswer, const TzFindDevice& aSettings);
  void RemoveCounterLine();
  void Clear();
  int Count() const { return static_cast<int>(fResults.Lines().size()); }
  // The module on the list's current line; nullptr for any other line.
  const TzFindDevice* CurrentDevice() const;
  const TzFindResultList& Results() const { return fResults; }

  TzFindListBox* FindListBox = nullptr;
  QProgressBar* aniAdvProgress = nullptr;

private:
  TzFindResultList fResults;
  bool fUpdating = false;  // the program changes the lines: no pick
};
