// The POSIX serial backend: termios in raw mode, reads and writes bounded by
// the time-out record with poll(), exclusive open, line-error flags from the
// driver's counters where it keeps them.
#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

#ifdef __linux__
#include <linux/serial.h>
#endif

#include "uLink.h"
#include "uTermiosMapping.h"

namespace {
constexpr uint32_t kMaxDword = 0xFFFFFFFF;

// Line-error flags in the Windows layout, so codes mean the same everywhere.
constexpr uint32_t kErrRxOver = 0x0001, kErrOverrun = 0x0002, kErrParity = 0x0004, kErrFrame = 0x0008,
                   kErrBreak = 0x0010;

using TzClock = std::chrono::steady_clock;

int MsUntil(TzClock::time_point aDeadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(aDeadline - TzClock::now()).count();
  return static_cast<int>(std::clamp<int64_t>(left, 0, 1'000'000'000));
}

class TzSerialPosix final : public TzLink {
public:
  TzSerialPosix() {
    if (::pipe(fWake) == 0) {
      for (int fd : fWake) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
      }
    } else {
      fWake[0] = fWake[1] = -1;
    }
  }

  ~TzSerialPosix() override {
    Close();
    for (int fd : fWake)
      if (fd >= 0) ::close(fd);
  }

  bool Open(const std::string& aEndpoint) override {
    Close();
    fLastError = TzLinkError::None;
    if (aEndpoint.empty() || fWake[0] < 0) {
      fLastError = aEndpoint.empty() ? TzLinkError::BadEndpoint : TzLinkError::Other;
      return false;
    }
    const int fd = ::open(aEndpoint.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      fLastError = LinkErrorFromErrno(errno);
      return false;
    }
    // Exclusive: TIOCEXCL keeps others out of the tty (root excepted), the
    // lock keeps out every program that asks for it, root included.
    if (!::isatty(fd)) {
      ::close(fd);
      fLastError = TzLinkError::NotFound;  // a file, not a serial device
      return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      fLastError = TzLinkError::Busy;
      return false;
    }
    ::ioctl(fd, TIOCEXCL);
    // A Modbus RTU line is binary: whatever the port was left in (a freshly
    // plugged adapter has the kernel's terminal defaults: XON/XOFF, line
    // editing, echo, CR/LF translation), it is made raw before the settings
    // are read, so none of that is taken over.
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
      ::close(fd);
      fLastError = TzLinkError::Other;
      return false;
    }
    MakeRawLine(t);
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
      ::close(fd);
      fLastError = TzLinkError::SettingRefused;
      return false;
    }
    fFd = fd;
    fLost = false;
    ResetInterrupt();
    SnapshotCounters();
    fTimeouts = {};
    fEventMask = 0;
    fExtra = {};
    return true;
  }

  TzLinkError LastError() const override { return fLastError; }

  bool IsOpen() const override { return fFd >= 0; }

  bool GetSettings(TzPlatformDCB& aDCB) override {
    termios t{};
    if (fFd < 0 || ::tcgetattr(fFd, &t) != 0) return false;
    aDCB = TermiosToDcb(t);
    // What termios does not hold comes back as last written.
    aDCB.XonLim = fExtra.XonLim;
    aDCB.XoffLim = fExtra.XoffLim;
    aDCB.ErrorChar = fExtra.ErrorChar;
    aDCB.EofChar = fExtra.EofChar;
    aDCB.EvtChar = fExtra.EvtChar;
    aDCB.Flags |= fExtra.Flags & ~kTermiosFlags;
    return true;
  }

  bool SetSettings(const TzPlatformDCB& aDCB) override {
    termios t{};
    if (fFd < 0 || ::tcgetattr(fFd, &t) != 0) return false;
    if (!DcbToTermios(aDCB, t)) return false;
    if (::tcsetattr(fFd, TCSANOW, &t) != 0) return false;
    // tcsetattr succeeds when any part was taken: check the parts that count.
    termios now{};
    if (::tcgetattr(fFd, &now) != 0) return false;
    constexpr tcflag_t kFormat = CSIZE | PARENB | PARODD | CSTOPB;
    if ((now.c_cflag & kFormat) != (t.c_cflag & kFormat) || cfgetospeed(&now) != cfgetospeed(&t)) return false;
    fExtra = aDCB;
    return true;
  }

  bool SetQueueSizes(uint32_t, uint32_t) override { return fFd >= 0; }  // the kernel's buffers are fixed

  bool GetTimeouts(TzPlatformTimeouts& aTimeouts) override {
    if (fFd < 0) return false;
    aTimeouts = fTimeouts;
    return true;
  }

  bool SetTimeouts(const TzPlatformTimeouts& aTimeouts) override {
    if (fFd < 0) return false;
    fTimeouts = aTimeouts;
    return true;
  }

  bool GetEventMask(uint32_t& aMask) override {
    if (fFd < 0) return false;
    aMask = fEventMask;
    return true;
  }

