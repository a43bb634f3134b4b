#include "uFreePort.h"

#include "uSerialPorts.h"
#include "uUtils.h"

#include <algorithm>
#include <chrono>
#include <cstring>

// One pending hand-over, shared by the worker and the job it posted, so a job
// that runs late (engine gone, hand-over abandoned) finds its own state.
struct TzHandOver {
  std::mutex M;
  std::condition_variable CV;
  bool Done = false;
  bool Cancelled = false;
};

namespace {
constexpr auto kPause = std::chrono::milliseconds(10);
constexpr size_t kReadSize = 255;
constexpr uint32_t kQueueSize = 256;
constexpr uint32_t kEventMask = 0x81;  // received character, line error

// The time 3.5 characters take on a line of these settings: the silence
// Modbus RTU needs between frames.
std::chrono::microseconds ThreeAndAHalfCharacters(const TzPlatformDCB& aDCB) {
  if (aDCB.BaudRate == 0) return std::chrono::microseconds(0);
  // Start bit, data bits, parity bit, stop bits (0 one, 1 one and a half, 2 two), in half bits.
  const uint64_t halfBits = 2 + 2u * aDCB.ByteSize + (aDCB.Parity != 0 ? 2 : 0) + (aDCB.StopBits == 0 ? 2 : aDCB.StopBits + 1);
  return std::chrono::microseconds(halfBits * 7 * 1'000'000 / 4 / aDCB.BaudRate);
}

// Flags word at opening: parity check off (FParity), reserved bits 16..31
// cleared, abort on error on.
uint32_t OpeningFlags(uint32_t aFlags, uint8_t aParity) {
  return (aFlags & 0x0000FFFDu) | (aParity ? dcbflag::Parity : 0u) | dcbflag::AbortOnError;
}
}  // namespace

TzFreePortThread::TzFreePortThread(std::mutex& aCS, std::unique_ptr<TzLink> aBackend)
    : CS(aCS), fBackend(std::move(aBackend)) {}

TzFreePortThread::~TzFreePortThread() {
  {
    std::lock_guard lock(fSync);
    fTerminated = true;
    if (fPending) {
      std::lock_guard hl(fPending->M);
      fPending->Cancelled = true;
      fPending->CV.notify_all();
    }
  }
  fWake.notify_all();
  fBackend->Interrupt();
  if (fWorker.joinable()) fWorker.join();
  CloseInterface();
  std::lock_guard lock(CS);
  RequestList.clear();
}

bool TzFreePortThread::RegCmd(const TStringBytes& aCmd, int32_t aDevAddr, int32_t aPriority) {
  if (aCmd.Length() == 0) return false;
  std::lock_guard lock(CS);
  for (const auto& req : RequestList)
    if (req->Cmd == aCmd) return false;
  if (++GlobUID > kMaxUID) GlobUID = 0;
  auto req = std::make_shared<TzReq>();
  req->Cmd = aCmd;
  req->UID = GlobUID;
  req->DevAddr = aDevAddr;
  req->Timestamp = TickCount32();
  // Position rule: the request in exchange (if any) is at 0.
  const auto n = static_cast<int64_t>(RequestList.size());
  int64_t pos = n;
  if (aPriority > 0 && n > 0) pos = aPriority < n - 1 ? aPriority : n - 1;
  RequestList.insert(RequestList.begin() + pos, std::move(req));
  return true;
}

void TzFreePortThread::ClearRequestList() {
  std::lock_guard lock(CS);
  RequestList.clear();
}

std::vector<uint32_t> TzFreePortThread::QueuedUIDs() const {
  std::lock_guard lock(CS);
  std::vector<uint32_t> uids;
  for (const auto& req : RequestList) uids.push_back(req->UID);
  return uids;
}

uint32_t TzFreePortThread::GlobUIDValue() const {
  std::lock_guard lock(CS);
  return GlobUID;
}

void TzFreePortThread::PresetGlobUID(uint32_t aUID) {
  std::lock_guard lock(CS);
  GlobUID = aUID;
}

