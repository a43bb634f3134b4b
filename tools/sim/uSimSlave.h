// Serves one file descriptor (a pseudo-terminal's master side or a serial
// device) for the devices of a virtual bus, in a thread of its own.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "uSimBus.h"
#include "uSimFramer.h"
#include "uSimTap.h"

class TzSimSlave {
 public:
  using TzLogFn = std::function<void(const std::string&)>;

  // aLog, when given, gets one line per request and answer.
  explicit TzSimSlave(TzSimBus& aBus, TzLogFn aLog = nullptr);
  TzSimSlave(const TzSimSlave&) = delete;
  TzSimSlave& operator=(const TzSimSlave&) = delete;
  ~TzSimSlave() { Stop(); }

  // Serves aFd (not taken over) until Stop. With aSerialDevice the line
  // settings of a restart are applied to the device as well. False when
  // already running or the thread cannot start.
  bool Start(int aFd, bool aSerialDevice);
  // Copies the line's traffic to aTap (open, not taken over) from the next
  // Start on; nullptr for none.
  void SetTap(TzSimTap* aTap) { fTap = aTap; }
  // Ends the thread and waits for it; harmless when not running.
  void Stop();
  // False before Start, after Stop, and after the line failed (see Error).
  bool Running() const { return fRunning; }
  std::string Error() const;

 private:
  void Run();
  bool WaitUntilOrStop(int64_t aSteadyUs);  // false when asked to stop
  bool Send(const std::vector<uint8_t>& aBytes);
  void ServeFrame(const std::vector<uint8_t>& aFrame);
  void FollowRestarts(std::vector<uint32_t>& aGenerations, TzSimFramer& aFramer);
  TzSimTermLine ClientLine() const;
  void Fail(const std::string& aError);
  void Log(const std::string& aLine) const;

  TzSimBus& fBus;
  const TzLogFn fLog;
  TzSimTap* fTap = nullptr;
  int fFd = -1;
  bool fSerialDevice = false;
  int fWake[2] = {-1, -1};
  std::thread fThread;
  std::atomic<bool> fRunning{false};
  mutable std::mutex fErrorLock;
  std::string fError;
};
