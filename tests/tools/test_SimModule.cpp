// The virtual module's answers to request frames, fed to it directly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimTestSupport.h"
#include "uSimRegisterMap.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct TzPduCase {
  const char* Name;
  Bytes Request;  // PDU to address 16
  Bytes Answer;   // expected answer PDU
};

class SimPduTest : public ::testing::TestWithParam<TzPduCase> {};

TEST_P(SimPduTest, AnswersAsTheModbusLayoutsSay) {
  TzSimFixture sim;
  sim.Module.SetInputs(0x0805);
  const TzPduCase& c = GetParam();
  std::vector<uint8_t> frame{16};
  frame.insert(frame.end(), c.Request.begin(), c.Request.end());
  const TzSimReply reply = sim.Module.HandleFrame(WithCrc(frame));
  std::vector<uint8_t> expected{16};
  expected.insert(expected.end(), c.Answer.begin(), c.Answer.end());
  EXPECT_EQ(reply.Bytes, WithCrc(expected)) << reply.Note;
}

INSTANTIATE_TEST_SUITE_P(
    Functions, SimPduTest,
    ::testing::Values(
        TzPduCase{"DeviceType", {4, 0x90, 0x00, 0, 1}, {4, 2, 0, 74}},
        TzPduCase{"Identity", {4, 0x90, 0x01, 0, 5}, {4, 10, 0, 3, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9A, 0, 105}},
        TzPduCase{"SupplyFloatHighHalfFirst", {4, 0x60, 0x07, 0, 2}, {4, 4, 0x41, 0xC0, 0xCC, 0xCD}},
        TzPduCase{"SupplyMillivolts", {4, 0x60, 0x06, 0, 1}, {4, 2, 0x5E, 0x24}},
        TzPduCase{"InputsRegister", {3, 0xEA, 0xA6, 0, 1}, {3, 2, 0x08, 0x05}},
        TzPduCase{"InputsAsDiscreteInputs", {2, 0, 0, 0, 12}, {2, 2, 0x05, 0x08}},
        TzPduCase{"DefaultPwmBlock", {3, 0x10, 0x08, 0, 2}, {3, 4, 0, 100, 0, 0}},
        TzPduCase{"CoilsPackedLowBitFirst", {1, 0x00, 0x01, 0, 2}, {1, 1, 0}},
        TzPduCase{"SingleWriteEchoes", {6, 0x10, 0x05, 0x01, 0xF4}, {6, 0x10, 0x05, 0x01, 0xF4}},
        TzPduCase{"MultipleWriteAnswersRange", {16, 0x10, 0x08, 0, 2, 4, 0, 20, 1, 0x2C}, {16, 0x10, 0x08, 0, 2}},
        TzPduCase{"MultipleCoilWrite", {15, 0x00, 0x01, 0, 2, 1, 0x02}, {15, 0x00, 0x01, 0, 2}},
        // exception 1: functions the module does not have
        TzPduCase{"Function7", {7}, {0x87, 1}},
        TzPduCase{"ReportServerId", {17}, {0x91, 1}},
        TzPduCase{"Function23", {23, 0, 0, 0, 1, 0, 0, 0, 1, 2, 0, 0}, {0x97, 1}},
        // exception 2: outside the map
        TzPduCase{"UnmappedHolding", {3, 0, 100, 0, 1}, {0x83, 2}},
        TzPduCase{"InputRegisterAsHolding", {3, 0x90, 0x00, 0, 1}, {0x83, 2}},
        TzPduCase{"ReadOverGap", {4, 0x90, 0x00, 0, 18}, {0x84, 2}},
        TzPduCase{"ReadPastEndOfAddressSpace", {3, 0xFF, 0xFF, 0, 2}, {0x83, 2}},
        TzPduCase{"CommandIsWriteOnly", {3, 0xEA, 0x60, 0, 1}, {0x83, 2}},
        TzPduCase{"WriteOfInputRegister", {6, 0x90, 0x00, 0, 75}, {0x86, 2}},
        TzPduCase{"MultipleWriteOverGap", {16, 0x10, 0x05, 0, 2, 4, 0, 1, 0, 1}, {0x90, 2}},
        TzPduCase{"CoilWriteOverGap", {15, 0x10, 0x00, 0, 2, 1, 0x03}, {0x8F, 2}},
        TzPduCase{"UnmappedDiscreteInput", {2, 0, 12, 0, 1}, {0x82, 2}},
        // exception 3: quantities and values
        TzPduCase{"ZeroQuantity", {3, 0x10, 0x05, 0, 0}, {0x83, 3}},
        TzPduCase{"TooManyRegisters", {4, 0x90, 0x00, 0, 126}, {0x84, 3}},
        TzPduCase{"TooManyCoils", {1, 0, 1, 0x07, 0xD1}, {0x81, 3}},
        TzPduCase{"CoilValueNotFF00", {5, 0x10, 0x00, 0x00, 0x01}, {0x85, 3}},
        TzPduCase{"CoilValue00FF", {5, 0x10, 0x00, 0xFF, 0xFF}, {0x85, 3}},
        TzPduCase{"ByteCountMismatch", {16, 0x10, 0x08, 0, 1, 4, 0, 20, 0, 0}, {0x90, 3}},
        TzPduCase{"DutyAbove100Percent", {6, 0x10, 0x05, 0x03, 0xE9}, {0x86, 3}},
        TzPduCase{"PeriodZero", {6, 0x10, 0x08, 0, 0}, {0x86, 3}},
        TzPduCase{"SourceInput13", {6, 0x10, 0x11, 0, 13}, {0x86, 3}},
        TzPduCase{"LogicFunction8", {6, 0x10, 0x10, 0, 8}, {0x86, 3}},
        TzPduCase{"AddressZero", {6, 0x70, 0x04, 0, 0}, {0x86, 3}},
        TzPduCase{"Address248", {6, 0x70, 0x04, 0, 248}, {0x86, 3}},
        TzPduCase{"BaudCode10", {6, 0x70, 0x00, 0, 10}, {0x86, 3}},
        TzPduCase{"AsciiFormat", {6, 0x70, 0x01, 0, 1}, {0x86, 3}},
        TzPduCase{"NetTimeout601", {6, 0x70, 0x08, 0x02, 0x59}, {0x86, 3}},
        TzPduCase{"OtherCommand", {6, 0xEA, 0x60, 0, 1}, {0x86, 3}},
        TzPduCase{"OutputsMaskBit6", {6, 0xEA, 0x9E, 0, 0x40}, {0x86, 3}},
        // exception 4: refused
        TzPduCase{"InputsAreNotWritten", {6, 0xEA, 0xA6, 0, 1}, {0x86, 4}}),
    [](const ::testing::TestParamInfo<TzPduCase>& aInfo) { return std::string(aInfo.param.Name); });

