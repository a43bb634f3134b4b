#include "uButtonActivation.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QTimer>

#include <memory>

namespace {

// Marks a button while the program itself sets its state.
constexpr char kQuietProperty[] = "rkQuietToggle";

class TzEnterActivation : public QObject {
public:
  using QObject::QObject;

protected:
  bool eventFilter(QObject* aWatched, QEvent* aEvent) override {
    if (aEvent->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(aEvent);
    if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) || key->modifiers() & ~Qt::KeypadModifier)
      return false;
    auto* button = qobject_cast<QAbstractButton*>(aWatched);
    // Key events reach the widget with the keyboard focus.
    if (button == nullptr || !button->isEnabled()) return false;
    if (qobject_cast<QDialog*>(button->window()) != nullptr) return false;
    button->click();
    return true;
  }
};

}  // namespace

void OnButtonActivated(QAbstractButton* aButton, QObject* aContext, std::function<void()> aAction) {
  if (!aButton->isCheckable()) {
    QObject::connect(aButton, &QAbstractButton::clicked, aContext, [action = std::move(aAction)] { action(); });
    return;
  }
  const bool onlyWhenChosen = aButton->autoExclusive();
  QObject::connect(aButton, &QAbstractButton::toggled, aContext,
                   [aButton, onlyWhenChosen, action = std::move(aAction)](bool aChecked) {
                     if (aButton->property(kQuietProperty).toBool()) return;
                     if (onlyWhenChosen && !aChecked) return;
                     action();
                   });
}

void OnExclusiveButtonActivated(QAbstractButton* aButton, QObject* aContext, std::function<void()> aAction) {
  // A click that chooses the button toggles it first and then clicks, in one
  // go: the toggle acts and marks the button until the event loop runs again,
  // so the click that follows at once does not act a second time.
  auto action = std::make_shared<std::function<void()>>(std::move(aAction));
  auto actedOnToggle = std::make_shared<bool>(false);
  QObject::connect(aButton, &QAbstractButton::toggled, aContext, [aButton, action, actedOnToggle](bool aChecked) {
    if (aButton->property(kQuietProperty).toBool() || !aChecked) return;
    *actedOnToggle = true;
    QTimer::singleShot(0, aButton, [actedOnToggle] { *actedOnToggle = false; });
    (*action)();
  });
  QObject::connect(aButton, &QAbstractButton::clicked, aContext, [action, actedOnToggle] {
    if (*actedOnToggle) {
      *actedOnToggle = false;
      return;
    }
    (*action)();
  });
}

void SetCheckedQuietly(QAbstractButton* aButton, bool aChecked) {
  if (aButton->isChecked() == aChecked) return;
  aButton->setProperty(kQuietProperty, true);
  aButton->setChecked(aChecked);
  aButton->setProperty(kQuietProperty, false);
}

void InstallEnterActivatesButtons(QApplication* aApp) {
  static bool installed = false;
  if (installed || aApp == nullptr) return;
  installed = true;
  aApp->installEventFilter(new TzEnterActivation(aApp));
}
