#ifndef _WIN32

#include "uTermiosMapping.h"

#include <iterator>

namespace {
struct TzSpeed {
  uint32_t Baud;
  speed_t Speed;
};

constexpr TzSpeed kSpeeds[] = {
    {50, B50},       {75, B75},       {110, B110},     {134, B134},       {150, B150},
    {200, B200},     {300, B300},     {600, B600},     {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},   {9600, B9600},   {19200, B19200},   {38400, B38400},
#ifdef B57600
    {57600, B57600},
#endif
#ifdef B115200
    {115200, B115200},
#endif
#ifdef B230400
    {230400, B230400},
#endif
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B921600
    {921600, B921600},
#endif
};

constexpr uint32_t kRtsHandshake = 2;
}  // namespace

bool BaudToSpeed(uint32_t aBaud, speed_t& aSpeed) {
  for (const auto& s : kSpeeds)
    if (s.Baud == aBaud) {
      aSpeed = s.Speed;
      return true;
    }
  return false;
}

uint32_t SpeedToBaud(speed_t aSpeed) {
  for (const auto& s : kSpeeds)
    if (s.Speed == aSpeed) return s.Baud;
  return 0;
}

void MakeRawLine(termios& aTio) {
  aTio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                         IXANY | INPCK | IGNPAR | IMAXBEL
#ifdef IUCLC
                                         | IUCLC
#endif
#ifdef IUTF8
                                         | IUTF8
#endif
                                         );
  aTio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  aTio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ECHOE | ECHOK | ICANON | ISIG | IEXTEN | NOFLSH | TOSTOP);
  aTio.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
  aTio.c_cflag |= CS8 | CLOCAL | CREAD;
  aTio.c_cc[VMIN] = 0;
  aTio.c_cc[VTIME] = 0;
}

bool DcbToTermios(const TzPlatformDCB& aDCB, termios& aTio) {
  termios t = aTio;
  speed_t speed{};
  if (!BaudToSpeed(aDCB.BaudRate, speed)) return false;

  tcflag_t size = 0;
  switch (aDCB.ByteSize) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: return false;
  }

  tcflag_t parity = 0;
  switch (aDCB.Parity) {
    case 0: break;
    case 1: parity = PARENB | PARODD; break;
    case 2: parity = PARENB; break;
#ifdef CMSPAR
    case 3: parity = PARENB | PARODD | CMSPAR; break;
    case 4: parity = PARENB | CMSPAR; break;
#endif
    default: return false;
  }

  tcflag_t stop = 0;
  switch (aDCB.StopBits) {
    case 0: break;
    case 2: stop = CSTOPB; break;
    default: return false;  // one and a half: termios has none
  }

  const uint32_t flags = DcbFlagsWord(aDCB);
  const uint32_t rts = (flags >> dcbflag::RtsControlShift) & 3u;

  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                      IXANY | INPCK | IGNPAR);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ECHOE | ECHOK | ICANON | ISIG | IEXTEN);
  tcflag_t clear = CSIZE | PARENB | PARODD | CSTOPB;
#ifdef CMSPAR
  clear |= CMSPAR;
#endif
#ifdef CRTSCTS
  clear |= CRTSCTS;
#endif
  t.c_cflag &= ~clear;
  t.c_cflag |= CLOCAL | CREAD | size | parity | stop;

  if (flags & dcbflag::Parity) t.c_iflag |= INPCK;
#ifdef CRTSCTS
  if ((flags & dcbflag::OutxCtsFlow) || rts == kRtsHandshake) t.c_cflag |= CRTSCTS;
#endif
  if (flags & dcbflag::OutX) t.c_iflag |= IXON;
  if (flags & dcbflag::InX) t.c_iflag |= IXOFF;
  if (aDCB.XonChar != 0) t.c_cc[VSTART] = static_cast<cc_t>(aDCB.XonChar);
  if (aDCB.XoffChar != 0) t.c_cc[VSTOP] = static_cast<cc_t>(aDCB.XoffChar);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;

  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  aTio = t;
  return true;
}

TzPlatformDCB TermiosToDcb(const termios& aTio) {
  TzPlatformDCB d{};
  d.BaudRate = SpeedToBaud(cfgetospeed(&aTio));
  switch (aTio.c_cflag & CSIZE) {
    case CS5: d.ByteSize = 5; break;
    case CS6: d.ByteSize = 6; break;
    case CS7: d.ByteSize = 7; break;
    default: d.ByteSize = 8; break;
  }
  if (aTio.c_cflag & PARENB) {
    const bool odd = aTio.c_cflag & PARODD;
#ifdef CMSPAR
    if (aTio.c_cflag & CMSPAR)
      d.Parity = odd ? 3 : 4;
    else
#endif
      d.Parity = odd ? 1 : 2;
  }
  d.StopBits = (aTio.c_cflag & CSTOPB) ? 2 : 0;

  uint32_t flags = dcbflag::Binary | (1u << dcbflag::DtrControlShift);
  if (aTio.c_iflag & INPCK) flags |= dcbflag::Parity;
  bool handshake = false;
#ifdef CRTSCTS
  handshake = aTio.c_cflag & CRTSCTS;
#endif
  flags |= handshake ? (dcbflag::OutxCtsFlow | (kRtsHandshake << dcbflag::RtsControlShift))
                     : (1u << dcbflag::RtsControlShift);
  if (aTio.c_iflag & IXON) flags |= dcbflag::OutX;
  if (aTio.c_iflag & IXOFF) flags |= dcbflag::InX;
  SetDcbFlagsWord(d, flags);
  d.XonChar = static_cast<char>(aTio.c_cc[VSTART]);
  d.XoffChar = static_cast<char>(aTio.c_cc[VSTOP]);
  return d;
}

#endif
