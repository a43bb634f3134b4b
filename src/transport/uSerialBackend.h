// The one small interface between the port engine and a serial device. One
// implementation per platform (uSerialPosix.cpp, uSerialWin32.cpp); tests use
// a fake of their own.
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

#include "uLineSettings.h"

// Whether the bytes a read has gathered so far form a whole answer. The
// engine never looks into frames; its caller may know their framing.
using TzCompletionRule = std::function<bool(std::span<const uint8_t> aBytesSoFar)>;

class TzSerialBackend {
public:
  virtual ~TzSerialBackend() = default;

  // Opens the device of port number aComPort for reading and writing,
  // exclusively. False when there is no such device or it cannot be opened.
  virtual bool Open(int32_t aComPort) = 0;
  virtual bool IsOpen() const = 0;

  // The driver's current settings and time-outs, and writing them back.
  virtual bool GetSettings(TzPlatformDCB& aDCB) = 0;
  virtual bool SetSettings(const TzPlatformDCB& aDCB) = 0;
  virtual bool SetQueueSizes(uint32_t aIn, uint32_t aOut) = 0;
  virtual bool GetTimeouts(TzPlatformTimeouts& aTimeouts) = 0;
  virtual bool SetTimeouts(const TzPlatformTimeouts& aTimeouts) = 0;
  virtual bool GetEventMask(uint32_t& aMask) = 0;
  virtual bool SetEventMask(uint32_t aMask) = 0;

  // Discards the driver's receive buffer, then its transmit buffer.
  virtual bool Purge() = 0;
  // Writes and waits until the write has finished (write time-outs apply).
  virtual bool Write(const uint8_t* aData, size_t aCount, size_t& aWritten) = 0;
  // One read of up to aMax bytes, ended by the read time-outs of the last
  // SetTimeouts (interval after a byte, total = multiplier * aMax + constant).
  virtual bool Read(uint8_t* aData, size_t aMax, size_t& aRead) = 0;
  // Reads end as soon as aRule holds for the bytes read so far (the
  // time-outs stay as the fallback); an empty rule: reads end by time-outs
  // only. A backend may ignore the rule; its reads then end by time-outs.
  virtual void SetCompletionRule(TzCompletionRule aRule) { (void)aRule; }
  // Takes (and clears) the line-error flags since the last call. False when
  // the driver cannot be asked: port closed, device gone, read interrupted.
  virtual bool TakeErrorFlags(uint32_t& aFlags) = 0;

  // Discards both buffers and closes; false (port kept) when closing fails.
  // True when nothing was open.
  virtual bool Close() = 0;

  // Thread-safe: ends a Read or Write in progress at once and makes every
  // further Read, Write and TakeErrorFlags fail until Close or Open.
  virtual void Interrupt() = 0;
};

// The backend of this platform.
std::unique_ptr<TzSerialBackend> MakeSystemSerialBackend();
