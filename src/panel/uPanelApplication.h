// The panel's application object: an error that reaches the event loop is
// written to the message log and the program goes on.
#pragma once

#include <QApplication>
#include <QString>

// Logs "Ошибка: " + aMessage in navy.
void AppException(const QString& aMessage);

class TzPanelApplication : public QApplication {
public:
  TzPanelApplication(int& aArgc, char** aArgv);
  bool notify(QObject* aReceiver, QEvent* aEvent) override;
};
