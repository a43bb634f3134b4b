// The Win32 serial backend and the port list from the registry: every Win32
// call of the transport lives in this file.
#ifdef _WIN32

#include "uSerialWin32.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "uLink.h"
#include "uSerialPorts.h"

namespace {
class TzSerialWin32 final : public TzLink {
public:
  ~TzSerialWin32() override {
    Close();
    if (fReader) ::CloseHandle(fReader);
  }

  bool Open(const std::string& aEndpoint) override {
    Close();
    fLastError = TzLinkError::None;
    const std::string name = Win32DeviceName(aEndpoint);
    if (name.empty()) {
      fLastError = TzLinkError::BadEndpoint;
      return false;
    }
    // Exclusive (no sharing), an existing device, synchronous I/O.
    HANDLE h = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      fLastError = OpenError(::GetLastError());
      return false;
    }
    fPort = h;
    fInterrupted = false;
    fTimeoutsChanged = false;
    return true;
  }

  TzLinkError LastError() const override { return fLastError; }

  bool IsOpen() const override { return fPort != nullptr; }

  bool GetSettings(TzPlatformDCB& aDCB) override {
    if (!fPort) return false;
    aDCB = {};
    aDCB.DCBlength = sizeof aDCB;
    return ::GetCommState(fPort, &aDCB) != 0;
  }

  bool SetSettings(const TzPlatformDCB& aDCB) override {
    if (!fPort) return false;
    DCB d = aDCB;
    d.DCBlength = sizeof d;
    return ::SetCommState(fPort, &d) != 0;
  }

  bool SetQueueSizes(uint32_t aIn, uint32_t aOut) override { return fPort && ::SetupComm(fPort, aIn, aOut) != 0; }

  bool GetTimeouts(TzPlatformTimeouts& aTimeouts) override {
    return fPort && ::GetCommTimeouts(fPort, &aTimeouts) != 0;
  }

  bool SetTimeouts(const TzPlatformTimeouts& aTimeouts) override {
    if (!fPort) return false;
    COMMTIMEOUTS t = aTimeouts;
    if (!::SetCommTimeouts(fPort, &t)) return false;
    fTimeouts = aTimeouts;
    fTimeoutsChanged = false;
    return true;
  }

  bool GetEventMask(uint32_t& aMask) override {
    DWORD mask = 0;
    if (!fPort || !::GetCommMask(fPort, &mask)) return false;
    aMask = mask;
    return true;
  }

  bool SetEventMask(uint32_t aMask) override { return fPort && ::SetCommMask(fPort, aMask) != 0; }

  bool Purge() override {
    if (!fPort) return false;
    const bool in = ::PurgeComm(fPort, PURGE_RXCLEAR) != 0;
    const bool out = ::PurgeComm(fPort, PURGE_TXCLEAR) != 0;
    return in && out;
  }

  bool Write(const uint8_t* aData, size_t aCount, size_t& aWritten) override {
    aWritten = 0;
    if (!fPort) return false;
    NoteIoThread();
    TzInIo io(*this);
    if (fInterrupted) return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(fPort, aData, static_cast<DWORD>(aCount), &written, nullptr);
    aWritten = written;
    return ok != 0 && written == aCount && !fInterrupted;
  }

  // Without a completion rule: one ReadFile ended by the driver's time-outs.
  // With one: reads of what has arrived, looped until the rule holds or the
  // time-outs (interval after a byte, total from the start) end it. Each
  // piece is one ReadFile in the driver's "return as soon as anything is
  // there, waiting at most the constant" form.
  bool Read(uint8_t* aData, size_t aMax, size_t& aRead) override {
    aRead = 0;
    if (!fPort) return false;
    NoteIoThread();
    TzInIo io(*this);
    if (fInterrupted) return false;
    if (!fRule) {
      if (fTimeoutsChanged && !RestoreTimeouts()) return false;
      DWORD got = 0;
      const BOOL ok = ::ReadFile(fPort, aData, static_cast<DWORD>(aMax), &got, nullptr);
      aRead = got;
      return ok != 0 && !fInterrupted;
    }
    const ULONGLONG start = ::GetTickCount64();
    const ULONGLONG total = ULONGLONG{fTimeouts.ReadTotalTimeoutMultiplier} * aMax + fTimeouts.ReadTotalTimeoutConstant;
    const bool bounded = total != 0 && fTimeouts.ReadTotalTimeoutConstant != MAXDWORD;
    const DWORD interval = fTimeouts.ReadIntervalTimeout;
    while (aRead < aMax) {
      const ULONGLONG elapsed = ::GetTickCount64() - start;
      if (bounded && elapsed >= total) break;
      ULONGLONG wait = bounded ? total - elapsed : 1000;
      if (aRead > 0 && interval != 0 && interval != MAXDWORD) wait = std::min<ULONGLONG>(wait, interval);
      COMMTIMEOUTS piece{MAXDWORD, MAXDWORD, static_cast<DWORD>(std::max<ULONGLONG>(wait, 1)), 
                         fTimeouts.WriteTotalTimeoutMultiplier, fTimeouts.WriteTotalTimeoutConstant};
      if (!::SetCommTimeouts(fPort, &piece)) return false;
      fTimeoutsChanged = true;
      DWORD got = 0;
      if (!::ReadFile(fPort, aData + aRead, static_cast<DWORD>(aMax - aRead), &got, nullptr) || fInterrupted)
        return false;
      if (got == 0) {
        if (aRead > 0 || bounded) break;  // the interval or the total has passed
        continue;                          // unbounded: wait on for the first byte
      }
      aRead += got;
      if (fRule(std::span<const uint8_t>(aData, aRead))) break;
    }
    return !fInterrupted;
  }

