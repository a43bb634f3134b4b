// The main window and the application object.
#include <QApplication>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <gtest/gtest.h>

#include <stdexcept>

#include "uFrameFixture.h"
#include "uMain.h"
#include "uPanelApplication.h"
#include "uPortObserver.h"
#include "uSimBackend.h"
#include "uVerInfo.h"

namespace {

// An object whose events fail the way a handler's fault would.
class TzThrowing : public QObject {
protected:
  bool event(QEvent* aEvent) override {
    if (aEvent->type() == QEvent::User) throw std::runtime_error("обработчик сломан");
    if (aEvent->type() == QEvent::User + 1) throw 42;
    return QObject::event(aEvent);
  }
};

}  // namespace

TEST_F(FrameTest, MainWindowHostsTheModuleFrame) {
  TfrRK_7140::Register();
  // The program's one log window (a second one would take the log's lines).
  ASSERT_NE(TempLogWindow(), nullptr);
  TfrmTempLog& log = *TempLogWindow();
  TfrmMain window(&log);
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Панель управления RK-7140"));
  EXPECT_EQ(window.minimumSize(), QSize(720, 600));
  EXPECT_EQ(window.maximumSize(), QSize(720, 600));
  const Qt::WindowFlags flags = window.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  ASSERT_NE(window.Frame(), nullptr);
  EXPECT_NE(qobject_cast<TfrRK_7140*>(window.Frame()), nullptr);
  EXPECT_TRUE(window.Frame()->objectName().startsWith(QStringLiteral("Frame")));
  EXPECT_EQ(MainDevFrame(), window.Frame());

  // The first activation places the log over the window; later ones do not.
  window.move(100, 50);
  log.move(0, 0);
  QEvent activate(QEvent::WindowActivate);
  EXPECT_TRUE(window.First);
  QCoreApplication::sendEvent(&window, &activate);
  EXPECT_FALSE(window.First);
  const QPoint centred = log.pos();
  EXPECT_NE(centred, QPoint(0, 0));
  log.move(0, 0);
  QCoreApplication::sendEvent(&window, &activate);
  EXPECT_EQ(log.pos(), QPoint(0, 0));
}

TEST_F(FrameTest, LogButtonTogglesTheLogWindow) {
  ASSERT_NE(TempLogWindow(), nullptr);
  TfrRK_7140 frame;
  TempLogWindow()->hide();
  frame.btnTempLog->click();
  EXPECT_TRUE(TempLogWindow()->isVisible());
  frame.btnTempLog->click();
  EXPECT_FALSE(TempLogWindow()->isVisible());
}

TEST(PanelApplication, HintTiming) {
  InstallHintTiming();
  EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 200);
  EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_ToolTip_FallAsleepDelay), 100000);
}

// An error that reaches the event loop becomes a navy log line; the loop goes on.
TEST(PanelApplication, ErrorsReachingTheLoopAreLogged) {
  ClearTempLog(TzTempLogCounts{});
  TzThrowing target;
  QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
  QCoreApplication::postEvent(&target, new QEvent(static_cast<QEvent::Type>(QEvent::User + 1)));
  QCoreApplication::processEvents();
  const std::vector<TzTempLogLine> lines = TempLogLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1].Text, QStringLiteral("Ошибка: обработчик сломан"));
  EXPECT_EQ(ColorToBgr(lines[1].Color), 0x800000u);
  EXPECT_TRUE(lines[0].Text.startsWith(QStringLiteral("Ошибка: ")));
  EXPECT_EQ(ColorToBgr(lines[0].Color), 0x800000u);
}

// The program ends when its main window closes, whatever else is open: the
// message log, the version window and observer windows close with it, and
// the frame lets go of its port.
TEST_F(FrameTest, ClosingTheMainWindowEndsTheProgram) {
  TfrRK_7140::Register();
  ASSERT_NE(TempLogWindow(), nullptr);
  TfrmMain window(TempLogWindow());
  TfrmVerInfo verInfo(&window);
  window.show();
  TempLogWindow()->show();
  verInfo.show();
  auto* frame = qobject_cast<TfrRK_7140*>(window.Frame());
  ASSERT_NE(frame, nullptr);
  TzSimModule module{TzSimConfig{.DemoInputs = false}};
  frame->Controller().SetEngineFactory([&module](int32_t aPort) { return MakeSimEngine(aPort, module); });
  frame->btnConnectClick();
  ASSERT_TRUE(PumpUntil([&] { return frame->Controller().Connected(); }));
  frame->btnPortObserverClick();
  const QList<TfrmPortObserver*> observers = frame->findChildren<TfrmPortObserver*>();
  ASSERT_EQ(observers.size(), 1);
  ASSERT_TRUE(observers.front()->isVisible());

  // The loop ends by itself once the window is closed; the guard only
  // reports a loop that would run on.
  QTimer::singleShot(0, &window, [&window] { window.close(); });
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  guard.start(10000);
  EXPECT_EQ(QApplication::exec(), 0);
  guard.stop();
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(TempLogWindow()->isVisible());
  EXPECT_FALSE(verInfo.isVisible());
  for (TfrmPortObserver* observer : frame->findChildren<TfrmPortObserver*>()) EXPECT_FALSE(observer->isVisible());
  EXPECT_FALSE(frame->Controller().Connected());
  ASSERT_NE(frame->Controller().FreePort(), nullptr);
  // The engine's port is closed: what is still queued is answered "unusable".
  EXPECT_TRUE(frame->Controller().FreePort()->Stop());
}

// Qt's own dialogs (the file dialogs of the observer and the log, message
// boxes) speak the panel's language: the panel loads Qt's translations.
TEST(QtTranslations, QtsOwnButtonsAndCaptionsAreRussian) {
  QDialogButtonBox box(QDialogButtonBox::Save | QDialogButtonBox::Cancel | QDialogButtonBox::Open);
  EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отмена"));
  EXPECT_EQ(box.button(QDialogButtonBox::Save)->text(), QStringLiteral("Сохранить"));
  EXPECT_NE(QCoreApplication::translate("QFileDialog", "File &name:"), QStringLiteral("File &name:"));
  EXPECT_NE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Look in:"));
}
