// Saving what a window shows to a file the user picks, and picking a file to open.
//
// The file dialog is the only widget code here, and it goes through one
// function so tests can answer it instead of blocking on a modal dialog. The
// file itself is written through a temporary file and a rename: a failed save
// leaves an earlier file whole and puts "Ошибка: " and the reason in the
// message log.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>

class QWidget;

// What the save dialog is asked: its parent, the suggested path (folder and
// file name) and the file-type filter ("CSV (*.csv)"). Returns the chosen path,
// or an empty text when the user cancels.
using TzSaveFileChooser = std::function<QString(QWidget* aParent, const QString& aSuggested, const QString& aFilter)>;

// Asks for the path with the save dialog (it asks before replacing a file and
// adds the filter's extension to a name typed without one), or with the
// chooser set for tests.
QString ChooseSaveFile(QWidget* aParent, const QString& aSuggested, const QString& aFilter);
// An empty chooser restores the dialog.
void SetSaveFileChooser(TzSaveFileChooser aChooser);

// What the open dialog is asked: its parent, the folder it starts in and the
// file-type filter. Returns the chosen path of an existing file, or an empty
// text when the user cancels.
using TzOpenFileChooser = std::function<QString(QWidget* aParent, const QString& aFolder, const QString& aFilter)>;
// Asks for an existing file with the open dialog, or with the chooser set for tests.
QString ChooseOpenFile(QWidget* aParent, const QString& aFolder, const QString& aFilter);
// An empty chooser restores the dialog.
void SetOpenFileChooser(TzOpenFileChooser aChooser);

// The user's documents folder, created when it is missing; the suggested
// folder of every save.
QString SaveFolder();
// The suggested path of a save: aPrefix + "_" + the time as
// yyyy-MM-dd_HH-mm-ss + "." + aExtension in SaveFolder().
QString SuggestedSavePath(const QString& aPrefix, const QDateTime& aTime, const QString& aExtension);

// Writes aData to aPath through a temporary file and a rename. On failure the
// message log gets "Ошибка: " and the reason in navy, and the result is false.
bool SaveFileReporting(const QString& aPath, const QByteArray& aData);
