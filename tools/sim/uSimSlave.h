// Serves one file descriptor (a pseudo-terminal's master side or a serial
// device) for a virtual module, in a thread of its own.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "uSimModule.h"

class TzSimSlave {
 public:
  using TzLogFn = std::function<void(const std::string&)>;

  // aLog, when given, gets one line per request and answer.
  explicit TzSimSlave(TzSimModule& aModule, TzLogFn aLog = nullptr);
  TzSimSlave(const TzSimSlave&) = delete;
  TzSimSlave& operator=(const TzSimSlave&) = delete;
  ~TzSimSlave() { Stop(); }

  // Serves aFd (not taken over) until Stop. With aSerialDevice the line
  // settings of a restart are applied to the device as well. False when
  // already running or the thread cannot start.
  bool Start(int aFd, bool aSerialDevice);
  // Ends the thread and waits for it; harmless when not running.
  void Stop();
  // False before Start, after Stop, and after the line failed (see Error).
  bool Running() const { return fRunning; }
  std::string Error() const;

 private:
  void Run();
  bool WaitOrStop(int aMs);  // false when asked to stop
  bool Send(const std::vector<uint8_t>& aBytes);
  void Fail(const std::string& aError);
  void Log(const std::string& aLine) const;

  TzSimModule& fModule;
  const TzLogFn fLog;
  int fFd = -1;
  bool fSerialDevice = false;
  int fWake[2] = {-1, -1};
  std::thread fThread;
  std::atomic<bool> fRunning{false};
  mutable std::mutex fErrorLock;
  std::string fError;
};
