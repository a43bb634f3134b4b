#include "uSimNetServer.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "uSimFramer.h"
#include "uUtils.h"

namespace {

constexpr int kTickMs = 50;  // how often time-driven behaviour catches up when idle
constexpr size_t kMbapHeader = 7;
constexpr uint8_t kExceptionTargetSilent = 0x0B;

int64_t SteadyUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t SteadyMs() { return SteadyUs() / 1000; }

std::string SystemError(const std::string& aWhat) { return aWhat + ": " + std::strerror(errno); }

}  // namespace

bool ParseSimListen(const std::string& aText, TzSimListenAddress& aAddress) {
  TzSimListenAddress result;
  std::string rest;
  if (aText.rfind("tcp://", 0) == 0) {
    result.Kind = TzSimNetKind::RtuOverTcp;
    rest = aText.substr(6);
  } else if (aText.rfind("modbus-tcp://", 0) == 0) {
    result.Kind = TzSimNetKind::ModbusTcp;
    rest = aText.substr(13);
  } else {
    return false;
  }
  std::string port;
  if (!rest.empty() && rest.front() == '[') {
    const auto close = rest.find("]:");
    if (close == std::string::npos) return false;
    result.Host = rest.substr(1, close - 1);
    port = rest.substr(close + 2);
  } else {
    const auto colon = rest.rfind(':');
    if (colon == std::string::npos) return false;
    result.Host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
  }
  int32_t number = 0;
  if (result.Host.empty() || port.empty() || !TryStrToInt32(port, number) || number < 0 || number > 65535) return false;
  result.Port = static_cast<uint16_t>(number);
  aAddress = result;
  return true;
}

bool TzSimNetServer::Listen(const TzSimListenAddress& aAddress, std::string& aError) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(aAddress.Port);
  const int resolved = getaddrinfo(aAddress.Host.c_str(), service.c_str(), &hints, &found);
  if (resolved != 0) {
    aError = aAddress.Host + ": " + gai_strerror(resolved);
    return false;
  }
  aError = "no address for " + aAddress.Host;
  for (addrinfo* a = found; a != nullptr && fListen < 0; a = a->ai_next) {
    const int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd, a->ai_addr, a->ai_addrlen) != 0 || listen(fd, 4) != 0) {
      aError = SystemError("listen on " + aAddress.Host + ":" + service);
      close(fd);
      continue;
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    fPort = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                              : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    fListen = fd;
  }
  freeaddrinfo(found);
  if (fListen < 0) return false;
  fAddress = aAddress;
  return true;
}

std::string TzSimNetServer::Endpoint() const {
  const std::string scheme = fAddress.Kind == TzSimNetKind::ModbusTcp ? "modbus-tcp://" : "tcp://";
  const std::string host = fAddress.Host.find(':') != std::string::npos ? "[" + fAddress.Host + "]" : fAddress.Host;
  return scheme + host + ":" + std::to_string(fPort);
}

