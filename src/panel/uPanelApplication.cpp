#include "uPanelApplication.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <exception>

#include "uButtonActivation.h"
#include "uTempLog.h"
#include "uValueText.h"

void AppException(const QString& aMessage) { AddTempLog(QStringLiteral("Ошибка: ") + aMessage, clTempLogNavy); }

bool LoadQtTranslations(QCoreApplication& aApp) {
  // The panel speaks Russian whatever the system's language.
  const QLocale russian(QLocale::Russian, QLocale::Russia);
  const QStringList folders{QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                            QCoreApplication::applicationDirPath() + QStringLiteral("/translations")};
  for (const QString& folder : folders) {
    auto* translator = new QTranslator(&aApp);
    if (translator->load(russian, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
      QCoreApplication::installTranslator(translator);
      return true;
    }
    delete translator;
  }
  return false;
}

TzPanelApplication::TzPanelApplication(int& aArgc, char** aArgv) : QApplication(aArgc, aArgv) {
  LoadQtTranslations(*this);
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
