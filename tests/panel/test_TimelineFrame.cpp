// The timeline from the frame: its button beside the observer button, one
// window per click fed by the poll of the virtual module's demo pattern, the
// moving input painted, fast recording while a window asks for it, and the
// gap of a disconnect.
#include <QImage>
#include <QLineEdit>
#include <QToolButton>

#include "uFrameFixture.h"
#include "uSimBackend.h"
#include "uTimeline.h"
#include "uTimelineView.h"

namespace {

class TimelineFrame : public FrameTest {
protected:
  void SetUp() override {
    FrameTest::SetUp();
    fFrame = std::make_unique<TfrRK_7140>();
    fFrame->InterfaceTimer.stop();
    fFrame->Controller().SetEngineFactory([this](int32_t aPort) { return MakeSimEngine(aPort, Module); });
    fFrame->txtLineTimeout->setText(QStringLiteral("100"));
  }
  void TearDown() override {
    fFrame.reset();
    FrameTest::TearDown();
  }
  TfrRK_7140& Frame() { return *fFrame; }
  std::vector<TfrmTimeline*> Timelines() {
    std::vector<TfrmTimeline*> windows;
    for (TfrmTimeline* w : Frame().findChildren<TfrmTimeline*>(Qt::FindDirectChildrenOnly)) windows.push_back(w);
    return windows;
  }

  TzSimModule Module{TzSimConfig{}};  // the demo: one lit input walks along every 0.6 s

private:
  std::unique_ptr<TfrRK_7140> fFrame;
};

// The last rise of some input after it was seen low for at least 300 ms.
std::optional<std::pair<size_t, int64_t>> LastRise(const TzTimelineRecorder& aRec) {
  std::optional<std::pair<size_t, int64_t>> rise;
  for (size_t trace = kTlFirstInput; trace < kTlFirstInput + kTlInputCount; ++trace) {
    const auto& changes = aRec.Changes(trace);
    for (size_t i = 1; i < changes.size(); ++i)
      if (changes[i - 1].Value == 0 && changes[i].Value == 1 && changes[i].TimeMs - changes[i - 1].TimeMs >= 300 &&
          (!rise || changes[i].TimeMs > rise->second))
        rise = std::make_pair(trace, changes[i].TimeMs);
  }
  return rise;
}

}  // namespace

TEST_F(TimelineFrame, RecordsTheDemoPatternAndPaintsTheMovingInput) {
  Frame().InterfaceTimerTimer();
  EXPECT_FALSE(Frame().btnTimeline->isEnabled());
  EXPECT_EQ(Frame().btnTimeline->accessibleName(), QStringLiteral("Хронология"));
  Frame().btnConnectClick();
  ASSERT_TRUE(PumpUntil([this] { return Frame().Controller().OprosTimer().isActive(); }));
  Frame().InterfaceTimerTimer();
  ASSERT_TRUE(Frame().btnTimeline->isEnabled());

  Frame().btnTimeline->click();
  Frame().btnTimeline->click();
  ASSERT_EQ(Timelines().size(), 2u);
  TfrmTimeline& timeline = *Timelines().front();
  EXPECT_EQ(timeline.windowTitle(), QStringLiteral("Хронология"));

  // Two steps of the walk: an input rose after it was seen low.
  ASSERT_TRUE(PumpUntil([&] {
    const auto rise = LastRise(timeline.Recorder());
    return rise && timeline.Recorder().LastMs() > rise->second + 300;
  }));
  const auto [trace, at] = *LastRise(timeline.Recorder());

  // The rise is an edge from low to high in its row.
  TzTimelineView& view = *timeline.View();
  view.resize(1250, 500);
  view.ShowRange(at - 1500, 3000);
  const QImage image = view.grab().toImage();
  const int x = static_cast<int>(view.XOfTime(at));
  const int top = TzTimelineView::kAxisHeight + static_cast<int>(trace) * view.RowHeight();
  const QColor input(0, 125, 40);
  EXPECT_EQ(image.pixelColor(x, top + 4), input);
  EXPECT_EQ(image.pixelColor(x, top + view.RowHeight() - 5), input);
  EXPECT_EQ(image.pixelColor(x - 20, top + view.RowHeight() - 5), input);  // low before
  EXPECT_EQ(image.pixelColor(x + 20, top + 4), input);                      // high after

  // Fast recording while one window asks for it, until that window closes.
  timeline.btnFast->click();
  EXPECT_TRUE(Frame().Controller().FastPoll());
  Timelines().back()->close();
  QCoreApplication::processEvents();
  EXPECT_TRUE(Frame().Controller().FastPoll());
  // The resolution shown follows the faster poll (the normal one is 250 ms).
  ASSERT_TRUE(PumpUntil([&] { return timeline.ResolutionMs() && *timeline.ResolutionMs() < 200; }));
  timeline.close();
  QCoreApplication::processEvents();
  EXPECT_FALSE(Frame().Controller().FastPoll());
  EXPECT_TRUE(Timelines().empty());

  // A disconnect is a gap in a window left open.
  Frame().btnTimeline->click();
  TfrmTimeline& another = *Timelines().front();
  ASSERT_TRUE(PumpUntil([&] { return another.Recorder().ChangeCount() >= kTlInputCount; }));
  Frame().btnConnectClick();  // "Отключиться"
  EXPECT_FALSE(Frame().Controller().Connected());
  EXPECT_EQ(another.Recorder().ValueAt(kTlFirstInput, another.NowMs()), kTraceUnknown);
  Frame().InterfaceTimerTimer();
  EXPECT_FALSE(Frame().btnTimeline->isEnabled());
}
