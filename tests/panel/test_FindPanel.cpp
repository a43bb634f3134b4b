// The frame's side of the bus search without a bus: a port that does not
// open, and the search panel's list from the keyboard.
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "uFindDevice.h"
#include "uFindPanel.h"
#include "uFrameFixture.h"
#include "uSimBackend.h"
#include "uUtils.h"

namespace {

std::vector<uint8_t> TypeAnswer(uint8_t aAddr, uint8_t aType) {
  return WithModbusCRC({aAddr, 4, 2, 0, aType});
}

}  // namespace

// The search never ran, but the frame had already handed it the controls:
// they come back, and the log says which port failed.
TEST_F(FrameTest, ASearchWhosePortDoesNotOpenLeavesTheFrameIdle) {
  TfrRK_7140 frame;
  TzSimModule module{TzSimConfig{}};
  TzSimBackend::TzShared line;
  line.OpenFails = true;
  frame.FindDevice().SetEngineFactory([&](int32_t aPort) { return MakeSimEngine(aPort, module, &line); });
  frame.btnComPort->click();
  frame.txtLineTimeout->setText(QStringLiteral("100"));

  frame.imgFindDevice->click();
  EXPECT_FALSE(frame.FindDevice().InFindProgress());
  EXPECT_EQ(frame.txtLineTimeout->text(), QStringLiteral("100"));  // above the minimum: kept
  for (QWidget* control : std::initializer_list<QWidget*>{frame.cbComPort, frame.txtLineAddr, frame.cbLineBaudRate,
                                                          frame.cbLineFormat, frame.txtLineTimeout,
                                                          frame.btnConnect, frame.panFind->FindListBox})
    EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
  EXPECT_FALSE(frame.panFind->aniAdvProgress->isVisibleTo(&frame));
  EXPECT_FALSE(frame.panFind->isVisibleTo(&frame));  // nothing to list
  EXPECT_EQ(frame.imgFindDevice->accessibleName(), QStringLiteral("Поиск устройств"));
  EXPECT_EQ(LogLinesWith(QStringLiteral("Ошибка: порт /dev/ttyS0 не открылся для поиска устройств (код 128): ")), 1);

  // A second click tries again, with the port now there.
  line.OpenFails = false;
  frame.imgFindDevice->click();
  EXPECT_TRUE(frame.FindDevice().InFindProgress());
  EXPECT_FALSE(frame.btnConnect->isEnabled());
  EXPECT_FALSE(frame.cbComPort->isEnabled());
  EXPECT_TRUE(frame.panFind->isVisibleTo(&frame));
  frame.imgFindDevice->click();
  EXPECT_FALSE(frame.FindDevice().InFindProgress());
  EXPECT_TRUE(frame.btnConnect->isEnabled());
}

// Moving onto a line picks it, Enter chooses it (the double click of the
// keyboard); the program's own changes of the list pick nothing.
TEST(FindPanel, KeyboardPicksAndChooses) {
  TzFindPanel panel(nullptr);
  QSignalSpy picked(panel.FindListBox, &TzFindListBox::Picked);
  QSignalSpy chosen(panel.FindListBox, &TzFindListBox::Chosen);
  panel.Progress(1);
  panel.AddAnswer(1, TypeAnswer(1, 74), TzFindDevice{});
  panel.AddAnswer(20, TypeAnswer(20, 75), TzFindDevice{});
  panel.AddAnswer(20, TypeAnswer(20, 75), TzFindDevice{});
  panel.AddAnswer(1, TypeAnswer(1, 74), TzFindDevice{});  // listed once
  panel.Progress(2);
  ASSERT_EQ(panel.FindListBox->count(), 4);
  EXPECT_EQ(panel.FindListBox->item(0)->text(), QStringLiteral("[2] .."));
  EXPECT_EQ(panel.FindListBox->item(1)->text(), QStringLiteral("[1] RK-7140"));
  EXPECT_EQ(panel.FindListBox->item(3)->text(), QStringLiteral("[20] Unknown"));
  EXPECT_EQ(panel.FindListBox->accessibleName(), QStringLiteral("Устройства"));

  panel.FindListBox->setCurrentRow(0);
  picked.clear();
  QTest::keyClick(panel.FindListBox, Qt::Key_Down);
  ASSERT_EQ(picked.count(), 1);
  EXPECT_EQ(picked.at(0).at(0).toInt(), 1);
  ASSERT_NE(panel.CurrentDevice(), nullptr);
  EXPECT_EQ(panel.CurrentDevice()->Addr, 1);
  QTest::keyClick(panel.FindListBox, Qt::Key_Return);
  ASSERT_EQ(chosen.count(), 1);
  EXPECT_EQ(chosen.at(0).at(0).toInt(), 1);

  picked.clear();
  panel.RemoveCounterLine();
  panel.Clear();
  EXPECT_EQ(picked.count(), 0);
  EXPECT_EQ(panel.CurrentDevice(), nullptr);
}
