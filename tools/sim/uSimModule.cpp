#include "uSimModule.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <cstdio>

#include "uSimPdu.h"
#include "uUtils.h"

namespace {

constexpr int64_t kDemoStepMs = 600;      // one lamp further every 0.6 s
constexpr int64_t kRestartSilenceMs = 1000;
constexpr int64_t kMaxDemoCatchUp = 1000;  // steps replayed after a long pause
constexpr uint16_t kInputMask = 0x0FFF;

uint16_t DemoPattern(int64_t aStep) { return static_cast<uint16_t>(1u << (aStep % 12)); }

uint16_t FloatHalf(double aValue, bool aHigh) {
  const auto value = static_cast<float>(aValue);
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return static_cast<uint16_t>(aHigh ? bits >> 16 : bits & 0xFFFF);
}

}  // namespace

int SimBaudCode(int aBaudRate) {
  for (int code = 0; code < 10; ++code) {
    if (kSimBaudRates[code] == aBaudRate) return code;
  }
  return -1;
}

TzSimFormat SimFormat(int aFormatCode) {
  const TzRtuFormat* format = RtuFormat(aFormatCode - kRtuFirstFormatCode);
  if (!format) format = &kRtuFormats[0];
  return {format->Parity, format->StopBits};
}

int SimFormatCode(const std::string& aText) {
  for (int code = 4; code <= 7; ++code) {
    if (SimFormatText(code) == aText) return code;
  }
  return -1;
}

std::string SimFormatText(int aFormatCode) {
  const TzSimFormat format = SimFormat(aFormatCode);
  return std::string("8") + format.Parity + std::to_string(format.StopBits);
}

TzSimTime SimSystemTime() {
  const auto steady = std::chrono::steady_clock::now().time_since_epoch();
  return {std::chrono::duration_cast<std::chrono::milliseconds>(steady).count(), LocalCivilNow()};
}

// The points of the map as this module's state holds them.
class TzSimModule::TzAccess final : public TzSimPointAccess {
 public:
  // aNow is taken once per request.
  TzAccess(TzSimModule& aModule, const TzSimTime& aNow) : fModule(aModule), fNow(aNow) {}

  uint16_t Read(const TzSimPoint& aPoint) override {
    const TzState& s = fModule.fState;
    const TzSimConfig& config = fModule.fConfig;
    const int64_t now = fNow.SteadyMs;
    const int i = aPoint.Index;
    switch (aPoint.Kind) {
      case TzSimKind::OutputState: return Out(aPoint).Relay(now) ? 1 : 0;
      case TzSimKind::LogicInversion: return Out(aPoint).Params().Inverted ? 1 : 0;
      case TzSimKind::CounterReset: return 0;
      case TzSimKind::FilterType: return (s.FilterTypes >> (i - 1)) & 1;
      case TzSimKind::InputState: return (s.Inputs >> (i - 1)) & 1;
      case TzSimKind::OutputStatus:
        return static_cast<uint16_t>(Out(aPoint).Status(now) | (s.Emergency ? 8 : 0));
      case TzSimKind::SupplyInteger:
        return static_cast<uint16_t>(std::lround(s.Supply[i - 1] * 1000.0));
      case TzSimKind::SupplyFloatHigh: return FloatHalf(s.Supply[i - 1], true);
      case TzSimKind::SupplyFloatLow: return FloatHalf(s.Supply[i - 1], false);
      case TzSimKind::DeviceType: return static_cast<uint16_t>(s.DeviceType);
      case TzSimKind::HardwareVersion: return static_cast<uint16_t>(config.HardwareVersion);
      case TzSimKind::Identifier: return config.Identifier[static_cast<size_t>(i)];
      case TzSimKind::FirmwareVersion: return static_cast<uint16_t>(config.FirmwareVersion);
      case TzSimKind::PowerStatus:
        return static_cast<uint16_t>((s.Supply[0] >= 18.0 ? 1 : 0) | (s.Supply[1] >= 18.0 ? 2 : 0));
      case TzSimKind::PwmDuty: return Out(aPoint).Params().Duty;
      case TzSimKind::PwmPeriod: return Out(aPoint).Params().Period;
      case TzSimKind::PwmSafeDuty: return Out(aPoint).Params().SafeDuty;
      case TzSimKind::LogicFunction: return Out(aPoint).Params().Function;
      case TzSimKind::LogicX: return Out(aPoint).Params().X;
      case TzSimKind::LogicY: return Out(aPoint).Params().Y;
      case TzSimKind::LogicDelayType: return Out(aPoint).Params().DelayType;
      case TzSimKind::LogicDelay: return Out(aPoint).Params().Delay;
      case TzSimKind::BaudCode: return static_cast<uint16_t>(s.StoredBaud);
      case TzSimKind::FormatCode: return static_cast<uint16_t>(s.StoredFormat);
      case TzSimKind::BusAddress: return static_cast<uint16_t>(s.StoredAddress);
      case TzSimKind::NetTimeout: return static_cast<uint16_t>(s.StoredNetTimeout);
      case TzSimKind::ClockField:  // one instant per request: the registers agree
        return static_cast<uint16_t>(s.Clock.Read(fNow.LocalSec)[static_cast<size_t>(i)]);
      case TzSimKind::FilterTypes: return s.FilterTypes;
      case TzSimKind::OutputsState: return fModule.RelayBits(now);
      case TzSimKind::CountersReset: return 0;
      case TzSimKind::InputsState: return s.Inputs;
      case TzSimKind::Counter: return s.Counters[static_cast<size_t>(i - 1)];
      case TzSimKind::Command: return 0;
    }
    return 0;
  }

