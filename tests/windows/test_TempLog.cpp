#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <memory>

#include "uTempLog.h"

namespace {

const QColor kNavy(0, 0, 128);
const QColor kMaroon(128, 0, 0);

std::vector<QString> Texts() {
  std::vector<QString> texts;
  for (const TzTempLogLine& line : TempLogLines()) texts.push_back(line.Text);
  return texts;
}

std::vector<QString> CounterBlock(const TzTempLogCounts& aCounts) {
  std::vector<QString> texts;
  for (int code = 1; code <= 8; ++code)
    texts.push_back(QStringLiteral("Ошибок 0%1h: %2").arg(code).arg(aCounts[static_cast<size_t>(code - 1)]));
  texts.push_back(QStringLiteral("Других ошибок: %1").arg(aCounts[8]));
  return texts;
}

class TempLog : public testing::Test {
protected:
  void SetUp() override { fLog = std::make_unique<TfrmTempLog>(); }
  std::unique_ptr<TfrmTempLog> fLog;
};

}  // namespace

TEST_F(TempLog, StartsWithTheCounterBlockInNavy) {
  EXPECT_EQ(Texts(), CounterBlock({}));
  EXPECT_EQ(Texts().front(), QStringLiteral("Ошибок 01h: 0"));
  for (const TzTempLogLine& line : TempLogLines()) EXPECT_EQ(line.Color, kNavy) << line.Text.toStdString();
}

TEST_F(TempLog, NewLinesGoOnTopAboveTheCounterBlock) {
  AddTempLog(QStringLiteral("первая"), clTempLogNavy);
  AddTempLog(QStringLiteral("вторая"), clTempLogMaroon);
  std::vector<QString> expected = {QStringLiteral("вторая"), QStringLiteral("первая")};
  for (const QString& counter : CounterBlock({})) expected.push_back(counter);
  EXPECT_EQ(Texts(), expected);
}

TEST_F(TempLog, ErrorCountsRewriteTheirCounterLine) {
  struct Case {
    int32_t code;
    int32_t count;
    size_t line;
    const char* text;
  };
  const Case cases[] = {
      {1, 4, 0, "Ошибок 01h: 4"},      {2, 2, 1, "Ошибок 02h: 2"},      {8, 17, 7, "Ошибок 08h: 17"},
      {11, 3, 8, "Других ошибок: 3"},  {0, 5, 8, "Других ошибок: 5"},   {9, 6, 8, "Других ошибок: 6"},
      {-1, 7, 8, "Других ошибок: 7"},  {255, 8, 8, "Других ошибок: 8"},
  };
  for (const Case& c : cases) {
    ClearTempLog({});
    SetTempLogErrors(c.code, c.count);
    std::vector<QString> expected = CounterBlock({});
    expected[c.line] = QString::fromUtf8(c.text);
    EXPECT_EQ(Texts(), expected) << "code " << c.code;
    EXPECT_EQ(TempLogLines()[c.line].Color, kNavy) << "code " << c.code;
  }
}

TEST_F(TempLog, TwoAnswersWithCodeTwoShowTheCountTwo) {
  SetTempLogErrors(2, 1);
  SetTempLogErrors(2, 2);
  EXPECT_EQ(Texts()[1], QStringLiteral("Ошибок 02h: 2"));
  EXPECT_EQ(Texts().size(), 9u);
}

TEST_F(TempLog, TheThousandthLineAndOneMoreLeave201Lines) {
  // 9 counter lines plus 991 make exactly 1000: no cut happens on the way.
  for (int i = 1; i <= 991; ++i) AddTempLog(QStringLiteral("m%1").arg(i), clTempLogNavy);
  ASSERT_EQ(TempLogLines().size(), 1000u);
  EXPECT_EQ(Texts().back(), QStringLiteral("Других ошибок: 0"));

  AddTempLog(QStringLiteral("новая"), clTempLogMaroon);
  const std::vector<TzTempLogLine> lines = TempLogLines();
  ASSERT_EQ(lines.size(), 201u);
  EXPECT_EQ(lines[0].Text, QStringLiteral("новая"));
  EXPECT_EQ(lines[0].Color, kMaroon);
  for (size_t i = 1; i <= 200; ++i) EXPECT_EQ(lines[i].Text, QStringLiteral("m%1").arg(992 - static_cast<int>(i)));
  EXPECT_EQ(lines[1].Color, kNavy);

  // The counter block went with the oldest lines: its updates find nothing.
  SetTempLogErrors(3, 1);
  EXPECT_EQ(TempLogLines().size(), 201u);
  EXPECT_EQ(TempLogLines()[200].Text, QStringLiteral("m792"));
}

