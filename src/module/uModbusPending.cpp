#include "uModbusPending.h"

#include "uFreePort.h"
#include "uModbusFrames.h"
#include "uTagRequests.h"
#include "uUtils.h"
#include "uValueFit.h"
#include "uValueText.h"

bool TzModbusPending::Queue(TzTag& aTag, const TStringBytes& aFrame, int32_t aPriority) {
  if (!fEngine) return false;
  const int32_t addr = aTag.Device ? aTag.Device->DevAddr : 0;
  if (aTag.Force || aTag.ForceOnce) return fEngine->SendCmdForce(aFrame, addr, aPriority);
  return fEngine->SendCmd(aFrame, addr);
}

void TzModbusPending::Add(TzTag* aTag, const TStringBytes& aCmd, uint32_t aUID) {
  auto record = std::make_unique<TzModbusAnswer>();
  record->Tag = aTag;
  record->Code = aUID;
  record->Mode = mmRTU;
  record->Cmd = aCmd;
  record->TimeStamp = TickCount32();
  {
    std::lock_guard lock(fLineCS);
    fList.push_back(std::move(record));
  }
  fEvents.RequestPending(aUID, aTag ? aTag->ID : 0);
}

void TzModbusPending::Clear() {
  std::lock_guard lock(fLineCS);
  fList.clear();
}

size_t TzModbusPending::Count() const {
  std::lock_guard lock(fLineCS);
  return fList.size();
}

bool TzModbusPending::Read(TzTag* aTag) {
  if (!aTag) return false;
  TStringBytes frame;
  if (!BuildTagReadFrame(*aTag, frame)) return false;
  if (!Queue(*aTag, frame, aTag->ReadPriority)) return false;
  aTag->ForceOnce = false;
  // A new request gets its own answer decoded and counted, whatever the last one was.
  aTag->ModbusError = false;
  aTag->ModbusErrorCode = -1;
  const uint32_t uid = fEngine->LastUID();
  Add(aTag, frame, uid);
  fEvents.RequestSent(*aTag, uid, aTag->ReadCmd, frame, {});
  return true;
}

bool TzModbusPending::Write(TzTag* aTag, double aValue) {
  // A value the register cannot hold is refused, not cut to its low bits.
  if (!aTag || !ValueFitsTag(*aTag, aValue)) return false;
  TStringBytes frame;
  double written = 0;
  if (!BuildTagWriteFrame(*aTag, aValue, frame, written)) return false;
  const bool accepted = Queue(*aTag, frame, aTag->WritePriority);
  aTag->ForceOnce = false;
  if (!accepted) return false;
  aTag->ModbusError = false;
  aTag->ModbusErrorCode = -1;
  aTag->SetValue(written);
  const uint32_t uid = fEngine->LastUID();
  fEvents.RequestSent(*aTag, uid, aTag->WriteCmd, frame, FloatToText(written));
  Add(aTag, frame, uid);
  return true;
}

bool TzModbusPending::ReadAll(TzDevice& aDevice) {
  if (aDevice.IsLocked) return false;
  aDevice.IsLocked = true;
  // Only a read that was queued can be answered.
  TzTag* last = nullptr;
  for (const auto& tag : aDevice.Tags) {
    tag->IsLast = false;
    const bool queued = Read(tag.get());
    if (!tag->Force && queued) last = tag.get();
  }
  if (last) last->IsLast = true;
  else aDevice.IsLocked = false;
  return true;
}

void TzModbusPending::Dispatch(int32_t aComPort, uint32_t aUID, const TStringBytes& aAnswer, uint32_t aErrCode) {
  fEvents.AnswerHandedBack(aUID, aErrCode);
  TzModbusAnswer* record = nullptr;
  for (const auto& candidate : fList) {
    if (candidate->Code == aUID) {
      record = candidate.get();
      break;
    }
  }
  if (!record) {
    fEvents.UnknownAnswer(aUID, aAnswer);
    return;
  }
  fEvents.AnswerNote(aComPort, aUID, aAnswer, {});

  if (TzTag* tag = record->Tag) {
    bool ok = false;
    const std::vector<uint8_t> bytes = aAnswer.AsBytes();
    if (aErrCode == 0 && IsGatewayNoTarget(bytes)) {
      // The gateway speaks for a unit that did not answer: no answer.
      tag->SetQuality(kQualityNoAnswer);
      fEvents.GatewayNoAnswer(*tag, bytes[2]);
    } else if (aErrCode != 0 || tag->ModbusError) {
      tag->SetQuality(kQualityNoAnswer);
    } else {
      if (record->Mode == mmRTU) {
        // The module's echo of a write confirms the value that was written.
        ok = IsWriteEcho(record->Cmd, aAnswer) || DecodeModbusAnswer(aAnswer, tag);
      }
      tag->SetQuality(ok ? kQualityGood : kQualityBadAnswer);
      if (tag->OnResponse) tag->OnResponse(*tag);
    }
    fEvents.AnswerChecked(*tag, ok);
    if (ok) fEvents.AnswerNote(aComPort, aUID, aAnswer, FloatToText(tag->Value()));
    if (tag->IsLast) {
      tag->IsLast = false;
      if (tag->Device) {
        tag->Device->IsLocked = false;
        fEvents.ReadingComplete(*tag);
      }
    }
    if (tag->ModbusError) {
      fEvents.AnswerNote(aComPort, aUID, aAnswer, "ErrCode: " + tag->ModbusErrorCodeStr);
      const int32_t code = tag->ModbusErrorCode;
      const size_t slot = (code >= 1 && code <= 8) ? static_cast<size_t>(code) : 9;
      ++fErrors[slot];
      fEvents.ExceptionCounted(code, fErrors[slot]);
    } else if (ok) {
      fEvents.AnswerNote(aComPort, aUID, aAnswer, tag->ValueStr);
    }
    if (tag->Quality() == kQualityGood && tag->Device) tag->Device->Status = TzDeviceStatus::dsGood;
  }

  // OnResponse may have queued requests (and so added records); find ours again.
  std::lock_guard lock(fLineCS);
  for (auto it = fList.begin(); it != fList.end(); ++it) {
    if (it->get() == record) {
      fList.erase(it);
      break;
    }
  }
}
