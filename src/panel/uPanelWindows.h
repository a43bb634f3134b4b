// The windows the panel opens besides its frame: the message boxes and the
// message log and version windows.
//
// Message boxes go through one function so tests can watch them instead of
// blocking on a modal box.
#pragma once

#include <QString>
#include <functional>

class QWidget;
class TfrmTempLog;
class TfrmVerInfo;

enum class TzPanelBoxKind { Message, Warning, Information };

// Receives (kind, title, text); the text keeps its "\r\n" line breaks.
using TzPanelBoxHandler = std::function<void(TzPanelBoxKind, const QString&, const QString&)>;

// Shows a modal box over aParent, or hands it to the handler set for tests.
void ShowPanelBox(QWidget* aParent, TzPanelBoxKind aKind, const QString& aTitle, const QString& aText);
// An empty handler restores the real boxes.
void SetPanelBoxHandler(TzPanelBoxHandler aHandler);

// The program's message log window (null before it is made or after it is gone).
void SetTempLogWindow(TfrmTempLog* aWindow);
TfrmTempLog* TempLogWindow();

// The program's version window (null before it is made or after it is gone).
void SetVerInfoWindow(TfrmVerInfo* aWindow);
TfrmVerInfo* VerInfoWindow();
