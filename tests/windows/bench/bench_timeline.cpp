// Not a test: the timeline's cost for an hour of recording. One input toggles
// ten times a second for an hour (36 000 changes), the other 17 traces change
// once a minute. Prints the recorder's memory (its own count and the
// process's resident growth) and the time per repaint of a 1200 px wide view
// showing the whole hour and showing 10 s, at scale factors 1 and 2.
//   timeline_bench [REPAINTS]   (default 200 per figure)
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "uTimelineRecorder.h"
#include "uTimelineTraces.h"
#include "uTimelineView.h"

namespace {

long ResidentKb() {
  QFile statm(QStringLiteral("/proc/self/statm"));
  if (!statm.open(QIODevice::ReadOnly)) return 0;
  const QList<QByteArray> fields = statm.readAll().split(' ');
  return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

double RepaintMs(TzTimelineView& aView, qreal aScale, int aRepaints) {
  QImage image(aView.size() * aScale, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(aScale);
  aView.render(&image);  // warm-up
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < aRepaints; ++i) aView.render(&image);
  const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
  return elapsed.count() / aRepaints;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int repaints = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;

  constexpr int64_t kHourMs = 3600 * 1000;
  const int64_t start = 1'768'478'400'000;  // any wall-clock time
  const long residentBefore = ResidentKb();
  TzTimelineRecorder recorder(kTlTraceCount, start);
  for (int64_t t = 0; t < kHourMs; t += 100) {
    recorder.Record(kTlFirstInput, start + t, (t / 100) % 2);
    if (t % 60000 == 0)
      for (size_t trace = 1; trace < kTlInputCount + kTlRelayCount; ++trace)
        recorder.Record(trace, start + t, (t / 60000 + trace) % 2);
  }
  const long residentAfter = ResidentKb();

  TzTimelineView view(recorder);
  view.Clock = [&] { return start + kHourMs; };
  std::vector<size_t> traces;
  for (size_t trace = 0; trace < kTlInputCount + kTlRelayCount; ++trace) traces.push_back(trace);
  view.SetTraces(traces);
  view.resize(1200, 500);

  std::printf("recording: %zu changes on %zu traces over one hour\n", recorder.ChangeCount(), traces.size());
  std::printf("memory: %.2f MB counted by the recorder, %.2f MB resident growth\n", recorder.MemoryBytes() / 1e6,
              (residentAfter - residentBefore) / 1024.0);
  for (const qreal scale : {1.0, 2.0}) {
    view.FitAll();
    const double all = RepaintMs(view, scale, repaints);
    view.ShowRange(start + kHourMs / 2, 10'000);
    const double tenSeconds = RepaintMs(view, scale, repaints);
    std::printf("repaint of a %d px view at scale %.0f: whole hour %.2f ms, 10 s %.2f ms (mean of %d)\n",
                view.width(), scale, all, tenSeconds, repaints);
  }
  return 0;
}