TEST(SimRegisterMap, HoldsTheTemplatePointsOnce) {
  // Spot points of each table; the block of output 6 ends at 4756.
  EXPECT_EQ(FindSimPoint(TzSimTable::Coil, 4096)->Kind, TzSimKind::OutputState);
  EXPECT_EQ(FindSimPoint(TzSimTable::InputRegister, 4096)->Kind, TzSimKind::OutputStatus);
  EXPECT_EQ(FindSimPoint(TzSimTable::Coil, 4752)->Kind, TzSimKind::LogicInversion);
  EXPECT_EQ(FindSimPoint(TzSimTable::HoldingRegister, 4752)->Kind, TzSimKind::LogicFunction);
  EXPECT_EQ(FindSimPoint(TzSimTable::HoldingRegister, 4756)->Index, 6);
  EXPECT_EQ(FindSimPoint(TzSimTable::Coil, 1409)->Kind, TzSimKind::CounterReset);
  EXPECT_EQ(FindSimPoint(TzSimTable::Coil, 1410)->Index, 12);
  EXPECT_EQ(FindSimPoint(TzSimTable::HoldingRegister, 60082)->Index, 12);
  EXPECT_EQ(FindSimPoint(TzSimTable::HoldingRegister, 60083), nullptr);
  EXPECT_EQ(FindSimPoint(TzSimTable::HoldingRegister, 4102), nullptr);
  EXPECT_EQ(FindSimPoint(TzSimTable::InputRegister, 36870), nullptr);
  const auto map = SimRegisterMap();
  for (size_t i = 1; i < map.size(); ++i) {
    EXPECT_TRUE(map[i - 1].Table != map[i].Table || map[i - 1].Reg < map[i].Reg) << map[i].Reg;
  }
}

