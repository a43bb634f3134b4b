// The timeline window offscreen, fed by hand with a clock of the test's own:
// the CSV of a known recording byte for byte, a gap painted as a gap, the
// keyboard, the list of last changes and saving a picture.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "uInputConfig.h"
#include "uTimeline.h"
#include "uTimelineText.h"
#include "uTimelineView.h"

namespace {

class TimelineWindow : public ::testing::Test {
protected:
  void SetUp() override {
    // A winter noon, local time, so the expected texts hold in every time zone.
    T0 = QDateTime(QDate(2026, 1, 15), QTime(12, 0, 0)).toMSecsSinceEpoch();
    Now = T0;
    Window.SetClock([this] { return Now; });
    Window.RefreshTimer.stop();
    Window.resize(1280, 640);
    Window.View()->resize(1250, 500);
  }

  void Inputs(int64_t aAt, std::vector<int32_t> aValues) {
    Now = T0 + aAt;
    Window.PolledAnswer(kTlInputsTag, aValues);
  }
  void Relays(int64_t aAt, std::vector<int32_t> aValues) {
    Now = T0 + aAt;
    Window.PolledAnswer(kTlRelaysTag, aValues);
  }

  QImage Picture() { return Window.View()->grab().toImage(); }

  int64_t T0 = 0;
  int64_t Now = 0;
  TfrmTimeline Window;
};

const QColor kInput(0, 125, 40);

// Whether the column of time aAt in trace row aRow has the input colour at y.
bool InputColourAt(TzTimelineView& aView, const QImage& aImage, int64_t aAt, int aY) {
  const int x = static_cast<int>(aView.XOfTime(aAt));
  return aImage.pixelColor(x, aY) == kInput;
}

}  // namespace

TEST_F(TimelineWindow, CsvOfAKnownRecordingByteForByte) {
  Inputs(0, {0x0801});
  Relays(125, {0x01});
  Inputs(375, {0x0801});    // nothing new
  Inputs(1250, {0x0800});   // input 1 falls
  Inputs(1500, {});         // a failed read
  Inputs(1750, {0x0800});
  Now = T0 + 2000;
  Window.ValuesLost();

  const QString expected = QStringLiteral(
      "Время;Сигнал;Состояние\r\n"
      "15.01.2026 12:00:00.000;Дискретный вход 1;1\r\n"
      "15.01.2026 12:00:00.000;Дискретный вход 2;0\r\n"
      "15.01.2026 12:00:00.000;Дискретный вход 3;0\r\n"
      "15.01.2026 12:00:00.000;Дискретный вход 4;0\r\n"
      "15.01.2026 12:00:00.000;Дискретный вход 5;0\r\n"
      "15.01.2026 12:00:00.000;Дискретный вход 6;0\r\n"
      "15.01.2026 12:00:00.000;Дискретный вход 7;0\r\n"
      "15.01.2026 12:00:00.000;Дискретный вход 8;0\r\n"
      "15.01.2026 12:00:00.000;Дискретный вход 9;0\r\n"
      "15.01.2026 12:00:00.000;Дискретный вход 10;0\r\n"
      "15.01.2026 12:00:00.000;Дискретный вход 11;0\r\n"
      "15.01.2026 12:00:00.000;Дискретный вход 12;1\r\n"
      "15.01.2026 12:00:00.125;Реле #1;1\r\n"
      "15.01.2026 12:00:00.125;Реле #2;0\r\n"
      "15.01.2026 12:00:00.125;Реле #3;0\r\n"
      "15.01.2026 12:00:00.125;Реле #4;0\r\n"
      "15.01.2026 12:00:00.125;Реле #5;0\r\n"
      "15.01.2026 12:00:00.125;Реле #6;0\r\n"
      "15.01.2026 12:00:01.250;Дискретный вход 1;0\r\n");
  QString unknownInputs;
  for (int i = 1; i <= 12; ++i)
    unknownInputs += QStringLiteral("15.01.2026 12:00:01.500;Дискретный вход %1;нет данных\r\n").arg(i);
  QString backInputs;
  for (int i = 1; i <= 12; ++i)
    backInputs += QStringLiteral("15.01.2026 12:00:01.750;Дискретный вход %1;%2\r\n").arg(i).arg(i == 12 ? 1 : 0);
  QString lost;
  for (int i = 1; i <= 12; ++i) lost += QStringLiteral("15.01.2026 12:00:02.000;Дискретный вход %1;нет данных\r\n").arg(i);
  for (int i = 1; i <= 6; ++i) lost += QStringLiteral("15.01.2026 12:00:02.000;Реле #%1;нет данных\r\n").arg(i);
  const QByteArray bytes = QByteArrayLiteral("\xEF\xBB\xBF") + (expected + unknownInputs + backInputs + lost).toUtf8();

  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("timeline.csv"));
  ASSERT_TRUE(Window.SaveCsvTo(path));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), bytes);
}

