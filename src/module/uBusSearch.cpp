#include "uBusSearch.h"

#include <algorithm>

#include "uLineRules.h"
#include "uModbusFrames.h"
#include "uSerialPorts.h"
#include "uUtils.h"

TStringBytes FindRequest(int32_t aAddr) {
  TStringBytes frame;
  BuildReadFrame(aAddr, 4, kFindTypeReg, 1, frame);
  return frame;
}

TzFindVerdict ClassifyFindAnswer(int32_t aAddr, std::span<const uint8_t> aAnswer) {
  if (aAnswer.empty() || IsGatewayNoTarget(aAnswer)) return TzFindVerdict::Nothing;
  // The byte count and the low byte alone would take an exception answer
  // whose check sum happens to hold 74 for a module: the whole frame counts.
  const bool typeAnswer = aAnswer.size() == 7 && aAnswer[0] == aAddr && aAnswer[1] == 4 && aAnswer[2] == 2 &&
                          aAnswer[3] == 0 && aAnswer[4] == kFindRK7140Type;
  return typeAnswer && HasModbusCRC(aAnswer) ? TzFindVerdict::RK7140 : TzFindVerdict::Unknown;
}

TzBusSearch::TzBusSearch(TzFindEngineFactory aFactory) : fFactory(std::move(aFactory)) {}

TzBusSearch::~TzBusSearch() {
  InProgress = false;
  fFreePort.reset();
}

bool TzBusSearch::Start() {
  fStartError = 0;
  fStartLinkError = TzLinkError::None;
  if (fTimeout <= 0) return false;
  if (fFirstAddr < kFindFirstAddr || fLastAddr > kFindLastAddr || fFirstAddr > fLastAddr) return false;
  if (InProgress) Stop();
  // The old engine goes first: it may hold the very port.
  fFreePort.reset();
  fFreePort = fFactory ? fFactory(fComPort)
                       : std::make_unique<TzFreePort>(fEndpoint.empty() ? PortDeviceName(fComPort) : fEndpoint,
                                                      fComPort);
  // A probe's answer ends its exchange as soon as it is whole.
  fFreePort->SetCompletionRule(IsCompleteRtuAnswer);
  fFreePort->SetOnAsyncAnswerProc([this](int32_t aPort, uint32_t aUID, TStringBytes aAnswer, uint32_t aErr) {
    FindAnswerProc(aPort, aUID, std::move(aAnswer), aErr);
  });
  if (fPost) fFreePort->SetMainThreadPost(fPost);

  TzDCB& dcb = fFreePort->LocDCB();
  dcb.BaudRate = fBaudRate;
  SetDcbFormat(dcb, fFormat);
  // No answer ends a read early: each probe listens for the whole time-out.
  TzTimeouts& timeouts = fFreePort->LocTimeouts();
  timeouts.ReadIntervalTimeout = 0;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = fTimeout;
  timeouts.WriteTotalTimeoutMultiplier = fTimeout;
  timeouts.WriteTotalTimeoutConstant = 0;

  {
    std::lock_guard lock(CS);
    AnswerList.clear();
  }
  if (!fFreePort->Start()) {
    fStartError = fFreePort->ErrorCode();
    fStartLinkError = fFreePort->LinkError();
    fFreePort->Stop();  // a handle a failed opening left behind
    return false;
  }
  // Before the first probe: an answer handed over on the worker must find
  // the search running.
  InProgress = true;
  QueuePass();
  return true;
}

void TzBusSearch::QueuePass() {
  for (int32_t addr = fFirstAddr; addr <= fLastAddr; ++addr) {
    const TStringBytes cmd = FindRequest(addr);
    std::lock_guard lock(CS);
    if (!fFreePort->SendCmd(cmd, addr)) continue;
    AnswerList.push_back({addr, {}, fFreePort->LastUID(), cmd, TickCount32(), addr == fLastAddr});
  }
}

void TzBusSearch::Stop() {
  InProgress = false;
  {
    std::lock_guard lock(CS);
    AnswerList.clear();
  }
  if (fFreePort) {
    fFreePort->ClearRequestList();
    fFreePort->Stop();
  }
}

void TzBusSearch::FindAnswerProc(int32_t, uint32_t aUID, TStringBytes aAnswer, uint32_t aErrCode) {
  if (!InProgress) return;
  int32_t addr = 0;
  bool last = false;
  {
    std::lock_guard lock(CS);
    const auto it = std::find_if(AnswerList.begin(), AnswerList.end(),
                                 [aUID](const TzFindAnswer& aRec) { return aRec.Code == aUID; });
    if (it == AnswerList.end()) return;
    addr = it->DevAddr;
    last = it->IsLast;
  }
  if (OnFindProcess) OnFindProcess(addr);
  if (aErrCode == 0 && InProgress && OnFindAddr &&
      ClassifyFindAnswer(addr, aAnswer.AsBytes()) != TzFindVerdict::Nothing)
    OnFindAddr(addr, aAnswer);
  if (!InProgress) return;  // a callback ended the search
  if (last) {
    {
      std::lock_guard lock(CS);
      AnswerList.clear();
    }
    if (!Cycled) {
      Stop();
      return;
    }
    fFreePort->ClearRequestList();
    QueuePass();
    return;
  }
  std::lock_guard lock(CS);
  std::erase_if(AnswerList, [aUID](const TzFindAnswer& aRec) { return aRec.Code == aUID; });
}

size_t TzBusSearch::PendingCount() const {
  std::lock_guard lock(CS);
  return AnswerList.size();
}
