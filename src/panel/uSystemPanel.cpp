#include "uSystemPanel.h"

#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QTimeEdit>

#include "uButtonActivation.h"
#include "uPanelControls.h"
#include "uTempLog.h"

TzModuleDateTime ModuleDateTime(const QDate& aDate, const QTime& aTime) {
  return {aDate.year(), aDate.month(), aDate.day(), aTime.hour(), aTime.minute(), aTime.second()};
}

TzSystemPanel::TzSystemPanel(QWidget* aParent, TzRegSink& aSink, std::function<void()> aCloseAll)
    : QFrame(aParent), fSink(aSink), fCloseAll(std::move(aCloseAll)) {
  StyleSidePanel(this, QStringLiteral("panSystem"), QSize(230, 130));
  TitleCaption(this, QStringLiteral("Системные настройки"), QRect(8, 5, 214, 20));
  auto row = [this](const QString& aCaption, QWidget* aControl, int aTop) {
    Caption(this, aCaption, QRect(6, aTop, 62, 24))->setBuddy(aControl);
    aControl->setGeometry(68, aTop, 120, 24);
    aControl->setAccessibleName(aCaption);
  };

  dtpDate = new QDateEdit(this);
  dtpDate->setObjectName(QStringLiteral("dtpDate"));
  dtpDate->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
  dtpDate->setCalendarPopup(true);
  row(QStringLiteral("Дата"), dtpDate, 30);

  dtpTime = new QTimeEdit(this);
  dtpTime->setObjectName(QStringLiteral("dtpTime"));
  dtpTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  row(QStringLiteral("Время"), dtpTime, 58);

  btnSystemApply = new QPushButton(QStringLiteral("Применить"), this);
  btnSystemApply->setObjectName(QStringLiteral("btnSystemApply"));
  btnSystemApply->setGeometry(60, 92, 110, 28);
  OnButtonActivated(btnSystemApply, this, [this] { btnSystemApplyClick(); });

  SetNow();
}

void TzSystemPanel::SetNow(const QDateTime& aNow) {
  dtpDate->setDate(aNow.date());
  dtpTime->setTime(aNow.time());
}

void TzSystemPanel::btnSystemApplyClick() {
  AddTempLog(QString(), clTempLogNavy);
  // A value being typed into a picker is taken as it stands.
  btnSystemApply->setFocus();
  dtpDate->interpretText();
  dtpTime->interpretText();
  WriteModuleClock(fSink, ModuleDateTime(dtpDate->date(), dtpTime->time()));
  hide();
  if (fCloseAll) fCloseAll();
}
