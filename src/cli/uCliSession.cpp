#include "uCliSession.h"

#include <algorithm>

#include "uCliExit.h"
#include "uLineRules.h"
#include "uModbusFrames.h"
#include "uRK7140Device.h"

namespace {

std::string TagLabel(const TzTag* aTag) {
  if (!aTag) return "request";
  if (aTag->OPCName.empty()) return std::to_string(aTag->ID) + (aTag->ID == kDeviceTypeReg ? " (device type)" : "");
  return std::to_string(aTag->ID) + " \"" + aTag->OPCName + "\"";
}

}  // namespace

TzCliSession::TzCliSession(const TzCommonOptions& aOptions) : fOptions(aOptions) {}

TzCliSession::~TzCliSession() {
  fPending.SetEngine(nullptr);
  fEngine.reset();
}

std::string TzCliSession::Where() const {
  return "address " + std::to_string(fOptions.Address) + " on " + fOptions.Port + " at " +
         std::to_string(fOptions.BaudRate) + " " + std::string(kLineFormatNames[static_cast<size_t>(fOptions.FormatIndex)]);
}

int TzCliSession::Open() {
  fDevice = std::make_unique<TzDevice>();
  if (!LoadRK7140Device(*fDevice, fOptions.Address)) {
    ReportError("the register template did not load");
    return exUndecodable;
  }
  fEngine = std::make_unique<TzFreePort>(fOptions.Endpoint);
  fEngine->SetMainThreadPost(fPump.Poster());
  fEngine->SetOnAsyncAnswerProc([this](int32_t aPort, uint32_t aUID, TStringBytes aAnswer, uint32_t aErr) {
    Answer(aPort, aUID, aAnswer, aErr);
  });
  ConfigureEngine(*fEngine, {fOptions.BaudRate, fOptions.FormatIndex, fOptions.Timeout});
  // For comparison: every exchange ends by the silence time-out alone.
  if (fOptions.WaitSilence) fEngine->SetCompletionRule({});
  if (!fEngine->Start()) {
    const uint32_t code = fEngine->ErrorCode();
    const std::string settings =
        std::to_string(fOptions.BaudRate) + " " + std::string(kLineFormatNames[static_cast<size_t>(fOptions.FormatIndex)]);
    const TzLinkError why = fEngine->LinkError();
    if (code == kOpenSetState && why == TzLinkError::SettingRefused)
      ReportError("port " + fOptions.Port + " refuses the settings " + settings);
    else
      ReportError("port " + fOptions.Port + " cannot be opened: " + LinkErrorText(why, {}, TzTextLanguage::English));
    return exPort;
  }
  fPending.SetEngine(fEngine.get());
  return exOk;
}

void TzCliSession::Answer(int32_t aComPort, uint32_t aUID, const TStringBytes& aAnswer, uint32_t aErrCode) {
  TzTag* tag = nullptr;
  for (const auto& record : fPending.List())
    if (record->Code == aUID) tag = record->Tag;
  fPending.Dispatch(aComPort, aUID, aAnswer, aErrCode);
  if (!tag) return;

  TzOutcome outcome{tag, exOk, {}};
  const std::string what = TagLabel(tag) + " at " + Where();
  const std::vector<uint8_t> bytes = aAnswer.AsBytes();
  if (aErrCode == 0 && IsGatewayNoTarget(bytes)) {
    outcome = {tag, exNoAnswer,
               "no answer to " + what + " (the gateway: " +
                   (bytes[2] == kExceptionGatewayPath ? "path unavailable" : "target device failed to respond") + ")"};
  } else if (aErrCode == kErrNoAnswer) {
    outcome = {tag, exNoAnswer, "no answer to " + what};
  } else if (aErrCode == kErrPortUnusable) {
    outcome = {tag, exPort, "port " + fOptions.Port + " stopped working during " + TagLabel(tag)};
  } else if (aErrCode != 0) {
    outcome = {tag, exUndecodable, "line errors (flags " + std::to_string(aErrCode) + ") in the answer to " + what};
  } else if (tag->ModbusError) {
    outcome = {tag, exException, "exception " + tag->ModbusErrorCodeStr + " (code " + std::to_string(tag->ModbusErrorCode) +
                                     ") in the answer to " + what};
  } else if (tag->Quality() != kQualityGood) {
    outcome = {tag, exUndecodable, "the answer to " + what + " cannot be decoded"};
  }
  fOutcomes[aUID] = outcome;
}

