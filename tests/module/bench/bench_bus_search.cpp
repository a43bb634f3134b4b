// Measures one pass of the bus search over 247 addresses on the virtual bus
// (modules at 1 and 16, a foreign device at 20, answers at a real line's
// pace), at 9600 baud with the minimum time-out of that rate, and compares
// it with the floor that the line settings force:
//   247 x (time-out + the engine's 10 ms pause + the request's time on the line)
// Every probe listens for the whole time-out (no interval time-out ends a
// read early), so the time-out, not the answers, sets the pace.
// Usage: bus_search_bench [baud rate] [time-out ms]
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "uBusSearch.h"
#include "uSerialPorts.h"
#include "uSimPtyModule.h"

int main(int argc, char** argv) {
  const int baud = argc > 1 ? std::atoi(argv[1]) : 9600;
  // The panel's minimum: integer part of 264 / baud x 1000, plus 30 ms.
  const int timeout = argc > 2 ? std::atoi(argv[2]) : static_cast<int>(264.0 / baud * 1000) + 30;

  TzSimPtyBus sim;
  sim.Bus().AddModule({.Address = 1, .DemoInputs = false});
  sim.Bus().AddModule({.Address = 16, .DemoInputs = false});
  sim.Bus().AddForeign({.Address = 20});
  sim.Bus().SetWireTiming(true);
  if (!sim.Start()) {
    std::fprintf(stderr, "no virtual bus: %s\n", sim.Error().c_str());
    return 1;
  }
  // The pseudo-terminal is offered as the panel offers it: RK7140_PORTS.
  setenv(std::string(kPortListVariable).c_str(), sim.Path().c_str(), 1);

  std::mutex m;
  std::condition_variable done;
  int asked = 0, answered = 0;
  bool last = false;
  TzBusSearch search;  // no post function: answers are handled on the engine's worker
  search.SetComPort(kExtraPortBase + 1);
  search.SetBaudRate(baud);
  search.SetFormat(0);
  search.SetTimeout(timeout);
  search.Cycled = false;
  search.OnFindAddr = [&](int32_t, const TStringBytes&) { ++answered; };
  search.OnFindProcess = [&](int32_t aAddr) {
    std::lock_guard lock(m);
    ++asked;
    if (aAddr == kFindLastAddr) {
      last = true;
      done.notify_all();
    }
  };

  const auto start = std::chrono::steady_clock::now();
  if (!search.Start()) {
    std::fprintf(stderr, "the port did not open (code %u)\n", search.StartError());
    return 1;
  }
  {
    std::unique_lock lock(m);
    if (!done.wait_for(lock, std::chrono::minutes(5), [&] { return last; })) {
      std::fprintf(stderr, "the pass did not end\n");
      return 1;
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double requestMs = 8 * 10 * 1000.0 / baud;  // 8 bytes of 10 bits (8N1)
  const double floorMs = 247 * (timeout + 10 + requestMs);
  const double noLineMs = 247 * (timeout + 10);
  std::printf("one pass: %d addresses asked, %d answered, at %d baud with a time-out of %d ms\n", asked, answered,
              baud, timeout);
  std::printf("measured:                         %.2f s (%.2f ms per address)\n", seconds, seconds * 1000 / 247);
  std::printf("floor 247 x (%d + 10 + %.2f) ms:  %.2f s (measured is %+.1f %%)\n", timeout, requestMs,
              floorMs / 1000, (seconds * 1000 / floorMs - 1) * 100);
  std::printf("without the line time 247 x %d ms: %.2f s (engine's own time %.2f ms per address)\n", timeout + 10,
              noLineMs / 1000, (seconds * 1000 - noLineMs) / 247);
  search.Stop();
  return 0;
}
