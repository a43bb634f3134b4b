// The relay-logic functions of one output over time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "uSimOutput.h"

namespace {

struct TzStep {
  int64_t At;      // ms after the function started
  int Inputs;      // inputs from then on; -1 keeps them
  bool Relay;      // expected relay state at At
};

struct TzLogicCase {
  const char* Name;
  uint16_t Function;
  uint16_t DelayType;
  uint16_t Delay;  // tenths of a second
  bool Inverted;
  int StartInputs;
  std::vector<TzStep> Steps;
};

class SimLogicTest : public ::testing::TestWithParam<TzLogicCase> {};

// X is input 1 (bit 0), Y is input 2 (bit 1).
TEST_P(SimLogicTest, RelayFollowsTheFunction) {
  const TzLogicCase& c = GetParam();
  TzSimOutput output;
  output.SetX(1, 0, 0);
  output.SetY(2, 0, 0);
  output.SetDelayType(c.DelayType);
  output.SetDelay(c.Delay);
  output.SetInverted(c.Inverted);
  output.SetDuty(1000);  // PWM alone would close the relay
  auto inputs = static_cast<uint16_t>(c.StartInputs);
  output.SetFunction(c.Function, inputs, 0);
  for (const TzStep& step : c.Steps) {
    if (step.Inputs >= 0) {
      const auto next = static_cast<uint16_t>(step.Inputs);
      output.OnInputs(inputs, next, step.At);
      inputs = next;
    }
    EXPECT_EQ(output.Relay(step.At), step.Relay) << "at " << step.At << " ms";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Functions, SimLogicTest,
    ::testing::Values(
        TzLogicCase{"Signal", 1, 0, 5, false, 0, {{0, -1, false}, {10, 1, true}, {20, 2, false}}},
        TzLogicCase{"SignalInverted", 1, 0, 5, true, 0, {{0, -1, true}, {10, 1, false}}},
        TzLogicCase{"And", 2, 0, 5, false, 0, {{10, 1, false}, {20, 3, true}, {30, 2, false}}},
        TzLogicCase{"Or", 3, 0, 5, false, 0, {{0, -1, false}, {10, 2, true}, {20, 3, true}, {30, 0, false}}},
        TzLogicCase{"Xor", 4, 0, 5, false, 0, {{10, 1, true}, {20, 3, false}, {30, 2, true}}},
        TzLogicCase{"SignalAtStart", 1, 0, 5, false, 1, {{0, -1, true}}},
        // Single pulse of 1 s from a rising X; a new edge during the pulse does not extend it.
        TzLogicCase{"Pulse", 5, 0, 10, false, 0,
                    {{100, 1, true}, {200, 0, true}, {500, 1, true}, {1099, -1, true}, {1100, -1, false},
                     {1200, 0, false}, {1300, 1, true}, {2299, -1, true}, {2300, -1, false}}},
        TzLogicCase{"PulseIgnoresDelayType", 5, 1, 10, false, 0, {{100, 1, true}, {1100, -1, false}}},
        TzLogicCase{"PulseNeedsAnEdge", 5, 0, 10, false, 1, {{0, -1, false}, {100, 1, false}}},
        // RS flip-flop: X sets, Y resets, Y wins.
        TzLogicCase{"RsTrigger", 6, 0, 5, false, 0,
                    {{10, 1, true}, {20, 0, true}, {30, 2, false}, {40, 0, false}, {50, 3, false},
                     {60, 1, true}}},
        TzLogicCase{"ImpulseRelay", 7, 0, 5, false, 0,
                    {{10, 1, true}, {20, 0, true}, {30, 1, false}, {40, 3, false}, {50, 2, false},
                     {60, 3, true}}},
        // Delay of the rising edge by 0.5 s; a short signal never gets through.
        TzLogicCase{"RisingEdgeDelayed", 1, 1, 5, false, 0,
                    {{100, 1, false}, {599, -1, false}, {600, -1, true}, {700, 0, false}, {800, 1, false},
                     {1000, 0, false}, {1400, -1, false}}},
        // Delay of the falling edge by 0.5 s.
        TzLogicCase{"FallingEdgeDelayed", 1, 2, 5, false, 0,
                    {{0, -1, false}, {100, 1, true}, {200, 0, true}, {699, -1, true}, {700, -1, false}}},
        TzLogicCase{"DelayThenInversion", 1, 1, 5, true, 0,
                    {{0, -1, true}, {100, 1, true}, {600, -1, false}}}),
    [](const ::testing::TestParamInfo<TzLogicCase>& aInfo) { return std::string(aInfo.param.Name); });

TEST(SimOutput, PwmStatesAreAtLeast50ms) {
  TzSimOutput output;
  output.SetPeriod(10, 0);  // 1 s
  output.SetDuty(10);       // 1 %: 10 ms on would be too short
  EXPECT_TRUE(output.Relay(49));
  EXPECT_FALSE(output.Relay(50));
  EXPECT_FALSE(output.Relay(1039));
  EXPECT_TRUE(output.Relay(1040));  // cycle of 50 + 990 ms
}

TEST(SimOutput, RestartStartsWithTheSafeDuty) {
  TzSimOutput output;
  output.SetSafeDuty(1000);
  output.SetDuty(0);
  output.Restart(0, 0);
  EXPECT_EQ(output.Params().Duty, 1000);
  EXPECT_TRUE(output.Relay(10));
}

}  // namespace