  uint8_t Write(const TzSimPoint& aPoint, uint16_t aValue) override {
    TzState& s = fModule.fState;
    const int64_t now = fNow.SteadyMs;
    const int i = aPoint.Index;
    switch (aPoint.Kind) {
      case TzSimKind::OutputState: Out(aPoint).SwitchDirect(aValue != 0); break;
      case TzSimKind::LogicInversion: Out(aPoint).SetInverted(aValue != 0); break;
      case TzSimKind::CounterReset:
        if (aValue != 0) s.Counters[static_cast<size_t>(i - 1)] = 0;
        break;
      case TzSimKind::FilterType:
        s.FilterTypes = static_cast<uint16_t>((s.FilterTypes & ~(1u << (i - 1))) | (aValue << (i - 1)));
        break;
      case TzSimKind::PwmDuty: Out(aPoint).SetDuty(aValue); break;
      case TzSimKind::PwmPeriod: Out(aPoint).SetPeriod(aValue, now); break;
      case TzSimKind::PwmSafeDuty: Out(aPoint).SetSafeDuty(aValue); break;
      case TzSimKind::LogicFunction:
        if (Out(aPoint).RefusesFunction(aValue)) return seDeviceFailure;
        Out(aPoint).SetFunction(aValue, s.Inputs, now);
        break;
      case TzSimKind::LogicX: Out(aPoint).SetX(aValue, s.Inputs, now); break;
      case TzSimKind::LogicY: Out(aPoint).SetY(aValue, s.Inputs, now); break;
      case TzSimKind::LogicDelayType:
        if (Out(aPoint).RefusesDelayType(aValue)) return seDeviceFailure;
        Out(aPoint).SetDelayType(aValue);
        break;
      case TzSimKind::LogicDelay:
        if (Out(aPoint).RefusesDelay(aValue)) return seDeviceFailure;
        Out(aPoint).SetDelay(aValue);
        break;
      case TzSimKind::BaudCode: s.StoredBaud = aValue; break;
      case TzSimKind::FormatCode: s.StoredFormat = aValue; break;
      case TzSimKind::BusAddress: s.StoredAddress = aValue; break;
      case TzSimKind::NetTimeout: s.StoredNetTimeout = aValue; break;
      case TzSimKind::ClockField:
        if (!s.Clock.WriteField(i, aValue, fNow.LocalSec)) return seIllegalValue;
        break;
      case TzSimKind::FilterTypes: s.FilterTypes = aValue; break;
      case TzSimKind::OutputsState:
        for (size_t n = 0; n < 6; ++n) s.Outputs[n].SwitchDirect(((aValue >> n) & 1) != 0);
        break;
      case TzSimKind::CountersReset:
        for (size_t n = 0; n < 12; ++n) {
          if ((aValue >> n) & 1) s.Counters[n] = 0;
        }
        break;
      case TzSimKind::InputsState: return seDeviceFailure;
      case TzSimKind::Counter: s.Counters[static_cast<size_t>(i - 1)] = aValue; break;
      case TzSimKind::Command:
        s.Restarting = true;
        s.RestartDoneAt = now + kRestartSilenceMs;
        break;
      default: return seIllegalAddress;  // read-only kinds never reach here
    }
    return seNone;
  }

  uint8_t InjectedException(uint32_t aFirst, uint32_t aCount, bool aWrite) override {
    return fModule.fFaults.ExceptionFor(aFirst, aCount, aWrite);
  }

 private:
  // Output kinds carry the output number 1..6 in Index.
  TzSimOutput& Out(const TzSimPoint& aPoint) {
    return fModule.fState.Outputs[static_cast<size_t>(aPoint.Index - 1)];
  }

