#include "uSettingsPanel.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include <filesystem>

#include "uButtonActivation.h"
#include "uPanelControls.h"
#include "uRK7140Controller.h"
#include "uSaveFile.h"
#include "uTempLog.h"

namespace {

const QString kFilter = QStringLiteral("Настройки модуля (*.json)");

QString Q(const std::string& aText) { return QString::fromStdString(aText); }

}  // namespace

QString SettingsFileErrorCaption(const TzSettingsFileResult& aResult) {
  switch (aResult.Error) {
    case TzSettingsFileError::None: return QString();
    case TzSettingsFileError::Unreadable: return QStringLiteral("файл не открывается");
    case TzSettingsFileError::Truncated: return QStringLiteral("файл обрезан");
    case TzSettingsFileError::NotJson: return QStringLiteral("файл повреждён");
    case TzSettingsFileError::NotSettings: return QStringLiteral("это не файл настроек RK-7140");
    case TzSettingsFileError::NewerVersion:
      return QStringLiteral("файл более новой версии формата (%1)").arg(aResult.Number);
    case TzSettingsFileError::OtherModule:
      return QStringLiteral("файл настроек модуля другого типа (%1)").arg(aResult.Number);
    case TzSettingsFileError::Invalid: return QStringLiteral("неверное значение %1").arg(Q(aResult.Key));
  }
  return QString();
}

TzSettingsPanel::TzSettingsPanel(QWidget* aParent, TzRK7140Controller& aController)
    : QFrame(aParent), fController(aController), fRun(aController) {
  StyleSidePanel(this, QStringLiteral("panSettings"), QSize(300, 372));
  TitleCaption(this, QStringLiteral("Настройки модуля"), QRect(8, 5, 284, 20));

  auto button = [this](const QString& aName, const QString& aText, int aTop) {
    auto* b = new QPushButton(aText, this);
    b->setObjectName(aName);
    b->setAccessibleName(aText);
    b->setGeometry(8, aTop, 250, 28);
    return b;
  };
  btnSettingsSave = button(QStringLiteral("btnSettingsSave"), QStringLiteral("Сохранить в файл…"), 30);
  InfoIcon(this, QPoint(266, 36),
           QStringLiteral("Читает из модуля все настройки выходов, фильтров и RS-485\r\nи сохраняет их в файл"));
  btnSettingsCompare = button(QStringLiteral("btnSettingsCompare"), QStringLiteral("Сравнить с файлом…"), 62);
  InfoIcon(this, QPoint(266, 68), QStringLiteral("Показывает, чем модуль отличается от файла"));
  btnSettingsRestore = button(QStringLiteral("btnSettingsRestore"), QStringLiteral("Записать из файла…"), 94);
  InfoIcon(this, QPoint(266, 100),
           QStringLiteral("Записывает файл в модуль и проверяет запись чтением\r\n"
                          "Работающая логическая функция сначала отключается"));

  chkSettingsLine = new QCheckBox(QStringLiteral("Записывать настройки RS-485"), this);
  chkSettingsLine->setObjectName(QStringLiteral("chkSettingsLine"));
  chkSettingsLine->setAccessibleName(chkSettingsLine->text());
  chkSettingsLine->setGeometry(8, 126, 250, 22);
  InfoIcon(this, QPoint(266, 129),
           QStringLiteral("Адрес, скорость, формат и тайм-аут из файла\r\n"
                          "Настройки будут применены после перезапуска устройства"));

  prgSettings = new QProgressBar(this);
  prgSettings->setObjectName(QStringLiteral("prgSettings"));
  prgSettings->setAccessibleName(QStringLiteral("Запись"));
  prgSettings->setGeometry(8, 152, 284, 14);
  prgSettings->setTextVisible(false);
  prgSettings->hide();

  labSettingsStatus = new QLabel(this);
  labSettingsStatus->setObjectName(QStringLiteral("labSettingsStatus"));
  labSettingsStatus->setGeometry(8, 168, 284, 44);
  labSettingsStatus->setWordWrap(true);
  labSettingsStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  labSettingsStatus->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
  labSettingsStatus->setFocusPolicy(Qt::TabFocus);
  labSettingsStatus->setAccessibleName(QStringLiteral("Результат"));

  lstSettingsDiff = new QTreeWidget(this);
  lstSettingsDiff->setObjectName(QStringLiteral("lstSettingsDiff"));
  lstSettingsDiff->setAccessibleName(QStringLiteral("Различия"));
  lstSettingsDiff->setGeometry(8, 214, 284, 116);
  lstSettingsDiff->setRootIsDecorated(false);
  lstSettingsDiff->setHeaderLabels({QStringLiteral("Где"), QStringLiteral("Параметр"), QStringLiteral("Файл"),
                                    QStringLiteral("Модуль")});
  lstSettingsDiff->header()->setStretchLastSection(false);
  lstSettingsDiff->setColumnWidth(0, 58);
  lstSettingsDiff->setColumnWidth(1, 118);
  lstSettingsDiff->setColumnWidth(2, 52);
  lstSettingsDiff->setColumnWidth(3, 52);

  btnSettingsWrite = new QPushButton(QStringLiteral("Записать"), this);
  btnSettingsWrite->setObjectName(QStringLiteral("btnSettingsWrite"));
  btnSettingsWrite->setAccessibleName(QStringLiteral("Записать"));
  btnSettingsWrite->setGeometry(95, 336, 110, 28);
  btnSettingsWrite->setEnabled(false);

  OnButtonActivated(btnSettingsSave, this, [this] { btnSettingsSaveClick(); });
  OnButtonActivated(btnSettingsCompare, this, [this] { btnSettingsCompareClick(); });
  OnButtonActivated(btnSettingsRestore, this, [this] { btnSettingsRestoreClick(); });
  OnButtonActivated(btnSettingsWrite, this, [this] { btnSettingsWriteClick(); });

  fRun.OnProgress = [this](size_t aWritten, size_t aPlanned) {
    prgSettings->setMaximum(static_cast<int>(aPlanned));
    prgSettings->setValue(static_cast<int>(aWritten));
    Status(QStringLiteral("Запись: %1 из %2").arg(aWritten).arg(aPlanned), false);
  };
  fRun.OnRestored = [this](const TzRestoreOutcome& aOutcome) { Restored(aOutcome); };
}

