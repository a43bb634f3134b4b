// The edit blinker: an edit field flashes red for a moment to point at an
// invalid entry while the operation that read it stops.
//
// One blinker object, created on the first request and kept until the
// application ends, drives one field at a time with a 60 ms timer: six ticks
// switch the field's background between red and its own colour, three red
// flashes within 360 ms, and leave it exactly as it was. The caller is never
// blocked and the focus never moves. Runs on the user-interface thread.
#pragma once

#include <QColor>
#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QTimer>
#include <QWidget>

inline constexpr int kBlinkIntervalMs = 60;
inline constexpr int kBlinkTicks = 6;
inline const QColor kBlinkRed{255, 0, 0};  // window colour value 255: pure red

class TBlinkTimerObj : public QObject {
public:
  explicit TBlinkTimerObj(QObject* aParent);

  // Starts the blink of aEdit; see BlinkEdit.
  void Blink(QWidget* aEdit);
  // One timer tick: red and own colour in turn; the last one restores the field.
  void TimerTimer();

  // The field that is blinking, or null; the ticks it has left.
  QWidget* BlinkingEdit() const { return fEdit.data(); }
  int TicksLeft() const { return fTicksLeft; }

  QTimer Timer;

private:
  void Restore();

  QPointer<QWidget> fEdit;     // the widget whose background blinks
  // Its palette when the blink began; setting it back also restores which
  // roles the widget inherits from its parent.
  QPalette fOwnPalette;
  QColor fOwnColor;
  int fTicksLeft = 0;
};

// The widget whose background colour blinks for an edit: the line edit of an
// editable combo box, otherwise the edit itself (line edit, spin box, ...).
QWidget* BlinkTarget(QWidget* aEdit);
// That widget's background colour (the palette's Base role).
QColor BlinkColor(const QWidget* aEdit);

// Makes the field blink red. The field that is already blinking is left to go
// on; another one blinking is given back its own colour at once. A null edit
// changes nothing. A field destroyed while it blinks is simply forgotten.
void BlinkEdit(QWidget* aEdit);

// The blinker object, or null before the first BlinkEdit.
TBlinkTimerObj* BlinkTimerObj();