  TzSimModule& fModule;
  const TzSimTime fNow;
};

TzSimModule::TzSimModule(const TzSimConfig& aConfig, TzSimTimeSource aTime)
    : fConfig(aConfig), fTime(aTime ? std::move(aTime) : SimSystemTime) {
  const TzSimTime now = fTime();
  fState.StoredBaud = aConfig.BaudCode;
  fState.StoredFormat = aConfig.FormatCode;
  fState.StoredAddress = aConfig.Address;
  fState.StoredNetTimeout = aConfig.NetTimeout;
  fState.DeviceType = aConfig.DeviceType;
  fState.Inputs = aConfig.Inputs & kInputMask;
  fState.Demo = aConfig.DemoInputs;
  fState.DemoEpoch = now.SteadyMs;
  if (fState.Demo) fState.Inputs = DemoPattern(0);
  FinishRestart(now.SteadyMs);
  fState.LineGeneration = 0;
}

TzSimReply TzSimModule::HandleFrame(std::span<const uint8_t> aFrame) {
  const TzSimTime now = fTime();
  TzSimReply reply;
  const std::lock_guard lock(fLock);
  Advance(now);
  const std::string request = HexBytes(aFrame);
  if (const char* fault = SimFrameFault(aFrame)) {
    reply.Note = std::string("ignored (") + fault + "): " + request;
    return reply;
  }
  if (fState.Restarting) {
    reply.Note = "ignored (restarting): " + request;
    return reply;
  }
  const uint8_t address = aFrame[0];
  if (address != 0 && address != fState.Line.Address) {
    reply.Note = "ignored (address " + std::to_string(address) + "): " + request;
    return reply;
  }
  const uint8_t function = aFrame[1];
  if (address == 0 && !IsSimWriteFunction(function)) {
    fState.LastRequestAt = now.SteadyMs;
    fState.Emergency = false;
    reply.Note = "ignored (broadcast read): " + request;
    return reply;
  }
  const TzState before = fState;
  TzAccess access(*this, now);
  std::vector<uint8_t> pdu;
  const uint8_t code = HandleSimPdu(aFrame.subspan(1, aFrame.size() - 3), access, pdu);
  if (code != seNone) fState = before;  // a refused multiple write leaves nothing behind
  // A request ends the emergency mode; it still sees it in the status.
  fState.LastRequestAt = now.SteadyMs;
  fState.Emergency = false;
  if (address == 0) {
    reply.Note = "broadcast " + std::string(code == seNone ? "carried out" : "refused") + ": " + request;
    return reply;
  }
  std::vector<uint8_t> answer;
  answer.reserve(pdu.size() + 3);
  answer.push_back(address);
  for (uint8_t byte : pdu) answer.push_back(byte);
  const uint16_t answerCrc = ModbusCRC(answer);
  answer.push_back(static_cast<uint8_t>(answerCrc & 0xFF));
  answer.push_back(static_cast<uint8_t>(answerCrc >> 8));
  reply.Note = "request " + request + (code != seNone ? " -> exception " + std::to_string(code) : "");
  if (!fFaults.Spoil(answer)) {
    reply.Note += " (answer dropped)";
    return reply;
  }
  reply.Bytes = std::move(answer);
  reply.DelayMs = fFaults.Settings().DelayMs;
  return reply;
}

void TzSimModule::Tick() {
  const TzSimTime now = fTime();
  const std::lock_guard lock(fLock);
  Advance(now);
}

void TzSimModule::SetInputs(uint16_t aMask) {
  const TzSimTime now = fTime();
  const std::lock_guard lock(fLock);
  Advance(now);
  fState.Demo = false;
  ApplyInputs(aMask & kInputMask, now.SteadyMs);
}

void TzSimModule::SetInput(int aInput, bool aOn) {
  if (aInput < 1 || aInput > 12) return;
  const TzSimTime now = fTime();
  const std::lock_guard lock(fLock);
  Advance(now);
  fState.Demo = false;
  const auto bit = static_cast<uint16_t>(1u << (aInput - 1));
  ApplyInputs(static_cast<uint16_t>(aOn ? fState.Inputs | bit : fState.Inputs & ~bit), now.SteadyMs);
}

void TzSimModule::SetDemoInputs(bool aOn) {
  const TzSimTime now = fTime();
  const std::lock_guard lock(fLock);
  Advance(now);
  if (aOn == fState.Demo) return;
  fState.Demo = aOn;
  if (aOn) {
    fState.DemoEpoch = now.SteadyMs;
    fState.DemoStep = 0;
    ApplyInputs(DemoPattern(0), now.SteadyMs);
  }
}

