#include "uPanelApplication.h"

#include <exception>

#include "uButtonActivation.h"
#include "uTempLog.h"
#include "uValueText.h"

void AppException(const QString& aMessage) { AddTempLog(QStringLiteral("Ошибка: ") + aMessage, clTempLogNavy); }

TzPanelApplication::TzPanelApplication(int& aArgc, char** aArgv) : QApplication(aArgc, aArgv) {
  // Desktops take the window's icon and name from the installed menu entry.
  setDesktopFileName(QStringLiteral("rk7140-panel"));
  // Values read "12,5" or "12.5" as the user's locale writes numbers.
  SetDecimalSeparator(QLocale().decimalPoint().toStdString());
  InstallEnterActivatesButtons(this);
}

bool TzPanelApplication::notify(QObject* aReceiver, QEvent* aEvent) {
  try {
    return QApplication::notify(aReceiver, aEvent);
  } catch (const std::exception& error) {
    AppException(QString::fromUtf8(error.what()));
  } catch (...) {
    AppException(QStringLiteral("неизвестная ошибка"));
  }
  return false;
}
