// The timeline's traces painted on one time axis, as a logic analyser shows
// them: a bit as a line low or high, a counter as a band with its value, a
// time nobody knows (no answer, line lost, disconnected) hatched.
//
// The view shows a range of time: following live (its right edge is now) or
// held where the user scrolled. Two cursors, the current row, and a text
// summary of what the cursors read for assistive technology. Every action of
// the mouse has a key (listed in the window's documentation):
//   Left/Right scroll, Up/Down current row, +/- zoom, Home fit all, End
//   follow live, 1/2 choose (and place) a cursor, Shift+Left/Right move it
//   by a pixel, Ctrl+Left/Right jump it to the previous/next change of the
//   current row, Delete remove the cursors.
// The mouse: wheel zooms at the pointer (with Shift it scrolls), dragging
// scrolls, a click places cursor 1 and a right click cursor 2 and makes the
// row under the pointer current.
//
// Painting walks only the changes in the visible range and draws at most one
// edge per pixel column, so an hour of fast toggling costs what a screenful
// of pixels costs.
#pragma once

#include <QString>
#include <QWidget>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "uTimelineRecorder.h"

class TzTimelineView : public QWidget {
  Q_OBJECT

public:
  static constexpr int kLabelWidth = 250;  // labels and the two cursors' values
  static constexpr int kAxisHeight = 22;
  static constexpr int64_t kMinSpanMs = 20;
  static constexpr int64_t kMaxSpanMs = 7LL * 24 * 3600 * 1000;

  TzTimelineView(const TzTimelineRecorder& aRecorder, QWidget* aParent = nullptr);

  // The present, in the recorder's milliseconds.
  std::function<int64_t()> Clock;

  // The traces shown, top to bottom.
  void SetTraces(std::vector<size_t> aTraces);
  const std::vector<size_t>& Traces() const { return fTraces; }

  // The visible range.
  int64_t LeftMs() const;
  int64_t SpanMs() const { return fSpanMs; }
  int64_t RightMs() const { return LeftMs() + fSpanMs; }
  bool Following() const { return fFollowing; }
  void SetFollowing(bool aOn);
  // Shows [aLeftMs, aLeftMs + aSpanMs], no longer following.
  void ShowRange(int64_t aLeftMs, int64_t aSpanMs);
  // aFactor above 1 shows less time. Anchored at plot x aAnchorX (the centre
  // when none); while following the right edge stays now.
  void ZoomBy(double aFactor, std::optional<int> aAnchorX = std::nullopt);
  void ZoomIn() { ZoomBy(2.0); }
  void ZoomOut() { ZoomBy(0.5); }
  // From the beginning of the recording to now.
  void FitAll();
  // By a fraction of the width; negative is back in time.
  void ScrollBy(double aFraction);

  // The cursors 0 and 1 (shown as 1 and 2).
  std::optional<int64_t> Cursor(int aIndex) const;
  void SetCursor(int aIndex, int64_t aTimeMs);
  void ClearCursors();
  int ActiveCursor() const { return fActiveCursor; }
  // Makes aIndex active; an unplaced cursor is placed in the middle of the view.
  void ChooseCursor(int aIndex);
  void MoveActiveCursorByPixels(int aPixels);
  // The active cursor (placed first when it is not) to the previous/next
  // change of the current row's trace, scrolled into view; false when there
  // is none.
  bool JumpToChange(bool aForward);

  int CurrentRow() const { return fCurrentRow; }
  void SetCurrentRow(int aRow);

  // Geometry.
  int PlotLeft() const { return kLabelWidth; }
  int PlotWidth() const { return std::max(1, width() - kLabelWidth); }
  int RowHeight() const;
  double MsPerPixel() const { return static_cast<double>(fSpanMs) / PlotWidth(); }
  int64_t TimeAtX(int aX) const;
  double XOfTime(int64_t aTimeMs) const;

  // What the cursors read: their times, the time between them, and the
  // current row's value at each.
  QString CursorSummary() const;

signals:
  // The range, following, a cursor or the current row changed.
  void ViewChanged();

protected:
  void paintEvent(QPaintEvent* aEvent) override;
  void keyPressEvent(QKeyEvent* aEvent) override;
  void wheelEvent(QWheelEvent* aEvent) override;
  void mousePressEvent(QMouseEvent* aEvent) override;
  void mouseMoveEvent(QMouseEvent* aEvent) override;
  void mouseReleaseEvent(QMouseEvent* aEvent) override;

private:
  int64_t NowMs() const;
  void Changed();
  void PaintAxis(class QPainter& aPainter, int64_t aLeft);
  void PaintTrace(class QPainter& aPainter, size_t aTrace, int aTop, int64_t aLeft, int aEndX, int aStartX);
  void PaintLabels(class QPainter& aPainter);
  void PaintCursors(class QPainter& aPainter, int64_t aLeft);
  void EnsureVisible(int64_t aTimeMs);

  const TzTimelineRecorder& fRecorder;
  std::vector<size_t> fTraces;
  bool fFollowing = true;
  int64_t fLeftMs = 0;  // while not following
  int64_t fSpanMs = 60'000;
  std::array<std::optional<int64_t>, 2> fCursors;
  int fActiveCursor = 0;
  int fCurrentRow = 0;

  // A press that becomes a drag scrolls; one that does not places a cursor.
  bool fPressed = false;
  bool fDragging = false;
  QPoint fPressPos;
  int64_t fPressLeftMs = 0;
};