TEST(SimModule, FramesThatGetNoAnswer) {
  TzSimFixture sim;
  Bytes good = WithCrc({16, 4, 0x90, 0x00, 0, 1});
  Bytes badCrc = good;
  badCrc.back() ^= 1;
  EXPECT_FALSE(sim.Module.HandleFrame(good).Bytes.empty());
  EXPECT_TRUE(sim.Module.HandleFrame(badCrc).Bytes.empty());
  EXPECT_TRUE(sim.Module.HandleFrame(WithCrc({17, 4, 0x90, 0x00, 0, 1})).Bytes.empty());
  EXPECT_TRUE(sim.Module.HandleFrame(WithCrc({0, 4, 0x90, 0x00, 0, 1})).Bytes.empty());
  EXPECT_TRUE(sim.Module.HandleFrame(Bytes{16, 4, 0x90}).Bytes.empty());
  EXPECT_TRUE(sim.Module.HandleFrame(Bytes{}).Bytes.empty());
}

TEST(SimModule, BroadcastWritesAreCarriedOutSilently) {
  TzSimFixture sim;
  EXPECT_TRUE(sim.Module.HandleFrame(WithCrc({0, 6, 0x10, 0x05, 0x01, 0x2C})).Bytes.empty());
  EXPECT_TRUE(sim.Module.HandleFrame(WithCrc({0, 5, 0x11, 0x00, 0xFF, 0x00})).Bytes.empty());
  EXPECT_EQ(sim.ReadHolding(4101), 300);
  EXPECT_EQ(sim.ReadCoil(4352), 1);
  // A refused broadcast changes nothing and says nothing either.
  EXPECT_TRUE(sim.Module.HandleFrame(WithCrc({0, 6, 0x10, 0x05, 0x07, 0xD0})).Bytes.empty());
  EXPECT_EQ(sim.ReadHolding(4101), 300);
}

TEST(SimModule, DeviceTypeCanBeChanged) {
  TzSimFixture sim;
  sim.Module.SetDeviceType(75);
  EXPECT_EQ(sim.ReadInput(0x9000), 75);
}

// Switching an output directly sets its duty to 0 % or 100 %, by coil or by
// the outputs' state register; register 60062 and the status show the relays.
TEST(SimModule, DirectSwitchingSetsDuty) {
  TzSimFixture sim;
  ASSERT_EQ(sim.WriteCoil(4224, true), 0);
  EXPECT_EQ(sim.ReadHolding(4224 + 5), 1000);
  EXPECT_EQ(sim.ReadHolding(60062), 0x02);
  EXPECT_EQ(sim.ReadInput(4224) & 1, 1);
  ASSERT_EQ(sim.WriteHolding(60062, 0x21), 0);
  EXPECT_EQ(sim.ReadHolding(4224 + 5), 0);
  EXPECT_EQ(sim.ReadHolding(4096 + 5), 1000);
  EXPECT_EQ(sim.ReadHolding(4736 + 5), 1000);
  EXPECT_EQ(sim.ReadCoil(4736), 1);
  EXPECT_EQ(sim.ReadCoil(4224), 0);
  EXPECT_EQ(sim.Module.Relays(), 0x21);
}

