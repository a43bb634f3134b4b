// A serial backend whose far end is the virtual module itself, in-process: a
// written frame is handed to the module and its reply is what the next read
// returns. Replies later than the read's total time-out are lost, as on a
// real line, but nobody waits for them: tests run at the engine's own pace.
#pragma once

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "uFreePort.h"
#include "uLink.h"
#include "uSimModule.h"

class TzSimBackend : public TzLink {
public:
  struct TzShared {
    std::mutex Lock;
    std::vector<std::vector<uint8_t>> Written;  // every frame the engine sent
    bool OpenFails = false;
    std::atomic<bool> LinkGone{false};  // the link stops working (a peer that closed)
  };

  TzSimBackend(TzSimModule& aModule, TzShared& aShared) : fModule(aModule), fShared(aShared) {}
  explicit TzSimBackend(TzSimModule& aModule) : fOwnShared(std::make_unique<TzShared>()), fModule(aModule), fShared(*fOwnShared) {}

  bool Open(const std::string&) override {
    std::lock_guard lock(fShared.Lock);
    fOpen = !fShared.OpenFails;
    return fOpen;
  }
  bool IsOpen() const override { return fOpen; }
  bool GetSettings(TzPlatformDCB& aDCB) override { aDCB = fDCB; return fOpen; }
  bool SetSettings(const TzPlatformDCB& aDCB) override { fDCB = aDCB; return fOpen; }
  bool SetQueueSizes(uint32_t, uint32_t) override { return fOpen; }
  bool GetTimeouts(TzPlatformTimeouts& aTimeouts) override { aTimeouts = fTimeouts; return fOpen; }
  bool SetTimeouts(const TzPlatformTimeouts& aTimeouts) override { fTimeouts = aTimeouts; return fOpen; }
  bool GetEventMask(uint32_t& aMask) override { aMask = 0; return fOpen; }
  bool SetEventMask(uint32_t) override { return fOpen; }
  bool Purge() override { fReply.clear(); return fOpen; }

  bool Write(const uint8_t* aData, size_t aCount, size_t& aWritten) override {
    aWritten = 0;
    if (!fOpen || fInterrupted) return false;
    std::vector<uint8_t> frame(aData, aData + aCount);
    {
      std::lock_guard lock(fShared.Lock);
      fShared.Written.push_back(frame);
    }
    fModule.Tick();
    const TzSimReply reply = fModule.HandleFrame(frame);
    const uint32_t total = fTimeouts.ReadTotalTimeoutMultiplier * 255 + fTimeouts.ReadTotalTimeoutConstant;
    fReply = static_cast<uint32_t>(reply.DelayMs) <= total ? reply.Bytes : std::vector<uint8_t>{};
    aWritten = aCount;
    return true;
  }

  bool Read(uint8_t* aData, size_t aMax, size_t& aRead) override {
    aRead = 0;
    if (!fOpen || fInterrupted) return false;
    aRead = std::min(aMax, fReply.size());
    std::copy_n(fReply.begin(), aRead, aData);
    fReply.clear();
    return true;
  }

  bool TakeErrorFlags(uint32_t& aFlags) override {
    aFlags = 0;
    return fOpen && !fInterrupted && !fShared.LinkGone;
  }
  // A port that does not open is held by another program.
  TzLinkError LastError() const override {
    if (fShared.LinkGone) return TzLinkError::ClosedByPeer;
    return fOpen ? TzLinkError::None : TzLinkError::Busy;
  }
  bool Close() override {
    fOpen = false;
    fInterrupted = false;
    return true;
  }
  void Interrupt() override { fInterrupted = true; }

private:
  std::unique_ptr<TzShared> fOwnShared;
  TzSimModule& fModule;
  TzShared& fShared;
  bool fOpen = false;
  std::atomic<bool> fInterrupted{false};
  TzPlatformDCB fDCB{};
  TzPlatformTimeouts fTimeouts{};
  std::vector<uint8_t> fReply;
};

// An engine for the panel's controller whose line leads to aModule; aShared,
// when given, records the frames sent.
inline std::unique_ptr<TzFreePort> MakeSimEngine(int32_t aComPort, TzSimModule& aModule,
                                                 TzSimBackend::TzShared* aShared = nullptr) {
  auto backend = aShared ? std::make_unique<TzSimBackend>(aModule, *aShared) : std::make_unique<TzSimBackend>(aModule);
  return std::make_unique<TzFreePort>(aComPort, std::move(backend));
}
