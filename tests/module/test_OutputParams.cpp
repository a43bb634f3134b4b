// "Применить" of an output: the check order of its fields, the writes it
// sends (tag, value, forced) in their order, and the rule that keeps a
// running logic function from being replaced.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "uOutputParams.h"

namespace {

using TzWrite = std::tuple<int32_t, double, bool>;

struct TzRecordingSink : TzRegSink {
  std::vector<TzWrite> Writes;
  void SetRegByID(int32_t aID, double aValue, bool aForced) override { Writes.emplace_back(aID, aValue, aForced); }
};

// Field values as texts would give them; a missing field fails its check.
struct TzFields {
  std::map<TzOutputField, int32_t> Values;
  std::vector<TzOutputField> Asked;
  TzReadOutputField Reader() {
    return [this](TzOutputField aField, int32_t aMin, int32_t aMax, int32_t& aValue) {
      Asked.push_back(aField);
      const auto it = Values.find(aField);
      if (it == Values.end() || it->second < aMin || it->second > aMax) return false;
      aValue = it->second;
      return true;
    };
  }
};

TzFields ValidFields(int32_t aPeriod, int32_t aDuty, int32_t aSafe, int32_t aLag) {
  return TzFields{{{TzOutputField::ShimPeriod, aPeriod},
                   {TzOutputField::ShimKoef, aDuty},
                   {TzOutputField::ShimKoefSecure, aSafe},
                   {TzOutputField::LogicLag, aLag}}, {}};
}

}  // namespace

TEST(OutputParams, TagsOfEachOutput) {
  EXPECT_EQ(OutputBase(1), 4096);
  EXPECT_EQ(OutputBase(6), 4736);
  const TzOutputTags t = OutputTags(3);
  EXPECT_EQ(std::vector<int32_t>({t.State, t.Status, t.Duty, t.Period, t.SafeDuty, t.Inversion, t.Function, t.X, t.Y,
                                  t.DelayType, t.Delay}),
            std::vector<int32_t>({4352, 5352, 4357, 4360, 4361, 4368, 5368, 4369, 4370, 4371, 4372}));
}

TEST(OutputParams, ReadingTakesGoodValuesOnlyAndSetsCanModify) {
  // Output 2 with function 3; its safe duty has no good value.
  const std::map<int32_t, int32_t> good = {{4229, 250}, {4232, 20},  {4240, 1},   {5240, 3},
                                           {4241, 4},   {4242, 5},   {4243, 2},   {4244, 7}};
  TzDiscretOutParams p;
  p.ShimKoefSecure = 77;
  ReadOutputParams([&](int32_t aID, int32_t& aValue) {
    const auto it = good.find(aID);
    if (it == good.end()) return false;
    aValue = it->second;
    return true;
  }, 2, p);
  EXPECT_EQ(std::vector<int32_t>({p.ShimKoef, p.ShimPeriod, p.ShimKoefSecure, p.LogicInv, p.LogicFunc, p.LogicX,
                                  p.LogicY, p.LogicType, p.LogicLag}),
            std::vector<int32_t>({250, 20, 77, 1, 3, 4, 5, 2, 7}));
  EXPECT_FALSE(p.CanModify);
}

TEST(OutputParams, ApplyWritesPwmThenLogicWithTheFunctionLast) {
  TzRecordingSink sink;
  TzFields fields = ValidFields(10, 500, 300, 5);
  TzDiscretOutParams p;
  p.CanModify = true;
  const TzOutputLogicChoice choice{.FuncIndex = 1, .TypeIndex = 2, .XIndex = 2, .YIndex = 1, .Inverted = true};
  EXPECT_EQ(ApplyOutputParams(sink, 1, p, fields.Reader(), choice), TzApplyOutcome::Applied);
  EXPECT_EQ(fields.Asked, std::vector<TzOutputField>({TzOutputField::ShimPeriod, TzOutputField::ShimKoef,
                                                      TzOutputField::ShimKoefSecure, TzOutputField::LogicLag}));
  const std::vector<TzWrite> expected = {{4101, 500, true},  {4104, 10, true}, {4105, 300, true}, {4112, 1, true},
                                         {4113, 3, true},    {4114, 2, true},  {4115, 2, true},   {4116, 5, true},
                                         {5112, 1, false}};
  EXPECT_EQ(sink.Writes, expected);
  EXPECT_EQ(p.LogicFunc, 1);
  EXPECT_EQ(p.LogicX, 3);
  EXPECT_EQ(p.LogicY, 2);
  EXPECT_EQ(p.LogicType, 2);
  EXPECT_EQ(p.LogicInv, 1);
  EXPECT_FALSE(p.CanModify);  // the function now runs
}

