// The PWM and relay-logic parameters of the module's six relay outputs: the
// tags that hold them, their reading after the first full reading, the rules
// for changing the logic function and the order in which "Применить" writes
// them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "uRegSink.h"

inline constexpr int kOutputCount = 6;

// The panel's copy of one output's parameters.
struct TzDiscretOutParams {
  int32_t ShimPeriod = 0;      // tenths of a second, 1..65535
  int32_t ShimKoef = 0;        // tenths of a percent, 0..1000
  int32_t ShimKoefSecure = 0;  // tenths of a percent, 0..1000
  int32_t LogicFunc = 0;       // 0..7
  int32_t LogicType = 0;       // 0..2
  int32_t LogicLag = 0;        // tenths of a second, 1..65535
  int32_t LogicX = 0;          // input 1..12
  int32_t LogicY = 0;          // input 1..12
  int32_t LogicInv = 0;        // 0 or 1
  // The module's function is 0 (gating off), so a non-zero one may be written.
  bool CanModify = false;
};

// Tag IDs of output aOutput (1..6); B = 4096 + 128 x (n - 1).
struct TzOutputTags {
  int32_t State, Status, Duty, Period, SafeDuty, Inversion, Function, X, Y, DelayType, Delay;
};
constexpr int32_t OutputBase(int aOutput) { return 4096 + 128 * (aOutput - 1); }
constexpr TzOutputTags OutputTags(int aOutput) {
  const int32_t b = OutputBase(aOutput);
  return {b, b + 1000, b + 5, b + 8, b + 9, b + 16, b + 1016, b + 17, b + 18, b + 19, b + 20};
}

// The tags of output aOutput's parameters, the ones ReadOutputParams copies.
constexpr std::array<int32_t, 9> OutputParamTagIDs(int aOutput) {
  const TzOutputTags t = OutputTags(aOutput);
  return {t.Duty, t.Period, t.SafeDuty, t.Inversion, t.Function, t.X, t.Y, t.DelayType, t.Delay};
}

// Gives a tag's value when it reads good (truncated to an integer).
using TzTryValue = std::function<bool(int32_t aID, int32_t& aValue)>;
// Copies every good value of output aOutput's tags into aParams, then
// CanModify := (LogicFunc = 0).
void ReadOutputParams(const TzTryValue& aTryValue, int aOutput, TzDiscretOutParams& aParams);

// A non-zero function may be chosen only while the module's function is off.
bool LogicFuncAllowed(const TzDiscretOutParams& aParams, int32_t aFunc);
// The logic parameter fields are editable while "Откл." is chosen and the
// module's function is off.
bool LogicFieldsEditable(int32_t aChosenFunc, bool aCanModify);

// The number fields of the outputs panel, in the order Apply checks them.
enum class TzOutputField { ShimPeriod, ShimKoef, ShimKoefSecure, LogicLag };
struct TzOutputFieldRange {
  TzOutputField Field;
  int32_t Min, Max;
  int32_t TzDiscretOutParams::*Target;
};
inline constexpr TzOutputFieldRange kOutputFieldRanges[] = {
    {TzOutputField::ShimPeriod, 1, 65535, &TzDiscretOutParams::ShimPeriod},
    {TzOutputField::ShimKoef, 0, 1000, &TzDiscretOutParams::ShimKoef},
    {TzOutputField::ShimKoefSecure, 0, 1000, &TzDiscretOutParams::ShimKoefSecure},
    {TzOutputField::LogicLag, 1, 65535, &TzDiscretOutParams::LogicLag},
};

// Reads one field within its limits into aValue; false (aValue untouched)
// when it holds no integer in range. The panel blinks the field.
using TzReadOutputField = std::function<bool(TzOutputField aField, int32_t aMin, int32_t aMax, int32_t& aValue)>;

// The logic settings as chosen in the panel: list item indices (-1: none).
struct TzOutputLogicChoice {
  int32_t FuncIndex = 0;
  int32_t TypeIndex = 0;
  int32_t XIndex = 0;
  int32_t YIndex = 1;
  bool Inverted = false;
};

enum class TzApplyOutcome {
  FieldInvalid,  // a field failed its check; nothing was written
  LogicRefused,  // PWM written; a non-zero function while the module's is on: logic untouched
  Applied,       // PWM and logic written
};

// "Применить" for output aOutput with its stored parameters aParams:
// 1. each field in kOutputFieldRanges order, stored as soon as it passes; the
//    first failure ends it;
// 2. forced writes B+5 duty, B+8 period, B+9 safe duty;
// 3. a non-zero function while CanModify is false ends it (LogicRefused);
// 4. the choice is stored (X and Y are item index + 1), CanModify follows;
// 5. forced writes B+16 inversion, B+17 X, B+18 Y, B+19 delay type, B+20
//    delay, then B+1016 function not forced, last, so the module gets the
//    function after its parameters.
TzApplyOutcome ApplyOutputParams(TzRegSink& aSink, int aOutput, TzDiscretOutParams& aParams,
                                 const TzReadOutputField& aReadField, const TzOutputLogicChoice& aChoice);

// Switches relay output aOutput (1..6) on or off: its state coil, not
// forced (the state tag's own force flag places it). False, nothing written,
// for another output.
bool WriteOutputState(TzRegSink& aSink, int aOutput, bool aOn);

// The factory settings "По умолчанию" puts into the panel's fields.
struct TzOutputDefaults {
  int32_t ShimPeriod = 100, ShimKoef = 0, ShimKoefSecure = 0, LogicLag = 5;
  TzOutputLogicChoice Logic{};
};
inline constexpr TzOutputDefaults kOutputDefaults{};