TEST_F(TempLog, ColourValuesAreBlueGreenRed) {
  struct Case {
    uint32_t bgr;
    QColor color;
  };
  const Case cases[] = {
      {clTempLogNavy, kNavy},         {clTempLogMaroon, kMaroon},       {0x000000, QColor(0, 0, 0)},
      {0xFFFFFF, QColor(255, 255, 255)}, {0x123456, QColor(0x56, 0x34, 0x12)}, {0x00FF00, QColor(0, 255, 0)},
  };
  for (const Case& c : cases) {
    AddTempLog(QStringLiteral("цвет"), c.bgr);
    EXPECT_EQ(TempLogLines().front().Color, c.color) << std::hex << c.bgr;
    EXPECT_EQ(ColorToBgr(c.color), c.bgr) << std::hex << c.bgr;
  }
  // Each line keeps the colour it was given.
  const std::vector<TzTempLogLine> lines = TempLogLines();
  ASSERT_EQ(lines.size(), 9u + std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(lines[std::size(cases) - 1 - i].Color, cases[i].color);
}

TEST_F(TempLog, EmptyTextsAndLineBreaksMakeOneLineEach) {
  AddTempLog(QString(), clTempLogMaroon);
  AddTempLog(QStringLiteral("a\r\nb\nc\rd"), clTempLogNavy);
  AddTempLog(QString(), clTempLogNavy);
  const std::vector<TzTempLogLine> lines = TempLogLines();
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[0].Text, QString());
  EXPECT_EQ(lines[0].Color, kNavy);
  EXPECT_EQ(lines[1].Text, QStringLiteral("a  b c d"));
  EXPECT_EQ(lines[2].Text, QString());
  EXPECT_EQ(lines[2].Color, kMaroon);
  EXPECT_EQ(lines[3].Text, QStringLiteral("Ошибок 01h: 0"));
}

TEST_F(TempLog, ReplaceRewritesEveryMatchingLineInItsOwnColour) {
  ClearTempLog({});
  AddTempLog(QStringLiteral("порт COM3 открыт"), clTempLogMaroon);
  AddTempLog(QStringLiteral("другое"), clTempLogNavy);
  AddTempLog(QStringLiteral("COM3 снова"), 0x00FF00);
  const std::vector<TzTempLogLine> before = TempLogLines();

  ReplaceTempLog(QStringLiteral("нет такого"), QStringLiteral("x"));
  ReplaceTempLog(QString(), QStringLiteral("x"));
  EXPECT_EQ(Texts(), [&] {
    std::vector<QString> t;
    for (const auto& line : before) t.push_back(line.Text);
    return t;
  }());

  ReplaceTempLog(QStringLiteral("COM3"), QStringLiteral("заменено"));
  const std::vector<TzTempLogLine> after = TempLogLines();
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(after[0].Text, QStringLiteral("заменено"));
  EXPECT_EQ(after[0].Color, QColor(0, 255, 0));
  EXPECT_EQ(after[1].Text, QStringLiteral("другое"));
  EXPECT_EQ(after[1].Color, kNavy);
  EXPECT_EQ(after[2].Text, QStringLiteral("заменено"));
  EXPECT_EQ(after[2].Color, kMaroon);
  for (size_t i = 3; i < after.size(); ++i) EXPECT_EQ(after[i].Text, before[i].Text);

  // Replacing by an empty text leaves an empty line of the same colour.
  ReplaceTempLog(QStringLiteral("заменено"), QString());
  EXPECT_EQ(TempLogLines()[2].Text, QString());
  EXPECT_EQ(TempLogLines()[2].Color, kMaroon);
  EXPECT_EQ(TempLogLines().size(), before.size());
}

TEST_F(TempLog, ClearRebuildsTheCounterBlockWithTheCurrentCounts) {
  AddTempLog(QStringLiteral("старое"), clTempLogMaroon);
  SetTempLogErrors(2, 5);
  const TzTempLogCounts counts = {1, 5, 3, 0, 0, 0, 0, 2, 9};
  ClearTempLog(counts);
  EXPECT_EQ(Texts(), CounterBlock(counts));
  for (const TzTempLogLine& line : TempLogLines()) EXPECT_EQ(line.Color, kNavy);

  // The rebuilt lines take further counts as before.
  SetTempLogErrors(2, 6);
  SetTempLogErrors(12, 10);
  TzTempLogCounts later = counts;
  later[1] = 6;
  later[8] = 10;
  EXPECT_EQ(Texts(), CounterBlock(later));
}