void TzSimModule::SetDeviceType(int aType) {
  const std::lock_guard lock(fLock);
  fState.DeviceType = aType;
}

void TzSimModule::SetSupply(double aU1, double aU2) {
  const std::lock_guard lock(fLock);
  fState.Supply[0] = aU1;
  fState.Supply[1] = aU2;
}

void TzSimModule::SetFaults(const TzSimFaultSettings& aFaults) {
  const std::lock_guard lock(fLock);
  fFaults.Set(aFaults);
}

TzSimFaultSettings TzSimModule::Faults() const {
  const std::lock_guard lock(fLock);
  return fFaults.Settings();
}

uint16_t TzSimModule::Inputs() const {
  const std::lock_guard lock(fLock);
  return fState.Inputs;
}

uint16_t TzSimModule::Relays() const {
  const TzSimTime now = fTime();
  const std::lock_guard lock(fLock);
  return RelayBits(now.SteadyMs);
}

uint16_t TzSimModule::Counter(int aInput) const {
  if (aInput < 1 || aInput > 12) return 0;
  const std::lock_guard lock(fLock);
  return fState.Counters[static_cast<size_t>(aInput - 1)];
}

TzSimLine TzSimModule::Line() const {
  const std::lock_guard lock(fLock);
  return fState.Line;
}

uint32_t TzSimModule::LineGeneration() const {
  const std::lock_guard lock(fLock);
  return fState.LineGeneration;
}

bool TzSimModule::Restarting() const {
  const std::lock_guard lock(fLock);
  return fState.Restarting;
}

std::string TzSimModule::Status() const {
  const TzSimTime now = fTime();
  const std::lock_guard lock(fLock);
  char text[200];
  std::snprintf(text, sizeof text,
                "address %d baud %d format %s type %d inputs 0x%04X%s relays 0x%02X%s%s",
                fState.Line.Address, kSimBaudRates[fState.Line.BaudCode],
                SimFormatText(fState.Line.FormatCode).c_str(), fState.DeviceType, fState.Inputs,
                fState.Demo ? " (demo)" : "", RelayBits(now.SteadyMs),
                fState.Emergency ? " emergency" : "", fState.Restarting ? " restarting" : "");
  return std::string(text) + " faults: " + fFaults.Settings().Describe();
}

void TzSimModule::Advance(const TzSimTime& aNow) {
  if (fState.Demo) {
    const int64_t target = (aNow.SteadyMs - fState.DemoEpoch) / kDemoStepMs;
    if (target - fState.DemoStep > kMaxDemoCatchUp) fState.DemoStep = target - kMaxDemoCatchUp;
    while (fState.DemoStep < target) {
      ++fState.DemoStep;
      ApplyInputs(DemoPattern(fState.DemoStep), fState.DemoEpoch + fState.DemoStep * kDemoStepMs);
    }
  }
  if (fState.Restarting && aNow.SteadyMs >= fState.RestartDoneAt) FinishRestart(fState.RestartDoneAt);
  if (fState.NetTimeout > 0 && !fState.Emergency &&
      aNow.SteadyMs - fState.LastRequestAt >= fState.NetTimeout * 1000LL) {
    fState.Emergency = true;  // the duty stays at the safe value after the emergency ends
    for (TzSimOutput& output : fState.Outputs) output.UseSafeDuty();
  }
}

void TzSimModule::ApplyInputs(uint16_t aMask, int64_t aAt) {
  const uint16_t old = fState.Inputs;
  if (aMask == old) return;
  for (size_t n = 0; n < 12; ++n) {
    if (!((old >> n) & 1) && ((aMask >> n) & 1)) ++fState.Counters[n];  // wraps at 65535
  }
  fState.Inputs = aMask;
  for (TzSimOutput& output : fState.Outputs) output.OnInputs(old, aMask, aAt);
}

void TzSimModule::FinishRestart(int64_t aAt) {
  fState.Restarting = false;
  fState.Line = {fState.StoredAddress, fState.StoredBaud, fState.StoredFormat};
  fState.NetTimeout = fState.StoredNetTimeout;
  ++fState.LineGeneration;
  fState.Emergency = false;
  fState.LastRequestAt = aAt;
  for (TzSimOutput& output : fState.Outputs) output.Restart(fState.Inputs, aAt);
}

uint16_t TzSimModule::RelayBits(int64_t aNow) const {
  uint16_t bits = 0;
  for (size_t n = 0; n < 6; ++n) {
    if (fState.Outputs[n].Relay(aNow)) bits = static_cast<uint16_t>(bits | 1u << n);
  }
  return bits;
}