  bool SetEventMask(uint32_t aMask) override {
    if (fFd < 0) return false;
    fEventMask = aMask;  // reads wait with poll(); the mask has no termios counterpart
    return true;
  }

  bool Purge() override {
    if (fFd < 0) return false;
    const bool in = ::tcflush(fFd, TCIFLUSH) == 0;
    const bool out = ::tcflush(fFd, TCOFLUSH) == 0;
    return in && out;
  }

  bool Write(const uint8_t* aData, size_t aCount, size_t& aWritten) override {
    aWritten = 0;
    if (fFd < 0 || fInterrupted || fLost) return false;
    const uint64_t total = uint64_t{fTimeouts.WriteTotalTimeoutMultiplier} * aCount + fTimeouts.WriteTotalTimeoutConstant;
    const bool bounded = total != 0;
    const auto deadline = TzClock::now() + std::chrono::milliseconds(std::min<uint64_t>(total, 1'000'000'000));
    while (aWritten < aCount) {
      const ssize_t n = ::write(fFd, aData + aWritten, aCount - aWritten);
      if (n > 0) {
        aWritten += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        fLost = true;
        fLastError = TzLinkError::NotFound;  // the device or its far end is gone
        return false;
      }
      const int wait = bounded ? MsUntil(deadline) : -1;
      if (bounded && wait == 0) return false;
      if (WaitFor(POLLOUT, wait) != TzWait::Ready) return false;
    }
    // Synchronous: back only when the bytes have left the driver, but within
    // the write time-outs and never past an interrupt (tcdrain could wait
    // forever on a stuck adapter, with the port lock held).
    return Drain(bounded, deadline);
  }

  bool Read(uint8_t* aData, size_t aMax, size_t& aRead) override {
    aRead = 0;
    if (fFd < 0 || fInterrupted || fLost) return false;
    const auto& to = fTimeouts;
    // The special forms of the time-out record: return at once with what is
    // there; or return as soon as anything is there, waiting at most the
    // constant.
    const bool atOnce = to.ReadIntervalTimeout == kMaxDword && to.ReadTotalTimeoutMultiplier == 0 &&
                        to.ReadTotalTimeoutConstant == 0;
    const bool firstByte = to.ReadIntervalTimeout == kMaxDword && to.ReadTotalTimeoutMultiplier == kMaxDword &&
                           to.ReadTotalTimeoutConstant > 0 && to.ReadTotalTimeoutConstant < kMaxDword;
    uint64_t total = firstByte ? to.ReadTotalTimeoutConstant
                               : uint64_t{to.ReadTotalTimeoutMultiplier} * aMax + to.ReadTotalTimeoutConstant;
    const bool bounded = atOnce || total != 0;
    const bool useInterval = !firstByte && to.ReadIntervalTimeout != 0 && to.ReadIntervalTimeout != kMaxDword;
    const auto start = TzClock::now();
    const auto deadline = start + std::chrono::milliseconds(std::min<uint64_t>(total, 1'000'000'000));
    auto lastByte = start;
    bool hangUp = false;

    while (aRead < aMax) {
      const ssize_t n = ::read(fFd, aData + aRead, aMax - aRead);
      if (n > 0) {
        aRead += static_cast<size_t>(n);
        lastByte = TzClock::now();
        if (fRule && fRule(std::span<const uint8_t>(aData, aRead))) break;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      // Raw mode without VMIN/VTIME gives 0 (or EAGAIN) for "nothing yet";
      // nothing after a hang-up, or any other error, means the device or
      // its far end is gone.
      if ((n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) || hangUp) {
        fLost = true;
        fLastError = TzLinkError::NotFound;  // the device or its far end is gone
        break;
      }
      if (atOnce || (firstByte && aRead > 0)) break;
      int wait = bounded ? MsUntil(deadline) : -1;
      if (bounded && wait == 0) break;
      if (useInterval && aRead > 0) {
        const int gap = MsUntil(lastByte + std::chrono::milliseconds(to.ReadIntervalTimeout));
        if (gap == 0) break;
        wait = wait < 0 ? gap : std::min(wait, gap);
      }
      const auto result = WaitFor(POLLIN, wait);
      if (result == TzWait::HangUp) {
        hangUp = true;  // read what is left, then report the loss
        continue;
      }
      if (result == TzWait::Timeout) {
        if (bounded && MsUntil(deadline) == 0) break;
        if (useInterval && aRead > 0 &&
            MsUntil(lastByte + std::chrono::milliseconds(to.ReadIntervalTimeout)) == 0)
          break;
        continue;
      }
      if (result != TzWait::Ready) break;
    }
    return !fInterrupted && !fLost;
  }

  void SetCompletionRule(TzCompletionRule aRule) override { fRule = std::move(aRule); }

  bool TakeErrorFlags(uint32_t& aFlags) override {
    aFlags = 0;
    if (fFd < 0 || fInterrupted || fLost) return false;
#ifdef __linux__
    serial_icounter_struct c{};
    if (::ioctl(fFd, TIOCGICOUNT, &c) == 0) {
      if (c.buf_overrun != fCounters.buf_overrun) aFlags |= kErrRxOver;
      if (c.overrun != fCounters.overrun) aFlags |= kErrOverrun;
      if (c.parity != fCounters.parity) aFlags |= kErrParity;
      if (c.frame != fCounters.frame) aFlags |= kErrFrame;
      if (c.brk != fCounters.brk) aFlags |= kErrBreak;
      fCounters = c;
      return true;
    }
    if (errno == EIO || errno == ENODEV || errno == EBADF) return false;
#endif
    // The device keeps no error counters (a pseudo-terminal): no flags, as
    // long as it still answers at all.
    termios t{};
    return ::tcgetattr(fFd, &t) == 0;
  }

  bool Close() override {
    if (fFd >= 0) {
      ::tcflush(fFd, TCIFLUSH);
      ::tcflush(fFd, TCOFLUSH);
      ::ioctl(fFd, TIOCNXCL);
      ::flock(fFd, LOCK_UN);
      // close() always releases the descriptor on Linux, even when it
      // reports an error, so the port counts as closed either way.
      ::close(fFd);
      fFd = -1;
    }
    ResetInterrupt();
    return true;
  }

  void Interrupt() override {
    fInterrupted = true;
    if (fWake[1] >= 0) {
      const char byte = 1;
      [[maybe_unused]] const auto n = ::write(fWake[1], &byte, 1);  // a full pipe already wakes
    }
  }

private:
  enum class TzWait { Ready, Timeout, Interrupted, HangUp, Gone };
  // Flags bits the termios mapping carries; the rest is kept as written.
  static constexpr uint32_t kTermiosFlags = dcbflag::Binary | dcbflag::Parity | dcbflag::OutxCtsFlow |
                                            (3u << dcbflag::DtrControlShift) | dcbflag::OutX | dcbflag::InX |
                                            (3u << dcbflag::RtsControlShift);

  TzWait WaitFor(short aEvents, int aTimeoutMs) {
    pollfd fds[2] = {{fFd, aEvents, 0}, {fWake[0], POLLIN, 0}};
    for (;;) {
      const int r = ::poll(fds, 2, aTimeoutMs);
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) return TzWait::Gone;
      if (r == 0) return TzWait::Timeout;
      if (fds[1].revents || fInterrupted) return TzWait::Interrupted;
      if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
        if (aEvents == POLLIN) return TzWait::HangUp;
        fLost = true;
        fLastError = TzLinkError::NotFound;  // the device or its far end is gone
        return TzWait::Gone;
      }
      if (fds[0].revents & aEvents) return TzWait::Ready;
      return TzWait::Timeout;
    }
  }

  // Waits until the driver's output queue (and, where the driver tells, the
  // transmitter) is empty: false when the deadline passes first, the wait
  // is interrupted or the device is gone.
  bool Drain(bool aBounded, TzClock::time_point aDeadline) {
    for (;;) {
      if (IsSent()) return true;
      const int wait = aBounded ? std::min(MsUntil(aDeadline), 1) : 1;
      if (aBounded && wait == 0) return false;
      pollfd wake{fWake[0], POLLIN, 0};
      const int r = ::poll(&wake, 1, wait);
      if (r < 0 && errno != EINTR) return false;
      if (r > 0 || fInterrupted) return false;
    }
  }

  bool IsSent() const {
    int queued = 0;
    if (::ioctl(fFd, TIOCOUTQ, &queued) == 0 && queued > 0) return false;
#ifdef TIOCSERGETLSR
    unsigned int lsr = 0;
    if (::ioctl(fFd, TIOCSERGETLSR, &lsr) == 0 && !(lsr & TIOCSER_TEMT)) return false;
#endif
    return true;  // empty, or the driver keeps no count (a pseudo-terminal)
  }

  void ResetInterrupt() {
    char buf[64];
    while (fWake[0] >= 0 && ::read(fWake[0], buf, sizeof buf) > 0) {
    }
    fInterrupted = false;
  }

  void SnapshotCounters() {
#ifdef __linux__
    fCounters = {};
    ::ioctl(fFd, TIOCGICOUNT, &fCounters);
#endif
  }

  int fFd = -1;
  TzLinkError fLastError = TzLinkError::None;
  int fWake[2] = {-1, -1};
  std::atomic<bool> fInterrupted{false};
  bool fLost = false;
  TzPlatformTimeouts fTimeouts{};
  uint32_t fEventMask = 0;
  TzPlatformDCB fExtra{};
  TzCompletionRule fRule;
#ifdef __linux__
  serial_icounter_struct fCounters{};
#endif
};
}  // namespace

std::unique_ptr<TzLink> MakeSerialLink() { return std::make_unique<TzSerialPosix>(); }

#endif
