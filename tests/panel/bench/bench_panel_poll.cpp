// Not a test: the panel's controller against the virtual module on a
// pseudo-terminal with real wire timing (9600 8N1). Prints the time of the
// first full reading against the line's own time for its exchanges, and the
// rate at which the inputs (60070) and the relays (60062) are answered while
// polling, against the promised four per second.
//
//   bench_panel_poll [--seconds N] [--wait-silence]
//
// --wait-silence ends every exchange by the 50 ms silence time-out alone, as
// the panel did before the completion rule, for comparison.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "uRK7140Controller.h"
#include "uSimPtyModule.h"

namespace {

class TzNoView : public TzPanelView {
public:
  void Anima(bool) override {}
  void SetConnectButtonEnabled(bool) override {}
  void ShowFindDeviceIcon(bool) override {}
  void ShowFirstUpdatePicture(bool) override {}
  void CloseAllPanel() override {}
  void ButtonsEnabled(bool) override {}
  void ClearLabels(const QString&) override {}
  void SetIndicatorsOff() override {}
  void ShowFirmwareVersion(const QString&) override {}
  void ShowOutputInPanel(int) override {}
  void TryFindPanVisible() override {}
  void ShowImpCounters(const std::vector<int32_t>&) override {}
};

void PumpFor(qint64 aMs, const std::function<bool()>& aDone = {}) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < aMs && !(aDone && aDone())) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::usleep(200);
  }
}

// Bytes of the answer to a read of aTag: 5 + the data bytes.
int AnswerBytes(const TzTag& aTag) {
  return aTag.ReadCmd <= 2 ? 5 + (aTag.SegSize + 7) / 8 : 5 + 2 * aTag.SegSize;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int seconds = 10;
  bool waitSilence = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) seconds = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--wait-silence")) waitSilence = true;
  }

  TzSimPtyModule sim({.DemoInputs = false});
  sim.Bus().SetWireTiming(true);
  if (!sim.Start()) {
    std::fprintf(stderr, "bench_panel_poll: the virtual module did not start: %s\n", sim.Error().c_str());
    return 1;
  }

  TzNoView view;
  TzRK7140Controller controller(view);
  if (!controller.LoadDevice()) return 1;
  bool reading = true;
  double lineMs = 0;
  int exchanges = 0;
  std::map<uint32_t, int32_t> tagOf;
  std::map<int32_t, int> answered;
  controller.OnRequestQueued = [&](uint32_t aUID, int32_t aTagID) {
    tagOf[aUID] = aTagID;
    if (!reading) return;
    const TzTag* tag = controller.Device()->GetTagByID(aTagID);
    const int bytes = 8 + (tag ? AnswerBytes(*tag) : 7);
    // 10 bits a character at 9600 baud, and the engine's 10 ms between exchanges.
    lineMs += bytes * 10 * 1000.0 / 9600 + 10;
    ++exchanges;
  };
  controller.OnAnswerHandedBack = [&](uint32_t aUID, uint32_t aErrCode) {
    if (aErrCode == 0 && !reading) ++answered[tagOf[aUID]];
  };

  QElapsedTimer clock;
  clock.start();
  controller.Connect({.ComPort = 0, .Endpoint = sim.Path(), .DevAddr = 16, .BaudRate = 9600, .FormatIndex = 0,
                      .Timeout = 57});
  if (waitSilence) controller.FreePort()->SetCompletionRule({});
  PumpFor(60000, [&] { return controller.OprosTimer().isActive(); });
  if (!controller.OprosTimer().isActive()) {
    std::fprintf(stderr, "bench_panel_poll: the first reading did not end\n");
    return 1;
  }
  const qint64 firstMs = clock.elapsed();
  reading = false;
  std::printf("%s\n", waitSilence ? "exchanges ended by 50 ms of silence" : "exchanges ended by the completion rule");
  std::printf("first full reading: %lld ms for %d exchanges; the line's own time %.0f ms (%.2fx)\n",
              static_cast<long long>(firstMs), exchanges, lineMs, firstMs / lineMs);

  PumpFor(1000);  // the poll settles
  answered.clear();
  clock.restart();
  PumpFor(seconds * 1000LL);
  const double s = clock.elapsed() / 1000.0;
  for (const int32_t id : {60070, 60062})
    std::printf("poll of %d: %.2f answers per second (goal 4)\n", id, answered[id] / s);
  return 0;
}