TEST(SimModule, PwmTogglesTheRelayWithItsPeriod) {
  TzSimFixture sim;
  ASSERT_EQ(sim.WriteHolding(4096 + 8, 10), 0);   // 1 s, cycle restarts now
  ASSERT_EQ(sim.WriteHolding(4096 + 5, 250), 0);  // 25 %: on 250 ms, off 750 ms
  EXPECT_EQ(sim.ReadCoil(4096), 1);
  EXPECT_EQ(sim.ReadInput(4096), 0b011);  // closed, PWM cycling
  sim.Wait(249);
  EXPECT_EQ(sim.ReadCoil(4096), 1);
  sim.Wait(1);
  EXPECT_EQ(sim.ReadCoil(4096), 0);
  EXPECT_EQ(sim.ReadInput(4096), 0b010);
  sim.Wait(750);
  EXPECT_EQ(sim.ReadCoil(4096), 1);
  // A new duty keeps the running cycle; a new period restarts it.
  sim.Wait(100);
  ASSERT_EQ(sim.WriteHolding(4096 + 5, 500), 0);
  EXPECT_EQ(sim.ReadCoil(4096), 1);
  sim.Wait(400);
  EXPECT_EQ(sim.ReadCoil(4096), 0);  // 500 ms into the cycle
  ASSERT_EQ(sim.WriteHolding(4096 + 8, 10), 0);
  EXPECT_EQ(sim.ReadCoil(4096), 1);
}

// The relay-logic modify rule, in the order the steps run.
TEST(SimModule, RelayLogicModifyRule) {
  TzSimFixture sim;
  const int b = 4352;  // output 3
  struct TzStep {
    int Reg;
    int Value;
    int Code;
  };
  const TzStep steps[] = {
      {b + 19, 1, 0},   // delay type while off
      {b + 20, 7, 0},   // delay while off
      {b + 16, 2, 0},   // function from 0: allowed
      {b + 16, 3, 4},   // another function while one runs
      {b + 16, 2, 4},   // even the same one
      {b + 19, 1, 0},   // delay type unchanged
      {b + 19, 2, 4},   // delay type changed while running
      {b + 20, 7, 0},   // delay unchanged
      {b + 20, 8, 4},   // delay changed while running
      {b + 17, 4, 0},   // sources may change
      {b + 18, 5, 0},
      {b + 16, 0, 0},   // gating off is always allowed
      {b + 20, 8, 0},   // and then the delay changes again
      {b + 16, 5, 0},
  };
  for (const TzStep& step : steps) {
    EXPECT_EQ(sim.WriteHolding(step.Reg, step.Value), step.Code)
        << "register " << step.Reg << " := " << step.Value;
  }
  EXPECT_EQ(sim.ReadHolding(b + 16), 5);
  EXPECT_EQ(sim.ReadHolding(b + 19), 1);
  EXPECT_EQ(sim.ReadHolding(b + 20), 8);
  EXPECT_EQ(sim.ReadHolding(b + 17), 4);
}

TEST(SimModule, RefusedMultipleWriteLeavesEverythingAsItWas) {
  TzSimFixture sim;
  // Function 2 first, then a delay type change: the change is refused while
  // the function runs, so none of the five values stays.
  const Bytes answer = sim.Ask({16, 0x10, 0x10, 0, 5, 10, 0, 2, 0, 3, 0, 4, 0, 1, 0, 9});
  EXPECT_EQ(answer, (Bytes{0x90, 4}));
  EXPECT_EQ(sim.ReadHolding(4096 + 16), 0);
  EXPECT_EQ(sim.ReadHolding(4096 + 17), 1);
  EXPECT_EQ(sim.ReadHolding(4096 + 20), 5);
}

TEST(SimModule, RelayFollowsLogicAndInversion) {
  TzSimFixture sim;
  ASSERT_EQ(sim.WriteHolding(4096 + 17, 3), 0);  // X = input 3
  ASSERT_EQ(sim.WriteHolding(4096 + 16, 1), 0);  // signal
  EXPECT_EQ(sim.ReadCoil(4096), 0);
  EXPECT_EQ(sim.ReadInput(4096), 0b100);
  sim.Module.SetInputs(0x0004);
  EXPECT_EQ(sim.ReadCoil(4096), 1);
  ASSERT_EQ(sim.WriteCoil(4096 + 16, true), 0);  // inversion after the function
  EXPECT_EQ(sim.ReadCoil(4096), 0);
  EXPECT_EQ(sim.ReadCoil(4096 + 16), 1);
  ASSERT_EQ(sim.WriteHolding(4096 + 16, 0), 0);  // back to PWM, duty 0
  EXPECT_EQ(sim.ReadCoil(4096), 0);
}

