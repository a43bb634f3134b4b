#include "uSaveFile.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

#include <filesystem>
#include <string>
#include <string_view>

#include "uFileReplace.h"
#include "uTempLog.h"

namespace {

TzSaveFileChooser& Chooser() {
  static TzSaveFileChooser chooser;
  return chooser;
}

QString DialogChoose(QWidget* aParent, const QString& aSuggested, const QString& aFilter) {
  QFileDialog dialog(aParent, QStringLiteral("Сохранить"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(aFilter);
  dialog.setDefaultSuffix(QFileInfo(aSuggested).suffix());
  dialog.setDirectory(QFileInfo(aSuggested).absolutePath());
  dialog.selectFile(QFileInfo(aSuggested).fileName());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().constFirst();
}

TzOpenFileChooser& OpenChooser() {
  static TzOpenFileChooser chooser;
  return chooser;
}

QString DialogOpen(QWidget* aParent, const QString& aFolder, const QString& aFilter) {
  QFileDialog dialog(aParent, QStringLiteral("Открыть"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(aFilter);
  dialog.setDirectory(aFolder);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().constFirst();
}

}  // namespace

QString ChooseOpenFile(QWidget* aParent, const QString& aFolder, const QString& aFilter) {
  if (OpenChooser()) return OpenChooser()(aParent, aFolder, aFilter);
  return DialogOpen(aParent, aFolder, aFilter);
}

void SetOpenFileChooser(TzOpenFileChooser aChooser) { OpenChooser() = std::move(aChooser); }

QString ChooseSaveFile(QWidget* aParent, const QString& aSuggested, const QString& aFilter) {
  if (Chooser()) return Chooser()(aParent, aSuggested, aFilter);
  return DialogChoose(aParent, aSuggested, aFilter);
}

void SetSaveFileChooser(TzSaveFileChooser aChooser) { Chooser() = std::move(aChooser); }

QString SaveFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty()) folder = QDir::homePath();
  // A failure here is no error yet: the dialog lets the user pick another folder.
  QDir().mkpath(folder);
  return folder;
}

QString SuggestedSavePath(const QString& aPrefix, const QDateTime& aTime, const QString& aExtension) {
  const QString name = aPrefix + u'_' + aTime.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) + u'.' + aExtension;
  return QDir(SaveFolder()).filePath(name);
}

bool SaveFileReporting(const QString& aPath, const QByteArray& aData) {
  std::string error;
  if (aPath.isEmpty()) {
    AddTempLog(QStringLiteral("Ошибка: не указано имя файла"), clTempLogNavy);
    return false;
  }
  const std::filesystem::path path(aPath.toStdU16String());
  if (WriteFileReplacing(path, std::string_view(aData.constData(), static_cast<size_t>(aData.size())), error))
    return true;
  AddTempLog(QStringLiteral("Ошибка: ") + QString::fromStdString(error), clTempLogNavy);
  return false;
}
