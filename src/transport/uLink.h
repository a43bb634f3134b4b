// The one narrow interface between the port engine and whatever carries its
// frames: a local serial port or a network connection. One implementation per
// kind, chosen by the endpoint's text (uEndpoint.h):
//   /dev/ttyUSB0, COM3      local serial port (uSerialPosix.cpp, uSerialWin32.cpp)
//   tcp://HOST:PORT         Modbus RTU frames over a TCP socket (uLinkTcp.cpp)
//   rfc2217://HOST:PORT     the same, the far port set by RFC 2217 (uLinkRfc2217.cpp)
//   modbus-tcp://HOST[:P]   a Modbus TCP gateway (uLinkModbusTcp.cpp)
// Every link takes and gives Modbus RTU frames, so the engine and its callers
// see the same bytes over every kind; a link that speaks another framing
// (Modbus TCP) translates inside. Tests use fakes of their own.
//
// Threads: the engine calls every operation except Interrupt under its own
// port lock, so an implementation sees one call at a time. Interrupt may come
// from another thread at any moment while a Read or Write runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "uLineSettings.h"
#include "uLinkError.h"

// Whether the bytes a read has gathered so far form a whole answer. The
// engine never looks into frames; its caller may know their framing.
using TzCompletionRule = std::function<bool(std::span<const uint8_t> aBytesSoFar)>;

class TzLink {
public:
  virtual ~TzLink() = default;

  // Opens the endpoint for reading and writing, exclusively where the kind
  // allows it. False when it cannot be opened; LastError() says why.
  virtual bool Open(const std::string& aEndpoint) = 0;
  virtual bool IsOpen() const = 0;
  // Why the last Open (or SetSettings) failed, or why the link was lost.
  virtual TzLinkError LastError() const { return TzLinkError::None; }

  // The line's current settings and time-outs, and writing them back. A
  // network link keeps them (RFC 2217 also sets the far port by them).
  virtual bool GetSettings(TzPlatformDCB& aDCB) = 0;
  virtual bool SetSettings(const TzPlatformDCB& aDCB) = 0;
  virtual bool SetQueueSizes(uint32_t aIn, uint32_t aOut) = 0;
  virtual bool GetTimeouts(TzPlatformTimeouts& aTimeouts) = 0;
  virtual bool SetTimeouts(const TzPlatformTimeouts& aTimeouts) = 0;
  virtual bool GetEventMask(uint32_t& aMask) = 0;
  virtual bool SetEventMask(uint32_t aMask) = 0;

  // Discards what was received and not yet read, then what waits to be sent.
  virtual bool Purge() = 0;
  // Writes and waits until the write has finished (write time-outs apply).
  virtual bool Write(const uint8_t* aData, size_t aCount, size_t& aWritten) = 0;
  // One read of up to aMax bytes, ended by the read time-outs of the last
  // SetTimeouts (interval after a byte, total = multiplier * aMax + constant)
  // or as soon as the completion rule holds.
  virtual bool Read(uint8_t* aData, size_t aMax, size_t& aRead) = 0;
  // Reads end as soon as aRule holds for the bytes read so far (the
  // time-outs stay as the fallback); an empty rule: reads end by time-outs
  // only.
  virtual void SetCompletionRule(TzCompletionRule aRule) { (void)aRule; }
  // Takes (and clears) the line-error flags since the last call. False when
  // the link cannot be asked: closed, device gone, peer gone, interrupted.
  virtual bool TakeErrorFlags(uint32_t& aFlags) = 0;

  // Discards both buffers and closes; false (link kept) when closing fails.
  // True when nothing was open.
  virtual bool Close() = 0;

  // Thread-safe: ends a Read or Write in progress at once and makes every
  // further Read, Write and TakeErrorFlags fail until Close or Open.
  virtual void Interrupt() = 0;
};

// The local serial link of this platform.
std::unique_ptr<TzLink> MakeSerialLink();
// The link for an endpoint's kind (uLinkFactory.cpp); a serial link for a
// device name, a network link for tcp://, rfc2217:// and modbus-tcp://.
std::unique_ptr<TzLink> MakeLink(const std::string& aEndpoint);
