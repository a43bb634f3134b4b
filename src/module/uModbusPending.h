// The requests that wait for their answers, and the dispatch of each answer
// the port engine hands back to the tag it was for: decoding, the write
// echo, quality, exception counting and the end of the first full reading.
// The panel's controller and rk7140ctl both queue through one of these; what
// they show of it they learn through TzModbusEvents.
//
// One thread (the one the engine hands its answers to) queues, dispatches
// and owns the tags; the lock only guards the list against a reader on
// another thread asking for its size.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "uGlobals.h"
#include "uStringBytes.h"

class TzFreePort;

enum TzModbusMode : uint8_t { mmRTU = 0, mmASCII = 1 };

struct TzModbusAnswer;
using TzModbusAnswerCallback = std::function<void(const std::vector<uint8_t>& aBytes, TzModbusAnswer& aAnswerObj)>;

// A request that waits for its answer.
struct TzModbusAnswer {
  TzTag* Tag = nullptr;  // not owned
  uint32_t Code = 0;     // the request's UID
  TzModbusMode Mode = mmRTU;
  TStringBytes Cmd;
  int32_t ErrCode = 0;
  uint32_t TimeStamp = 0;
  int32_t RegID = 0;
  TzModbusAnswerCallback Proc;
};

// What the owner of the pending list hears; every call has a default that
// ignores it.
class TzModbusEvents {
public:
  virtual ~TzModbusEvents() = default;
  // A request went to the engine. aValueText: the written value, empty for a read.
  virtual void RequestSent(const TzTag& /*aTag*/, uint32_t /*aUID*/, int32_t /*aFunc*/,
                           const TStringBytes& /*aFrame*/, const std::string& /*aValueText*/) {}
  // A request was added to the pending list.
  virtual void RequestPending(uint32_t /*aUID*/, int32_t /*aTagID*/) {}
  // The engine handed an answer back (before it is dispatched).
  virtual void AnswerHandedBack(uint32_t /*aUID*/, uint32_t /*aErrCode*/) {}
  // An answer for no pending request.
  virtual void UnknownAnswer(uint32_t /*aUID*/, const TStringBytes& /*aAnswer*/) {}
  // The answer of a pending request: first with an empty note, then once per
  // note on it (the decoded value, "ErrCode: 02h", the value's text).
  virtual void AnswerNote(int32_t /*aComPort*/, uint32_t /*aUID*/, const TStringBytes& /*aAnswer*/,
                          const std::string& /*aNote*/) {}
  // An answer for aTag was dispatched: aGood when it was decoded (or
  // confirmed a write), false when none came, the line failed or it could
  // not be decoded.
  virtual void AnswerChecked(const TzTag& /*aTag*/, bool /*aGood*/) {}
  // aTag's answer completed a reading begun by MarkLastOfReading; the
  // device is unlocked already.
  virtual void ReadingComplete(TzTag& /*aTag*/) {}
  // An exception answer was counted: its code and the count of its slot.
  virtual void ExceptionCounted(int32_t /*aCode*/, int32_t /*aCount*/) {}
  // A Modbus TCP gateway answered for aTag that the unit cannot be reached
  // (exception 0x0A or 0x0B, aCode): taken as no answer, not as an exception.
  virtual void GatewayNoAnswer(const TzTag& /*aTag*/, uint8_t /*aCode*/) {}
};

class TzModbusPending {
public:
  explicit TzModbusPending(TzModbusEvents& aEvents) : fEvents(aEvents) {}

  // The engine requests go to (not owned); nullptr: none, nothing is queued.
  void SetEngine(TzFreePort* aEngine) { fEngine = aEngine; }

  // Queues a read of the tag (forced ones at their read priority) and adds
  // it to the list; clears the tag's exception. False when nothing was queued.
  bool Read(TzTag* aTag);
  // Queues a write of aValue; the tag takes the written value at once. False,
  // nothing queued, for a value that does not fit the tag (ValueFitsTag).
  bool Write(TzTag* aTag, double aValue);
  // Queues a read of every readable tag of aDevice in order and locks it; the
  // answer to the last unforced read queued (forced reads go ahead of it)
  // completes the reading (ReadingComplete). False, nothing done, while the
  // device is locked already.
  bool ReadAll(TzDevice& aDevice);

  // The engine's answer callback: finds the request, decodes the answer into
  // its tag, counts an exception and removes the request.
  void Dispatch(int32_t aComPort, uint32_t aUID, const TStringBytes& aAnswer, uint32_t aErrCode);

  void Clear();
  size_t Count() const;
  const std::vector<std::unique_ptr<TzModbusAnswer>>& List() const { return fList; }
  // Exception answers by code, slots 1..8; slot 9 counts every other code.
  const std::array<int32_t, 10>& Errors() const { return fErrors; }

private:
  void Add(TzTag* aTag, const TStringBytes& aCmd, uint32_t aUID);
  bool Queue(TzTag& aTag, const TStringBytes& aFrame, int32_t aPriority);

  TzModbusEvents& fEvents;
  TzFreePort* fEngine = nullptr;
  mutable std::mutex fLineCS;  // guards additions to and removals from the list
  std::vector<std::unique_ptr<TzModbusAnswer>> fList;
  std::array<int32_t, 10> fErrors{};
};
