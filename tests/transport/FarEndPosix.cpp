#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "FarEnd.h"
#include "uSerialPorts.h"

namespace {
class TzPtyFarEnd final : public TzFarEnd {
public:
  explicit TzPtyFarEnd(int aMaster) : fMaster(aMaster) {}
  ~TzPtyFarEnd() override { Close(); }

  int32_t EnginePort() const override { return kExtraPortBase + 1; }

  bool ReadExactly(std::vector<uint8_t>& aBytes, size_t aCount, int aGuardMs) override {
    aBytes.clear();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(aGuardMs);
    while (aBytes.size() < aCount) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !WaitReadable(static_cast<int>(left.count()))) return false;
      uint8_t buf[512];
      const auto n = ::read(fMaster, buf, std::min(sizeof buf, aCount - aBytes.size()));
      if (n <= 0) return false;
      aBytes.insert(aBytes.end(), buf, buf + n);
    }
    return true;
  }

  std::vector<uint8_t> Drain(int aMs) override {
    std::vector<uint8_t> bytes;
    while (WaitReadable(aMs)) {
      uint8_t buf[512];
      const auto n = ::read(fMaster, buf, sizeof buf);
      if (n <= 0) break;
      bytes.insert(bytes.end(), buf, buf + n);
    }
    return bytes;
  }

  bool Write(const std::vector<uint8_t>& aBytes) override {
    size_t done = 0;
    while (done < aBytes.size()) {
      const auto n = ::write(fMaster, aBytes.data() + done, aBytes.size() - done);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

  void Close() override {
    if (fMaster >= 0) ::close(fMaster);
    fMaster = -1;
  }

  bool NearEndSeesClose() const override { return true; }

private:
  bool WaitReadable(int aMs) {
    pollfd p{fMaster, POLLIN, 0};
    return fMaster >= 0 && ::poll(&p, 1, aMs) > 0 && (p.revents & POLLIN);
  }
  int fMaster;
};
}  // namespace

std::unique_ptr<TzFarEnd> MakeFarEnd(std::string& aWhy) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    aWhy = "no pseudo-terminal";
    if (master >= 0) ::close(master);
    return nullptr;
  }
  const char* slave = ::ptsname(master);
  if (!slave) {
    ::close(master);
    aWhy = "no pseudo-terminal name";
    return nullptr;
  }
  // The engine finds the slave as the first path of the port list; the
  // second path names nothing.
  const std::string list = std::string(slave) + ":/dev/rk7140-no-such-port";
  ::setenv(std::string(kPortListVariable).c_str(), list.c_str(), 1);
  termios t{};
  ::tcgetattr(master, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(master, TCSANOW, &t);
  return std::make_unique<TzPtyFarEnd>(master);
}

int32_t MissingPortNumber() { return kExtraPortBase + 2; }