TEST_F(TempLog, ClosingHidesAndShowingAgainKeepsTheContents) {
  AddTempLog(QStringLiteral("до закрытия"), clTempLogMaroon);
  const std::vector<QString> before = Texts();
  fLog->show();
  ASSERT_TRUE(fLog->isVisible());
  EXPECT_FALSE(fLog->close());
  EXPECT_FALSE(fLog->isVisible());
  AddTempLog(QStringLiteral("пока скрыт"), clTempLogNavy);
  fLog->show();
  EXPECT_TRUE(fLog->isVisible());
  std::vector<QString> expected = before;
  expected.insert(expected.begin(), QStringLiteral("пока скрыт"));
  EXPECT_EQ(Texts(), expected);
}

TEST_F(TempLog, WindowAsDescribed) {
  EXPECT_EQ(fLog->windowTitle(), QStringLiteral("Лог"));
  EXPECT_EQ(fLog->size(), QSize(635, 413));
  EXPECT_TRUE(fLog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(fLog->isWindow());
  EXPECT_TRUE(fLog->Rich->isReadOnly());
  EXPECT_EQ(fLog->Rich->font().family(), QStringLiteral("Tahoma"));
  EXPECT_EQ(fLog->Rich->font().pixelSize(), 13);
  EXPECT_EQ(fLog->Rich->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(fLog->Rich->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  fLog->show();
  // The box fills the window with 3-pixel margins above the bar of "Сохранить".
  EXPECT_EQ(fLog->Rich->geometry().topLeft(), QPoint(3, 3));
  EXPECT_EQ(fLog->Rich->width(), 635 - 6);
  EXPECT_EQ(fLog->Rich->geometry().bottom() + 1 + 3, fLog->btnSave->geometry().top());
  EXPECT_TRUE(fLog->chkUnique->isHidden());
  EXPECT_FALSE(fLog->chkUnique->isChecked());
  EXPECT_EQ(fLog->chkUnique->text(), QStringLiteral("Показывать только уникальные сообщения (без повторов)"));
  EXPECT_TRUE(fLog->btnClear->isHidden());
  EXPECT_EQ(fLog->btnClear->text(), QStringLiteral("Очистить"));
  for (QWidget* widget : {static_cast<QWidget*>(fLog.get()), static_cast<QWidget*>(fLog->Rich),
                          static_cast<QWidget*>(fLog->chkUnique), static_cast<QWidget*>(fLog->btnClear),
                          static_cast<QWidget*>(fLog->btnSave)})
    EXPECT_FALSE(widget->accessibleName().isEmpty()) << widget->objectName().toStdString();
}

TEST(TempLogPlacement, FirstShowAndRePosCentreOverTheMainWindow) {
  QWidget main;
  main.setGeometry(100, 50, 720, 600);
  main.show();
  auto* log = new TfrmTempLog(&main);  // owned by the main window
  auto expectCentred = [&] {
    const QRect m = main.frameGeometry();
    const QRect own = log->frameGeometry();
    EXPECT_EQ(own.left(), m.left() + m.width() / 2 - own.width() / 2);
    EXPECT_EQ(own.top(), m.top() + m.height() / 2 - own.height() / 2);
  };
  log->show();
  expectCentred();

  // Later shows keep the place; RePos centres it again.
  main.move(300, 200);
  log->hide();
  log->show();
  EXPECT_NE(log->frameGeometry().center(), main.frameGeometry().center());
  log->RePos(&main);
  expectCentred();
}

TEST(TempLogWithoutWindow, WritesAreDropped) {
  AddTempLog(QStringLiteral("слишком рано"), clTempLogNavy);
  ReplaceTempLog(QStringLiteral("Ошибок"), QStringLiteral("x"));
  SetTempLogErrors(2, 1);
  ClearTempLog({1, 1, 1, 1, 1, 1, 1, 1, 1});
  EXPECT_TRUE(TempLogLines().empty());

  {
    TfrmTempLog log;
    EXPECT_EQ(Texts(), CounterBlock({}));
  }
  // After the window is gone the functions go back to doing nothing.
  AddTempLog(QStringLiteral("слишком поздно"), clTempLogNavy);
  EXPECT_TRUE(TempLogLines().empty());
}
