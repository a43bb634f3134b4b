// A scripted serial device for the engine's unit tests. The test keeps the
// shared TzFakeLine and steers it while the engine owns the backend.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "uLink.h"
#include "uSerialPorts.h"

struct TzFakeReply {
  std::vector<uint8_t> Bytes;
  uint32_t Flags = 0;
  bool FlagsQueryFails = false;
};

struct TzFakeLine {
  std::mutex M;
  std::condition_variable CV;

  // Opening: the step named here fails ("open", "getstate", "setstate",
  // "queues", "gettimeouts", "settimeouts", "getmask", "setmask").
  std::string FailStep;
  TzPlatformDCB DriverDCB{};           // what GetSettings reports
  TzPlatformTimeouts DriverTimeouts{}; // what GetTimeouts reports
  TzPlatformDCB AppliedDCB{};
  TzPlatformTimeouts AppliedTimeouts{};
  uint32_t EventMask = 0;
  uint32_t QueueIn = 0, QueueOut = 0;
  std::vector<std::string> OpenedPorts;  // the endpoints opened, in order
  bool IsOpen = false;

  // Exchanges.
  std::vector<std::string> Log;        // purge, write, read, flags, close
  std::vector<std::vector<uint8_t>> Written;
  std::function<TzFakeReply(const std::vector<uint8_t>&)> Responder;
  bool HoldReads = false;              // a read waits until released or interrupted
  bool FailWrites = false;             // a write ends unfinished (a stuck line)
  int ReadsWaiting = 0;
  bool Interrupted = false;

  void ReleaseReads() {
    std::lock_guard lock(M);
    HoldReads = false;
    CV.notify_all();
  }
  bool WaitUntil(const std::function<bool()>& aCond) {
    std::unique_lock lock(M);
    return CV.wait_for(lock, std::chrono::seconds(20), aCond);
  }
};

class TzFakeBackend final : public TzLink {
public:
  explicit TzFakeBackend(std::shared_ptr<TzFakeLine> aLine) : L(std::move(aLine)) {}

  bool Open(const std::string& aEndpoint) override {
    std::lock_guard lock(L->M);
    L->OpenedPorts.push_back(aEndpoint);
    if (L->FailStep == "open") return false;
    L->IsOpen = true;
    L->Interrupted = false;
    return true;
  }
  bool IsOpen() const override {
    std::lock_guard lock(L->M);
    return L->IsOpen;
  }
  bool GetSettings(TzPlatformDCB& aDCB) override {
    std::lock_guard lock(L->M);
    aDCB = L->DriverDCB;
    return L->FailStep != "getstate";
  }
  bool SetSettings(const TzPlatformDCB& aDCB) override {
    std::lock_guard lock(L->M);
    L->AppliedDCB = aDCB;
    return L->FailStep != "setstate";
  }
  bool SetQueueSizes(uint32_t aIn, uint32_t aOut) override {
    std::lock_guard lock(L->M);
    L->QueueIn = aIn;
    L->QueueOut = aOut;
    return L->FailStep != "queues";
  }
  bool GetTimeouts(TzPlatformTimeouts& aTimeouts) override {
    std::lock_guard lock(L->M);
    aTimeouts = L->DriverTimeouts;
    return L->FailStep != "gettimeouts";
  }
  bool SetTimeouts(const TzPlatformTimeouts& aTimeouts) override {
    std::lock_guard lock(L->M);
    L->AppliedTimeouts = aTimeouts;
    return L->FailStep != "settimeouts";
  }
  bool GetEventMask(uint32_t& aMask) override {
    std::lock_guard lock(L->M);
    aMask = L->EventMask;
    return L->FailStep != "getmask";
  }
  bool SetEventMask(uint32_t aMask) override {
    std::lock_guard lock(L->M);
    L->EventMask = aMask;
    return L->FailStep != "setmask";
  }
  bool Purge() override {
    std::lock_guard lock(L->M);
    L->Log.push_back("purge");
    return L->IsOpen;
  }
  bool Write(const uint8_t* aData, size_t aCount, size_t& aWritten) override {
    std::lock_guard lock(L->M);
    L->Log.push_back("write");
    aWritten = 0;
    if (!L->IsOpen || L->Interrupted || L->FailWrites) return false;
    fLastWrite.assign(aData, aData + aCount);
    L->Written.push_back(fLastWrite);
    L->CV.notify_all();
    aWritten = aCount;
    return true;
  }
  bool Read(uint8_t* aData, size_t aMax, size_t& aRead) override {
    std::unique_lock lock(L->M);
    L->Log.push_back("read");
    aRead = 0;
    if (!L->IsOpen || L->Interrupted) return false;
    ++L->ReadsWaiting;
    L->CV.notify_all();
    L->CV.wait(lock, [&] { return !L->HoldReads || L->Interrupted; });
    --L->ReadsWaiting;
    if (L->Interrupted) return false;
    fReply = L->Responder ? L->Responder(fLastWrite) : TzFakeReply{};
    aRead = std::min(aMax, fReply.Bytes.size());
    std::copy_n(fReply.Bytes.begin(), aRead, aData);
    return true;
  }
  bool TakeErrorFlags(uint32_t& aFlags) override {
    std::lock_guard lock(L->M);
    L->Log.push_back("flags");
    aFlags = fReply.Flags;
    const bool ok = L->IsOpen && !L->Interrupted && !fReply.FlagsQueryFails;
    fReply = {};
    return ok;
  }
  bool Close() override {
    std::lock_guard lock(L->M);
    if (L->IsOpen) L->Log.push_back("close");
    L->IsOpen = false;
    L->Interrupted = false;
    return true;
  }
  void Interrupt() override {
    std::lock_guard lock(L->M);
    L->Interrupted = true;
    L->CV.notify_all();
  }

private:
  std::shared_ptr<TzFakeLine> L;
  std::vector<uint8_t> fLastWrite;
  TzFakeReply fReply;
};
