// The panel's guiding pictures: the bouncing arrow, the festive hat, the
// message behind the logo; and how they follow a connection.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "uAnimationRules.h"
#include "uFrameFixture.h"
#include "uSimBackend.h"
#include "uUtils.h"

TEST(ArrowBounce, TenPositionsEveryEighteenTicks) {
  TzArrowBounce arrow{.Low = 128, .High = 135, .Left = 128, .Step = 1};
  std::vector<int> lefts;
  for (int i = 0; i < 19; ++i) lefts.push_back(arrow.Tick());
  EXPECT_EQ(lefts, (std::vector<int>{129, 130, 131, 132, 133, 134, 135, 136, 135, 134, 133, 132, 131, 130, 129,
                                     128, 127, 128, 129}));
}

TEST(HolidaySeason, FromTheFifteenthOfDecemberToTheNinthOfJanuary) {
  struct Case {
    int Month, Day;
    bool Holiday;
  };
  for (const Case c : {Case{12, 14, false}, Case{12, 15, true}, Case{12, 31, true}, Case{1, 1, true},
                       Case{1, 9, true}, Case{1, 10, false}, Case{6, 15, false}, Case{11, 30, false}})
    EXPECT_EQ(IsHolidaySeason(c.Month, c.Day), c.Holiday) << c.Day << "." << c.Month;
}

TEST(LogoClicks, ThreePlainFiveCtrlSevenShiftInAnyOrder) {
  struct Case {
    const char* Name;
    std::string Clicks;  // p plain, c Ctrl, s Shift, b Ctrl+Shift (counts as Shift)
    bool Shown;
  };
  const Case cases[] = {
      {"exact, grouped", "pppcccccsssssss", true},
      {"exact, mixed", "scpscspcscspcss", true},
      {"Shift wins over Ctrl", "pppcccccssssssb", true},
      {"one plain too many", "ppppcccccsssssss", false},
      {"one short", "pppccccsssssss", false},
  };
  for (const Case& c : cases) {
    TzLogoClicks clicks;
    int shown = 0;
    for (const char k : c.Clicks) shown += clicks.MouseUp(k == 's' || k == 'b', k == 'c' || k == 'b');
    EXPECT_EQ(shown, c.Shown ? 1 : 0) << c.Name;
    if (c.Shown) {
      EXPECT_EQ(clicks.Plain() + clicks.Ctrl() + clicks.Shift(), 0) << c.Name;
    }
  }
  // After the message the count starts again: a second round shows it again.
  TzLogoClicks again;
  for (int round = 0; round < 2; ++round) {
    int shown = 0;
    for (const char k : std::string("pppcccccsssssss")) shown += again.MouseUp(k == 's', k == 'c');
    EXPECT_EQ(shown, 1) << round;
  }
}

TEST_F(FrameTest, TheArrowBouncesBesideTheComPortButtonWhileNotConnected) {
  TfrRK_7140 frame;
  EXPECT_TRUE(frame.ArrowTimer.isActive());
  EXPECT_EQ(frame.ArrowTimer.interval(), 30);
  EXPECT_EQ(frame.imgArrow->accessibleName(), QStringLiteral("Стрелка"));
  EXPECT_EQ(frame.imgArrow->size(), QSize(32, 32));
  const QRect button = frame.btnComPort->geometry();
  std::vector<int> lefts;
  for (int i = 0; i < 18; ++i) {
    frame.ArrowTimerTimer();
    lefts.push_back(frame.imgArrow->x());
    EXPECT_FALSE(frame.imgArrow->isHidden());
  }
  // Ten positions just right of the button, pointing at it.
  EXPECT_EQ(*std::min_element(lefts.begin(), lefts.end()), button.right() + 1);
  EXPECT_EQ(*std::max_element(lefts.begin(), lefts.end()), button.right() + 10);
  EXPECT_EQ(frame.imgArrow->y() + frame.imgArrow->height() / 2, button.y() + button.height() / 2);
}

