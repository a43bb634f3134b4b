// The port engine: TzFreePort owns one serial port and one worker thread
// (TzFreePortThread). Callers on the user-interface thread queue complete
// frames; the worker sends them one at a time, collects whatever the line
// answers within the port's time-outs and hands each raw answer back through
// one callback, tagged with the request's UID and an error code:
//   0           bytes arrived, no line error (Answer holds them)
//   512         nothing arrived before the read time-outs ended the read
//   other       the driver's line-error flags of this exchange (Answer empty)
//   0xFFFFFFFF  the port is closed or unusable (Answer empty)
//
// The hand-over: with a post function set (SetMainThreadPost), the worker
// posts a job that runs the callback on the user-interface thread and blocks
// until that job has run, so answers arrive one at a time, in exchange order.
// Without a post function the callback runs directly on the worker thread;
// it may then still queue and clear requests but must not destroy the engine.
//
// Destruction is safe in every state: it ends the worker (cutting short a
// read in progress and abandoning a hand-over that has not run yet), waits
// for it to leave its loop and closes the port. A posted job that runs after
// the engine is gone does nothing.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "uLineSettings.h"
#include "uLink.h"
#include "uLinkError.h"
#include "uStringBytes.h"

using TAsyncAnswer = std::function<void(int32_t ComPort, uint32_t UID, TStringBytes Answer, uint32_t ErrCode)>;
// Queues a job to run later on the user-interface thread; must not block.
using TzMainThreadPost = std::function<void(std::function<void()>)>;

inline constexpr uint32_t kErrNoAnswer = 512;
inline constexpr uint32_t kErrPortUnusable = 0xFFFFFFFF;
inline constexpr uint32_t kMaxUID = 20000000;  // the UID after it is 0

// Opening codes (TzFreePort::ErrorCode after a failed Start).
inline constexpr uint32_t kOpenDevice = 128, kOpenGetState = 1, kOpenSetState = 2, kOpenQueues = 4,
                          kOpenGetTimeouts = 8, kOpenSetTimeouts = 16, kOpenGetMask = 32, kOpenSetMask = 64;

// One queued request.
struct TzReq {
  TStringBytes Cmd;
  uint32_t UID = 0;
  int32_t DevAddr = 0;    // kept for the caller, not used by the engine
  uint32_t Timestamp = 0; // millisecond tick when queued
};

struct TzHandOver;

class TzFreePortThread {
public:
  TzFreePortThread(std::mutex& aCS, std::unique_ptr<TzLink> aBackend);
  ~TzFreePortThread();
  TzFreePortThread(const TzFreePortThread&) = delete;
  TzFreePortThread& operator=(const TzFreePortThread&) = delete;

  // Queueing, on the user-interface thread (both send operations).
  bool RegCmd(const TStringBytes& aCmd, int32_t aDevAddr, int32_t aPriority);
  void ClearRequestList();
  std::vector<uint32_t> QueuedUIDs() const;
  uint32_t GlobUIDValue() const;
  void PresetGlobUID(uint32_t aUID);

  // Closes the port if open, then opens and configures it; the opening code.
  uint32_t OpenInterface(const std::string& aEndpoint, const TzDCB* aDCB, const TzTimeouts* aTimeouts);
  bool CloseInterface();
  void StartWorker();
  bool WorkerRunning() const { return fWorker.joinable(); }

  void SetAsyncAnswerProc(TAsyncAnswer aProc);
  void SetMainThreadPost(TzMainThreadPost aPost);
  void SetCompletionRule(TzCompletionRule aRule);

  std::atomic<int32_t> ComPort{0};
  std::atomic<uint32_t> ErrorCode{0};
  std::atomic<TzLinkError> LinkError{TzLinkError::None};
  std::atomic<bool> CleanEnabled{false};
  std::atomic<int32_t> CleanTimeout{15000};

private:
  void Execute();
  void SendAsyncToLine(const TzReq& aReq);
  bool GetData(uint32_t& aErr);
  void HandAnswer(uint32_t aUID, uint32_t aErrCode);
  // Keeps in LinkError why an open link stopped working (under fPortCS).
  void NoteLinkLoss();
  void CleanStale();
  bool Terminated();

  std::mutex& CS;                     // guards RequestList and GlobUID
  std::vector<std::shared_ptr<TzReq>> RequestList;
  uint32_t GlobUID = 0;