TEST(SimModule, CountersCountRisingEdgesAndReset) {
  TzSimFixture sim;
  for (int i = 0; i < 3; ++i) {
    sim.Module.SetInput(1, true);
    sim.Module.SetInput(1, false);
  }
  sim.Module.SetInputs(0x0802);
  sim.Module.SetInputs(0x0802);  // no edge
  const Bytes block = sim.Ask({3, 0xEA, 0xA7, 0, 12});
  ASSERT_EQ(block.size(), 26u);
  EXPECT_EQ(block[3], 3);   // input 1
  EXPECT_EQ(block[5], 1);   // input 2
  EXPECT_EQ(block[25], 1);  // input 12
  ASSERT_EQ(sim.WriteCoil(1, true), 0);  // reset input 1
  EXPECT_EQ(sim.Module.Counter(1), 0);
  EXPECT_EQ(sim.Module.Counter(2), 1);
  ASSERT_EQ(sim.WriteCoil(129, false), 0);  // 0 resets nothing
  EXPECT_EQ(sim.Module.Counter(2), 1);
  ASSERT_EQ(sim.WriteHolding(60069, 0x0802), 0);
  EXPECT_EQ(sim.Module.Counter(2), 0);
  EXPECT_EQ(sim.Module.Counter(12), 0);
  ASSERT_EQ(sim.WriteHolding(60071 + 4, 65535), 0);  // preset input 5
  sim.Module.SetInput(5, true);
  EXPECT_EQ(sim.ReadHolding(60071 + 4), 0);  // wraps
}

TEST(SimModule, OnlyTwelveInputsExist) {
  TzSimFixture sim;
  sim.Module.SetInputs(0xF805);
  EXPECT_EQ(sim.ReadHolding(60070), 0x0805);
  sim.Module.SetInput(13, true);
  EXPECT_EQ(sim.Module.Inputs(), 0x0805);
}

TEST(SimModule, FilterCoilsShowInRegister60018) {
  TzSimFixture sim;
  ASSERT_EQ(sim.WriteCoil(2, true), 0);    // input 1: 5.5 ms
  ASSERT_EQ(sim.WriteCoil(770, true), 0);  // input 7
  EXPECT_EQ(sim.ReadHolding(60018), 0x0041);
  ASSERT_EQ(sim.WriteHolding(60018, 0x0005), 0);
  EXPECT_EQ(sim.ReadCoil(2), 1);
  EXPECT_EQ(sim.ReadCoil(130), 0);
  EXPECT_EQ(sim.ReadCoil(258), 1);
  EXPECT_EQ(sim.ReadCoil(770), 0);
}

TEST(SimModule, RestartPutsStoredSettingsInEffect) {
  TzSimFixture sim;
  ASSERT_EQ(sim.WriteHolding(28676, 17), 0);
  ASSERT_EQ(sim.WriteHolding(28672, 5), 0);
  ASSERT_EQ(sim.WriteHolding(28673, 7), 0);
  ASSERT_EQ(sim.WriteHolding(4096 + 9, 300), 0);  // safe duty
  ASSERT_EQ(sim.WriteHolding(4096 + 5, 700), 0);
  // Stored, not yet in effect.
  EXPECT_EQ(sim.ReadHolding(28676), 17);
  EXPECT_EQ(sim.Module.Line().Address, 16);
  const uint32_t generation = sim.Module.LineGeneration();
  ASSERT_EQ(sim.WriteHolding(60000, 21930), 0);  // answered, then silent
  EXPECT_TRUE(sim.Module.Restarting());
  EXPECT_EQ(sim.ReadInput(0x9000), -1);
  sim.Wait(500);
  EXPECT_EQ(sim.ReadInput(0x9000), -1);
  EXPECT_EQ(sim.ReadInput(0x9000), -1);
  sim.Wait(500);
  EXPECT_EQ(sim.ReadInput(0x9000), -1);  // the old address is gone
  EXPECT_FALSE(sim.Ask({4, 0x90, 0x00, 0, 1}, 17).empty());
  const TzSimLine line = sim.Module.Line();
  EXPECT_EQ(line.Address, 17);
  EXPECT_EQ(line.BaudCode, 5);
  EXPECT_EQ(line.FormatCode, 7);
  EXPECT_EQ(sim.Module.LineGeneration(), generation + 1);
  // At start-up the duty is the safe value.
  const Bytes duty = sim.Ask({3, 0x10, 0x05, 0, 1}, 17);
  EXPECT_EQ(duty, (Bytes{3, 2, 0x01, 0x2C}));
}

