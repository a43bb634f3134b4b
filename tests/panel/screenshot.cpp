// Renders the main window connected to a virtual module into a PNG file:
//   rk7140-screenshot OUTPUT.png [--com-panel | --observer | --outputs | --timeline]
// With --com-panel the connection panel is left open in the picture; with
// --observer the picture is of a port observer window after a few polls;
// with --outputs the outputs panel and its PWM calculator are open, example
// (C) calculated; with --timeline the picture is of a timeline window after
// a few seconds of fast recording of the demo pattern, with two cursors.
// Runs without a display (the offscreen platform is chosen when none is set).
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QToolButton>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

#include "uMain.h"
#include "uOutputsPanel.h"
#include "uShimPanel.h"
#include "uPanelWindows.h"
#include "uRK_7140.h"
#include "uSimBackend.h"
#include "uTempLog.h"
#include "uTimeline.h"
#include "uTimelineView.h"

int main(int argc, char* argv[]) {
  const bool comPanel = argc == 3 && QByteArray(argv[2]) == "--com-panel";
  const bool observer = argc == 3 && QByteArray(argv[2]) == "--observer";
  const bool outputs = argc == 3 && QByteArray(argv[2]) == "--outputs";
  const bool timeline = argc == 3 && QByteArray(argv[2]) == "--timeline";
  if (argc != 2 && !comPanel && !observer && !outputs && !timeline) {
    std::fprintf(stderr, "usage: rk7140-screenshot OUTPUT.png [--com-panel | --observer | --outputs | --timeline]\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Keep the user's own options file out of it.
  QTemporaryDir config;
  if (!config.isValid()) return 1;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  QApplication app(argc, argv);
  TfrmTempLog log;
  SetTempLogWindow(&log);
  TfrRK_7140::SetSerialPortSource([] { return std::vector<TzSerialPortInfo>{{"/dev/ttyUSB0", 1000}}; });
  TfrRK_7140::Register();

  TzSimModule module(TzSimConfig{.DemoInputs = false, .Inputs = 0x0805});
  TfrmMain window(&log);
  auto* frame = qobject_cast<TfrRK_7140*>(window.Frame());
  if (frame == nullptr) return 1;
  frame->Controller().SetEngineFactory([&module](int32_t aPort) { return MakeSimEngine(aPort, module); });
  window.show();
  frame->txtLineTimeout->setText(QStringLiteral("100"));
  frame->btnComPort->click();
  frame->btnConnectClick();

  QElapsedTimer guard;
  guard.start();
  auto pump = [&](auto done) {
    while (!done() && guard.elapsed() < 10000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::msleep(1);
    }
    return done();
  };
  if (!pump([&] { return frame->Controller().OprosTimer().isActive(); })) {
    std::fprintf(stderr, "the virtual module did not answer\n");
    return 1;
  }
  QWidget* shown = &window;
  if (observer) {
    frame->InterfaceTimerTimer();  // shows the observer button
    frame->btnPortObserver->click();
    shown = QApplication::topLevelWidgets().back();
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (widget->inherits("TfrmPortObserver")) shown = widget;
  }
  if (timeline) {
    frame->InterfaceTimerTimer();  // enables the timeline button
    frame->btnTimeline->click();
    TfrmTimeline* window = frame->findChild<TfrmTimeline*>();
    if (window == nullptr) return 1;
    window->btnFast->click();
    module.SetDemoInputs(true);
    auto wait = [&](int aMs) {
      QElapsedTimer span;
      span.start();
      while (span.elapsed() < aMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
      }
    };
    // Relay 1 closes for two seconds, relay 3 from the middle on.
    wait(1500);
    frame->Controller().SetRegByID(4096, 1, false);
    wait(1500);
    frame->Controller().SetRegByID(4352, 1, false);
    wait(500);
    frame->Controller().SetRegByID(4096, 0, false);
    wait(2500);
    // Cursors on a rise of input 3 and on its fall.
    TzTimelineView& view = *window->View();
    view.FitAll();
    view.SetCurrentRow(2);
    view.SetCursor(0, view.LeftMs());
    view.JumpToChange(true);
    view.JumpToChange(true);
    view.ChooseCursor(1);
    view.SetCursor(1, *view.Cursor(0));
    view.JumpToChange(true);
    window->RefreshTimerTimer();
    QCoreApplication::processEvents();
    if (!window->grab().save(QString::fromLocal8Bit(argv[1]))) {
      std::fprintf(stderr, "cannot write %s\n", argv[1]);
      return 1;
    }
    return 0;
  }
  // Relays 1 and 3 closed for the picture, then one poll and one refresh.
  frame->Controller().SetRegByID(4096, 1, false);
  frame->Controller().SetRegByID(4352, 1, false);
  pump([&] { return frame->Controller().PendingCount() == 0; });
  for (int tick = 0; tick < (observer ? 4 : 1); ++tick) {
    frame->Controller().OprosTimerTimer();
    pump([&] { return frame->Controller().PendingCount() == 0; });
  }
  frame->InterfaceTimerTimer();
  // Identification closed the panel; open it again when asked.
  if (comPanel) frame->btnComPort->click();
  if (outputs) {
    frame->btnDOut->click();
    frame->panShim->cbShimPrimer->setCurrentIndex(2);
    frame->panShim->cbShimPrimerChange();
    frame->panShim->btnShim_CalcClick();
  }
  QCoreApplication::processEvents();

  if (!shown->grab().save(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