uint32_t TzFreePortThread::OpenInterface(const std::string& aEndpoint, const TzDCB* aDCB,
                                         const TzTimeouts* aTimeouts) {
  // A read in progress ends now instead of at its time-out.
  fBackend->Interrupt();
  std::lock_guard lock(fPortCS);
  uint32_t code = 0;
  TzLinkError why = TzLinkError::None;
  if (!fBackend->Close()) {
    code = kOpenDevice;  // the old handle could not be let go
    why = TzLinkError::Busy;
  } else if (!fBackend->Open(aEndpoint)) {
    code = kOpenDevice;
    why = fBackend->LastError();
  } else if (!fBackend->GetSettings(FDCB)) {
    code = kOpenGetState;
  } else {
    SetDcbFlagsWord(FDCB, OpeningFlags(DcbFlagsWord(FDCB), FParity));
    if (aDCB) aDCB->AssignTo(FDCB);
    fFrameGap = std::max<std::chrono::microseconds>(kPause, ThreeAndAHalfCharacters(FDCB));
    if (!fBackend->SetSettings(FDCB)) {
      code = kOpenSetState;
      why = fBackend->LastError();
      if (why == TzLinkError::None) why = TzLinkError::SettingRefused;
    }
    else if (!fBackend->SetQueueSizes(kQueueSize, kQueueSize)) code = kOpenQueues;
    else if (!fBackend->GetTimeouts(FComTO)) code = kOpenGetTimeouts;
    else {
      if (aTimeouts) aTimeouts->AssignTo(FComTO);
      if (!fBackend->SetTimeouts(FComTO)) code = kOpenSetTimeouts;
      else if (!fBackend->GetEventMask(FCommEvtMask)) code = kOpenGetMask;
      else if (!fBackend->SetEventMask(kEventMask)) code = kOpenSetMask;
    }
  }
  if (code != 0 && why == TzLinkError::None) why = TzLinkError::Other;
  ErrorCode = code;
  LinkError = why;
  return code;
}

bool TzFreePortThread::CloseInterface() {
  fBackend->Interrupt();
  std::lock_guard lock(fPortCS);
  return fBackend->Close();
}

void TzFreePortThread::StartWorker() {
  if (!fWorker.joinable()) fWorker = std::thread([this] { Execute(); });
}

void TzFreePortThread::SetAsyncAnswerProc(TAsyncAnswer aProc) {
  std::lock_guard lock(fSync);
  fAsyncAnswerProc = std::move(aProc);
}

void TzFreePortThread::SetMainThreadPost(TzMainThreadPost aPost) {
  std::lock_guard lock(fSync);
  fPost = std::move(aPost);
}

void TzFreePortThread::SetCompletionRule(TzCompletionRule aRule) {
  std::lock_guard lock(fPortCS);
  fBackend->SetCompletionRule(std::move(aRule));
}

bool TzFreePortThread::Terminated() {
  std::lock_guard lock(fSync);
  return fTerminated;
}

void TzFreePortThread::Execute() {
  for (;;) {
    std::shared_ptr<TzReq> req;
    {
      std::lock_guard lock(CS);
      if (!RequestList.empty()) req = RequestList.front();
    }
    if (req) {
      // The request stays queued (and alive through req) until its answer
      // has been handed over; ClearRequestList may have removed it since.
      SendAsyncToLine(*req);
      std::lock_guard lock(CS);
      auto it = std::find(RequestList.begin(), RequestList.end(), req);
      if (it != RequestList.end()) RequestList.erase(it);
    }
    if (CleanEnabled && static_cast<uint32_t>(TickCount32() - CleanCounter) >
                            static_cast<uint32_t>(std::max<int32_t>(CleanTimeout, 0)))
      CleanStale();
    std::unique_lock lock(fSync);
    if (fWake.wait_for(lock, kPause, [this] { return fTerminated; })) break;
  }
  std::lock_guard lock(CS);
  RequestList.clear();
}

