// Helpers of the virtual module's tests: frames with their check sum and a
// module on a hand-driven clock.
#pragma once

#include <fcntl.h>
#include <termios.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "uSimModule.h"
#include "uUtils.h"

// Opens a client's end of the virtual module's line, raw; -1 on failure.
inline int OpenRawClient(const std::string& aPath) {
  const int fd = open(aPath.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return -1;
  termios raw{};
  tcgetattr(fd, &raw);
  cfmakeraw(&raw);
  tcsetattr(fd, TCSANOW, &raw);
  return fd;
}

inline std::vector<uint8_t> WithCrc(std::vector<uint8_t> aBytes) {
  return WithModbusCRC(std::move(aBytes));
}

// A module whose steady and local clocks move only when the test says so.
struct TzSimFixture {
  explicit TzSimFixture(TzSimConfig aConfig = StaticConfig())
      : Time(std::make_shared<TzSimTime>(TzSimTime{kStartMs, kStartLocal})),
        Module(aConfig, [time = Time] { return *time; }) {}

  static TzSimConfig StaticConfig() {
    TzSimConfig config;
    config.DemoInputs = false;
    return config;
  }

  // The PC clock starts at 2025-06-15 12:00:00 and runs with the steady one.
  void Wait(int64_t aMs) {
    Time->SteadyMs += aMs;
    Time->LocalSec = kStartLocal + (Time->SteadyMs - kStartMs) / 1000;
  }

  // The answer PDU (function onwards, no check sum) to a request PDU sent to
  // address 16; empty when the module stays silent.
  std::vector<uint8_t> Ask(std::initializer_list<uint8_t> aPdu, uint8_t aAddress = 16) {
    std::vector<uint8_t> frame{aAddress};
    frame.insert(frame.end(), aPdu);
    const TzSimReply reply = Module.HandleFrame(WithCrc(frame));
    if (reply.Bytes.size() < 4) return {};
    return {reply.Bytes.begin() + 1, reply.Bytes.end() - 2};
  }

  static uint8_t Hi(int aValue) { return static_cast<uint8_t>(aValue >> 8); }
  static uint8_t Lo(int aValue) { return static_cast<uint8_t>(aValue & 0xFF); }

  // One holding register by function 3; -1 for an exception or no answer.
  int ReadHolding(int aReg) {
    const std::vector<uint8_t> answer = Ask({3, Hi(aReg), Lo(aReg), 0, 1});
    if (answer.size() != 4 || answer[0] != 3) return -1;
    return answer[2] << 8 | answer[3];
  }
  int ReadInput(int aReg) {
    const std::vector<uint8_t> answer = Ask({4, Hi(aReg), Lo(aReg), 0, 1});
    if (answer.size() != 4 || answer[0] != 4) return -1;
    return answer[2] << 8 | answer[3];
  }
  int ReadCoil(int aReg) {
    const std::vector<uint8_t> answer = Ask({1, Hi(aReg), Lo(aReg), 0, 1});
    if (answer.size() != 3 || answer[0] != 1) return -1;
    return answer[2] & 1;
  }
  // Function 6; the exception code, 0 for success, -1 for no answer.
  int WriteHolding(int aReg, int aValue) {
    const std::vector<uint8_t> answer = Ask({6, Hi(aReg), Lo(aReg), Hi(aValue), Lo(aValue)});
    if (answer.empty()) return -1;
    return answer[0] == 6 ? 0 : answer[1];
  }
  int WriteCoil(int aReg, bool aOn) {
    const std::vector<uint8_t> answer =
        Ask({5, Hi(aReg), Lo(aReg), static_cast<uint8_t>(aOn ? 0xFF : 0), 0});
    if (answer.empty()) return -1;
    return answer[0] == 5 ? 0 : answer[1];
  }

  static constexpr int64_t kStartMs = 1000000;
  static inline const int64_t kStartLocal = CivilToSeconds({2025, 6, 15, 12, 0, 0});
  std::shared_ptr<TzSimTime> Time;
  TzSimModule Module;
};
