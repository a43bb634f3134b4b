#include "uPanelWindows.h"

#include <QMessageBox>
#include <QPointer>

#include "uTempLog.h"
#include "uVerInfo.h"

namespace {

TzPanelBoxHandler& BoxHandler() {
  static TzPanelBoxHandler handler;
  return handler;
}

QPointer<TfrmTempLog>& LogWindow() {
  static QPointer<TfrmTempLog> window;
  return window;
}

QPointer<TfrmVerInfo>& VerWindow() {
  static QPointer<TfrmVerInfo> window;
  return window;
}

}  // namespace

void ShowPanelBox(QWidget* aParent, TzPanelBoxKind aKind, const QString& aTitle, const QString& aText) {
  if (BoxHandler()) {
    BoxHandler()(aKind, aTitle, aText);
    return;
  }
  QString text = aText;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  const QMessageBox::Icon icon = aKind == TzPanelBoxKind::Warning       ? QMessageBox::Warning
                                 : aKind == TzPanelBoxKind::Information ? QMessageBox::Information
                                                                        : QMessageBox::NoIcon;
  QMessageBox box(icon, aTitle, text, QMessageBox::Ok, aParent);
  box.exec();
}

void SetPanelBoxHandler(TzPanelBoxHandler aHandler) { BoxHandler() = std::move(aHandler); }

void SetTempLogWindow(TfrmTempLog* aWindow) { LogWindow() = aWindow; }

TfrmTempLog* TempLogWindow() { return LogWindow().data(); }

void SetVerInfoWindow(TfrmVerInfo* aWindow) { VerWindow() = aWindow; }

TfrmVerInfo* VerInfoWindow() { return VerWindow().data(); }