void TzFreePortThread::CleanStale() {
  const uint32_t now = TickCount32();
  const int64_t limit = CleanTimeout;
  {
    std::lock_guard lock(CS);
    for (auto i = RequestList.size(); i-- > 0;)
      if (static_cast<int64_t>(static_cast<uint32_t>(now - RequestList[i]->Timestamp)) > limit)
        RequestList.erase(RequestList.begin() + static_cast<std::ptrdiff_t>(i));
  }
  CleanCounter = now;
}

void TzFreePortThread::SendAsyncToLine(const TzReq& aReq) {
  ResultOK = false;
  const uint8_t n = aReq.Cmd.Length();
  if (n == 0) return;
  std::memset(PortBufferOut, 0, kReadSize);
  std::memcpy(PortBufferOut, &aReq.Cmd.mvalue[1], n);
  QuantitySend = n;
  QuantityGet = kReadSize;

  uint32_t err = 0;
  const bool ok = GetData(err);
  ErrorCode = err;
  ResultArray = TStringBytes();
  ResultArray.CheckInit();
  if (ok) ResultArray.Append(std::span<const uint8_t>(PortBufferIn, QuantityRealGet));
  ResultOK = ok;
  // The exchange's own code travels with its answer: a Start on the main
  // thread may overwrite ErrorCode meanwhile.
  HandAnswer(aReq.UID, err);
}

bool TzFreePortThread::GetData(uint32_t& aErr) {
  std::lock_guard lock(fPortCS);
  // The line must have been quiet for the frame gap since the last answer
  // (the engine's pause after the hand-over usually covers it; at low baud
  // rates 3.5 characters take longer).
  std::this_thread::sleep_until(fLastAnswerEnd + fFrameGap);
  fBackend->Purge();
  aErr = 0;
  std::memset(PortBufferIn, 0, sizeof PortBufferIn);
  size_t written = 0;
  const bool sent = fBackend->Write(PortBufferOut, QuantitySend, written);
  QuantityRealSend = static_cast<uint32_t>(written);
  // A write that did not end within its time-outs (a stuck adapter) or was
  // cut short leaves the line in no known state: the port is unusable.
  if (!sent) {
    aErr = kErrPortUnusable;
    NoteLinkLoss();
    return false;
  }
  size_t got = 0;
  fBackend->Read(PortBufferIn, QuantityGet, got);
  fLastAnswerEnd = std::chrono::steady_clock::now();
  QuantityRealGet = static_cast<uint32_t>(std::min(got, kReadSize));
  uint32_t flags = 0;
  if (!fBackend->TakeErrorFlags(flags)) {
    aErr = kErrPortUnusable;
    NoteLinkLoss();
    return false;
  }
  if (flags != 0) {
    aErr = flags;
    return false;
  }
  if (QuantityRealGet > 0) return true;
  aErr = kErrNoAnswer;
  return false;
}

void TzFreePortThread::NoteLinkLoss() {
  // A stopped engine has no link to lose; an open one says why it went.
  if (!fBackend->IsOpen()) return;
  const TzLinkError why = fBackend->LastError();
  LinkError = why == TzLinkError::None ? TzLinkError::Other : why;
}

void TzFreePortThread::HandAnswer(uint32_t aUID, uint32_t aErrCode) {
  TAsyncAnswer proc;
  TzMainThreadPost post;
  auto handOver = std::make_shared<TzHandOver>();
  {
    std::lock_guard lock(fSync);
    if (fTerminated || !fAsyncAnswerProc) return;
    proc = fAsyncAnswerProc;
    post = fPost;
    if (post) fPending = handOver;
  }
  CurrUID = aUID;
  const int32_t port = ComPort;
  const uint32_t err = aErrCode;
  if (!post) {
    proc(port, CurrUID, ResultArray, err);
    return;
  }
  post([handOver, proc, port, uid = CurrUID, answer = ResultArray, err] {
    {
      std::lock_guard lock(handOver->M);
      if (handOver->Cancelled) return;
    }
    // Release the worker even when the callback throws.
    struct Release {
      TzHandOver& H;
      ~Release() {
        std::lock_guard lock(H.M);
        H.Done = true;
        H.CV.notify_all();
      }
    } release{*handOver};
    proc(port, uid, answer, err);
  });
  {
    std::unique_lock lock(handOver->M);
    handOver->CV.wait(lock, [&] { return handOver->Done || handOver->Cancelled; });
  }
  std::lock_guard lock(fSync);
  fPending.reset();
}