TEST(SimModule, NetworkTimeoutSwitchesToSafeDuty) {
  TzSimFixture sim;
  ASSERT_EQ(sim.WriteHolding(28680, 2), 0);
  ASSERT_EQ(sim.WriteHolding(60000, 21930), 0);
  sim.Wait(1000);
  ASSERT_EQ(sim.WriteHolding(4096 + 9, 100), 0);
  ASSERT_EQ(sim.WriteHolding(4096 + 5, 500), 0);
  sim.Wait(1999);
  sim.Module.Tick();
  EXPECT_EQ(sim.ReadHolding(4096 + 5), 500);  // a request came in time
  sim.Wait(2000);
  sim.Module.Tick();
  EXPECT_EQ(sim.ReadInput(4096) & 8, 8);     // emergency shows in the status
  EXPECT_EQ(sim.ReadHolding(4096 + 5), 100);  // and is not undone when it ends
  EXPECT_EQ(sim.ReadInput(4096) & 8, 0);
}

TEST(SimModule, ClockRunsAndTakesWrites) {
  TzSimFixture sim;
  // 2021-12-31 23:59:58 in one write.
  ASSERT_EQ(sim.Ask({16, 0x80, 0x00, 0, 6, 12, 0x07, 0xE5, 0, 12, 0, 31, 0, 23, 0, 59, 0, 58}),
            (Bytes{16, 0x80, 0x00, 0, 6}));
  sim.Wait(3000);
  const Bytes clock = sim.Ask({3, 0x80, 0x00, 0, 6});
  EXPECT_EQ(clock, (Bytes{3, 12, 0x07, 0xE6, 0, 1, 0, 1, 0, 0, 0, 0, 0, 1}));
}

TEST(SimModule, ClockSetFieldByFieldAsThePanelDoes) {
  struct TzCase {
    TzSimDateTime From;
    TzSimDateTime To;
  };
  const TzCase cases[] = {
      {{2021, 3, 31, 10, 0, 0}, {2022, 4, 15, 8, 30, 5}},   // 31 April on the way: day moves to 30
      {{2023, 1, 31, 0, 0, 0}, {2024, 2, 29, 23, 59, 59}},  // leap day
      {{2024, 2, 29, 12, 0, 0}, {2023, 2, 28, 12, 0, 0}},
      {{2021, 4, 30, 0, 0, 0}, {2021, 5, 31, 0, 0, 0}},
  };
  for (const TzCase& c : cases) {
    TzSimFixture sim;
    for (int field = 0; field < 6; ++field) {
      ASSERT_EQ(sim.WriteHolding(32768 + field, c.From[static_cast<size_t>(field)]), 0);
    }
    for (int field = 0; field < 6; ++field) {
      ASSERT_EQ(sim.WriteHolding(32768 + field, c.To[static_cast<size_t>(field)]), 0) << field;
    }
    for (int field = 0; field < 6; ++field) {
      EXPECT_EQ(sim.ReadHolding(32768 + field), c.To[static_cast<size_t>(field)]) << field;
    }
  }
}

