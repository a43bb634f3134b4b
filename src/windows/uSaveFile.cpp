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

}  // namespace

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
