#include "uSimTap.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "uSimSerial.h"

bool TzSimTap::Open(std::string& aError) {
  Close();
  fMaster = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  const char* name = nullptr;
  if (fMaster < 0 || grantpt(fMaster) != 0 || unlockpt(fMaster) != 0 || (name = ptsname(fMaster)) == nullptr) {
    aError = std::string("tap pseudo-terminal: ") + std::strerror(errno);
    Close();
    return false;
  }
  fPath = name;
  // The settings outlive this descriptor: the pair keeps them for every
  // listener that opens the tap later.
  const int listener = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  termios raw{};
  const bool made = listener >= 0 && tcgetattr(listener, &raw) == 0;
  if (made) {
    cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
  }
  if (!made || tcsetattr(listener, TCSANOW, &raw) != 0) {
    aError = std::string("tap pseudo-terminal settings: ") + std::strerror(errno);
    if (listener >= 0) close(listener);
    Close();
    return false;
  }
  close(listener);
  return true;
}

void TzSimTap::Close() {
  if (fMaster >= 0) close(fMaster);
  fMaster = -1;
  fPath.clear();
}

void TzSimTap::Carry(std::span<const uint8_t> aBytes, int aBaudRate) {
  if (fMaster < 0 || aBytes.empty()) return;
  if (aBaudRate > 0) {
    TzSimTermLine listener;
    if (!ReadSimTermLine(fMaster, listener) || listener.BaudRate != aBaudRate) return;
  }
  size_t sent = 0;
  while (sent < aBytes.size()) {
    const ssize_t n = write(fMaster, aBytes.data() + sent, aBytes.size() - sent);
    if (n > 0) sent += static_cast<size_t>(n);
    else if (n < 0 && errno == EINTR) continue;
    else return;  // full or gone: the listener misses these bytes
  }
}

void TzSimTap::Drain() {
  if (fMaster < 0) return;
  uint8_t buffer[256];
  while (read(fMaster, buffer, sizeof buffer) > 0) {
  }
}
