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

int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

TzSimSlave::TzSimSlave(TzSimModule& aModule, TzLogFn aLog) : fModule(aModule), fLog(std::move(aLog)) {}

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

bool TzSimSlave::WaitOrStop(int aMs) {
  pollfd wake{fWake[0], POLLIN, 0};
  const int64_t until = SteadyMs() + aMs;
  for (;;) {
    const int64_t left = until - SteadyMs();
    if (left <= 0) return true;
    const int ready = poll(&wake, 1, static_cast<int>(left));
    if (ready > 0) return false;
    if (ready < 0 && errno != EINTR) return false;
  }
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
  TzSimLine line = fModule.Line();
  uint32_t generation = fModule.LineGeneration();
  framer.SetBaudRate(kSimBaudRates[line.BaudCode]);
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
        framer.Add(std::span(buffer, static_cast<size_t>(n)), SteadyMs());
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        Fail(n == 0 ? "end of file" : std::string("read: ") + std::strerror(errno));
        break;
      }
    } else if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
      Fail("the line hung up");
      break;
    }
    fModule.Tick();
    while (fRunning && framer.Take(SteadyMs(), frame)) {
      const TzSimReply reply = fModule.HandleFrame(frame);
      Log(reply.Note);
      if (reply.Bytes.empty()) continue;
      if (reply.DelayMs > 0 && !WaitOrStop(reply.DelayMs)) {
        fRunning = false;
        break;
      }
      if (!Send(reply.Bytes)) break;
      Log("answer  " + HexBytes(reply.Bytes));
    }
    if (const uint32_t current = fModule.LineGeneration(); current != generation) {
      generation = current;
      line = fModule.Line();
      framer.SetBaudRate(kSimBaudRates[line.BaudCode]);
      framer.Clear();
      Log("restarted: address " + std::to_string(line.Address) + ", " +
          std::to_string(kSimBaudRates[line.BaudCode]) + " baud, " + SimFormatText(line.FormatCode));
      std::string error;
      if (fSerialDevice && !ApplySimLineSettings(fFd, line.BaudCode, line.FormatCode, error)) {
        Log("new line settings not applied: " + error);
      }
    }
  }
}