void TzSettingsPanel::Status(const QString& aText, bool aLog) {
  labSettingsStatus->setText(aText);
  if (aLog) AddTempLog(QStringLiteral("Настройки модуля: ") + aText, clTempLogNavy);
}

void TzSettingsPanel::SetBusy(bool aBusy) {
  for (QPushButton* b : {btnSettingsSave, btnSettingsCompare, btnSettingsRestore}) b->setEnabled(!aBusy);
  btnSettingsWrite->setEnabled(!aBusy && fCompared && lstSettingsDiff->topLevelItemCount() > 0);
  chkSettingsLine->setEnabled(!aBusy);
}

void TzSettingsPanel::btnSettingsSaveClick() {
  if (fRun.Busy() || !fController.Connected()) return;
  const QString suggested = SuggestedSavePath(QStringLiteral("RK-7140_%1").arg(fController.DevAddr()),
                                              QDateTime::currentDateTime(), QStringLiteral("json"));
  const QString path = ChooseSaveFile(this, suggested, kFilter);
  if (path.isEmpty()) return;
  SetBusy(true);
  Status(QStringLiteral("Чтение настроек…"), false);
  fRun.StartRead([this, path](bool aOk, const TzModuleSettings& aRead, const QString& aReason) {
    SetBusy(false);
    if (!aOk) {
      Status(QStringLiteral("Файл не сохранён: ") + aReason);
      return;
    }
    TzModuleSettings settings = aRead;
    const QDateTime now = QDateTime::currentDateTime();
    settings.Saved = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs).toStdString();
    if (ReadOverSource) settings.ReadOver = ReadOverSource();
    if (SaveFileReporting(path, QByteArray::fromStdString(SettingsToJson(settings))))
      Status(QStringLiteral("Сохранено в файл ") + QFileInfo(path).fileName());
    else
      Status(QStringLiteral("Файл не сохранён"), false);
  });
}

std::optional<TzModuleSettings> TzSettingsPanel::OpenChecked() {
  const QString path = ChooseOpenFile(this, SaveFolder(), kFilter);
  if (path.isEmpty()) return std::nullopt;
  TzModuleSettings settings;
  const TzSettingsFileResult result = LoadSettingsFile(std::filesystem::path(path.toStdU16String()), settings);
  if (!result.Ok()) {
    Status(QStringLiteral("Файл %1 не принят: %2").arg(QFileInfo(path).fileName(), SettingsFileErrorCaption(result)));
    return std::nullopt;
  }
  return settings;
}

