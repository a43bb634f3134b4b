// rk7140-soak: the panel's controller, headless, connected to the virtual
// module over a pseudo-terminal while the module shows a changing mix of
// faults: dropped answers, spoilt check sums, answers from another address,
// noise before answers, late answers, exception answers, and its port going
// away and coming back (the panel then reconnects, as its user would).
//
//   rk7140-soak [--seconds N] [--phase-ms N] [--check]
//
// It prints what went over the line and what is left at the end. With
// --check it exits non-zero when an invariant breaks: every request taken by
// the engine is answered, no answer comes back for a request nobody made,
// after a quiet period only polling requests wait for their answers, and the
// poll works again. Memory and responsiveness are printed, never checked:
// they depend on the machine.
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <numeric>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "uPanelWindows.h"
#include "uRK7140Controller.h"
#include "uSerialPorts.h"
#include "uSimControl.h"
#include "uSimPtyModule.h"
#include "uTempLog.h"

namespace {

// Times every event the user-interface thread dispatches at the top level.
class TzTimedApplication : public QApplication {
public:
  using QApplication::QApplication;
  bool notify(QObject* aReceiver, QEvent* aEvent) override {
    if (fDepth++ > 0) {
      const bool result = QApplication::notify(aReceiver, aEvent);
      --fDepth;
      return result;
    }
    QElapsedTimer timer;
    timer.start();
    const bool result = QApplication::notify(aReceiver, aEvent);
    LongestBusyNs = std::max(LongestBusyNs, timer.nsecsElapsed());
    --fDepth;
    return result;
  }
  qint64 LongestBusyNs = 0;

private:
  int fDepth = 0;
};

// The controller's screen, which nobody looks at here.
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

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return 0;
}

void Pump(int aMs) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < aMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
  }
}

bool PumpUntil(const std::function<bool()>& aDone, int aGuardMs) {
  QElapsedTimer timer;
  timer.start();
  while (!aDone()) {
    if (timer.elapsed() > aGuardMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
  }
  return true;
}

// One step of the fault schedule.
struct TzPhase {
  const char* Name;
  std::vector<std::string> Commands;  // control commands of the module
  bool LineAway = false;              // close the module's port, reopen it, reconnect
};

const std::vector<TzPhase> kPhases = {
    {"dropped answers", {"fault drop 30"}},
    {"spoilt check sums", {"fault crc 30"}},
    {"answers from another address", {"fault from 17"}},
    {"noise before answers", {"fault noise 6"}},
    {"late answers", {"fault delay 450"}},
    {"exception answers", {"fault exception 60070 2", "fault exception 32770 4"}},
    {"line away and back", {}, true},
    {"a mix", {"fault drop 10", "fault crc 10", "fault noise 3", "fault delay 40", "fault exception 60018 3"}},
};

const std::set<int32_t> kPolled = {60062, 60070, 32768, 32769, 32770, 32771, 32772, 32773, 60018, 160071};

}  // namespace