bool TzSimNetServer::Start() {
  if (fListen < 0 || fThread.joinable()) return false;
  if (pipe2(fWake, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  fStop = false;
  fThread = std::thread(&TzSimNetServer::Run, this);
  return true;
}

void TzSimNetServer::Stop() {
  if (fThread.joinable()) {
    fStop = true;
    const char byte = 'x';
    [[maybe_unused]] const ssize_t ignored = write(fWake[1], &byte, 1);
    fThread.join();
  }
  for (int& fd : fWake) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
  if (fListen >= 0) close(fListen);
  fListen = -1;
}

void TzSimNetServer::Log(const std::string& aLine) const {
  if (fLog) fLog(aLine);
}

void TzSimNetServer::Run() {
  while (!fStop) {
    pollfd fds[2] = {{fListen, POLLIN, 0}, {fWake[0], POLLIN, 0}};
    const int ready = poll(fds, 2, kTickMs);
    if (ready < 0 && errno != EINTR) return;
    if (fds[1].revents & POLLIN) return;
    fBus.Tick();
    if (!(fds[0].revents & POLLIN)) continue;
    const int client = accept4(fListen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (client < 0) continue;
    const int on = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    Log("client connected to " + Endpoint());
    if (fAddress.Kind == TzSimNetKind::ModbusTcp) ServeModbusTcp(client);
    else ServeRtu(client);
    close(client);
    Log("client left " + Endpoint());
  }
}

bool TzSimNetServer::WaitUntilOrStop(int64_t aSteadyUs) {
  pollfd wake{fWake[0], POLLIN, 0};
  for (;;) {
    const int64_t left = aSteadyUs - SteadyUs();
    if (left <= 0) return true;
    const timespec wait{static_cast<time_t>(left / 1000000), static_cast<long>(left % 1000000) * 1000};
    const int ready = ppoll(&wake, 1, &wait, nullptr);
    if (ready > 0) return false;
    if (ready < 0 && errno != EINTR) return false;
  }
}

bool TzSimNetServer::Send(int aClient, const std::vector<uint8_t>& aBytes) {
  size_t sent = 0;
  while (sent < aBytes.size()) {
    const ssize_t n = send(aClient, aBytes.data() + sent, aBytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    pollfd fds[2] = {{aClient, POLLOUT, 0}, {fWake[0], POLLIN, 0}};
    if (poll(fds, 2, 1000) > 0 && (fds[1].revents & POLLIN)) return false;
  }
  return true;
}

bool TzSimNetServer::Answer(const std::vector<uint8_t>& aFrame, std::vector<uint8_t>& aAnswer) {
  const int64_t heardAt = SteadyUs();
  Log("request " + HexBytes(aFrame));
  // No client terminal over the network: the strict line has nothing to check.
  const TzSimBusResult result = fBus.HandleFrame(aFrame, nullptr);
  for (const std::string& note : result.Notes) Log(note);
  aAnswer.clear();
  if (result.Answers.empty()) return true;
  const TzSimBusAnswer& answer = result.Answers.front();
  if (!WaitUntilOrStop(heardAt + answer.DelayUs)) return false;
  aAnswer = answer.Bytes;
  return true;
}

void TzSimNetServer::ServeRtu(int aClient) {
  TzSimFramer framer;
  std::vector<uint8_t> frame;
  std::vector<uint8_t> answer;
  uint8_t buffer[512];
  while (!fStop) {
    if (fBus.ModuleCount() > 0) framer.SetBaudRate(kSimBaudRates[fBus.Module(0).Line().BaudCode]);
    const int wait = framer.WaitMs(SteadyMs());
    pollfd fds[2] = {{aClient, POLLIN, 0}, {fWake[0], POLLIN, 0}};
    const int ready = poll(fds, 2, wait < 0 ? kTickMs : std::min(wait, kTickMs));
    if (ready < 0 && errno != EINTR) return;
    if (fds[1].revents & POLLIN) return;
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      const ssize_t n = recv(aClient, buffer, sizeof buffer, 0);
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return;  // the client left
      if (n > 0) framer.Add(std::span<const uint8_t>(buffer, static_cast<size_t>(n)), SteadyMs());
    }
    fBus.Tick();
    while (!fStop && framer.Take(SteadyMs(), frame)) {
      if (!Answer(frame, answer)) return;
      if (answer.empty()) continue;
      if (!Send(aClient, answer)) return;
      Log("answer  " + HexBytes(answer));
    }
  }
}

void TzSimNetServer::ServeModbusTcp(int aClient) {
  std::vector<uint8_t> received;
  std::vector<uint8_t> answer;
  uint8_t buffer[512];
  while (!fStop) {
    pollfd fds[2] = {{aClient, POLLIN, 0}, {fWake[0], POLLIN, 0}};
    const int ready = poll(fds, 2, kTickMs);
    if (ready < 0 && errno != EINTR) return;
    if (fds[1].revents & POLLIN) return;
    fBus.Tick();
    if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    const ssize_t n = recv(aClient, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return;
    if (n > 0) received.insert(received.end(), buffer, buffer + n);
    while (received.size() >= kMbapHeader) {
      const size_t length = static_cast<size_t>(received[4] << 8 | received[5]);
      if (received[2] != 0 || received[3] != 0 || length < 2 || length > 254) {
        Log("not Modbus TCP, client dropped: " + HexBytes(received));
        return;
      }
      if (received.size() < 6 + length) break;
      // The MBAP header's unit identifier is the RTU address.
      std::vector<uint8_t> request =
          WithModbusCRC(std::vector<uint8_t>(received.begin() + 6, received.begin() + 6 + static_cast<std::ptrdiff_t>(length)));
      const std::vector<uint8_t> header(received.begin(), received.begin() + 4);
      received.erase(received.begin(), received.begin() + 6 + static_cast<std::ptrdiff_t>(length));
      if (!Answer(request, answer)) return;
      std::vector<uint8_t> pdu;  // unit identifier + PDU
      if (answer.size() >= 4 && HasModbusCRC(answer)) {
        pdu.assign(answer.begin(), answer.end() - 2);
      } else if (request[0] != 0) {
        pdu = {request[0], static_cast<uint8_t>(request[1] | 0x80), kExceptionTargetSilent};
      } else {
        continue;  // a broadcast has no answer
      }
      std::vector<uint8_t> adu = header;
      adu.push_back(static_cast<uint8_t>(pdu.size() >> 8));
      adu.push_back(static_cast<uint8_t>(pdu.size()));
      adu.insert(adu.end(), pdu.begin(), pdu.end());
      if (!Send(aClient, adu)) return;
      Log("answer  " + HexBytes(adu));
    }
  }
}
