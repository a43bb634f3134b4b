#include "uOutputParams.h"

void ReadOutputParams(const TzTryValue& aTryValue, int aOutput, TzDiscretOutParams& aParams) {
  const TzOutputTags t = OutputTags(aOutput);
  aTryValue(t.Duty, aParams.ShimKoef);
  aTryValue(t.Period, aParams.ShimPeriod);
  aTryValue(t.SafeDuty, aParams.ShimKoefSecure);
  aTryValue(t.Inversion, aParams.LogicInv);
  aTryValue(t.Function, aParams.LogicFunc);
  aTryValue(t.X, aParams.LogicX);
  aTryValue(t.Y, aParams.LogicY);
  aTryValue(t.DelayType, aParams.LogicType);
  aTryValue(t.Delay, aParams.LogicLag);
  aParams.CanModify = aParams.LogicFunc == 0;
}

bool LogicFuncAllowed(const TzDiscretOutParams& aParams, int32_t aFunc) { return aFunc == 0 || aParams.CanModify; }

bool LogicFieldsEditable(int32_t aChosenFunc, bool aCanModify) { return aChosenFunc == 0 && aCanModify; }

TzApplyOutcome ApplyOutputParams(TzRegSink& aSink, int aOutput, TzDiscretOutParams& aParams,
                                 const TzReadOutputField& aReadField, const TzOutputLogicChoice& aChoice) {
  for (const TzOutputFieldRange& range : kOutputFieldRanges)
    if (!aReadField(range.Field, range.Min, range.Max, aParams.*range.Target)) return TzApplyOutcome::FieldInvalid;

  const TzOutputTags t = OutputTags(aOutput);
  aSink.SetRegByID(t.Duty, aParams.ShimKoef, true);
  aSink.SetRegByID(t.Period, aParams.ShimPeriod, true);
  aSink.SetRegByID(t.SafeDuty, aParams.ShimKoefSecure, true);

  // No function chosen at all (the list shows a code it has no item for)
  // is refused like a non-zero one: only "Откл." or a listed function is written.
  if (aChoice.FuncIndex < 0 || !LogicFuncAllowed(aParams, aChoice.FuncIndex)) return TzApplyOutcome::LogicRefused;

  aParams.LogicFunc = aChoice.FuncIndex;
  aParams.LogicType = aChoice.TypeIndex;
  aParams.LogicX = aChoice.XIndex + 1;
  aParams.LogicY = aChoice.YIndex + 1;
  aParams.LogicInv = aChoice.Inverted ? 1 : 0;
  aParams.CanModify = aParams.LogicFunc == 0;

  aSink.SetRegByID(t.Inversion, aParams.LogicInv, true);
  aSink.SetRegByID(t.X, aParams.LogicX, true);
  aSink.SetRegByID(t.Y, aParams.LogicY, true);
  aSink.SetRegByID(t.DelayType, aParams.LogicType, true);
  aSink.SetRegByID(t.Delay, aParams.LogicLag, true);
  aSink.SetRegByID(t.Function, aParams.LogicFunc, false);
  return TzApplyOutcome::Applied;
}

bool WriteOutputState(TzRegSink& aSink, int aOutput, bool aOn) {
  if (aOutput < 1 || aOutput > kOutputCount) return false;
  aSink.SetRegByID(OutputBase(aOutput), aOn ? 1 : 0, false);
  return true;
}
