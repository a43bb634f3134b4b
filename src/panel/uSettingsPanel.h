// The panel "Настройки модуля": the module's settings as a file. "Сохранить в
// файл…" reads every value fresh and writes the file; "Сравнить с файлом…"
// lists how the module differs from a file and offers "Записать"; "Записать из
// файла…" writes a file into the module and verifies it by reading back. The
// RS-485 settings are written only with the check box. Results go to the
// panel's status line and to the message log.
#pragma once

#include <QFrame>
#include <QString>

#include <functional>
#include <optional>

#include "uSettingsFile.h"
#include "uSettingsRun.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class TzRK7140Controller;

class TzSettingsPanel : public QFrame {
  Q_OBJECT

public:
  TzSettingsPanel(QWidget* aParent, TzRK7140Controller& aController);

  // After a restore that wrote the RS-485 settings (the frame shows "!" and
  // carries them into the connection panel), and after every restore (the
  // frame refreshes the outputs panel's copy).
  std::function<void(const TzRS485Settings& aLine)> OnLineWritten;
  std::function<void()> OnRestored;
  // The connection a save was read over (port name, address, baud rate, format).
  std::function<TzReadOver()> ReadOverSource;

  void btnSettingsSaveClick();
  void btnSettingsCompareClick();
  void btnSettingsRestoreClick();
  // "Записать": the file of the last comparison into the module.
  void btnSettingsWriteClick();

  TzSettingsRun& Run() { return fRun; }

  QPushButton* btnSettingsSave = nullptr;
  QPushButton* btnSettingsCompare = nullptr;
  QPushButton* btnSettingsRestore = nullptr;
  QCheckBox* chkSettingsLine = nullptr;
  QLabel* labSettingsStatus = nullptr;
  QProgressBar* prgSettings = nullptr;
  QTreeWidget* lstSettingsDiff = nullptr;
  QPushButton* btnSettingsWrite = nullptr;

private:
  // The file the user picks, checked; none (the reason shown) when refused or cancelled.
  std::optional<TzModuleSettings> OpenChecked();
  void StartRestore(const TzModuleSettings& aFile);
  void Restored(const TzRestoreOutcome& aOutcome);
  void ShowDifferences(const std::vector<TzSettingsDifference>& aDifferences, const QString& aRight);
  // The status line, and a line in the message log.
  void Status(const QString& aText, bool aLog = true);
  void SetBusy(bool aBusy);

  TzRK7140Controller& fController;
  TzSettingsRun fRun;
  std::optional<TzModuleSettings> fCompared;
  TzModuleSettings fRestoring;
};

// Why a file was refused, in the panel's words.
QString SettingsFileErrorCaption(const TzSettingsFileResult& aResult);
