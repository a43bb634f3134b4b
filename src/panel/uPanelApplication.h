// The panel's application object: an error that reaches the event loop is
// written to the message log and the program goes on.
#pragma once

#include <QApplication>
#include <QString>

// Logs "Ошибка: " + aMessage in navy.
void AppException(const QString& aMessage);

// Qt's own texts (the buttons and captions of its file dialogs and message
// boxes) in the panel's language: qtbase_ru from Qt's translations folder, or
// from "translations" beside the program (a Windows installation). False when
// no translation was found; Qt then speaks English.
bool LoadQtTranslations(QCoreApplication& aApp);

class TzPanelApplication : public QApplication {
public:
  TzPanelApplication(int& aArgc, char** aArgv);
  bool notify(QObject* aReceiver, QEvent* aEvent) override;
};