  std::mutex fPortCS;                 // one user of the link at a time
  std::unique_ptr<TzLink> fBackend;
  // The quiet time the line needs after an answer before the next request:
  // the larger of the engine's pause and 3.5 characters at the line's rate.
  std::chrono::microseconds fFrameGap{0};
  std::chrono::steady_clock::time_point fLastAnswerEnd{};
  TzPlatformDCB FDCB{};
  TzPlatformTimeouts FComTO{};
  uint32_t FCommEvtMask = 0;
  uint8_t FParity = 0;

  std::mutex fSync;                   // guards the fields below
  std::condition_variable fWake;
  bool fTerminated = false;
  std::shared_ptr<TzHandOver> fPending;
  TAsyncAnswer fAsyncAnswerProc;
  TzMainThreadPost fPost;

  // Worker-only exchange state.
  uint32_t CleanCounter = 0;
  uint8_t PortBufferIn[256] = {};
  uint8_t PortBufferOut[256] = {};
  uint32_t QuantitySend = 0, QuantityRealSend = 0, QuantityGet = 0, QuantityRealGet = 0;
  TStringBytes ResultArray;
  bool ResultOK = false;
  uint32_t CurrUID = 0;

  std::thread fWorker;
};

class TzFreePort {
public:
  // An engine for the link an endpoint names (a serial device, tcp://,
  // rfc2217://, modbus-tcp://). aComPort is only the number handed to the
  // answer callback (the panel's list number of the port).
  explicit TzFreePort(std::string aEndpoint, int32_t aComPort = 0);
  TzFreePort(std::string aEndpoint, std::unique_ptr<TzLink> aLink, int32_t aComPort = 0);
  // The serial port of a port number (uSerialPorts.h).
  explicit TzFreePort(int32_t aComPort);
  TzFreePort(int32_t aComPort, std::unique_ptr<TzLink> aLink);
  ~TzFreePort();
  TzFreePort(const TzFreePort&) = delete;
  TzFreePort& operator=(const TzFreePort&) = delete;

  // Set both before Start.
  void SetOnAsyncAnswerProc(TAsyncAnswer aProc);
  void SetMainThreadPost(TzMainThreadPost aPost);

  // A read of an exchange ends as soon as aRule says the answer is whole
  // (where the backend supports it; the read time-outs stay as the
  // fallback). Without a rule, reads end by the time-outs alone.
  void SetCompletionRule(TzCompletionRule aRule);

  // Line-setting overrides applied by Start; created empty on first access.
  TzDCB& LocDCB();
  TzTimeouts& LocTimeouts();

  // Closes the port if open, opens and configures it afresh. True when every
  // step succeeded; the worker then runs (from the first success on).
  bool Start();
  // Closes the port; the worker keeps answering the queue with 0xFFFFFFFF.
  bool Stop();

  // Queue a copy of aCmd; false for an empty command or one already queued.
  bool SendCmd(const TStringBytes& aCmd, int32_t aDevAddr);
  // As SendCmd, at the queue position chosen by aPriority.
  bool SendCmdForce(const TStringBytes& aCmd, int32_t aDevAddr, int32_t aPriority);
  // UID of the request queued last.
  uint32_t LastUID() const;
  // Removes every queued request, the one in exchange included.
  void ClearRequestList();

  int32_t ComPort() const { return fComPort; }
  void SetComPort(int32_t aComPort);
  const std::string& Endpoint() const { return fEndpoint; }
  // Code of the last opening or exchange.
  uint32_t ErrorCode() const;
  // Why the last Start failed (None after a successful one), or why the
  // link stopped working since (an exchange answered 0xFFFFFFFF).
  TzLinkError LinkError() const;

  bool CleanEnabled() const;
  void SetCleanEnabled(bool aValue);
  int32_t CleanTimeout() const;
  void SetCleanTimeout(int32_t aValue);

  // For tests: the queue's UIDs from the head, and presetting the UID counter.
  std::vector<uint32_t> QueuedUIDs() const;
  void PresetGlobUID(uint32_t aUID);

private:
  std::mutex CS;
  int32_t fComPort;
  std::string fEndpoint;
  bool fSerialByNumber = false;  // made from a port number: SetComPort moves it to another port
  std::unique_ptr<TzDCB> fLocDCB;
  std::unique_ptr<TzTimeouts> fLocTimeouts;
  std::unique_ptr<TzFreePortThread> Port;  // declared last: ends first
};
