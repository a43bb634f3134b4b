// The panel "Системные настройки": the module's clock. Opening the panel puts
// the PC's date and time into the pickers; "Применить" writes them.
#pragma once

#include <QDateTime>
#include <QFrame>

#include <functional>

#include "uDeviceSettings.h"

class QDateEdit;
class QPushButton;
class QTimeEdit;

// The date and time as the module's clock registers take them (no milliseconds).
TzModuleDateTime ModuleDateTime(const QDate& aDate, const QTime& aTime);

class TzSystemPanel : public QFrame {
  Q_OBJECT

public:
  // aCloseAll closes every side panel after the clock has been written.
  TzSystemPanel(QWidget* aParent, TzRegSink& aSink, std::function<void()> aCloseAll);

  // Both pickers to aNow (the PC's date and time by default).
  void SetNow(const QDateTime& aNow = QDateTime::currentDateTime());
  // "Применить": takes a value being typed, writes the clock, closes the panels.
  void btnSystemApplyClick();

  QDateEdit* dtpDate = nullptr;
  QTimeEdit* dtpTime = nullptr;
  QPushButton* btnSystemApply = nullptr;

private:
  TzRegSink& fSink;
  std::function<void()> fCloseAll;
};
