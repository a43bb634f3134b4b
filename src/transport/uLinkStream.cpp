#include "uLinkStream.h"

#include <algorithm>
#include <span>

namespace {
constexpr uint32_t kMaxDword = 0xFFFFFFFF;
constexpr size_t kReceiveChunk = 512;
constexpr int kPurgeRounds = 64;  // at most this many chunks are thrown away per purge

using TzClock = std::chrono::steady_clock;

int MsUntil(TzClock::time_point aDeadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(aDeadline - TzClock::now()).count();
  return static_cast<int>(std::clamp<int64_t>(left, 0, 1'000'000'000));
}

// What a fresh network link reports: the far line's usual 9600 8N1.
TzPlatformDCB DefaultDcb() {
  TzPlatformDCB dcb{};
  dcb.DCBlength = sizeof dcb;
  dcb.BaudRate = 9600;
  dcb.ByteSize = 8;
  dcb.Parity = 0;
  dcb.StopBits = 0;
  SetDcbFlagsWord(dcb, dcbflag::Binary);
  return dcb;
}
}  // namespace

TzLinkStream::TzLinkStream(TzLinkKind aKind) : fKind(aKind), fDCB(DefaultDcb()) {}

bool TzLinkStream::Open(const std::string& aEndpoint) {
  Close();
  fLastError = TzLinkError::None;
  const auto endpoint = ParseEndpoint(aEndpoint);
  if (!endpoint || endpoint->Kind != fKind) {
    fLastError = TzLinkError::BadEndpoint;
    return false;
  }
  fEndpoint = *endpoint;
  const TzLinkError why = fSocket.Connect(fEndpoint.Host, fEndpoint.Port, kConnectTimeoutMs);
  if (why != TzLinkError::None) {
    fLastError = why;
    return false;
  }
  if (!OnConnected()) {
    if (fLastError == TzLinkError::None) fLastError = TzLinkError::Other;
    fSocket.Close();
    return false;
  }
  return true;
}

bool TzLinkStream::GetSettings(TzPlatformDCB& aDCB) {
  if (!IsOpen()) return false;
  aDCB = fDCB;
  return true;
}

bool TzLinkStream::SetSettings(const TzPlatformDCB& aDCB) {
  if (!Usable()) return false;
  if (!ApplySettings(aDCB)) return false;
  fDCB = aDCB;
  return true;
}

bool TzLinkStream::SetQueueSizes(uint32_t, uint32_t) { return IsOpen(); }  // the sockets' buffers are the system's

bool TzLinkStream::GetTimeouts(TzPlatformTimeouts& aTimeouts) {
  if (!IsOpen()) return false;
  aTimeouts = fTimeouts;
  return true;
}

bool TzLinkStream::SetTimeouts(const TzPlatformTimeouts& aTimeouts) {
  if (!IsOpen()) return false;
  fTimeouts = aTimeouts;
  return true;
}

bool TzLinkStream::GetEventMask(uint32_t& aMask) {
  if (!IsOpen()) return false;
  aMask = fEventMask;
  return true;
}

bool TzLinkStream::SetEventMask(uint32_t aMask) {
  if (!IsOpen()) return false;
  fEventMask = aMask;
  return true;
}

void TzLinkStream::Lose(TzLinkError aWhy) {
  fLost = true;
  fLastError = aWhy == TzLinkError::None ? TzLinkError::ClosedByPeer : aWhy;
}

TzNetIo TzLinkStream::SendRaw(const uint8_t* aData, size_t aCount, int aTimeoutMs) {
  const TzNetIo io = fSocket.SendAll(aData, aCount, aTimeoutMs);
  if (io == TzNetIo::Failed || io == TzNetIo::Closed) Lose(fSocket.LastError());
  return io;
}

TzNetIo TzLinkStream::SendFrame(const uint8_t* aData, size_t aCount, int aTimeoutMs) {
  return SendRaw(aData, aCount, aTimeoutMs);
}

TzNetIo TzLinkStream::Pump(int aTimeoutMs) {
  uint8_t buffer[kReceiveChunk];
  size_t got = 0;
  const TzNetIo io = fSocket.Receive(buffer, sizeof buffer, got, aTimeoutMs);
  if (io == TzNetIo::Ready) Decode(buffer, got);
  if (io == TzNetIo::Failed || io == TzNetIo::Closed) Lose(fSocket.LastError());
  return io;
}

bool TzLinkStream::Purge() {
  if (!Usable()) return false;
  // Everything that arrived goes through the decoder (so a Telnet command or
  // an MBAP frame cut by the purge keeps its framing) and is thrown away.
  for (int round = 0; round < kPurgeRounds && Pump(0) == TzNetIo::Ready; ++round) {
  }
  fAnswer.clear();
  return OnPurge() && Usable();
}

bool TzLinkStream::Write(const uint8_t* aData, size_t aCount, size_t& aWritten) {
  aWritten = 0;
  if (!Usable()) return false;
  const uint64_t total = uint64_t{fTimeouts.WriteTotalTimeoutMultiplier} * aCount + fTimeouts.WriteTotalTimeoutConstant;
  const int timeout = total == 0 ? -1 : static_cast<int>(std::min<uint64_t>(total, 1'000'000'000));
  if (SendFrame(aData, aCount, timeout) != TzNetIo::Ready) return false;
  aWritten = aCount;
  return true;
}

bool TzLinkStream::Read(uint8_t* aData, size_t aMax, size_t& aRead) {
  aRead = 0;
  if (!Usable()) return false;
  const auto& to = fTimeouts;
  // The special forms of the time-out record, as on a serial port: return
  // at once with what is there; or as soon as anything is there, waiting at
  // most the constant.
  const bool atOnce = to.ReadIntervalTimeout == kMaxDword && to.ReadTotalTimeoutMultiplier == 0 &&
                      to.ReadTotalTimeoutConstant == 0;
  const bool firstByte = to.ReadIntervalTimeout == kMaxDword && to.ReadTotalTimeoutMultiplier == kMaxDword &&
                         to.ReadTotalTimeoutConstant > 0 && to.ReadTotalTimeoutConstant < kMaxDword;
  const uint64_t total = firstByte ? to.ReadTotalTimeoutConstant
                                   : uint64_t{to.ReadTotalTimeoutMultiplier} * aMax + to.ReadTotalTimeoutConstant;
  const bool bounded = atOnce || total != 0;
  const bool useInterval = !firstByte && to.ReadIntervalTimeout != 0 && to.ReadIntervalTimeout != kMaxDword;
  const auto start = TzClock::now();
  const auto deadline = start + std::chrono::milliseconds(std::min<uint64_t>(total, 1'000'000'000));
  auto lastByte = start;
  if (atOnce) Pump(0);

  for (;;) {
    // One byte at a time, so the read ends at the last byte of a whole answer.
    bool whole = false;
    while (aRead < aMax && !fAnswer.empty()) {
      aData[aRead++] = fAnswer.front();
      fAnswer.pop_front();
      if (AnswerEnds(aRead) || (fRule && fRule(std::span<const uint8_t>(aData, aRead)))) {
        whole = true;
        break;
      }
    }
    if (whole || aRead >= aMax || !Usable()) break;
    if (atOnce || (firstByte && aRead > 0)) break;
    int wait = bounded ? MsUntil(deadline) : -1;
    if (bounded && wait == 0) break;
    if (useInterval && aRead > 0) {
      const int gap = MsUntil(lastByte + std::chrono::milliseconds(to.ReadIntervalTimeout));
      if (gap == 0) break;
      wait = wait < 0 ? gap : std::min(wait, gap);
    }
    const size_t before = fAnswer.size();
    const TzNetIo io = Pump(wait);
    if (io == TzNetIo::Ready) {
      if (fAnswer.size() > before) lastByte = TzClock::now();
      continue;
    }
    if (io != TzNetIo::Timeout) break;  // interrupted, closed or broken
  }
  return Usable();
}

bool TzLinkStream::TakeErrorFlags(uint32_t& aFlags) {
  aFlags = 0;  // a connection has no line errors; a lost one cannot be asked
  return Usable();
}

bool TzLinkStream::Close() {
  fSocket.Close();
  fAnswer.clear();
  fLost = false;
  return true;
}
