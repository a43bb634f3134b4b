#include "uSimSerial.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "uSimModule.h"

namespace {

std::string SystemError(const char* aWhat) { return std::string(aWhat) + ": " + std::strerror(errno); }

// 14400 and 28800 have no POSIX speed constant: false for them.
bool SpeedOf(int aBaudCode, speed_t& aSpeed) {
  static constexpr speed_t kSpeeds[10] = {B1200, B2400, B4800, B9600, B0, B19200, B0, B38400, B57600, B115200};
  if (aBaudCode < 0 || aBaudCode > 9 || kSpeeds[aBaudCode] == B0) return false;
  aSpeed = kSpeeds[aBaudCode];
  return true;
}

int BaudOf(speed_t aSpeed) {
  static constexpr struct {
    speed_t Speed;
    int Baud;
  } kRates[] = {{B50, 50},       {B75, 75},       {B110, 110},       {B134, 134},     {B150, 150},
                {B200, 200},     {B300, 300},     {B600, 600},       {B1200, 1200},   {B1800, 1800},
                {B2400, 2400},   {B4800, 4800},   {B9600, 9600},     {B19200, 19200}, {B38400, 38400},
                {B57600, 57600}, {B115200, 115200}, {B230400, 230400}};
  for (const auto& rate : kRates) {
    if (rate.Speed == aSpeed) return rate.Baud;
  }
  return 0;
}

}  // namespace

bool TzSimPty::Open(std::string& aError, bool aRawClient) {
  Close();
  fMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);  // a child process must not keep the line alive
  if (fMaster < 0) {
    aError = SystemError("posix_openpt");
    return false;
  }
  const char* name = nullptr;
  if (grantpt(fMaster) != 0 || unlockpt(fMaster) != 0 || (name = ptsname(fMaster)) == nullptr) {
    aError = SystemError("pseudo-terminal set-up");
    Close();
    return false;
  }
  fSlavePath = name;
  fSlave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fSlave < 0) {
    aError = SystemError("open of the pseudo-terminal's slave side");
    Close();
    return false;
  }
  termios raw{};
  if (tcgetattr(fSlave, &raw) != 0) {
    aError = SystemError("tcgetattr");
    Close();
    return false;
  }
  cfmakeraw(&raw);
  raw.c_cflag |= CLOCAL | CREAD;
  if (aRawClient && tcsetattr(fSlave, TCSANOW, &raw) != 0) {
    aError = SystemError("tcsetattr");
    Close();
    return false;
  }
  const int flags = fcntl(fMaster, F_GETFL);
  if (flags < 0 || fcntl(fMaster, F_SETFL, flags | O_NONBLOCK) != 0) {
    aError = SystemError("fcntl");
    Close();
    return false;
  }
  return true;
}

void TzSimPty::Close() {
  if (fSlave >= 0) close(fSlave);
  if (fMaster >= 0) close(fMaster);
  fSlave = -1;
  fMaster = -1;
  fSlavePath.clear();
}

int OpenSimSerialPort(const std::string& aPath, int aBaudCode, int aFormatCode, std::string& aError) {
  const int fd = open(aPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    aError = SystemError(aPath.c_str());
    return -1;
  }
  if (!ApplySimLineSettings(fd, aBaudCode, aFormatCode, aError)) {
    close(fd);
    return -1;
  }
  return fd;
}

bool ApplySimLineSettings(int aFd, int aBaudCode, int aFormatCode, std::string& aError) {
  speed_t speed = B9600;
  if (!SpeedOf(aBaudCode, speed)) {
    aError = "baud code " + std::to_string(aBaudCode) + ": no such speed for a serial device here";
    return false;
  }
  termios settings{};
  if (tcgetattr(aFd, &settings) != 0) {
    aError = SystemError("tcgetattr");
    return false;
  }
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  settings.c_cflag |= CS8;
  const TzSimFormat format = SimFormat(aFormatCode);
  if (format.Parity != 'N') settings.c_cflag |= PARENB;
  if (format.Parity == 'O') settings.c_cflag |= PARODD;
  if (format.StopBits == 2) settings.c_cflag |= CSTOPB;
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  cfsetispeed(&settings, speed);
  cfsetospeed(&settings, speed);
  if (tcsetattr(aFd, TCSANOW, &settings) != 0) {
    aError = SystemError("tcsetattr");
    return false;
  }
  return true;
}

bool ReadSimTermLine(int aFd, TzSimTermLine& aLine) {
  termios settings{};
  if (tcgetattr(aFd, &settings) != 0) return false;
  aLine.BaudRate = BaudOf(cfgetospeed(&settings));
  aLine.StopBits = (settings.c_cflag & CSTOPB) != 0 ? 2 : 1;
  return true;
}

std::string SimTermLineText(const TzSimTermLine& aLine) {
  return (aLine.BaudRate > 0 ? std::to_string(aLine.BaudRate) : std::string("an unlisted speed")) + " baud, " +
         std::to_string(aLine.StopBits) + (aLine.StopBits == 1 ? " stop bit" : " stop bits");
}
