// Measures the port engine against a pseudo-terminal responder that answers
// at once, with the panel's time-outs (interval 50 ms):
//   - exchanges per second with the queue kept full;
//   - own time per exchange: wall time beyond what the timings force (the
//     50 ms of silence that ends each read and the 10 ms pause), and the
//     process CPU time per exchange (engine, responder and pump together);
//   - CPU of an idle engine, in percent of one core.
// Usage: transport_bench [exchanges] [idle seconds]
#include <time.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <cstdlib>
#include <thread>

#include "FarEnd.h"
#include "TestPump.h"
#include "uFreePort.h"

namespace {
using TzClock = std::chrono::steady_clock;

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double Seconds(TzClock::duration aTime) { return std::chrono::duration<double>(aTime).count(); }
}  // namespace

int main(int argc, char** argv) {
  const int exchanges = argc > 1 ? std::atoi(argv[1]) : 100;
  const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 5;
  std::string why;
  auto far = MakeFarEnd(why);
  if (!far) {
    std::fprintf(stderr, "no line: %s\n", why.c_str());
    return 1;
  }

  TzTestPump pump;
  int answered = 0, failed = 0;
  TzFreePort engine(far->EnginePort());
  engine.SetMainThreadPost(pump.Poster());
  engine.SetOnAsyncAnswerProc([&](int32_t, uint32_t, TStringBytes aAnswer, uint32_t aErr) {
    ++answered;
    if (aErr != 0 || aAnswer.Length() != 7) ++failed;
  });
  engine.LocDCB().BaudRate = 115200;
  engine.LocDCB().ByteSize = 8;
  engine.LocDCB().Parity = 0;
  engine.LocDCB().StopBits = 0;
  engine.LocTimeouts().ReadIntervalTimeout = 50;
  engine.LocTimeouts().ReadTotalTimeoutMultiplier = 1;
  engine.LocTimeouts().ReadTotalTimeoutConstant = 1000;
  engine.LocTimeouts().WriteTotalTimeoutMultiplier = 50;
  engine.LocTimeouts().WriteTotalTimeoutConstant = 50;
  // The floor: a bare thread that only wakes every 10 ms, as the engine's
  // worker must, measured the same way before the engine starts.
  std::atomic<bool> floorStop{false};
  const double floorCpu0 = CpuSeconds();
  const auto floorWall0 = TzClock::now();
  std::thread floor([&] {
    std::mutex m;
    std::condition_variable cv;
    std::unique_lock lock(m);
    while (!floorStop) cv.wait_for(lock, std::chrono::milliseconds(10));
  });
  std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
  floorStop = true;
  floor.join();
  const double floorCpu = CpuSeconds() - floorCpu0;
  const double floorWall = Seconds(TzClock::now() - floorWall0);

  if (!engine.Start()) {
    std::fprintf(stderr, "Start failed, code %u\n", engine.ErrorCode());
    return 1;
  }

  std::atomic<bool> stop{false};
  std::thread responder([&] {
    const std::vector<uint8_t> answer = {0x10, 0x03, 0x02, 0x00, 0x4A, 0x45, 0x9B};
    while (!stop) {
      std::vector<uint8_t> req;
      if (far->ReadExactly(req, 8, 50)) far->Write(answer);
    }
  });

  // Keep the queue full: every answer queues the next request.
  const auto wall0 = TzClock::now();
  const double cpu0 = CpuSeconds();
  int sent = 0;
  auto sendNext = [&] {
    const uint8_t tag = static_cast<uint8_t>(sent++);
    engine.SendCmd(TStringBytes::FromBytes({0x10, 0x03, 0xEA, tag, 0x00, 0x01, 0x53, 0x70}), 16);
  };
  sendNext();
  sendNext();
  pump.RunUntil([&] {
    while (sent < exchanges && sent - answered < 2) sendNext();
    return answered >= exchanges;
  }, std::chrono::seconds(600));
  const double wall = Seconds(TzClock::now() - wall0);
  const double cpu = CpuSeconds() - cpu0;
  stop = true;
  responder.join();

  // Idle: started, nothing queued.
  const double idleCpu0 = CpuSeconds();
  const auto idleWall0 = TzClock::now();
  std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
  const double idleCpu = CpuSeconds() - idleCpu0;
  const double idleWall = Seconds(TzClock::now() - idleWall0);

  const double perExchange = wall / answered;
  const double forced = 0.050 + 0.010;
  std::printf("exchanges: %d (failed %d) in %.2f s\n", answered, failed, wall);
  std::printf("exchanges per second: %.2f\n", answered / wall);
  std::printf("wall time per exchange: %.3f ms (forced by the timings: %.0f ms)\n", perExchange * 1e3, forced * 1e3);
  std::printf("own wall time per exchange: %.3f ms\n", (perExchange - forced) * 1e3);
  std::printf("process CPU per exchange: %.3f ms\n", cpu / answered * 1e3);
  std::printf("idle engine CPU: %.3f %% of one core (%.1f s)\n", idleCpu / idleWall * 100.0, idleWall);
  std::printf("bare 10 ms wake-up loop CPU: %.3f %% of one core\n", floorCpu / floorWall * 100.0);
  return failed == 0 ? 0 : 1;
}