TEST_F(FrameTest, TheHatFollowsTheCalendarAndIgnoresClicks) {
  TfrRK_7140 frame;
  const QDate today = QDate::currentDate();
  EXPECT_EQ(!frame.imgHat->isHidden(), IsHolidaySeason(today.month(), today.day()));
  EXPECT_EQ(frame.imgHat->accessibleName(), QStringLiteral("Праздничная шапка"));
  // Shown or not, a click on it is not a click on the frame's free area.
  frame.ButtonsEnabled(true);
  frame.resize(720, 600);
  frame.show();
  frame.imgHat->show();
  frame.btnComPort->click();
  ASSERT_TRUE(frame.panComPort->isVisible());
  QTest::mouseClick(frame.imgHat, Qt::LeftButton);
  EXPECT_TRUE(frame.panComPort->isVisible());
  // Wholly inside the window.
  EXPECT_TRUE(frame.rect().contains(frame.imgHat->geometry()));
}

TEST_F(FrameTest, TheLogoMessageAppearsOnceForTheRightClicks) {
  TfrRK_7140 frame;
  auto click = [&](Qt::KeyboardModifiers aModifiers, int aTimes) {
    for (int i = 0; i < aTimes; ++i) QTest::mouseClick(frame.imgLogo, Qt::LeftButton, aModifiers);
  };
  click(Qt::ShiftModifier, 7);
  click(Qt::NoModifier, 2);
  click(Qt::ControlModifier, 5);
  EXPECT_TRUE(Boxes.empty());
  click(Qt::NoModifier, 1);
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Kind, TzPanelBoxKind::Information);
  EXPECT_EQ(Boxes[0].Title, QStringLiteral("Информация"));
  EXPECT_TRUE(Boxes[0].Text.contains(QStringLiteral("RK-7140")));
  EXPECT_TRUE(Boxes[0].Text.contains(QStringLiteral("rk7140-sim")));
  // Overshooting keeps it away.
  click(Qt::NoModifier, 4);
  click(Qt::ControlModifier, 5);
  click(Qt::ShiftModifier, 7);
  EXPECT_EQ(Boxes.size(), 1u);
}

// After a connection the arrow goes within one tick and the waiting picture
// stands in its place until the poll runs; a failed attempt leaves the arrow
// bouncing and "Подключиться" enabled.
TEST_F(FrameTest, TheArrowAndTheWaitingPictureFollowTheConnection) {
  TzSimModule module{TzSimConfig{.DemoInputs = false}};
  {
    TfrRK_7140 frame;
    frame.InterfaceTimer.stop();
    frame.Controller().SetEngineFactory([&module](int32_t aPort) { return MakeSimEngine(aPort, module); });
    frame.txtLineTimeout->setText(QStringLiteral("100"));
    frame.btnConnectClick();
    ASSERT_TRUE(PumpUntil([&] { return frame.Controller().Connected(); }));
    frame.ArrowTimerTimer();
    EXPECT_TRUE(frame.imgArrow->isHidden());
    if (!frame.Controller().OprosTimer().isActive()) {
      frame.PicLoadingTimerTimer();
      EXPECT_FALSE(frame.btnPicFirstUpdate->isHidden());
    }
    ASSERT_TRUE(PumpUntil([&] { return frame.Controller().OprosTimer().isActive(); }));
    frame.PicLoadingTimerTimer();
    EXPECT_TRUE(frame.btnPicFirstUpdate->isHidden());
    EXPECT_TRUE(frame.imgArrow->isHidden());
  }
  module.SetDeviceType(75);
  TfrRK_7140 frame;
  frame.Controller().SetEngineFactory([&module](int32_t aPort) { return MakeSimEngine(aPort, module); });
  frame.btnConnectClick();
  ASSERT_TRUE(PumpUntil([&] { return frame.Controller().PendingCount() == 0; }));
  frame.Controller().ConnectBtnTimerTimer();
  EXPECT_TRUE(frame.btnConnect->isEnabled());
  EXPECT_TRUE(frame.labAni->isHidden());
  const int before = frame.imgArrow->x();
  frame.ArrowTimerTimer();
  EXPECT_FALSE(frame.imgArrow->isHidden());
  EXPECT_NE(frame.imgArrow->x(), before);
}
