#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <functional>
#include <memory>

#include "uBlinker.h"

namespace {

// The blinker object exists once the first blink was asked for.
TBlinkTimerObj& Blinker() {
  TBlinkTimerObj* blinker = BlinkTimerObj();
  EXPECT_NE(blinker, nullptr);
  return *blinker;
}

struct FieldState {
  QColor color;
  bool ownPalette;
};

FieldState StateOf(QWidget* aEdit) {
  QWidget* target = BlinkTarget(aEdit);
  return {BlinkColor(target), target->testAttribute(Qt::WA_SetPalette)};
}

void ExpectSame(const FieldState& aNow, const FieldState& aBefore, const char* aWhat) {
  EXPECT_EQ(aNow.color, aBefore.color) << aWhat;
  EXPECT_EQ(aNow.ownPalette, aBefore.ownPalette) << aWhat;
}

// Runs the timer's ticks by hand and returns the colours after each tick.
std::vector<QColor> Ticks(QWidget* aEdit, int aCount) {
  std::vector<QColor> colors;
  for (int i = 0; i < aCount; ++i) {
    Blinker().TimerTimer();
    colors.push_back(BlinkColor(BlinkTarget(aEdit)));
  }
  return colors;
}

class Blink : public testing::Test {
protected:
  QWidget fForm;
};

}  // namespace

TEST_F(Blink, ThreeRedFlashesThenTheFieldsOwnColour) {
  struct Case {
    const char* name;
    std::function<QWidget*(QWidget*)> make;
  };
  const Case cases[] = {
      {"line edit", [](QWidget* p) { return new QLineEdit(p); }},
      {"spin box", [](QWidget* p) { return new QSpinBox(p); }},
      {"editable combo box",
       [](QWidget* p) {
         auto* combo = new QComboBox(p);
         combo->setEditable(true);
         return combo;
       }},
      {"line edit with a palette of its own",
       [](QWidget* p) {
         auto* edit = new QLineEdit(p);
         QPalette palette = edit->palette();
         palette.setColor(QPalette::Base, QColor(255, 255, 200));
         edit->setPalette(palette);
         return edit;
       }},
  };
  for (const Case& c : cases) {
    QWidget* edit = c.make(&fForm);
    edit->setFocus();
    const FieldState own = StateOf(edit);
    BlinkEdit(edit);
    // Nothing changes until the first tick: the caller goes on at once.
    ExpectSame(StateOf(edit), own, c.name);
    EXPECT_TRUE(Blinker().Timer.isActive()) << c.name;
    EXPECT_EQ(Blinker().Timer.interval(), 60) << c.name;
    EXPECT_EQ(Blinker().BlinkingEdit(), BlinkTarget(edit)) << c.name;

    const std::vector<QColor> seen = Ticks(edit, 6);
    const std::vector<QColor> expected = {kBlinkRed, own.color, kBlinkRed, own.color, kBlinkRed, own.color};
    EXPECT_EQ(seen, expected) << c.name;
    EXPECT_FALSE(Blinker().Timer.isActive()) << c.name;
    EXPECT_EQ(Blinker().BlinkingEdit(), nullptr) << c.name;
    ExpectSame(StateOf(edit), own, c.name);

    // A tick with nothing blinking changes nothing.
    Blinker().TimerTimer();
    ExpectSame(StateOf(edit), own, c.name);
    delete edit;
  }
}

TEST_F(Blink, AfterTheBlinkTheFieldFollowsItsParentsPaletteAgain) {
  auto* edit = new QLineEdit(&fForm);
  BlinkEdit(edit);
  Ticks(edit, 6);
  QPalette palette = fForm.palette();
  palette.setColor(QPalette::Base, QColor(10, 20, 30));
  fForm.setPalette(palette);
  EXPECT_EQ(BlinkColor(edit), QColor(10, 20, 30));
}