void TzSettingsPanel::btnSettingsCompareClick() {
  if (fRun.Busy() || !fController.Connected()) return;
  std::optional<TzModuleSettings> file = OpenChecked();
  if (!file) return;
  fCompared.reset();
  lstSettingsDiff->clear();
  SetBusy(true);
  Status(QStringLiteral("Чтение настроек…"), false);
  fRun.StartRead([this, file = *file](bool aOk, const TzModuleSettings& aModule, const QString& aReason) {
    if (!aOk) {
      SetBusy(false);
      Status(QStringLiteral("Сравнение не выполнено: ") + aReason);
      return;
    }
    fCompared = file;
    const std::vector<TzSettingsDifference> differences = CompareSettings(file, aModule);
    ShowDifferences(differences, QStringLiteral("Модуль"));
    SetBusy(false);
    if (differences.empty()) Status(QStringLiteral("Модуль совпадает с файлом"));
    else Status(QStringLiteral("Различий с файлом: %1").arg(differences.size()));
  });
}

void TzSettingsPanel::ShowDifferences(const std::vector<TzSettingsDifference>& aDifferences, const QString& aRight) {
  lstSettingsDiff->clear();
  lstSettingsDiff->headerItem()->setText(3, aRight);
  for (const TzSettingsDifference& d : aDifferences) {
    auto* item = new QTreeWidgetItem(lstSettingsDiff, {Q(d.Place), Q(d.Field), Q(d.Left), Q(d.Right)});
    item->setToolTip(1, Q(d.Key));
  }
  if (lstSettingsDiff->topLevelItemCount() > 0) lstSettingsDiff->setCurrentItem(lstSettingsDiff->topLevelItem(0));
}

void TzSettingsPanel::btnSettingsRestoreClick() {
  if (fRun.Busy() || !fController.Connected()) return;
  if (std::optional<TzModuleSettings> file = OpenChecked()) StartRestore(*file);
}

void TzSettingsPanel::btnSettingsWriteClick() {
  if (fRun.Busy() || !fCompared || !fController.Connected()) return;
  StartRestore(*fCompared);
}

void TzSettingsPanel::StartRestore(const TzModuleSettings& aFile) {
  // aFile may be the compared file itself, which goes now.
  fRestoring = aFile;
  lstSettingsDiff->clear();
  fCompared.reset();
  if (!fRun.StartRestore(fRestoring, chkSettingsLine->isChecked())) return;
  SetBusy(true);
  prgSettings->setValue(0);
  prgSettings->show();
  Status(QStringLiteral("Чтение настроек…"), false);
}

void TzSettingsPanel::Restored(const TzRestoreOutcome& aOutcome) {
  prgSettings->hide();
  SetBusy(false);
  if (aOutcome.Verified) {
    Status(QStringLiteral("Записано и проверено: %1 значений").arg(aOutcome.Written));
  } else if (!aOutcome.Stopped.Key.empty()) {
    const size_t left = aOutcome.Planned - aOutcome.Written;
    const QString rest = aOutcome.Unconfirmed
                             ? QStringLiteral("не подтверждено 1, не записано %1").arg(left - 1)
                             : QStringLiteral("не записано %1").arg(left);
    Status(QStringLiteral("Запись остановлена на %1, %2 = %3: %4. Записано %5 из %6, %7")
               .arg(Q(aOutcome.Stopped.Place), Q(aOutcome.Stopped.Field), Q(aOutcome.Stopped.ValueText),
                    aOutcome.Reason)
               .arg(aOutcome.Written)
               .arg(aOutcome.Planned)
               .arg(rest));
  } else if (!aOutcome.Mismatches.empty()) {
    ShowDifferences(aOutcome.Mismatches, QStringLiteral("Прочитано"));
    Status(QStringLiteral("Проверка не пройдена: расхождений %1").arg(aOutcome.Mismatches.size()));
    for (const TzSettingsDifference& m : aOutcome.Mismatches)
      AddTempLog(QStringLiteral("Настройки модуля: %1, %2: в файле %3, прочитано %4")
                     .arg(Q(m.Place), Q(m.Field), Q(m.Left), Q(m.Right)),
                 clTempLogNavy);
  } else {
    Status(QStringLiteral("Запись не выполнена: ") + aOutcome.Reason);
  }
  if (aOutcome.Written > 0 && OnRestored) OnRestored();
  if (aOutcome.LineWritten && OnLineWritten) OnLineWritten(fRestoring.Line);
}