// ---- TzFreePort ----

TzFreePort::TzFreePort(std::string aEndpoint, int32_t aComPort)
    : TzFreePort(aEndpoint, MakeLink(aEndpoint), aComPort) {}

TzFreePort::TzFreePort(std::string aEndpoint, std::unique_ptr<TzLink> aLink, int32_t aComPort)
    : fComPort(aComPort), fEndpoint(std::move(aEndpoint)),
      Port(std::make_unique<TzFreePortThread>(CS, std::move(aLink))) {
  Port->ComPort = aComPort;
}

TzFreePort::TzFreePort(int32_t aComPort) : TzFreePort(aComPort, MakeSerialLink()) {}

TzFreePort::TzFreePort(int32_t aComPort, std::unique_ptr<TzLink> aLink)
    : TzFreePort(PortDeviceName(aComPort), std::move(aLink), aComPort) {
  fSerialByNumber = true;
}

TzFreePort::~TzFreePort() { Port.reset(); }

void TzFreePort::SetOnAsyncAnswerProc(TAsyncAnswer aProc) { Port->SetAsyncAnswerProc(std::move(aProc)); }
void TzFreePort::SetMainThreadPost(TzMainThreadPost aPost) { Port->SetMainThreadPost(std::move(aPost)); }
void TzFreePort::SetCompletionRule(TzCompletionRule aRule) { Port->SetCompletionRule(std::move(aRule)); }

TzDCB& TzFreePort::LocDCB() {
  if (!fLocDCB) fLocDCB = std::make_unique<TzDCB>();
  return *fLocDCB;
}

TzTimeouts& TzFreePort::LocTimeouts() {
  if (!fLocTimeouts) fLocTimeouts = std::make_unique<TzTimeouts>();
  return *fLocTimeouts;
}

bool TzFreePort::Start() {
  if (Port->OpenInterface(fEndpoint, fLocDCB.get(), fLocTimeouts.get()) != 0) return false;
  Port->StartWorker();
  return true;
}

bool TzFreePort::Stop() { return Port->CloseInterface(); }

bool TzFreePort::SendCmd(const TStringBytes& aCmd, int32_t aDevAddr) { return Port->RegCmd(aCmd, aDevAddr, 0); }

bool TzFreePort::SendCmdForce(const TStringBytes& aCmd, int32_t aDevAddr, int32_t aPriority) {
  return Port->RegCmd(aCmd, aDevAddr, aPriority);
}

uint32_t TzFreePort::LastUID() const { return Port->GlobUIDValue(); }
void TzFreePort::ClearRequestList() { Port->ClearRequestList(); }

void TzFreePort::SetComPort(int32_t aComPort) {
  fComPort = aComPort;
  if (fSerialByNumber) fEndpoint = PortDeviceName(aComPort);
  Port->ComPort = aComPort;
}

uint32_t TzFreePort::ErrorCode() const { return Port->ErrorCode; }
TzLinkError TzFreePort::LinkError() const { return Port->LinkError; }
bool TzFreePort::CleanEnabled() const { return Port->CleanEnabled; }
void TzFreePort::SetCleanEnabled(bool aValue) { Port->CleanEnabled = aValue; }
int32_t TzFreePort::CleanTimeout() const { return Port->CleanTimeout; }
void TzFreePort::SetCleanTimeout(int32_t aValue) { Port->CleanTimeout = aValue; }
std::vector<uint32_t> TzFreePort::QueuedUIDs() const { return Port->QueuedUIDs(); }
void TzFreePort::PresetGlobUID(uint32_t aUID) { Port->PresetGlobUID(aUID); }
