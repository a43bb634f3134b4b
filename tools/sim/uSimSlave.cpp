#include "uSimSlave.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "uSimFramer.h"
#include "uSimSerial.h"
#include "uUtils.h"

namespace {

constexpr int kTickMs = 50;  // how often time-driven behaviour catches up when idle

int64_t SteadyUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t SteadyMs() { return SteadyUs() / 1000; }

}  // namespace

TzSimSlave::TzSimSlave(TzSimBus& aBus, TzLogFn aLog) : fBus(aBus), fLog(std::move(aLog)) {}

bool TzSimSlave::Start(int aFd, bool aSerialDevice) {
  if (fThread.joinable() || aFd < 0) return false;
  if (pipe(fWake) != 0) return false;
  fcntl(fWake[0], F_SETFL, O_NONBLOCK);
  fFd = aFd;
  fSerialDevice = aSerialDevice;
  {
    const std::lock_guard lock(fErrorLock);
    fError.clear();
  }
  fRunning = true;
  try {
    fThread = std::thread(&TzSimSlave::Run, this);
  } catch (const std::system_error&) {
    fRunning = false;
    close(fWake[0]);
    close(fWake[1]);
    fWake[0] = fWake[1] = -1;
    return false;
  }
  return true;
}

void TzSimSlave::Stop() {
  if (!fThread.joinable()) return;
  const char byte = 'x';
  [[maybe_unused]] const ssize_t ignored = write(fWake[1], &byte, 1);
  fThread.join();
  close(fWake[0]);
  close(fWake[1]);
  fWake[0] = fWake[1] = -1;
  fRunning = false;
}

std::string TzSimSlave::Error() const {
  const std::lock_guard lock(fErrorLock);
  return fError;
}

void TzSimSlave::Fail(const std::string& aError) {
  {
    const std::lock_guard lock(fErrorLock);
    fError = aError;
  }
  Log("line failed: " + aError);
  fRunning = false;
}

void TzSimSlave::Log(const std::string& aLine) const {
  if (fLog) fLog(aLine);
}

bool TzSimSlave::WaitUntilOrStop(int64_t aSteadyUs) {
  pollfd wake{fWake[0], POLLIN, 0};
  for (;;) {
    const int64_t left = aSteadyUs - SteadyUs();
    if (left <= 0) return true;
    const timespec wait{static_cast<time_t>(left / 1000000), static_cast<long>(left % 1000000) * 1000};
    const int ready = ppoll(&wake, 1, &wait, nullptr);
    if (ready > 0) return false;
    if (ready < 0 && errno != EINTR) return false;
  }
}

TzSimTermLine TzSimSlave::ClientLine() const {
  TzSimTermLine line;
  ReadSimTermLine(fFd, line);
  return line;
}

bool TzSimSlave::Send(const std::vector<uint8_t>& aBytes) {
  size_t sent = 0;
  while (sent < aBytes.size()) {
    const ssize_t n = write(fFd, aBytes.data() + sent, aBytes.size() - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
      Fail(std::string("write: ") + std::strerror(errno));
      return false;
    }
    pollfd fds[2] = {{fFd, POLLOUT, 0}, {fWake[0], POLLIN, 0}};
    if (poll(fds, 2, 1000) > 0 && (fds[1].revents & POLLIN)) return false;
  }
  return true;
}

void TzSimSlave::Run() {
  TzSimFramer framer;
  std::vector<uint32_t> generations;
  for (size_t i = 0; i < fBus.ModuleCount(); ++i) generations.push_back(fBus.Module(i).LineGeneration());
  if (fBus.ModuleCount() > 0) framer.SetBaudRate(kSimBaudRates[fBus.Module(0).Line().BaudCode]);
  std::vector<uint8_t> frame;
  uint8_t buffer[256];
  while (fRunning) {
    const int64_t now = SteadyMs();
    const int wait = framer.WaitMs(now);
    pollfd fds[2] = {{fFd, POLLIN, 0}, {fWake[0], POLLIN, 0}};
    const int ready = poll(fds, 2, wait < 0 ? kTickMs : std::min(wait, kTickMs));
    if (ready < 0 && errno != EINTR) {
      Fail(std::string("poll: ") + std::strerror(errno));
      break;
    }
    if (fds[1].revents & POLLIN) break;
    if (fds[0].revents & POLLIN) {
      const ssize_t n = read(fFd, buffer, sizeof buffer);
      if (n > 0) {
        const std::span received(buffer, static_cast<size_t>(n));
        framer.Add(received, SteadyMs());
        // The request's bytes went at the client's speed.
        if (fTap != nullptr) fTap->Carry(received, fBus.StrictLine() ? ClientLine().BaudRate : 0);
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        Fail(n == 0 ? "end of file" : std::string("read: ") + std::strerror(errno));
        break;
      }
    } else if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
      Fail("the line hung up");
      break;
    }
    if (fTap != nullptr) fTap->Drain();
    fBus.Tick();
    while (fRunning && framer.Take(SteadyMs(), frame)) ServeFrame(frame);
    FollowRestarts(generations, framer);
  }
}

void TzSimSlave::ServeFrame(const std::vector<uint8_t>& aFrame) {
  const int64_t heardAt = SteadyUs();
  const bool strict = fBus.StrictLine();
  const TzSimTermLine client = strict ? ClientLine() : TzSimTermLine{};
  const TzSimBusResult result = fBus.HandleFrame(aFrame, strict ? &client : nullptr);
  for (const std::string& note : result.Notes) Log(note);
  for (const TzSimBusAnswer& answer : result.Answers) {
    if (!WaitUntilOrStop(heardAt + answer.DelayUs)) {
      fRunning = false;
      return;
    }
    // The listener hears the answer no later than the master does.
    if (fTap != nullptr) fTap->Carry(answer.Bytes, strict ? answer.BaudRate : 0);
    if (!Send(answer.Bytes)) return;
    Log("answer  " + HexBytes(answer.Bytes));
  }
}

void TzSimSlave::FollowRestarts(std::vector<uint32_t>& aGenerations, TzSimFramer& aFramer) {
  for (size_t i = 0; i < aGenerations.size(); ++i) {
    TzSimModule& module = fBus.Module(i);
    const uint32_t current = module.LineGeneration();
    if (current == aGenerations[i]) continue;
    aGenerations[i] = current;
    const TzSimLine line = module.Line();
    if (i == 0) {  // frames are cut at the first module's speed
      aFramer.SetBaudRate(kSimBaudRates[line.BaudCode]);
      aFramer.Clear();
    }
    Log("restarted: address " + std::to_string(line.Address) + ", " + std::to_string(kSimBaudRates[line.BaudCode]) +
        " baud, " + SimFormatText(line.FormatCode));
    std::string error;
    if (fSerialDevice && !ApplySimLineSettings(fFd, line.BaudCode, line.FormatCode, error)) {
      Log("new line settings not applied: " + error);
    }
  }
}
