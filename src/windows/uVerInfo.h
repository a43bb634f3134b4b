// The version window "История версий": the program's version history, newest
// first. One window lives from program start to end, hidden until the
// version button shows it; every show centres it over the main window.
#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QScrollArea;

class TfrmVerInfo : public QDialog {
public:
  explicit TfrmVerInfo(QWidget* aMainWindow = nullptr);

  // Shows the window when hidden, hides it when shown.
  void Toggle();

  QScrollArea* ScrollBox1 = nullptr;
  QLabel* Label4 = nullptr;

protected:
  void showEvent(QShowEvent* aEvent) override;  // FormShow: centre over the main window

private:
  QPointer<QWidget> fMainWindow;
};
