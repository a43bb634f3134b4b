#include "uMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHelpEvent>
#include <QPointer>
#include <QScreen>
#include <QToolTip>

#include "uFrameGlob.h"
#include "uTempLog.h"

namespace {

QPointer<QWidget>& MainFrameRef() {
  static QPointer<QWidget> frame;
  return frame;
}

// Shows every tool tip with the long display time (Qt otherwise hides it
// after about ten seconds).
class TzHintDuration : public QObject {
public:
  using QObject::QObject;

protected:
  bool eventFilter(QObject* aWatched, QEvent* aEvent) override {
    if (aEvent->type() != QEvent::ToolTip) return false;
    auto* widget = qobject_cast<QWidget*>(aWatched);
    if (widget == nullptr || widget->toolTip().isEmpty()) return false;
    const auto* help = static_cast<QHelpEvent*>(aEvent);
    QToolTip::showText(help->globalPos(), widget->toolTip(), widget, QRect(), kHintHideMs);
    return true;
  }
};

}  // namespace

int TzHintStyle::styleHint(StyleHint aHint, const QStyleOption* aOption, const QWidget* aWidget,
                           QStyleHintReturn* aReturn) const {
  if (aHint == SH_ToolTip_WakeUpDelay) return kHintPauseMs;
  if (aHint == SH_ToolTip_FallAsleepDelay) return kHintHideMs;
  return QProxyStyle::styleHint(aHint, aOption, aWidget, aReturn);
}

void InstallHintTiming() {
  static bool installed = false;
  if (installed || qApp == nullptr) return;
  installed = true;
  QApplication::setStyle(new TzHintStyle(QApplication::style()->name()));
  qApp->installEventFilter(new TzHintDuration(qApp));
}

TfrmMain::TfrmMain(TfrmTempLog* aTempLog)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      fTempLog(aTempLog) {
  InstallHintTiming();
  setWindowTitle(QStringLiteral("Панель управления RK-7140"));
  setObjectName(QStringLiteral("frmMain"));
  First = true;
  setFixedSize(kClientWidth, kClientHeight);

  fFrame = CreateDevFrame("RK-7140", 100, this);
  if (fFrame != nullptr) fFrame->setGeometry(rect());
  MainFrameRef() = fFrame;
  CenterOnScreen();
}

void TfrmMain::CenterOnScreen() {
  const QScreen* screen = QApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  move(area.center() - QPoint(width() / 2, height() / 2));
}

bool TfrmMain::event(QEvent* aEvent) {
  if (aEvent->type() == QEvent::WindowActivate && First) {
    if (fTempLog != nullptr) fTempLog->RePos(this);
    First = false;
  }
  return QWidget::event(aEvent);
}

void TfrmMain::closeEvent(QCloseEvent* aEvent) {
  QWidget::closeEvent(aEvent);
  if (!aEvent->isAccepted()) return;
  if (fFrame != nullptr) fFrame->close();
  // Other windows would keep the event loop going (the log only hides when
  // closed), so they are closed here and the loop is told to end.
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window != this && window->isVisible()) window->close();
  QCoreApplication::quit();
}

QWidget* MainDevFrame() { return MainFrameRef().data(); }
