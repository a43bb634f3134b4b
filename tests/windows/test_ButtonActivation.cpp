// Every way of activating a button runs its action exactly once; states the
// program sets itself run nothing.
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QToolButton>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>

#include "uActivationPaths.h"
#include "uButtonActivation.h"
#include "uPortObserver.h"

namespace {

struct TzCountingButtons {
  QWidget Window;
  QPushButton* Push = new QPushButton(QStringLiteral("Применить"), &Window);
  QToolButton* Toggle = new QToolButton(&Window);
  QCheckBox* Check = new QCheckBox(QStringLiteral("Фильтры"), &Window);
  QRadioButton* RadioA = new QRadioButton(QStringLiteral("Hex"), &Window);
  QRadioButton* RadioB = new QRadioButton(QStringLiteral("Dec"), &Window);
  int Runs = 0;

  TzCountingButtons() {
    Toggle->setText(QStringLiteral("СОМ-порт"));
    Toggle->setCheckable(true);
    RadioA->setChecked(true);
    for (QAbstractButton* button : {static_cast<QAbstractButton*>(Push), static_cast<QAbstractButton*>(Toggle),
                                    static_cast<QAbstractButton*>(Check), static_cast<QAbstractButton*>(RadioA),
                                    static_cast<QAbstractButton*>(RadioB)}) {
      button->resize(button->sizeHint());  // a click in the middle hits the caption
      OnButtonActivated(button, &Window, [this] { ++Runs; });
    }
  }
};

}  // namespace

TEST(ButtonActivation, EveryPathRunsTheActionOnce) {
  for (const TzActivation path : kAllActivations) {
    TzCountingButtons b;
    Activate(b.Push, path);
    EXPECT_EQ(b.Runs, 1) << "push button, " << ActivationName(path);

    b.Runs = 0;
    Activate(b.Toggle, path);
    EXPECT_TRUE(b.Toggle->isChecked()) << ActivationName(path);
    Activate(b.Toggle, path);
    EXPECT_FALSE(b.Toggle->isChecked()) << ActivationName(path);
    EXPECT_EQ(b.Runs, 2) << "check-able tool button, down and up, " << ActivationName(path);

    b.Runs = 0;
    Activate(b.Check, path);
    EXPECT_TRUE(b.Check->isChecked()) << ActivationName(path);
    EXPECT_EQ(b.Runs, 1) << "check box, " << ActivationName(path);

    // Choosing the other radio button acts once (not once more for the one
    // that lets go); choosing the chosen one again does nothing.
    b.Runs = 0;
    Activate(b.RadioB, path);
    EXPECT_TRUE(b.RadioB->isChecked()) << ActivationName(path);
    EXPECT_EQ(b.Runs, 1) << "radio button, " << ActivationName(path);
    Activate(b.RadioB, path);
    EXPECT_EQ(b.Runs, 1) << "the chosen radio button again, " << ActivationName(path);
  }
}

TEST(ButtonActivation, StatesSetByTheProgramRunNothing) {
  TzCountingButtons b;
  SetCheckedQuietly(b.Toggle, true);
  SetCheckedQuietly(b.Check, true);
  SetCheckedQuietly(b.RadioB, true);
  EXPECT_TRUE(b.Toggle->isChecked());
  EXPECT_TRUE(b.Check->isChecked());
  EXPECT_TRUE(b.RadioB->isChecked());
  EXPECT_EQ(b.Runs, 0);
  // The next user activation acts as usual.
  Activate(b.Toggle, TzActivation::Mouse);
  EXPECT_EQ(b.Runs, 1);
}

TEST(ButtonActivation, DisabledButtonsIgnoreEnter) {
  TzCountingButtons b;
  b.Push->setEnabled(false);
  Activate(b.Push, TzActivation::Enter);
  EXPECT_EQ(b.Runs, 0);
}

// The observer's mode: only a change of mode clears the grid, whichever way
// "Статический" is chosen; the filter box acts through every path too.
TEST(ButtonActivation, ObserverModeAndFilterBoxes) {
  auto rowsAfter = [](const std::function<void(TfrmPortObserver&)>& aAct) {
    TfrmPortObserver obs;
    obs.AutoClearTimer.stop();
    obs.InterfaceTimer.stop();
    for (int uid = 1; uid <= 3; ++uid) {
      TzPortObsRec rec;
      rec.Port = 3;
      rec.Index = uid;
      rec.Addr = 16;
      rec.Func = 3;
      rec.Reg = 4100 + uid;
      rec.Cmd = {0x10, 0x03, 0x10, 0x05, 0x00, 0x01, 0x93, 0x8A};
      obs.AddRequest(rec);
    }
    aAct(obs);
    const int rows = obs.SG->rowCount();
    for (IPortObserver* observer : PortObservers()) PortObsRemove(observer);
    return rows;
  };
  for (const TzActivation path : kAllActivations) {
    EXPECT_EQ(rowsAfter([path](TfrmPortObserver& o) { Activate(o.rbStatica, path); }), 3)
        << "static mode chosen again, " << ActivationName(path);
    EXPECT_EQ(rowsAfter([path](TfrmPortObserver& o) {
                Activate(o.rbDinamica, path);
                Activate(o.rbStatica, path);
              }),
              1)
        << "back to static mode, " << ActivationName(path);
    EXPECT_EQ(rowsAfter([path](TfrmPortObserver& o) {
                SetCheckedQuietly(o.chFilters, false);
                Activate(o.chFilters, path);
              }),
              1)
        << "filters switched on in static mode, " << ActivationName(path);
    EXPECT_EQ(rowsAfter([path](TfrmPortObserver& o) { Activate(o.btnClear, path); }), 1)
        << "clear, " << ActivationName(path);
  }
}
