// The platform side of the network links: name resolution, a bounded
// non-blocking connect, sends and receives that wait with poll() (select() on
// Windows) beside a wake-up handle.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <mutex>

#include "uNetSocket.h"

namespace {

using TzClock = std::chrono::steady_clock;
constexpr intptr_t kNone = -1;

int MsUntil(TzClock::time_point aDeadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(aDeadline - TzClock::now()).count();
  return static_cast<int>(std::clamp<int64_t>(left, 0, 1'000'000'000));
}

#ifdef _WIN32
using TzHandle = SOCKET;
TzHandle H(intptr_t aValue) { return static_cast<SOCKET>(aValue); }
int LastSocketError() { return WSAGetLastError(); }
bool WouldBlock(int aError) { return aError == WSAEWOULDBLOCK || aError == WSAEINPROGRESS; }
bool InProgress(int aError) { return aError == WSAEWOULDBLOCK || aError == WSAEINPROGRESS; }
void CloseHandle(intptr_t aValue) { ::closesocket(H(aValue)); }
bool SetNonBlocking(intptr_t aValue) {
  u_long on = 1;
  return ::ioctlsocket(H(aValue), FIONBIO, &on) == 0;
}
void StartSockets() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
  });
}
#else
using TzHandle = int;
TzHandle H(intptr_t aValue) { return static_cast<int>(aValue); }
int LastSocketError() { return errno; }
bool WouldBlock(int aError) { return aError == EAGAIN || aError == EWOULDBLOCK; }
bool InProgress(int aError) { return aError == EINPROGRESS; }
void CloseHandle(intptr_t aValue) { ::close(H(aValue)); }
bool SetNonBlocking(intptr_t aValue) {
  const int fd = H(aValue);
  return ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) == 0 && ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}
void StartSockets() {}
#endif

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;  // a closed peer gives EPIPE, not SIGPIPE
#else
constexpr int kSendFlags = 0;
#endif

// What a connect error means for the user; the resolver's own errors apart.
TzLinkError ConnectError(int aError) {
  const TzLinkError why = LinkErrorFromErrno(aError);
  return why == TzLinkError::Other ? TzLinkError::Unreachable : why;
}

bool IsReset(int aError) {
#ifdef _WIN32
  return aError == WSAECONNRESET || aError == WSAECONNABORTED;
#else
  return aError == ECONNRESET || aError == EPIPE || aError == ECONNABORTED;
#endif
}

}  // namespace