// Each failing field stops Apply before any write; the fields before it are stored.
TEST(OutputParams, AFailingFieldStopsApplyBeforeAnyWrite) {
  struct Case {
    const char* name;
    TzFields fields;
    int32_t storedPeriod, storedDuty, storedLag;
  };
  const Case cases[] = {
      {"period 0", ValidFields(0, 500, 0, 5), -1, -1, -1},
      {"period 65536", ValidFields(65536, 500, 0, 5), -1, -1, -1},
      {"duty 1001", ValidFields(10, 1001, 0, 5), 10, -1, -1},
      {"safe duty -1", ValidFields(10, 500, -1, 5), 10, 500, -1},
      // The delay's range starts at 1, whatever function is chosen.
      {"delay 0 with Откл.", ValidFields(10, 500, 0, 0), 10, 500, -1},
  };
  for (Case c : cases) {
    SCOPED_TRACE(c.name);
    TzRecordingSink sink;
    TzDiscretOutParams p{.ShimPeriod = -1, .ShimKoef = -1, .LogicLag = -1, .CanModify = true};
    EXPECT_EQ(ApplyOutputParams(sink, 1, p, c.fields.Reader(), TzOutputLogicChoice{}), TzApplyOutcome::FieldInvalid);
    EXPECT_TRUE(sink.Writes.empty());
    EXPECT_EQ(p.ShimPeriod, c.storedPeriod);
    EXPECT_EQ(p.ShimKoef, c.storedDuty);
    EXPECT_EQ(p.LogicLag, c.storedLag);
  }
}

// Output 3 runs function 2 in the module: "Сигнал" is refused after the PWM
// writes; "Откл." writes function 0 and makes the fields editable again.
TEST(OutputParams, ARunningFunctionIsOnlyReplacedByOff) {
  TzDiscretOutParams p{.LogicFunc = 2, .LogicX = 1, .LogicY = 2, .CanModify = false};
  TzFields fields = ValidFields(100, 0, 0, 5);
  EXPECT_FALSE(LogicFuncAllowed(p, 1));
  EXPECT_FALSE(LogicFieldsEditable(0, p.CanModify));

  TzRecordingSink refused;
  EXPECT_EQ(ApplyOutputParams(refused, 3, p, fields.Reader(), TzOutputLogicChoice{.FuncIndex = 1}),
            TzApplyOutcome::LogicRefused);
  EXPECT_EQ(refused.Writes, std::vector<TzWrite>({{4357, 0, true}, {4360, 100, true}, {4361, 0, true}}));
  EXPECT_EQ(p.LogicFunc, 2);

  TzRecordingSink off;
  EXPECT_EQ(ApplyOutputParams(off, 3, p, fields.Reader(), TzOutputLogicChoice{.FuncIndex = 0}),
            TzApplyOutcome::Applied);
  ASSERT_EQ(off.Writes.size(), 9u);
  EXPECT_EQ(off.Writes.back(), TzWrite(5368, 0, false));
  EXPECT_TRUE(p.CanModify);
  EXPECT_TRUE(LogicFieldsEditable(0, p.CanModify));
  EXPECT_FALSE(LogicFieldsEditable(1, p.CanModify));
}

TEST(OutputParams, SwitchingARelayWritesItsStateCoilUnforced) {
  TzRecordingSink sink;
  EXPECT_TRUE(WriteOutputState(sink, 1, true));
  EXPECT_TRUE(WriteOutputState(sink, 6, false));
  EXPECT_FALSE(WriteOutputState(sink, 0, true));
  EXPECT_FALSE(WriteOutputState(sink, 7, true));
  EXPECT_EQ(sink.Writes, (std::vector<TzWrite>{{4096, 1, false}, {4736, 0, false}}));
}
