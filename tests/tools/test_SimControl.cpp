// The control channel's commands.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "SimTestSupport.h"
#include "uSimControl.h"

namespace {

struct TzCommandCase {
  const char* Line;
  TzSimCommandResult Result;
  std::function<bool(TzSimFixture&)> Holds;  // checked after the command
};

TEST(SimControl, CommandsChangeTheModule) {
  const TzCommandCase cases[] = {
      {"inputs 0x0805", TzSimCommandResult::Ok, [](TzSimFixture& s) { return s.Module.Inputs() == 0x0805; }},
      {"inputs 2053", TzSimCommandResult::Ok, [](TzSimFixture& s) { return s.ReadHolding(60070) == 0x0805; }},
      {"input 12 on", TzSimCommandResult::Ok, [](TzSimFixture& s) { return s.Module.Inputs() == 0x0800; }},
      {"  input 3 1 ", TzSimCommandResult::Ok, [](TzSimFixture& s) { return s.Module.Inputs() == 0x0004; }},
      {"demo on", TzSimCommandResult::Ok, [](TzSimFixture& s) { return s.Module.Inputs() == 0x0001; }},
      {"type 75", TzSimCommandResult::Ok, [](TzSimFixture& s) { return s.ReadInput(0x9000) == 75; }},
      {"supply 12.5 24", TzSimCommandResult::Ok, [](TzSimFixture& s) { return s.ReadInput(36881) == 2; }},
      {"fault delay 300", TzSimCommandResult::Ok, [](TzSimFixture& s) { return s.Module.Faults().DelayMs == 300; }},
      {"fault drop 25", TzSimCommandResult::Ok, [](TzSimFixture& s) { return s.Module.Faults().DropPercent == 25; }},
      {"fault crc 100", TzSimCommandResult::Ok, [](TzSimFixture& s) { return s.Module.Faults().CrcPercent == 100; }},
      {"fault from 5", TzSimCommandResult::Ok, [](TzSimFixture& s) { return s.Module.Faults().FromAddress == 5; }},
      {"fault noise 4", TzSimCommandResult::Ok, [](TzSimFixture& s) { return s.Module.Faults().NoiseBytes == 4; }},
      {"fault exception 60070 2", TzSimCommandResult::Ok,
       [](TzSimFixture& s) { return s.Ask({3, 0xEA, 0xA6, 0, 1}) == std::vector<uint8_t>{0x83, 2}; }},
      // A refused write, while the register still reads.
      {"fault write-exception 4104 4", TzSimCommandResult::Ok,
       [](TzSimFixture& s) { return s.WriteHolding(4104, 10) == 4 && s.ReadHolding(4104) == 100; }},
      {"quit", TzSimCommandResult::Quit, [](TzSimFixture&) { return true; }},
      {"", TzSimCommandResult::Ok, [](TzSimFixture&) { return true; }},
      {"# a comment", TzSimCommandResult::Ok, [](TzSimFixture&) { return true; }},
      // Refused commands leave the module alone.
      {"inputs 0x1000", TzSimCommandResult::Error, [](TzSimFixture& s) { return s.Module.Inputs() == 0; }},
      {"inputs", TzSimCommandResult::Error, [](TzSimFixture& s) { return s.Module.Inputs() == 0; }},
      {"input 13 on", TzSimCommandResult::Error, [](TzSimFixture& s) { return s.Module.Inputs() == 0; }},
      {"input 1 maybe", TzSimCommandResult::Error, [](TzSimFixture& s) { return s.Module.Inputs() == 0; }},
      {"type -1", TzSimCommandResult::Error, [](TzSimFixture& s) { return s.ReadInput(0x9000) == 74; }},
      {"type 75x", TzSimCommandResult::Error, [](TzSimFixture& s) { return s.ReadInput(0x9000) == 74; }},
      {"supply 24", TzSimCommandResult::Error, [](TzSimFixture& s) { return s.ReadInput(36881) == 3; }},
      {"fault drop 101", TzSimCommandResult::Error, [](TzSimFixture& s) { return !s.Module.Faults().Any(); }},
      {"fault exception 60070 0", TzSimCommandResult::Error, [](TzSimFixture& s) { return !s.Module.Faults().Any(); }},
      {"fault write-exception 4104", TzSimCommandResult::Ok, [](TzSimFixture& s) { return !s.Module.Faults().Any(); }},
      {"fault", TzSimCommandResult::Error, [](TzSimFixture& s) { return !s.Module.Faults().Any(); }},
      {"fault sometimes", TzSimCommandResult::Error, [](TzSimFixture& s) { return !s.Module.Faults().Any(); }},
      {"reboot", TzSimCommandResult::Error, [](TzSimFixture&) { return true; }},
  };
  for (const TzCommandCase& c : cases) {
    TzSimFixture sim;
    std::string reply;
    EXPECT_EQ(RunSimCommand(sim.Module, c.Line, reply), c.Result) << c.Line;
    if (c.Result == TzSimCommandResult::Error) {
      EXPECT_EQ(reply.rfind("error: ", 0), 0u) << c.Line << ": " << reply;
    }
    EXPECT_TRUE(c.Holds(sim)) << c.Line;
  }
}

TEST(SimControl, FaultOffClearsEveryFault) {
  TzSimFixture sim;
  std::string reply;
  for (const char* line : {"fault delay 10", "fault crc 50", "fault exception 4101 4", "fault from 3"}) {
    ASSERT_EQ(RunSimCommand(sim.Module, line, reply), TzSimCommandResult::Ok) << line;
  }
  ASSERT_EQ(RunSimCommand(sim.Module, "fault exception 4101 off", reply), TzSimCommandResult::Ok);
  EXPECT_TRUE(sim.Module.Faults().Exceptions.empty());
  ASSERT_EQ(RunSimCommand(sim.Module, "fault off", reply), TzSimCommandResult::Ok);
  EXPECT_FALSE(sim.Module.Faults().Any());
  EXPECT_EQ(sim.ReadInput(0x9000), 74);
}

TEST(SimControl, StatusAndHelpAnswerWithText) {
  TzSimFixture sim;
  std::string reply;
  ASSERT_EQ(RunSimCommand(sim.Module, "inputs 0x0805", reply), TzSimCommandResult::Ok);
  EXPECT_EQ(reply, "ok");
  ASSERT_EQ(RunSimCommand(sim.Module, "status", reply), TzSimCommandResult::Ok);
  EXPECT_NE(reply.find("address 16"), std::string::npos) << reply;
  EXPECT_NE(reply.find("inputs 0x0805"), std::string::npos) << reply;
  ASSERT_EQ(RunSimCommand(sim.Module, "help", reply), TzSimCommandResult::Ok);
  EXPECT_NE(reply.find("fault exception REG CODE"), std::string::npos);
}

}  // namespace
