#include "uSimOutput.h"

#include <algorithm>

namespace {

constexpr int64_t kMinPwmStateMs = 50;  // neither PWM state is shorter than 0.05 s

bool Bit(uint16_t aMask, uint16_t aInput) {
  return aInput >= 1 && aInput <= 16 && ((aMask >> (aInput - 1)) & 1) != 0;
}

int64_t TenthsToMs(uint16_t aTenths) { return static_cast<int64_t>(aTenths) * 100; }

}  // namespace

bool TzSimOutput::Relay(int64_t aNow) const {
  return fParams.Function != 0 ? LogicOutput(aNow) : PwmOutput(aNow);
}

uint16_t TzSimOutput::Status(int64_t aNow) const {
  uint16_t status = Relay(aNow) ? 1 : 0;
  if (fParams.Function == 0 && fParams.Duty > 0 && fParams.Duty < 1000) status |= 2;
  if (fParams.Function != 0) status |= 4;
  return status;
}

bool TzSimOutput::RefusesFunction(uint16_t aValue) const {
  return aValue != 0 && fParams.Function != 0;
}

bool TzSimOutput::RefusesDelayType(uint16_t aValue) const {
  return fParams.Function != 0 && aValue != fParams.DelayType;
}

bool TzSimOutput::RefusesDelay(uint16_t aValue) const {
  return fParams.Function != 0 && aValue != fParams.Delay;
}

void TzSimOutput::SetPeriod(uint16_t aValue, int64_t aNow) {
  fParams.Period = aValue;
  fCycleStart = aNow;
}

void TzSimOutput::SetFunction(uint16_t aValue, uint16_t aInputs, int64_t aNow) {
  const bool starts = fParams.Function == 0 && aValue != 0;
  fParams.Function = aValue;
  if (starts) StartLogic(aInputs, aNow);
}

void TzSimOutput::SetX(uint16_t aValue, uint16_t aInputs, int64_t aNow) {
  fParams.X = aValue;
  // A new source is no edge: only the level-driven signal follows it.
  if (fParams.Function != 0 && fParams.Function <= 4) SetSignal(Combinational(aInputs), aNow);
}

void TzSimOutput::SetY(uint16_t aValue, uint16_t aInputs, int64_t aNow) {
  fParams.Y = aValue;
  if (fParams.Function != 0 && fParams.Function <= 4) SetSignal(Combinational(aInputs), aNow);
}

void TzSimOutput::OnInputs(uint16_t aOld, uint16_t aNew, int64_t aNow) {
  if (fParams.Function == 0) return;
  const bool xRose = !InputX(aOld) && InputX(aNew);
  switch (fParams.Function) {
    case 5:
      if (xRose && aNow >= fPulseEnd) fPulseEnd = aNow + TenthsToMs(fParams.Delay);
      return;
    case 6:
      // Y resets and wins over X, which sets.
      if (InputY(aNew)) fLatch = false;
      else if (InputX(aNew)) fLatch = true;
      SetSignal(fLatch, aNow);
      return;
    case 7:
      if (xRose) fLatch = !fLatch;
      SetSignal(fLatch, aNow);
      return;
    default:
      SetSignal(Combinational(aNew), aNow);
      return;
  }
}

void TzSimOutput::Restart(uint16_t aInputs, int64_t aNow) {
  UseSafeDuty();
  fCycleStart = aNow;
  if (fParams.Function != 0) StartLogic(aInputs, aNow);
}

bool TzSimOutput::InputX(uint16_t aInputs) const { return Bit(aInputs, fParams.X); }
bool TzSimOutput::InputY(uint16_t aInputs) const { return Bit(aInputs, fParams.Y); }

bool TzSimOutput::Combinational(uint16_t aInputs) const {
  const bool x = InputX(aInputs);
  const bool y = InputY(aInputs);
  switch (fParams.Function) {
    case 1: return x;
    case 2: return x && y;
    case 3: return x || y;
    case 4: return x != y;
    default: return false;
  }
}

void TzSimOutput::StartLogic(uint16_t aInputs, int64_t aNow) {
  fLatch = false;
  fHasFallen = false;
  fPulseEnd = aNow;
  fSignal = false;
  if (fParams.Function == 6) fLatch = InputX(aInputs) && !InputY(aInputs);
  const bool signal = fParams.Function == 6 ? fLatch : Combinational(aInputs);
  SetSignal(signal, aNow);
}

void TzSimOutput::SetSignal(bool aSignal, int64_t aNow) {
  if (aSignal == fSignal) return;
  fSignal = aSignal;
  if (aSignal) {
    fRiseAt = aNow;
  } else {
    fFallAt = aNow;
    fHasFallen = true;
  }
}

bool TzSimOutput::LogicOutput(int64_t aNow) const {
  bool out = false;
  if (fParams.Function == 5) {
    out = aNow < fPulseEnd;  // the pulse has its own length; no delay applies
  } else {
    const int64_t delay = TenthsToMs(fParams.Delay);
    switch (fParams.DelayType) {
      case 1: out = fSignal && aNow - fRiseAt >= delay; break;
      case 2: out = fSignal || (fHasFallen && aNow - fFallAt < delay); break;
      default: out = fSignal; break;
    }
  }
  return out != fParams.Inverted;
}

bool TzSimOutput::PwmOutput(int64_t aNow) const {
  if (fParams.Duty == 0) return false;
  if (fParams.Duty >= 1000) return true;
  const int64_t period = TenthsToMs(fParams.Period);
  const int64_t on = std::max(kMinPwmStateMs, period * fParams.Duty / 1000);
  const int64_t off = std::max(kMinPwmStateMs, period - period * fParams.Duty / 1000);
  const int64_t cycle = on + off;
  int64_t phase = (aNow - fCycleStart) % cycle;
  if (phase < 0) phase += cycle;
  return phase < on;
}
