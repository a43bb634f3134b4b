// A scripted TCP peer on the loopback address for the network links' tests:
// it listens on a port of its own (chosen by the system) and runs a script
// in a thread on each connection it accepts, one after another.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// The peer's side of one connection.
class TzPeerConn {
public:
  explicit TzPeerConn(int aFd) : fFd(aFd) {}

  // Exactly aCount bytes within aTimeoutMs; fewer when the time runs out or
  // the link closes.
  std::vector<uint8_t> Read(size_t aCount, int aTimeoutMs = 3000) {
    std::vector<uint8_t> bytes;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(aTimeoutMs);
    while (bytes.size() < aCount) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0) break;
      pollfd p{fFd, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
      uint8_t b[512];
      const ssize_t n = ::recv(fFd, b, std::min(sizeof b, aCount - bytes.size()), 0);
      if (n <= 0) break;
      bytes.insert(bytes.end(), b, b + n);
    }
    return bytes;
  }

  // Whatever arrives within aTimeoutMs.
  std::vector<uint8_t> ReadFor(int aTimeoutMs) {
    std::vector<uint8_t> bytes;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(aTimeoutMs);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0) break;
      pollfd p{fFd, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
      uint8_t b[512];
      const ssize_t n = ::recv(fFd, b, sizeof b, 0);
      if (n <= 0) break;
      bytes.insert(bytes.end(), b, b + n);
    }
    return bytes;
  }

  void Send(const std::vector<uint8_t>& aBytes) {
    size_t sent = 0;
    while (sent < aBytes.size()) {
      const ssize_t n = ::send(fFd, aBytes.data() + sent, aBytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<size_t>(n);
    }
  }

  // Sends the pieces as separate segments, aGapMs apart.
  void SendPieces(const std::vector<std::vector<uint8_t>>& aPieces, int aGapMs) {
    for (size_t i = 0; i < aPieces.size(); ++i) {
      if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(aGapMs));
      Send(aPieces[i]);
    }
  }

  // True when the other side closed (within aTimeoutMs).
  bool SeesClose(int aTimeoutMs = 3000) {
    pollfd p{fFd, POLLIN, 0};
    if (::poll(&p, 1, aTimeoutMs) <= 0) return false;
    uint8_t b;
    return ::recv(fFd, &b, 1, MSG_PEEK) == 0;
  }

private:
  int fFd;
};

class TzNetPeer {
public:
  using TzScript = std::function<void(TzPeerConn&)>;

  TzNetPeer() {
    fListen = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    ::setsockopt(fListen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    ::bind(fListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::getsockname(fListen, reinterpret_cast<sockaddr*>(&addr), &length);
    fPort = ntohs(addr.sin_port);
    ::listen(fListen, 4);
  }

  ~TzNetPeer() { Stop(); }

  uint16_t Port() const { return fPort; }
  std::string Endpoint(const std::string& aScheme) const { return aScheme + "://127.0.0.1:" + std::to_string(fPort); }

  // Runs aScripts[i] on the i-th accepted connection, each closed after its
  // script; then stops accepting.
  void Serve(std::vector<TzScript> aScripts) {
    fThread = std::thread([this, scripts = std::move(aScripts)] {
      for (const auto& script : scripts) {
        int fd = -1;
        while (!fStop && fd < 0) {
          pollfd p{fListen, POLLIN, 0};
          if (::poll(&p, 1, 50) > 0) fd = ::accept(fListen, nullptr, nullptr);
        }
        if (fd < 0) return;
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        TzPeerConn conn(fd);
        script(conn);
        ::close(fd);
        ++fServed;
      }
    });
  }

  void Stop() {
    fStop = true;
    if (fThread.joinable()) fThread.join();
    if (fListen >= 0) ::close(fListen);
    fListen = -1;
  }

  int Served() const { return fServed; }

private:
  int fListen = -1;
  uint16_t fPort = 0;
  std::thread fThread;
  std::atomic<bool> fStop{false};
  std::atomic<int> fServed{0};
};

// A loopback port nobody listens on (bound, then released).
inline uint16_t UnusedLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof addr;
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
  ::close(fd);
  return ntohs(addr.sin_port);
}
