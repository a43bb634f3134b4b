// What the network links share: a TCP connection to the endpoint, the line
// settings and time-outs kept as written, and the read of the serial line's
// rules (interval after a byte, total = multiplier * bytes + constant, the
// special forms, the completion rule) over the bytes the connection brings.
//
// A kind decodes what arrives (Decode: Telnet, MBAP) into answer bytes and
// encodes what is written; the read hands answer bytes over one by one, so
// it ends exactly at the last byte of a whole answer and whatever followed
// stays unread until the purge before the next request.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "uEndpoint.h"
#include "uLink.h"
#include "uNetSocket.h"

class TzLinkStream : public TzLink {
public:
  explicit TzLinkStream(TzLinkKind aKind);

  bool Open(const std::string& aEndpoint) override;
  bool IsOpen() const override { return fSocket.IsOpen(); }
  TzLinkError LastError() const override { return fLastError; }
  bool GetSettings(TzPlatformDCB& aDCB) override;
  bool SetSettings(const TzPlatformDCB& aDCB) override;
  bool SetQueueSizes(uint32_t aIn, uint32_t aOut) override;
  bool GetTimeouts(TzPlatformTimeouts& aTimeouts) override;
  bool SetTimeouts(const TzPlatformTimeouts& aTimeouts) override;
  bool GetEventMask(uint32_t& aMask) override;
  bool SetEventMask(uint32_t aMask) override;
  bool Purge() override;
  bool Write(const uint8_t* aData, size_t aCount, size_t& aWritten) override;
  bool Read(uint8_t* aData, size_t aMax, size_t& aRead) override;
  void SetCompletionRule(TzCompletionRule aRule) override { fRule = std::move(aRule); }
  bool TakeErrorFlags(uint32_t& aFlags) override;
  bool Close() override;
  void Interrupt() override { fSocket.Interrupt(); }

  // How long connecting may take in all.
  static constexpr int kConnectTimeoutMs = 3000;

protected:
  // After the connection is made: false (with fLastError set) when the
  // kind's own set-up fails.
  virtual bool OnConnected() { return true; }
  // Applies line settings to the far end; false with fLastError set.
  virtual bool ApplySettings(const TzPlatformDCB& aDCB) { (void)aDCB; return true; }
  // Sends a frame the engine wrote, in the kind's framing.
  virtual TzNetIo SendFrame(const uint8_t* aData, size_t aCount, int aTimeoutMs);
  // Turns received bytes into answer bytes (AddAnswerBytes).
  virtual void Decode(const uint8_t* aData, size_t aCount) { AddAnswerBytes(aData, aCount); }
  // Called by Purge after the received bytes were discarded.
  virtual bool OnPurge() { return true; }
  // True when the read may end after aCount answer bytes by the kind's own
  // framing (the MBAP length).
  virtual bool AnswerEnds(size_t aCount) const { (void)aCount; return false; }

  void AddAnswerBytes(const uint8_t* aData, size_t aCount) { fAnswer.insert(fAnswer.end(), aData, aData + aCount); }
  // Sends raw bytes on the connection; marks the link lost when it broke.
  TzNetIo SendRaw(const uint8_t* aData, size_t aCount, int aTimeoutMs);
  // Receives and decodes what arrives within aTimeoutMs (0: what is there).
  TzNetIo Pump(int aTimeoutMs);
  // Receives and decodes until aDone holds or aTimeoutMs passed; false when
  // the time ran out or the connection broke.
  template <typename Done>
  bool PumpUntil(int aTimeoutMs, Done aDone);
  void Lose(TzLinkError aWhy);
  bool Usable() const { return fSocket.IsOpen() && !fSocket.Interrupted() && !fLost; }

  TzLinkError fLastError = TzLinkError::None;
  TzEndpoint fEndpoint;

private:
  TzLinkKind fKind;
  TzNetSocket fSocket;
  bool fLost = false;
  std::deque<uint8_t> fAnswer;  // decoded bytes not yet read
  TzPlatformDCB fDCB{};
  TzPlatformTimeouts fTimeouts{};
  uint32_t fEventMask = 0;
  TzCompletionRule fRule;
};

template <typename Done>
bool TzLinkStream::PumpUntil(int aTimeoutMs, Done aDone) {
  const auto start = std::chrono::steady_clock::now();
  while (!aDone()) {
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    const int left = aTimeoutMs - static_cast<int>(spent);
    if (left <= 0) return false;
    const TzNetIo io = Pump(left);
    if (io != TzNetIo::Ready && io != TzNetIo::Timeout) return aDone();
  }
  return true;
}

std::unique_ptr<TzLink> MakeTcpLink();
std::unique_ptr<TzLink> MakeRfc2217Link();
std::unique_ptr<TzLink> MakeModbusTcpLink();