TzNetSocket::TzNetSocket() : fSocket(kNone), fWake{kNone, kNone} {
  StartSockets();
#ifdef _WIN32
  // Windows cannot wait on a pipe beside a socket: the wake-up is a UDP
  // socket on the loopback address that sends a byte to itself.
  const SOCKET wake = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (wake == INVALID_SOCKET) return;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof addr;
  if (::bind(wake, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::getsockname(wake, reinterpret_cast<sockaddr*>(&addr), &length) != 0 ||
      ::connect(wake, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || !SetNonBlocking(wake)) {
    ::closesocket(wake);
    return;
  }
  fWake[0] = fWake[1] = static_cast<intptr_t>(wake);
#else
  int fds[2];
  if (::pipe(fds) != 0) return;
  fWake[0] = fds[0];
  fWake[1] = fds[1];
  SetNonBlocking(fWake[0]);
  SetNonBlocking(fWake[1]);
#endif
}

TzNetSocket::~TzNetSocket() {
  Close();
#ifdef _WIN32
  if (fWake[0] != kNone) CloseHandle(fWake[0]);
#else
  for (intptr_t fd : fWake)
    if (fd != kNone) CloseHandle(fd);
#endif
}

bool TzNetSocket::IsOpen() const { return fSocket != kNone; }

void TzNetSocket::Interrupt() {
  fInterrupted = true;
  if (fWake[1] == kNone) return;
  const char byte = 1;
#ifdef _WIN32
  ::send(H(fWake[1]), &byte, 1, 0);
#else
  [[maybe_unused]] const auto n = ::write(H(fWake[1]), &byte, 1);  // a full pipe already wakes
#endif
}

void TzNetSocket::ClearInterrupt() {
  char buffer[64];
  if (fWake[0] != kNone) {
#ifdef _WIN32
    while (::recv(H(fWake[0]), buffer, sizeof buffer, 0) > 0) {
    }
#else
    while (::read(H(fWake[0]), buffer, sizeof buffer) > 0) {
    }
#endif
  }
  fInterrupted = false;
}

void TzNetSocket::Close() {
  if (fSocket != kNone) CloseHandle(fSocket);
  fSocket = kNone;
  ClearInterrupt();
}

TzNetIo TzNetSocket::Wait(bool aWrite, int aTimeoutMs) {
  if (fInterrupted) return TzNetIo::Interrupted;
#ifdef _WIN32
  fd_set readSet;
  fd_set writeSet;
  fd_set failed;  // a failed connect shows here
  FD_ZERO(&readSet);
  FD_ZERO(&writeSet);
  FD_ZERO(&failed);
  FD_SET(H(fSocket), aWrite ? &writeSet : &readSet);
  FD_SET(H(fSocket), &failed);
  if (fWake[0] != kNone) FD_SET(H(fWake[0]), &readSet);
  timeval tv{aTimeoutMs / 1000, (aTimeoutMs % 1000) * 1000};
  const int r = ::select(0, &readSet, &writeSet, &failed, aTimeoutMs < 0 ? nullptr : &tv);
  if (r == SOCKET_ERROR) return TzNetIo::Failed;
  if (fInterrupted || (fWake[0] != kNone && FD_ISSET(H(fWake[0]), &readSet))) return TzNetIo::Interrupted;
  if (r == 0) return TzNetIo::Timeout;
  return TzNetIo::Ready;  // readable, writable or an error: the call that follows tells
#else
  pollfd fds[2] = {{H(fSocket), static_cast<short>(aWrite ? POLLOUT : POLLIN), 0}, {H(fWake[0]), POLLIN, 0}};
  for (;;) {
    const int r = ::poll(fds, fWake[0] == kNone ? 1 : 2, aTimeoutMs);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return TzNetIo::Failed;
    if (fInterrupted || fds[1].revents) return TzNetIo::Interrupted;
    if (r == 0) return TzNetIo::Timeout;
    return TzNetIo::Ready;  // readable, writable or an error: the call that follows tells
  }
#endif
}

TzLinkError TzNetSocket::Connect(const std::string& aHost, uint16_t aPort, int aTimeoutMs) {
  Close();
  fLastError = TzLinkError::None;
  if (fWake[0] == kNone) return TzLinkError::Other;
  const auto deadline = TzClock::now() + std::chrono::milliseconds(aTimeoutMs);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(aPort);
  const int resolved = ::getaddrinfo(aHost.c_str(), service.c_str(), &hints, &found);
  if (resolved != 0 || found == nullptr) {
#ifdef EAI_SYSTEM
    if (resolved == EAI_SYSTEM) return TzLinkError::HostNotFound;
#endif
    return TzLinkError::HostNotFound;
  }
  TzLinkError why = TzLinkError::Unreachable;
  for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
    const TzHandle s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (static_cast<intptr_t>(s) == kNone) {
      why = ConnectError(LastSocketError());
      continue;
    }
    fSocket = static_cast<intptr_t>(s);
    if (!SetNonBlocking(fSocket)) {
      why = TzLinkError::Other;
      Close();
      continue;
    }
    if (::connect(H(fSocket), a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
      const int error = LastSocketError();
      if (!InProgress(error)) {
        why = ConnectError(error);
        CloseHandle(fSocket);
        fSocket = kNone;
        continue;
      }
      const TzNetIo waited = Wait(true, MsUntil(deadline));
      int soError = 0;
      socklen_t length = sizeof soError;
      if (waited == TzNetIo::Ready &&
          ::getsockopt(H(fSocket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &length) != 0)
        soError = LastSocketError();
      if (waited != TzNetIo::Ready || soError != 0) {
        why = waited == TzNetIo::Interrupted ? TzLinkError::Other
              : waited == TzNetIo::Ready     ? ConnectError(soError)
                                             : TzLinkError::Unreachable;
        CloseHandle(fSocket);
        fSocket = kNone;
        if (waited == TzNetIo::Interrupted || MsUntil(deadline) == 0) break;
        continue;
      }
    }
    // Requests are small and wait for their answers: send each at once.
    int on = 1;
    ::setsockopt(H(fSocket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    ::freeaddrinfo(found);
    return TzLinkError::None;
  }
  ::freeaddrinfo(found);
  return why;
}

TzNetIo TzNetSocket::SendAll(const uint8_t* aData, size_t aCount, int aTimeoutMs) {
  if (fSocket == kNone) return TzNetIo::Failed;
  const auto deadline = TzClock::now() + std::chrono::milliseconds(std::max(aTimeoutMs, 0));
  size_t sent = 0;
  while (sent < aCount) {
    if (fInterrupted) return TzNetIo::Interrupted;
    const auto n = ::send(H(fSocket), reinterpret_cast<const char*>(aData + sent),
                          static_cast<int>(std::min<size_t>(aCount - sent, 65536)), kSendFlags);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    const int error = LastSocketError();
#ifndef _WIN32
    if (n < 0 && error == EINTR) continue;
#endif
    if (!WouldBlock(error)) {
      fLastError = IsReset(error) ? TzLinkError::ClosedByPeer : ConnectError(error);
      return TzNetIo::Failed;
    }
    const int wait = aTimeoutMs < 0 ? -1 : MsUntil(deadline);
    if (aTimeoutMs >= 0 && wait == 0) return TzNetIo::Timeout;
    const TzNetIo waited = Wait(true, wait);
    if (waited != TzNetIo::Ready && waited != TzNetIo::Timeout) return waited;
  }
  return TzNetIo::Ready;
}

TzNetIo TzNetSocket::Receive(uint8_t* aData, size_t aMax, size_t& aGot, int aTimeoutMs) {
  aGot = 0;
  if (fSocket == kNone) return TzNetIo::Failed;
  for (bool waited = false;;) {
    if (fInterrupted) return TzNetIo::Interrupted;
    const auto n = ::recv(H(fSocket), reinterpret_cast<char*>(aData), static_cast<int>(std::min<size_t>(aMax, 65536)), 0);
    if (n > 0) {
      aGot = static_cast<size_t>(n);
      return TzNetIo::Ready;
    }
    if (n == 0) {
      fLastError = TzLinkError::ClosedByPeer;
      return TzNetIo::Closed;
    }
    const int error = LastSocketError();
#ifndef _WIN32
    if (error == EINTR) continue;
#endif
    if (!WouldBlock(error)) {
      fLastError = IsReset(error) ? TzLinkError::ClosedByPeer : ConnectError(error);
      return TzNetIo::Failed;
    }
    if (waited || aTimeoutMs == 0) return TzNetIo::Timeout;
    const TzNetIo result = Wait(false, aTimeoutMs);
    if (result != TzNetIo::Ready) return result;
    waited = true;
  }
}
