#include "uCliStop.h"

#include <csignal>

namespace {
volatile std::sig_atomic_t gStop = 0;
void (*gOnStop)() = nullptr;

extern "C" void OnSignal(int) {
  gStop = 1;
  if (gOnStop) gOnStop();
}
}  // namespace

void CatchStopSignals(void (*aOnStop)()) {
  gOnStop = aOnStop;
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
}

bool StopRequested() { return gStop != 0; }
