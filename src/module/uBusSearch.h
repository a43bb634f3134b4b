// The bus search: every Modbus address 1..247 (or a range of them) is asked
// for its device type (input register 0x9000, function 4), pass after pass, over a port engine of
// the search's own. The probe, the verdict on an answer and the pass logic
// live here, without Qt, for every program that searches a bus.
//
//   TzBusSearch search;
//   search.SetComPort(3); search.SetBaudRate(9600); search.SetFormat(0); search.SetTimeout(57);
//   search.OnFindProcess = [](int32_t aAddr) { ... };            // every address asked
//   search.OnFindAddr = [](int32_t aAddr, const TStringBytes& aAnswer) { ... };  // bytes arrived
//   search.Cycled = true;                                         // repeat until Stop
//   if (!search.Start()) ... search.StartError() ...
//
// Threads: the engine hands each answer to FindAnswerProc through the post
// function given (the caller's event loop); without one it runs on the
// engine's worker. AnswerList is guarded by CS either way.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "uFreePort.h"
#include "uStringBytes.h"

inline constexpr int32_t kFindFirstAddr = 1;
inline constexpr int32_t kFindLastAddr = 247;
inline constexpr int32_t kFindTypeReg = 0x9000;  // "Тип прибора"
inline constexpr int32_t kFindRK7140Type = 74;

// The probe for address aAddr: aAddr 04 90 00 00 01 CRC (8 bytes).
TStringBytes FindRequest(int32_t aAddr);

// What an answer to the probe of aAddr says.
enum class TzFindVerdict {
  Nothing,  // no bytes
  RK7140,   // a module of this model
  Unknown,  // some other device, an exception answer, or stray bytes
};

// RK7140 only for a whole, intact type answer from the probed address:
// aAddr 04 02 00 4A and a right check sum (7 bytes). A Modbus TCP gateway's
// exception 0x0A or 0x0B (no path to the unit, the unit did not answer)
// means nobody is there: Nothing. Any other bytes are Unknown.
TzFindVerdict ClassifyFindAnswer(int32_t aAddr, std::span<const uint8_t> aAnswer);

// A probe that waits for its answer.
struct TzFindAnswer {
  int32_t DevAddr = 0;
  std::string Info;        // not used
  uint32_t Code = 0;       // the engine's UID of the request
  TStringBytes Cmd;
  uint32_t TimeStamp = 0;  // tick count when queued
  bool IsLast = false;     // the last address of the range (247 unless set)
};

using TzFindCallback = std::function<void(int32_t aAddr, const TStringBytes& aAnswer)>;
using TzProgressCallback = std::function<void(int32_t aAddr)>;
using TzFindEngineFactory = std::function<std::unique_ptr<TzFreePort>(int32_t aComPort)>;

class TzBusSearch {
public:
  // Engines come from aFactory (tests give one with a fake line); by default
  // the system's serial port.
  explicit TzBusSearch(TzFindEngineFactory aFactory = {});
  virtual ~TzBusSearch();
  TzBusSearch(const TzBusSearch&) = delete;
  TzBusSearch& operator=(const TzBusSearch&) = delete;

  // Parameters of the next Start.
  void SetComPort(int32_t aComPort) { fComPort = aComPort; }
  // The endpoint the search's engine opens; empty: the serial port of the
  // port number.
  void SetEndpoint(std::string aEndpoint) { fEndpoint = std::move(aEndpoint); }
  void SetBaudRate(int32_t aBaudRate) { fBaudRate = aBaudRate; }
  void SetFormat(int32_t aFormat) { fFormat = aFormat; }  // 0 8N1, 1 8O1, 2 8E1, 3 8N2
  void SetTimeout(int32_t aTimeout) { fTimeout = aTimeout; }
  // The addresses a pass asks, aFirst..aLast (default 1..247); the pass ends
  // with aLast's answer.
  void SetRange(int32_t aFirst, int32_t aLast) {
    fFirstAddr = aFirst;
    fLastAddr = aLast;
  }
  void SetEngineFactory(TzFindEngineFactory aFactory) { fFactory = std::move(aFactory); }
  // How the engine hands answers to the caller's thread (set before Start).
  void SetMainThreadPost(TzMainThreadPost aPost) { fPost = std::move(aPost); }

  // A new engine on the port with the search's line settings, then a probe
  // for each address of the range. False, and nothing queued, when the
  // time-out is not above 0 or the range is not within 1..247 in order
  // (StartError 0), or the port does not open or refuses the settings
  // (StartError: the opening code).
  bool Start();
  // Ends the search: answers still on their way are dropped, the port is
  // closed (the engine itself goes with the next Start).
  void Stop();
  bool InFindProgress() const { return InProgress; }
  uint32_t StartError() const { return fStartError; }
  // Why the port did not open, when StartError is not 0.
  TzLinkError StartLinkError() const { return fStartLinkError; }

  // The engine's answer handler.
  void FindAnswerProc(int32_t aComPort, uint32_t aUID, TStringBytes aAnswer, uint32_t aErrCode);

  // Probes waiting for their answers (under CS).
  size_t PendingCount() const;
  TzFreePort* FreePort() const { return fFreePort.get(); }

  TzFindCallback OnFindAddr;
  TzProgressCallback OnFindProcess;
  // True: the pass repeats until Stop; false: the search ends after one pass.
  bool Cycled = false;

protected:
  mutable std::mutex CS;  // guards AnswerList
  std::vector<TzFindAnswer> AnswerList;

private:
  void QueuePass();

  TzFindEngineFactory fFactory;
  TzMainThreadPost fPost;
  int32_t fComPort = 0;
  std::string fEndpoint;
  int32_t fBaudRate = 9600;
  int32_t fFormat = 0;
  int32_t fTimeout = 0;
  int32_t fFirstAddr = kFindFirstAddr;
  int32_t fLastAddr = kFindLastAddr;
  uint32_t fStartError = 0;
  TzLinkError fStartLinkError = TzLinkError::None;
  std::atomic<bool> InProgress{false};
  std::unique_ptr<TzFreePort> fFreePort;  // the search's own, from Start to the next Start
};
