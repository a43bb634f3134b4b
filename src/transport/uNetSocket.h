// One TCP client connection for the network links, with a wake-up that ends
// any wait at once from another thread. Every platform call of the network
// links lives in uNetSocket.cpp (POSIX sockets, Winsock on Windows).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "uLinkError.h"

enum class TzNetIo : uint8_t {
  Ready,        // bytes moved
  Timeout,      // the wait ended with nothing to do
  Interrupted,  // Interrupt() was called
  Closed,       // the peer closed the connection
  Failed,       // the connection broke (reset, no route...)
};

class TzNetSocket {
public:
  TzNetSocket();
  ~TzNetSocket();
  TzNetSocket(const TzNetSocket&) = delete;
  TzNetSocket& operator=(const TzNetSocket&) = delete;

  // Resolves aHost and connects, trying each address in turn, within
  // aTimeoutMs in all; cut short by Interrupt. Clears an earlier interrupt
  // first. None on success, else why it failed.
  TzLinkError Connect(const std::string& aHost, uint16_t aPort, int aTimeoutMs);
  bool IsOpen() const;
  void Close();

  // Sends every byte, waiting at most aTimeoutMs (-1: no limit) for room.
  TzNetIo SendAll(const uint8_t* aData, size_t aCount, int aTimeoutMs);
  // Receives what has arrived, up to aMax bytes, waiting at most aTimeoutMs
  // (-1: no limit, 0: not at all) for the first byte.
  TzNetIo Receive(uint8_t* aData, size_t aMax, size_t& aGot, int aTimeoutMs);
  // Why the connection broke after Failed or Closed.
  TzLinkError LastError() const { return fLastError; }

  // Thread-safe: ends a wait in progress and every further one until
  // ClearInterrupt (Connect and Close clear it).
  void Interrupt();
  void ClearInterrupt();
  bool Interrupted() const { return fInterrupted; }

private:
  // Waits until the socket is readable (aWrite false) or writable; the
  // outcome as Ready, Timeout, Interrupted or Failed.
  TzNetIo Wait(bool aWrite, int aTimeoutMs);

  intptr_t fSocket;
  intptr_t fWake[2];  // POSIX: a pipe; Windows: a UDP socket that sends to itself
  std::atomic<bool> fInterrupted{false};
  TzLinkError fLastError = TzLinkError::None;
};