TEST(SimModule, ImpossibleDateOrTimeIsRefused) {
  struct TzCase {
    int Field;
    int Value;
  };
  // Clock at 2023-04-30 12:00:00 for each case.
  const TzCase cases[] = {{2, 31}, {1, 13}, {1, 0}, {2, 0}, {3, 24}, {4, 60}, {5, 60}, {0, 1999}, {0, 2100}};
  for (const TzCase& c : cases) {
    TzSimFixture sim;
    const int start[6] = {2023, 4, 30, 12, 0, 0};
    for (int field = 0; field < 6; ++field) ASSERT_EQ(sim.WriteHolding(32768 + field, start[field]), 0);
    EXPECT_EQ(sim.WriteHolding(32768 + c.Field, c.Value), 3) << c.Field << " := " << c.Value;
    for (int field = 0; field < 6; ++field) EXPECT_EQ(sim.ReadHolding(32768 + field), start[field]);
  }
  // 29 February only in a leap year; a block write with an impossible date changes nothing.
  TzSimFixture sim;
  EXPECT_EQ(sim.Ask({16, 0x80, 0x00, 0, 3, 6, 0x07, 0xE7, 0, 2, 0, 29}), (Bytes{0x90, 3}));
  EXPECT_EQ(sim.ReadHolding(32768), 2025);
  EXPECT_EQ(sim.ReadHolding(32769), 6);
  EXPECT_EQ(sim.Ask({16, 0x80, 0x00, 0, 3, 6, 0x07, 0xE8, 0, 2, 0, 29}), (Bytes{16, 0x80, 0x00, 0, 3}));
}

TEST(SimModule, DemoInputsWalkUntilSetExplicitly) {
  TzSimConfig config;
  config.DemoInputs = true;
  TzSimFixture sim(config);
  EXPECT_EQ(sim.Module.Inputs(), 0x0001);
  sim.Wait(600);
  EXPECT_EQ(sim.ReadHolding(60070), 0x0002);
  sim.Wait(600 * 11);
  EXPECT_EQ(sim.ReadHolding(60070), 0x0001);  // round again
  EXPECT_EQ(sim.Module.Counter(2), 1);
  EXPECT_EQ(sim.Module.Counter(1), 1);  // the start is no edge
  sim.Module.SetInputs(0x0805);
  sim.Wait(6000);
  EXPECT_EQ(sim.ReadHolding(60070), 0x0805);
}

TEST(SimModule, FaultsChangeTheAnswers) {
  const Bytes request = WithCrc({16, 4, 0x90, 0x00, 0, 1});
  const Bytes normal = WithCrc({16, 4, 2, 0, 74});
  {
    TzSimFixture sim;
    TzSimFaultSettings faults;
    faults.DropPercent = 50;
    sim.Module.SetFaults(faults);
    int answered = 0;
    for (int i = 0; i < 10; ++i) answered += sim.Module.HandleFrame(request).Bytes.empty() ? 0 : 1;
    EXPECT_EQ(answered, 5);
  }
  {
    TzSimFixture sim;
    TzSimFaultSettings faults;
    faults.CrcPercent = 100;
    faults.DelayMs = 300;
    sim.Module.SetFaults(faults);
    const TzSimReply reply = sim.Module.HandleFrame(request);
    ASSERT_EQ(reply.Bytes.size(), normal.size());
    EXPECT_TRUE(std::equal(normal.begin(), normal.end() - 2, reply.Bytes.begin()));
    EXPECT_NE(reply.Bytes, normal);
    EXPECT_EQ(reply.DelayMs, 300);
  }
  {
    TzSimFixture sim;
    TzSimFaultSettings faults;
    faults.FromAddress = 5;
    faults.NoiseBytes = 3;
    sim.Module.SetFaults(faults);
    const TzSimReply reply = sim.Module.HandleFrame(request);
    ASSERT_EQ(reply.Bytes.size(), normal.size() + 3);
    EXPECT_EQ(Bytes(reply.Bytes.begin() + 3, reply.Bytes.end()), WithCrc({5, 4, 2, 0, 74}));
  }
  {
    TzSimFixture sim;
    TzSimFaultSettings faults;
    faults.Exceptions[60070] = 2;
    faults.Exceptions[4101] = 4;
    sim.Module.SetFaults(faults);
    EXPECT_EQ(sim.Ask({3, 0xEA, 0xA6, 0, 1}), (Bytes{0x83, 2}));
    EXPECT_EQ(sim.WriteHolding(4101, 10), 4);
    EXPECT_EQ(sim.ReadHolding(4101), -1);
    EXPECT_EQ(sim.ReadHolding(4104), 100);  // other registers answer
    EXPECT_EQ(sim.ReadHolding(60062), 0);
    sim.Module.SetFaults({});
    EXPECT_EQ(sim.ReadHolding(4101), 0);
  }
}

}  // namespace