int main(int argc, char** argv) {
  int seconds = 20;
  int phaseMs = 2000;
  bool check = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--seconds" && i + 1 < argc) seconds = std::atoi(argv[++i]);
    else if (arg == "--phase-ms" && i + 1 < argc) phaseMs = std::atoi(argv[++i]);
    else if (arg == "--check") check = true;
    else {
      std::fprintf(stderr, "usage: rk7140-soak [--seconds N] [--phase-ms N] [--check]\n");
      return 2;
    }
  }
  if (seconds < 5 || phaseMs < 500) {
    std::fprintf(stderr, "rk7140-soak: at least 5 seconds and phases of 500 ms\n");
    return 2;
  }

  // A private folder: the link to the module's port, and Qt's runtime folder.
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("rk7140-soak-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir.string()));
  TzTimedApplication app(argc, argv);
  TfrmTempLog log;  // what the controller logs goes here
  SetTempLogWindow(&log);

  // The module's port is reached through a link, as a device path stays the
  // same when an adapter is plugged in again; the link follows the module's
  // pseudo-terminal.
  const std::filesystem::path link = dir / "line";
  qputenv(std::string(kPortListVariable).c_str(), QByteArray::fromStdString(link.string()));
  TzSimPtyModule sim(TzSimConfig{.DemoInputs = true});
  auto startLine = [&] {
    if (!sim.Start()) return false;
    std::error_code ignored;
    std::filesystem::remove(link, ignored);
    std::filesystem::create_symlink(sim.Path(), link, ignored);
    return !ignored;
  };
  if (!startLine()) {
    std::fprintf(stderr, "rk7140-soak: the virtual module did not start: %s\n", sim.Error().c_str());
    return 1;
  }

  // What went over the line, by engine (UIDs start again with every engine).
  int generation = 0;
  std::set<std::pair<int, uint32_t>> waiting;
  std::map<uint32_t, long> byCode;
  long queued = 0, handedBack = 0, unknown = 0;
  TzNoView view;
  TzRK7140Controller controller(view);
  if (!controller.LoadDevice()) return 1;
  controller.OnRequestQueued = [&](uint32_t aUID, int32_t) {
    ++queued;
    waiting.insert({generation, aUID});
  };
  controller.OnAnswerHandedBack = [&](uint32_t aUID, uint32_t aErrCode) {
    ++handedBack;
    ++byCode[aErrCode];
    if (waiting.erase({generation, aUID}) == 0) ++unknown;
  };

  const TzConnectSettings settings{.ComPort = kExtraPortBase + 1, .Endpoint = {}, .DevAddr = 16, .BaudRate = 9600,
                                   .FormatIndex = 0, .Timeout = 100};
  int reconnects = 0, failedConnects = 0;
  auto connectAndPoll = [&] {
    for (int attempt = 0; attempt < 5; ++attempt) {
      ++generation;
      controller.Connect(settings);
      if (PumpUntil([&] { return controller.OprosTimer().isActive(); }, 30000)) return true;
      ++failedConnects;
    }
    return false;
  };
  if (!connectAndPoll()) {
    std::fprintf(stderr, "rk7140-soak: the first connection failed\n");
    return 1;
  }

  QElapsedTimer clock;
  clock.start();
  const qint64 quietMs = std::min<qint64>(5000, seconds * 1000 / 4);
  const qint64 faultsUntil = seconds * 1000LL - quietMs;
  long warmKiB = 0, peakKiB = ResidentKiB();
  size_t phase = 0;
  int lineLosses = 0;
  bool ok = true;
  auto run = [&](const std::string& aCommand) {
    std::string reply;
    RunSimCommand(sim.Module(), aCommand, reply);
  };

  while (clock.elapsed() < faultsUntil) {
    const TzPhase& p = kPhases[phase % kPhases.size()];
    run("fault off");
    if (p.LineAway) {
      // The port goes away under the running poll, comes back, and the user
      // disconnects and connects again.
      ++lineLosses;
      sim.Stop();
      Pump(phaseMs / 2);
      if (!startLine()) {
        std::fprintf(stderr, "rk7140-soak: the module's port did not come back\n");
        return 1;
      }
      controller.Disconnect();
      if (!PumpUntil([&] { return controller.PendingCount() == 0; }, 30000)) {
        std::fprintf(stderr, "rk7140-soak: requests were still waiting after the disconnect\n");
        ok = false;
      }
      ++reconnects;
      if (!connectAndPoll()) {
        std::fprintf(stderr, "rk7140-soak: the reconnection failed\n");
        return 1;
      }
      Pump(phaseMs / 2);
    } else {
      for (const std::string& command : p.Commands) run(command);
      Pump(phaseMs);
    }
    ++phase;
    peakKiB = std::max(peakKiB, ResidentKiB());
    if (phase == kPhases.size()) warmKiB = ResidentKiB();  // one whole cycle is the warm-up
  }

  if (warmKiB == 0) warmKiB = ResidentKiB();  // a run shorter than one cycle
  // Quiet: no faults; the poll goes on and must be healthy again.
  run("fault off");
  const long codeZeroBefore = byCode[0];
  Pump(static_cast<int>(quietMs));
  peakKiB = std::max(peakKiB, ResidentKiB());
  const long finalKiB = ResidentKiB();
  std::vector<int32_t> pendingTags;
  for (const auto& record : controller.ModbusAnswerList()) pendingTags.push_back(record->Tag ? record->Tag->ID : 0);
  const bool pendingArePolls =
      std::all_of(pendingTags.begin(), pendingTags.end(), [](int32_t aID) { return kPolled.count(aID) > 0; });
  const bool pollHealthy = controller.Connected() && controller.OprosTimer().isActive() && byCode[0] > codeZeroBefore;

  // Every request still waiting must be one the engine is about to answer:
  // stop the poll and let the engine finish its queue.
  controller.OprosTimer().stop();
  PumpUntil([&] { return controller.PendingCount() == 0; }, 30000);
  const size_t neverAnswered = waiting.size();

  std::printf("soak: %d s, %zu fault phases of %d ms (%d line losses, %d reconnects, %d failed connection attempts)\n",
              seconds, phase, phaseMs, lineLosses, reconnects, failedConnects);
  std::printf("requests queued:        %ld\n", queued);
  std::printf("answers handed back:    %ld\n", handedBack);
  for (const auto& [code, count] : byCode) {
    const char* meaning = code == 0 ? "bytes received" : code == 512 ? "nothing received"
                          : code == 0xFFFFFFFFu ? "port unusable" : "line-error flags";
    std::printf("  code %-10u %-18s %ld\n", code, meaning, count);
  }
  std::printf("answers for no request: %ld\n", unknown);
  std::printf("never answered:         %zu\n", neverAnswered);
  std::printf("pending after quiet:    %zu (", pendingTags.size());
  for (size_t i = 0; i < pendingTags.size(); ++i) std::printf("%s%d", i ? " " : "", pendingTags[i]);
  std::printf(")%s\n", pendingArePolls ? ", all polling" : ", NOT ONLY POLLING");
  std::printf("poll healthy after quiet: %s\n", pollHealthy ? "yes" : "no");
  std::printf("exception answers counted: %ld\n",
              static_cast<long>(std::accumulate(controller.ModbusErrors().begin(), controller.ModbusErrors().end(), 0L)));
  std::printf("resident memory: after warm-up %ld KiB, peak %ld KiB, final %ld KiB\n", warmKiB, peakKiB, finalKiB);
  std::printf("longest busy stretch of the user-interface thread: %.1f ms\n",
              static_cast<double>(app.LongestBusyNs) / 1e6);

  controller.Disconnect();
  PumpUntil([&] { return controller.PendingCount() == 0; }, 10000);
  SetTempLogWindow(nullptr);
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);

  if (!check) return 0;
  ok = ok && neverAnswered == 0 && unknown == 0 && pendingArePolls && pollHealthy && queued > 0 &&
       handedBack == queued;
  std::printf("%s\n", ok ? "invariants hold" : "INVARIANTS BROKEN");
  return ok ? 0 : 1;
}