TEST_F(Blink, TheCombosLineEditIsTheOneThatBlinks) {
  auto* combo = new QComboBox(&fForm);
  combo->setEditable(true);
  EXPECT_EQ(BlinkTarget(combo), combo->lineEdit());
  auto* list = new QComboBox(&fForm);
  EXPECT_EQ(BlinkTarget(list), list);
}

TEST_F(Blink, ASecondFieldGivesTheFirstItsColourBackAtOnce) {
  auto* first = new QLineEdit(&fForm);
  auto* second = new QSpinBox(&fForm);
  const FieldState firstOwn = StateOf(first);
  const FieldState secondOwn = StateOf(second);

  BlinkEdit(first);
  EXPECT_EQ(Ticks(first, 1), std::vector<QColor>{kBlinkRed});
  BlinkEdit(second);
  ExpectSame(StateOf(first), firstOwn, "first field at the second request");
  EXPECT_EQ(Blinker().BlinkingEdit(), second);
  EXPECT_EQ(Blinker().TicksLeft(), 6);

  int reds = 0;
  for (int i = 0; i < 6; ++i) {
    reds += Ticks(second, 1).front() == kBlinkRed ? 1 : 0;
    ExpectSame(StateOf(first), firstOwn, "first field while the second blinks");
  }
  EXPECT_EQ(reds, 3);
  ExpectSame(StateOf(second), secondOwn, "second field at the end");
  EXPECT_FALSE(Blinker().Timer.isActive());
}

TEST_F(Blink, AskingAgainForTheBlinkingFieldDoesNotRestart) {
  auto* combo = new QComboBox(&fForm);
  combo->setEditable(true);
  const FieldState own = StateOf(combo);
  BlinkEdit(combo);
  EXPECT_EQ(Ticks(combo, 3), (std::vector<QColor>{kBlinkRed, own.color, kBlinkRed}));

  BlinkEdit(combo);
  BlinkEdit(combo->lineEdit());  // the same field, named through its line edit
  EXPECT_EQ(Blinker().TicksLeft(), 3);
  EXPECT_EQ(BlinkColor(combo->lineEdit()), kBlinkRed);

  EXPECT_EQ(Ticks(combo, 3), (std::vector<QColor>{own.color, kBlinkRed, own.color}));
  EXPECT_FALSE(Blinker().Timer.isActive());
  ExpectSame(StateOf(combo), own, "after the only blink");
}

TEST_F(Blink, AFieldDestroyedWhileBlinkingIsForgotten) {
  auto* doomed = new QLineEdit(&fForm);
  BlinkEdit(doomed);
  Ticks(doomed, 1);
  delete doomed;
  EXPECT_EQ(Blinker().BlinkingEdit(), nullptr);
  Blinker().TimerTimer();
  EXPECT_FALSE(Blinker().Timer.isActive());

  // A field destroyed while blinking does not stand in the way of the next.
  auto* gone = new QLineEdit(&fForm);
  BlinkEdit(gone);
  delete gone;
  auto* next = new QLineEdit(&fForm);
  const FieldState own = StateOf(next);
  BlinkEdit(next);
  EXPECT_EQ(Blinker().TicksLeft(), 6);
  EXPECT_EQ(Ticks(next, 6).front(), kBlinkRed);
  ExpectSame(StateOf(next), own, "the next field");

  BlinkEdit(nullptr);
  EXPECT_FALSE(Blinker().Timer.isActive());
}

TEST_F(Blink, TheTimerRunsTheBlinkToItsEndWithoutTheCaller) {
  fForm.show();
  auto* edit = new QLineEdit(&fForm);
  auto* other = new QLineEdit(&fForm);
  edit->show();
  other->show();
  other->setFocus();
  const FieldState own = StateOf(edit);
  BlinkEdit(edit);
  // Generous guard against a hang only; the states are what is checked.
  EXPECT_TRUE(QTest::qWaitFor([] { return !Blinker().Timer.isActive(); }, 10000));
  ExpectSame(StateOf(edit), own, "after the timer ran out");
  EXPECT_EQ(Blinker().BlinkingEdit(), nullptr);
  EXPECT_FALSE(edit->hasFocus());
}
