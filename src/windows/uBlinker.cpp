#include "uBlinker.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>

namespace {

QPointer<TBlinkTimerObj>& Blinker() {
  static QPointer<TBlinkTimerObj> blinker;
  return blinker;
}

void SetBaseColor(QWidget* aWidget, const QColor& aColor) {
  QPalette palette = aWidget->palette();
  palette.setColor(QPalette::Base, aColor);
  aWidget->setPalette(palette);
}

}  // namespace

TBlinkTimerObj::TBlinkTimerObj(QObject* aParent) : QObject(aParent) {
  Timer.setInterval(kBlinkIntervalMs);
  connect(&Timer, &QTimer::timeout, this, &TBlinkTimerObj::TimerTimer);
}

void TBlinkTimerObj::Blink(QWidget* aEdit) {
  QWidget* target = aEdit ? BlinkTarget(aEdit) : nullptr;
  if (target == fEdit.data()) return;  // already blinking (or nothing asked)
  Restore();
  fEdit = target;
  fOwnPalette = target->palette();
  fOwnColor = BlinkColor(target);
  fTicksLeft = kBlinkTicks;
  Timer.start();
}

void TBlinkTimerObj::TimerTimer() {
  QWidget* edit = fEdit.data();
  if (!edit) {
    fTicksLeft = 0;
    Timer.stop();
    return;
  }
  SetBaseColor(edit, BlinkColor(edit) == fOwnColor ? kBlinkRed : fOwnColor);
  if (--fTicksLeft <= 0) {
    Restore();
    Timer.stop();
  }
}

void TBlinkTimerObj::Restore() {
  if (QWidget* edit = fEdit.data()) edit->setPalette(fOwnPalette);
  fEdit = nullptr;
  fTicksLeft = 0;
}

QWidget* BlinkTarget(QWidget* aEdit) {
  if (auto* combo = qobject_cast<QComboBox*>(aEdit))
    if (QLineEdit* line = combo->lineEdit()) return line;
  return aEdit;
}

QColor BlinkColor(const QWidget* aEdit) {
  return aEdit->palette().color(QPalette::Base);
}

void BlinkEdit(QWidget* aEdit) {
  if (!aEdit) return;
  if (!Blinker()) Blinker() = new TBlinkTimerObj(QCoreApplication::instance());
  Blinker()->Blink(aEdit);
}

TBlinkTimerObj* BlinkTimerObj() {
  return Blinker().data();
}