TEST_F(TimelineWindow, CountersJoinTheFileAsTheyAreShown) {
  Window.cbCounters->setCurrentIndex(TfrmTimeline::cmRates);
  EXPECT_EQ(Window.ShownTraces().size(), kTlInputCount + kTlRelayCount + kTlCounterCount);
  std::vector<int32_t> counts(12, 0);
  Now = T0;
  Window.PolledAnswer(kPulseCountersTag, counts);
  counts[2] = 5;
  Now = T0 + 2000;
  Window.PolledAnswer(kPulseCountersTag, counts);
  const QString text = QString::fromUtf8(TimelineCsv(Window.Recorder(), Window.ShownTraces()));
  EXPECT_TRUE(text.contains(QStringLiteral("15.01.2026 12:00:02.000;Имп./с, вход #3;2,500\r\n"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("15.01.2026 12:00:02.000;Имп./с, вход #1;0,000\r\n"))) << text.toStdString();
  EXPECT_FALSE(text.contains(QStringLiteral("Счётчик, вход"))) << text.toStdString();
  EXPECT_EQ(Window.lstChanges->item(0)->text().left(12), QStringLiteral("12:00:02.000"));
}

// High, then unknown, then low: the gap is hatched, never a line.
TEST_F(TimelineWindow, PaintsAGapAsAGap) {
  Inputs(0, {0x0001});
  Inputs(2000, {});
  Inputs(4000, {0x0000});
  Now = T0 + 6000;
  TzTimelineView& view = *Window.View();
  view.ShowRange(T0, 6000);
  const QImage image = Picture();
  const int top = TzTimelineView::kAxisHeight;
  const int high = top + 4, low = top + view.RowHeight() - 5;
  EXPECT_TRUE(InputColourAt(view, image, T0 + 1000, high));
  EXPECT_FALSE(InputColourAt(view, image, T0 + 1000, low));
  EXPECT_FALSE(InputColourAt(view, image, T0 + 3000, high));
  EXPECT_FALSE(InputColourAt(view, image, T0 + 3000, low));
  // The hatching: grey somewhere in the gap's column, between the levels.
  const int gapX = static_cast<int>(view.XOfTime(T0 + 3000));
  bool hatched = false;
  for (int x = gapX; x < gapX + 8; ++x)
    for (int y = high; y <= low; ++y)
      if (image.pixelColor(x, y) == QColor(150, 150, 150)) hatched = true;
  EXPECT_TRUE(hatched);
  EXPECT_TRUE(InputColourAt(view, image, T0 + 5000, low));
  EXPECT_FALSE(InputColourAt(view, image, T0 + 5000, high));
  // Nothing after now.
  view.ShowRange(T0, 12000);
  EXPECT_FALSE(InputColourAt(view, Picture(), T0 + 9000, low));

  // The list says it as words, newest first.
  // The answer at 4 s brought all twelve inputs back, in their order.
  ASSERT_EQ(Window.lstChanges->count(), 12 + 1 + 12);
  EXPECT_EQ(Window.lstChanges->item(0)->text().toStdString(), "12:00:04.000  Дискретный вход 1: 0");
  EXPECT_EQ(Window.lstChanges->item(11)->text().toStdString(), "12:00:04.000  Дискретный вход 12: 0");
  EXPECT_EQ(Window.lstChanges->item(12)->text().toStdString(), "12:00:02.000  Дискретные входы: нет данных");
  EXPECT_EQ(Window.lstChanges->item(13)->text().toStdString(), "12:00:00.000  Дискретный вход 1: 1");
}

TEST_F(TimelineWindow, EveryActionFromTheKeyboard) {
  // Input 1 toggles every second for a minute.
  for (int i = 0; i <= 60; ++i) Inputs(i * 1000, {i % 2 == 0 ? 1 : 0});
  TzTimelineView& view = *Window.View();
  view.ShowRange(T0 + 20000, 10000);
  view.setFocus();

  QTest::keyClick(&view, Qt::Key_Plus);
  EXPECT_EQ(view.SpanMs(), 5000);
  EXPECT_EQ(view.LeftMs(), T0 + 22500);  // about the middle
  QTest::keyClick(&view, Qt::Key_Minus);
  EXPECT_EQ(view.SpanMs(), 10000);
  QTest::keyClick(&view, Qt::Key_Right);
  EXPECT_EQ(view.LeftMs(), T0 + 21000);
  QTest::keyClick(&view, Qt::Key_Left);
  EXPECT_EQ(view.LeftMs(), T0 + 20000);

  // Cursor 1 in the middle, then to the next and previous change of input 1.
  QTest::keyClick(&view, Qt::Key_1);
  ASSERT_TRUE(view.Cursor(0).has_value());
  EXPECT_EQ(*view.Cursor(0), T0 + 25000);
  QTest::keyClick(&view, Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(*view.Cursor(0), T0 + 26000);
  QTest::keyClick(&view, Qt::Key_Left, Qt::ControlModifier);
  QTest::keyClick(&view, Qt::Key_Left, Qt::ControlModifier);
  EXPECT_EQ(*view.Cursor(0), T0 + 24000);
  // Cursor 2, moved by pixels; the summary reads both and the time between.
  QTest::keyClick(&view, Qt::Key_2);
  QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
  ASSERT_TRUE(view.Cursor(1).has_value());
  EXPECT_GT(*view.Cursor(1), T0 + 25000);
  view.SetCursor(1, T0 + 25500);
  EXPECT_EQ(view.CursorSummary(),
            QStringLiteral("Курсор 1: 12:00:24.000, Дискретный вход 1 = 1; Курсор 2: 12:00:25.500, Дискретный вход 1 = "
                           "0; между курсорами 1,500 с"));
  EXPECT_EQ(Window.labCursors->text(), view.CursorSummary());
  EXPECT_EQ(view.accessibleDescription(), view.CursorSummary());
  // Rows; a trace without changes has none to jump to.
  QTest::keyClick(&view, Qt::Key_Down);
  EXPECT_EQ(view.CurrentRow(), 1);
  EXPECT_FALSE(view.JumpToChange(true));
  QTest::keyClick(&view, Qt::Key_Up);
  QTest::keyClick(&view, Qt::Key_Up);
  EXPECT_EQ(view.CurrentRow(), 0);
  // Fit all, follow live, cursors away.
  Now = T0 + 61000;
  QTest::keyClick(&view, Qt::Key_Home);
  EXPECT_FALSE(view.Following());
  EXPECT_FALSE(Window.btnFollow->isChecked());
  EXPECT_EQ(view.LeftMs(), Window.Recorder().StartMs());
  EXPECT_EQ(view.RightMs(), T0 + 61000);
  QTest::keyClick(&view, Qt::Key_End);
  EXPECT_TRUE(view.Following());
  EXPECT_TRUE(Window.btnFollow->isChecked());
  EXPECT_EQ(view.RightMs(), T0 + 61000);
  QTest::keyClick(&view, Qt::Key_Delete);
  EXPECT_FALSE(view.Cursor(0).has_value());
  EXPECT_EQ(Window.labCursors->text(), QStringLiteral("Курсоры не установлены"));
}

TEST_F(TimelineWindow, ButtonsDoWhatTheKeysDo) {
  for (int i = 0; i <= 10; ++i) Inputs(i * 1000, {i % 2});
  TzTimelineView& view = *Window.View();
  view.ShowRange(T0, 8000);
  Window.btnZoomIn->click();
  EXPECT_EQ(view.SpanMs(), 4000);
  Window.btnZoomOut->click();
  EXPECT_EQ(view.SpanMs(), 8000);
  Window.btnCursor1->click();
  EXPECT_EQ(*view.Cursor(0), T0 + 4000);
  Window.btnNextChange->click();
  EXPECT_EQ(*view.Cursor(0), T0 + 5000);
  Window.btnPrevChange->click();
  EXPECT_EQ(*view.Cursor(0), T0 + 4000);
  Window.btnFollow->click();
  EXPECT_TRUE(view.Following());
  Window.btnFitAll->click();
  EXPECT_FALSE(view.Following());
  // Each control has its caption as its name.
  for (QToolButton* button : {Window.btnFollow, Window.btnZoomIn, Window.btnFast, Window.btnSavePng})
    EXPECT_EQ(button->accessibleName(), button->text());
  EXPECT_EQ(Window.lstChanges->accessibleName(), QStringLiteral("Последние изменения"));
}

TEST_F(TimelineWindow, ListKeepsTheLastChangesAndFastRecordingEndsWithTheWindow) {
  for (int i = 0; i < TfrmTimeline::kListLimit + 50; ++i) Inputs(i * 100, {i % 2});
  EXPECT_EQ(Window.lstChanges->count(), TfrmTimeline::kListLimit);
  EXPECT_EQ(Window.ResolutionText(), QStringLiteral("Разрешение: 100 мс"));

  std::vector<bool> asked;
  QObject::connect(&Window, &TfrmTimeline::FastRecordingChanged, [&](bool aOn) { asked.push_back(aOn); });
  Window.btnFast->click();
  EXPECT_TRUE(Window.FastRecording());
  EXPECT_EQ(Window.ResolutionText(), QStringLiteral("Разрешение: —"));  // measured afresh
  Window.setAttribute(Qt::WA_DeleteOnClose, false);                      // the fixture owns it
  Window.close();
  EXPECT_EQ(asked, (std::vector<bool>{true, false}));
  EXPECT_FALSE(Window.FastRecording());
}

TEST_F(TimelineWindow, SavesTheVisibleRangeAsAPicture) {
  Inputs(0, {0x0001});
  Now = T0 + 5000;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("timeline.png"));
  ASSERT_TRUE(Window.SavePngTo(path));
  QImage image;
  ASSERT_TRUE(image.load(path));
  EXPECT_EQ(image.size(), Window.View()->size());
}
