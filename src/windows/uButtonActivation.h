// One activation, one action, however a button is activated: a mouse click,
// Space, Enter, or an assistive tool's action. Screen readers and UI
// automation "toggle" a check-able button (AT-SPI "Toggle"), which changes
// its state without a click signal, so a check-able button is followed
// through its state instead of its clicks.
#pragma once

#include <QObject>

#include <functional>

class QAbstractButton;
class QApplication;

// Runs aAction once for every activation of aButton, in aContext's lifetime.
// Plain buttons act on their click. Check-able buttons act on every change
// of their state; radio buttons (exclusive) only when they become chosen, so
// choosing the chosen one again does nothing. A state the program sets itself
// goes through SetCheckedQuietly and runs no action.
void OnButtonActivated(QAbstractButton* aButton, QObject* aContext, std::function<void()> aAction);

// The same for a button of an exclusive group whose activation means "do it
// now" rather than "choose": aAction runs once for every activation, also of
// the button that is down already (a click, Space, Enter or an assistive
// "Press" that changes nothing still runs it), and once for an assistive
// "Toggle" that chooses the button (Qt sends no click for that one).
void OnExclusiveButtonActivated(QAbstractButton* aButton, QObject* aContext, std::function<void()> aAction);

// Sets a check-able button's state without running its action.
void SetCheckedQuietly(QAbstractButton* aButton, bool aChecked);

// Enter and Return activate the focused button like Space does (Qt leaves
// them to a dialog's default button; buttons inside dialogs keep that rule).
void InstallEnterActivatesButtons(QApplication* aApp);