  void SetCompletionRule(TzCompletionRule aRule) override { fRule = std::move(aRule); }

  bool TakeErrorFlags(uint32_t& aFlags) override {
    aFlags = 0;
    if (!fPort || fInterrupted) return false;
    DWORD errors = 0;
    COMSTAT stat{};
    if (!::ClearCommError(fPort, &errors, &stat)) return false;
    aFlags = errors;
    return true;
  }

  bool Close() override {
    if (fPort) {
      ::PurgeComm(fPort, PURGE_RXCLEAR);
      ::PurgeComm(fPort, PURGE_TXCLEAR);
      if (!::CloseHandle(fPort)) return false;
      fPort = nullptr;
    }
    fInterrupted = false;
    return true;
  }

  // Ends a synchronous read or write that the worker has pending on the
  // handle; the handle itself is only closed by the engine's thread after
  // the worker has let go of the port.
  //
  // A cancel only reaches I/O that has already started: one that arrives
  // between Read's check of fInterrupted and the start of ReadFile would be
  // lost, and the read would run to its full time-out. So the flag is set
  // first and the cancel is repeated for as long as the worker is inside
  // Read or Write. Both flags are sequentially consistent: either the worker
  // sees fInterrupted before it starts the call, or this loop sees fInIo and
  // cancels until the call has returned.
  void Interrupt() override {
    fInterrupted = true;
    while (fInIo) {
      if (HANDLE h = fPort) ::CancelIoEx(h, nullptr);
      {
        std::lock_guard lock(fReaderLock);
        if (fReader) ::CancelSynchronousIo(fReader);
      }
      ::Sleep(1);
    }
  }

private:
  // "COM3" opens as "COM3", "COM10" as "\\.\COM10"; a name in the long
  // form or any other device path is opened as given.
  static std::string Win32DeviceName(const std::string& aEndpoint) {
    const int32_t number = portrules::WindowsNumberFromName(aEndpoint);
    if (number > 0) return portrules::WindowsDeviceName(number);
    return aEndpoint;
  }

  static TzLinkError OpenError(DWORD aError) {
    switch (aError) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND:
      case ERROR_BAD_UNIT:
      case ERROR_DEV_NOT_EXIST: return TzLinkError::NotFound;
      // A COM port that another program holds answers "access denied".
      case ERROR_ACCESS_DENIED:
      case ERROR_SHARING_VIOLATION: return TzLinkError::Busy;
      default: return TzLinkError::Other;
    }
  }

  bool RestoreTimeouts() {
    COMMTIMEOUTS t = fTimeouts;
    if (!::SetCommTimeouts(fPort, &t)) return false;
    fTimeoutsChanged = false;
    return true;
  }

  // Marks the worker as inside Read or Write for Interrupt.
  struct TzInIo {
    explicit TzInIo(TzSerialWin32& aOwner) : Owner(aOwner) { Owner.fInIo = true; }
    ~TzInIo() { Owner.fInIo = false; }
    TzSerialWin32& Owner;
  };

  // The thread that does the I/O (the engine's worker), so Interrupt can
  // cancel its synchronous call.
  void NoteIoThread() {
    const DWORD id = ::GetCurrentThreadId();
    std::lock_guard lock(fReaderLock);
    if (fReader && fReaderId == id) return;
    if (fReader) ::CloseHandle(fReader);
    fReader = ::OpenThread(THREAD_TERMINATE, FALSE, id);
    fReaderId = id;
  }

  std::mutex fReaderLock;
  HANDLE fReader = nullptr;
  DWORD fReaderId = 0;
  HANDLE fPort = nullptr;
  TzLinkError fLastError = TzLinkError::None;
  COMMTIMEOUTS fTimeouts{};
  bool fTimeoutsChanged = false;
  TzCompletionRule fRule;
  std::atomic<bool> fInterrupted{false};
  std::atomic<bool> fInIo{false};
};
}  // namespace

std::unique_ptr<TzLink> MakeSerialLink() { return std::make_unique<TzSerialWin32>(); }

std::vector<std::string> SystemSerialPortNames() {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return names;
  for (DWORD i = 0;; ++i) {
    char valueName[256];
    DWORD valueNameSize = sizeof valueName;
    BYTE data[256];
    DWORD dataSize = sizeof data - 1;
    DWORD type = 0;
    const LONG r = ::RegEnumValueA(key, i, valueName, &valueNameSize, nullptr, &type, data, &dataSize);
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS || type != REG_SZ) continue;
    data[dataSize] = 0;
    names.emplace_back(reinterpret_cast<const char*>(data));
  }
  ::RegCloseKey(key);
  return names;
}

#endif
