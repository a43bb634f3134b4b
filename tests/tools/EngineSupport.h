// The port engine as the panel and rk7140ctl use it, for the virtual
// module's network tests: one request at a time, waited for.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "uFreePort.h"
#include "uModbusFrames.h"
#include "uUtils.h"

struct TzEngineAnswer {
  uint32_t ErrCode = 0;
  std::vector<uint8_t> Bytes;
};

class TzEngineClient {
public:
  explicit TzEngineClient(const std::string& aEndpoint, int32_t aBaud = 9600, int32_t aTimeoutMs = 500)
      : Engine(std::make_unique<TzFreePort>(aEndpoint)) {
    // Without a post function the callback runs on the worker.
    Engine->SetOnAsyncAnswerProc([this](int32_t, uint32_t, TStringBytes aAnswer, uint32_t aErr) {
      std::lock_guard lock(fM);
      fAnswers.push_back({aErr, aAnswer.AsBytes()});
      fCV.notify_all();
    });
    Engine->SetCompletionRule(IsCompleteRtuAnswer);
    auto& d = Engine->LocDCB();
    d.BaudRate = aBaud;
    d.ByteSize = 8;
    d.Parity = 0;
    d.StopBits = 0;
    auto& t = Engine->LocTimeouts();
    t.ReadIntervalTimeout = 50;
    t.ReadTotalTimeoutMultiplier = 1;
    t.ReadTotalTimeoutConstant = aTimeoutMs;
    t.WriteTotalTimeoutMultiplier = 50;
    t.WriteTotalTimeoutConstant = 50;
  }

  // The engine ends before the answer list it reports into.
  ~TzEngineClient() { Engine.reset(); }

  bool Start() { return Engine->Start(); }

  // Starts, retrying while the peer is not listening yet (up to aGuard).
  bool StartWithin(std::chrono::milliseconds aGuard) {
    const auto deadline = std::chrono::steady_clock::now() + aGuard;
    while (!Engine->Start()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
  }

  // One request, its answer (nothing when none came within 20 s).
  std::optional<TzEngineAnswer> Ask(const std::vector<uint8_t>& aFrame) {
    // The last request leaves the queue only after its callback returned:
    // until then the same frame would be refused as a duplicate.
    const auto queueGuard = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!Engine->QueuedUIDs().empty() && std::chrono::steady_clock::now() < queueGuard)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::unique_lock lock(fM);
    const size_t before = fAnswers.size();
    lock.unlock();
    if (!Engine->SendCmd(TStringBytes::FromBytes(aFrame), aFrame.empty() ? 0 : aFrame[0])) return std::nullopt;
    lock.lock();
    if (!fCV.wait_for(lock, std::chrono::seconds(20), [&] { return fAnswers.size() > before; })) return std::nullopt;
    return fAnswers[before];
  }

  // The device type the module at aAddress answers in 36864, -1 for no
  // good answer.
  int DeviceType(uint8_t aAddress = 16) {
    const auto answer = Ask(WithModbusCRC({aAddress, 0x04, 0x90, 0x00, 0x00, 0x01}));
    if (!answer || answer->ErrCode != 0 || answer->Bytes.size() != 7 || !HasModbusCRC(answer->Bytes)) return -1;
    return answer->Bytes[3] << 8 | answer->Bytes[4];
  }

  std::unique_ptr<TzFreePort> Engine;

private:
  std::mutex fM;
  std::condition_variable fCV;
  std::vector<TzEngineAnswer> fAnswers;
};

#ifdef RK7140CTL
#include <sys/wait.h>

#include <cstdio>

// rk7140ctl run with aArgs (a shell word list): its exit code and what it
// printed on stdout and stderr.
struct TzCtlResult {
  int Code = -1;
  std::string Output;
};

inline TzCtlResult RunCtl(const std::string& aArgs) {
  TzCtlResult result;
  const std::string command = std::string(RK7140CTL) + " " + aArgs + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  char buffer[512];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.Output.append(buffer, n);
  const int status = pclose(pipe);
  result.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}
#endif
