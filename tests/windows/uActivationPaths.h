// The ways a person activates a button: the mouse, Space or Enter with the
// keyboard focus on it, and an assistive tool's action (what a screen reader
// or UI automation calls through AT-SPI: "Toggle" on a check-able button,
// "Press" on a plain one).
#pragma once

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

enum class TzActivation { Mouse, Space, Enter, Accessibility };

inline constexpr TzActivation kAllActivations[] = {TzActivation::Mouse, TzActivation::Space, TzActivation::Enter,
                                                   TzActivation::Accessibility};

inline const char* ActivationName(TzActivation aPath) {
  switch (aPath) {
    case TzActivation::Mouse: return "mouse";
    case TzActivation::Space: return "Space";
    case TzActivation::Enter: return "Enter";
    case TzActivation::Accessibility: return "accessibility action";
  }
  return "?";
}

// Activates aButton by aPath, then lets queued work run (an accessibility
// "Press" clicks after a short animation).
inline void Activate(QAbstractButton* aButton, TzActivation aPath) {
  switch (aPath) {
    case TzActivation::Mouse: QTest::mouseClick(aButton, Qt::LeftButton); break;
    case TzActivation::Space: QTest::keyClick(aButton, Qt::Key_Space); break;
    case TzActivation::Enter: QTest::keyClick(aButton, Qt::Key_Return); break;
    case TzActivation::Accessibility: {
      QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(aButton);
      QAccessibleActionInterface* actions = iface != nullptr ? iface->actionInterface() : nullptr;
      if (actions == nullptr) return;
      const QStringList names = actions->actionNames();
      actions->doAction(names.contains(QAccessibleActionInterface::toggleAction())
                            ? QAccessibleActionInterface::toggleAction()
                            : QAccessibleActionInterface::pressAction());
      break;
    }
  }
  // An accessibility "Press" is an animated click: it clicks after 100 ms.
  const int settleMs = aPath == TzActivation::Accessibility ? 200 : 0;
  QElapsedTimer settle;
  settle.start();
  do QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  while (settle.elapsed() < settleMs);
}