std::vector<TzOutcome> TzCliSession::WaitFor(const std::vector<uint32_t>& aUIDs) {
  // The engine answers every request, at the latest by its time-outs; the
  // guard only keeps a stuck line from hanging the tool.
  const auto guard = std::chrono::milliseconds(5000 + static_cast<int64_t>(aUIDs.size()) * (fOptions.Timeout + 600));
  // Done when every answer was dispatched and the engine has let go of the
  // requests (it refuses a request equal to one still queued).
  fPump.RunUntil(
      [&] {
        if (!std::all_of(aUIDs.begin(), aUIDs.end(), [&](uint32_t aUID) { return fOutcomes.count(aUID) > 0; }))
          return false;
        const std::vector<uint32_t> queued = fEngine->QueuedUIDs();
        return std::none_of(aUIDs.begin(), aUIDs.end(), [&](uint32_t aUID) {
          return std::find(queued.begin(), queued.end(), aUID) != queued.end();
        });
      },
      guard);
  std::vector<TzOutcome> outcomes;
  for (const uint32_t uid : aUIDs) {
    auto it = fOutcomes.find(uid);
    if (it == fOutcomes.end()) {
      outcomes.push_back({nullptr, exNoAnswer, "no answer at " + Where() + " (the exchange did not end)"});
      continue;
    }
    outcomes.push_back(it->second);
    fOutcomes.erase(it);
  }
  return outcomes;
}

std::vector<TzOutcome> TzCliSession::Read(const std::vector<TzTag*>& aTags) {
  std::vector<TzOutcome> outcomes;
  for (TzTag* tag : aTags) {
    // One at a time: the engine refuses a request already queued, and a tag
    // may be asked twice.
    if (!fPending.Read(tag)) {
      outcomes.push_back({tag, exUsage, TagLabel(tag) + " cannot be read"});
      continue;
    }
    outcomes.push_back(WaitFor({fEngine->LastUID()}).front());
  }
  return outcomes;
}

std::vector<TzOutcome> TzCliSession::ReadAll() {
  fDevice->IsLocked = false;
  fPending.ReadAll(*fDevice);
  std::map<const TzTag*, uint32_t> uidOf;
  std::vector<uint32_t> uids;
  for (const auto& record : fPending.List()) {
    uidOf[record->Tag] = record->Code;
    uids.push_back(record->Code);
  }
  std::vector<TzOutcome> answered = WaitFor(uids);
  std::map<uint32_t, TzOutcome> byUID;
  for (size_t i = 0; i < uids.size(); ++i) byUID[uids[i]] = answered[i];
  std::vector<TzOutcome> outcomes;
  for (const auto& tag : fDevice->Tags) {
    if (tag->ReadCmd < 1 || tag->ReadCmd > 4) continue;
    const auto it = uidOf.find(tag.get());
    if (it == uidOf.end()) outcomes.push_back({tag.get(), exUsage, TagLabel(tag.get()) + " was not asked"});
    else outcomes.push_back(byUID[it->second]);
  }
  return outcomes;
}

int TzCliSession::Identify(double* aType) {
  std::unique_ptr<TzDevice> probe = MakeTypeProbeDevice(fOptions.Address);
  const TzOutcome outcome = Read({TypeProbeTag(*probe)}).front();
  if (outcome.Code != exOk) {
    ReportError(outcome.Message);
    return outcome.Code;
  }
  const double type = TypeProbeTag(*probe)->Value();
  if (aType) *aType = type;
  if (!IsRK7140Type(type)) {
    ReportError("the device at " + Where() + " is not an RK-7140 (device type " + std::to_string(static_cast<int64_t>(type)) +
                ", an RK-7140 reads " + std::to_string(kDeviceTypeRK7140) + ")");
    return exNotRK7140;
  }
  return exOk;
}

void TzCliSession::SetRegByID(int32_t aID, double aValue, bool aForced) {
  TzTag* tag = fDevice->GetTagByID(aID);
  if (!tag) return;
  if (aForced) tag->ForceOnce = true;
  Write(*tag, aValue);
}

bool TzCliSession::Write(TzTag& aTag, double aValue) {
  if (!fPending.Write(&aTag, aValue)) {
    aTag.ForceOnce = false;
    fRefusedWrites.push_back({&aTag, exUsage, TagLabel(&aTag) + " cannot be written with " + std::to_string(aValue)});
    return false;
  }
  fWrites.push_back(fEngine->LastUID());
  return true;
}

std::vector<TzOutcome> TzCliSession::WaitWrites() {
  std::vector<uint32_t> uids;
  uids.swap(fWrites);
  std::vector<TzOutcome> outcomes;
  outcomes.swap(fRefusedWrites);
  for (TzOutcome& outcome : WaitFor(uids)) outcomes.push_back(std::move(outcome));
  return outcomes;
}

int TzCliSession::Report(const std::vector<TzOutcome>& aOutcomes) const {
  int first = exOk;
  for (const TzOutcome& outcome : aOutcomes) {
    if (outcome.Code == exOk) continue;
    ReportError(outcome.Message);
    NoteFailure(first, outcome.Code);
  }
  return first;
}
