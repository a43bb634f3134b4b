// One relay output of the module: its PWM and relay-logic parameters and the
// relay state they produce over time. Times are milliseconds of a steady clock.
#pragma once

#include <cstdint>

struct TzSimOutputParams {
  uint16_t Duty = 0;        // tenths of a percent, 0..1000
  uint16_t Period = 100;    // tenths of a second
  uint16_t SafeDuty = 0;    // tenths of a percent
  uint16_t Function = 0;    // 0 off, 1..7 relay-logic functions
  uint16_t X = 1;           // input 1..12
  uint16_t Y = 2;           // input 1..12
  uint16_t DelayType = 0;   // 0 none, 1 rising edge delayed, 2 falling edge delayed
  uint16_t Delay = 5;       // tenths of a second; the pulse length of function 5
  bool Inverted = false;
};

class TzSimOutput {
 public:
  const TzSimOutputParams& Params() const { return fParams; }

  // Relay state at aNow for the current inputs.
  bool Relay(int64_t aNow) const;
  // Bit 0 relay closed, bit 1 PWM cycling, bit 2 relay logic running.
  uint16_t Status(int64_t aNow) const;

  // The rule the module enforces: a non-zero function only while the function
  // is 0; function, delay type and delay do not change while a function runs.
  bool RefusesFunction(uint16_t aValue) const;
  bool RefusesDelayType(uint16_t aValue) const;
  bool RefusesDelay(uint16_t aValue) const;

  void SetDuty(uint16_t aValue) { fParams.Duty = aValue; }
  // A new period restarts the PWM cycle.
  void SetPeriod(uint16_t aValue, int64_t aNow);
  void SetSafeDuty(uint16_t aValue) { fParams.SafeDuty = aValue; }
  // Switching directly sets the duty to 0 % or 100 %.
  void SwitchDirect(bool aOn) { fParams.Duty = aOn ? 1000 : 0; }
  void SetInverted(bool aValue) { fParams.Inverted = aValue; }
  void SetFunction(uint16_t aValue, uint16_t aInputs, int64_t aNow);
  void SetX(uint16_t aValue, uint16_t aInputs, int64_t aNow);
  void SetY(uint16_t aValue, uint16_t aInputs, int64_t aNow);
  void SetDelayType(uint16_t aValue) { fParams.DelayType = aValue; }
  void SetDelay(uint16_t aValue) { fParams.Delay = aValue; }

  // The inputs changed from aOld to aNew at aNow.
  void OnInputs(uint16_t aOld, uint16_t aNew, int64_t aNow);
  // Emergency mode and start-up: the duty becomes the safe value.
  void UseSafeDuty() { fParams.Duty = fParams.SafeDuty; }
  // Start-up after a restart: safe duty, a fresh PWM cycle, fresh logic state.
  void Restart(uint16_t aInputs, int64_t aNow);

 private:
  bool InputX(uint16_t aInputs) const;
  bool InputY(uint16_t aInputs) const;
  bool Combinational(uint16_t aInputs) const;
  void StartLogic(uint16_t aInputs, int64_t aNow);
  void SetSignal(bool aSignal, int64_t aNow);
  bool LogicOutput(int64_t aNow) const;
  bool PwmOutput(int64_t aNow) const;

  TzSimOutputParams fParams;
  int64_t fCycleStart = 0;
  // Logic state while a function runs.
  bool fSignal = false;          // the function's signal before delay and inversion
  bool fLatch = false;           // RS flip-flop and impulse relay
  int64_t fRiseAt = 0;           // when fSignal last became 1
  int64_t fFallAt = 0;           // when fSignal last became 0 (valid with fHasFallen)
  bool fHasFallen = false;
  int64_t fPulseEnd = 0;         // function 5: the pulse lasts until then
};
