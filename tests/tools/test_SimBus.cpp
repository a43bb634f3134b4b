// The virtual bus: several devices on one line, each answering for itself;
// the control commands that address one of them; the strict line and the
// wire timing.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "SimTestSupport.h"
#include "uSimBus.h"
#include "uSimBusControl.h"
#include "uSimLineTime.h"

namespace {

using Bytes = std::vector<uint8_t>;

const TzSimTermLine k9600N1{9600, 1};

// Modules at 1 and 16, a foreign device of type 75 at 20 and one answering
// exception 2 for the type at 21, all at 9600 8N1, on a hand-driven clock.
struct TzBusFixture {
  TzBusFixture() {
    for (const int address : {1, 16}) {
      TzSimConfig config = TzSimFixture::StaticConfig();
      config.Address = address;
      Bus.AddModule(config, [time = Time] { return *time; });
    }
    Bus.AddForeign({.Address = 20, .Type = 75});
    Bus.AddForeign({.Address = 21, .ExceptionCode = 2});
  }

  // Every answer's bytes, in order; aFrame without its check sum.
  Bytes Ask(Bytes aFrame, const TzSimTermLine* aClient = nullptr) {
    Bytes all;
    for (const TzSimBusAnswer& answer : Bus.HandleFrame(WithCrc(std::move(aFrame)), aClient).Answers) {
      all.insert(all.end(), answer.Bytes.begin(), answer.Bytes.end());
    }
    return all;
  }
  Bytes AskType(int aAddress, const TzSimTermLine* aClient = nullptr) {
    return Ask({static_cast<uint8_t>(aAddress), 4, 0x90, 0x00, 0, 1}, aClient);
  }
  int Coil(int aAddress, int aReg) {
    const Bytes answer = Ask({static_cast<uint8_t>(aAddress), 1, static_cast<uint8_t>(aReg >> 8),
                              static_cast<uint8_t>(aReg & 0xFF), 0, 1});
    return answer.size() == 6 ? answer[3] & 1 : -1;
  }
  std::string Command(const std::string& aLine, TzSimCommandResult aExpected = TzSimCommandResult::Ok) {
    std::string reply;
    EXPECT_EQ(RunSimBusCommand(Bus, aLine, reply), aExpected) << aLine << ": " << reply;
    return reply;
  }
  void Wait(int64_t aMs) { Time->SteadyMs += aMs; }

  std::shared_ptr<TzSimTime> Time = std::make_shared<TzSimTime>(TzSimTime{TzSimFixture::kStartMs, TzSimFixture::kStartLocal});
  TzSimBus Bus;
};

TEST(SimBus, EachAddressAnswersForItselfAndAnAbsentOneStaysSilent) {
  struct Case {
    const char* what;
    Bytes request;  // without check sum
    Bytes answer;   // without check sum; empty: silence
  };
  const Case cases[] = {
      {"module at 1", {1, 4, 0x90, 0x00, 0, 1}, {1, 4, 2, 0, 74}},
      {"module at 16", {16, 4, 0x90, 0x00, 0, 1}, {16, 4, 2, 0, 74}},
      {"foreign type 75 at 20", {20, 4, 0x90, 0x00, 0, 1}, {20, 4, 2, 0, 75}},
      {"foreign exception at 21", {21, 4, 0x90, 0x00, 0, 1}, {21, 0x84, 2}},
      {"foreign: another register", {20, 4, 0xEA, 0xA6, 0, 1}, {20, 0x84, 2}},
      {"foreign: a holding register", {20, 3, 0x90, 0x00, 0, 1}, {20, 0x83, 2}},
      {"foreign: a write", {20, 6, 0x70, 0x04, 0, 17}, {20, 0x86, 1}},
      {"absent address 30", {30, 4, 0x90, 0x00, 0, 1}, {}},
      {"broadcast read", {0, 4, 0x90, 0x00, 0, 1}, {}},
  };
  TzBusFixture bus;
  for (const Case& c : cases) {
    EXPECT_EQ(bus.Ask(c.request), c.answer.empty() ? Bytes{} : WithCrc(c.answer)) << c.what;
  }
  // A frame with a broken check sum reaches nobody.
  Bytes broken = WithCrc({16, 4, 0x90, 0x00, 0, 1});
  broken.back() ^= 1;
  EXPECT_TRUE(bus.Bus.HandleFrame(broken).Answers.empty());
}

TEST(SimBus, EveryModuleKeepsItsOwnStateAndBroadcastsReachThemAll) {
  TzBusFixture bus;
  ASSERT_EQ(bus.Ask({1, 5, 0x10, 0x00, 0xFF, 0}), WithCrc({1, 5, 0x10, 0x00, 0xFF, 0}));
  EXPECT_EQ(bus.Coil(1, 4096), 1);
  EXPECT_EQ(bus.Coil(16, 4096), 0);
  EXPECT_EQ(bus.Bus.Module(0).Relays(), 0x01);
  EXPECT_EQ(bus.Bus.Module(1).Relays(), 0x00);

  // Relay 2 on everywhere, and nobody answers the broadcast.
  EXPECT_TRUE(bus.Ask({0, 5, 0x10, 0x80, 0xFF, 0}).empty());
  EXPECT_EQ(bus.Bus.Module(0).Relays(), 0x03);
  EXPECT_EQ(bus.Bus.Module(1).Relays(), 0x02);
}

TEST(SimBus, CommandsGoToTheAddressedDevice) {
  TzBusFixture bus;
  bus.Command("@16 type 76");
  bus.Command("@20 type 80");
  bus.Command("@1 inputs 0x0805");
  bus.Command("type 77");  // without an address: the first module
  EXPECT_EQ(bus.AskType(1), WithCrc({1, 4, 2, 0, 77}));
  EXPECT_EQ(bus.AskType(16), WithCrc({16, 4, 2, 0, 76}));
  EXPECT_EQ(bus.AskType(20), WithCrc({20, 4, 2, 0, 80}));
  EXPECT_EQ(bus.Bus.Module(0).Inputs(), 0x0805);
  EXPECT_EQ(bus.Bus.Module(1).Inputs(), 0);

  bus.Command("@20 type exc 4");
  EXPECT_EQ(bus.AskType(20), WithCrc({20, 0x84, 4}));
  bus.Command("@21 type 90");
  EXPECT_EQ(bus.AskType(21), WithCrc({21, 4, 2, 0, 90}));
  EXPECT_EQ(bus.Command("@16 status").rfind("address 16 baud 9600 format 8N1 type 76", 0), 0u);
  EXPECT_NE(bus.Command("devices").find("foreign: address 21 baud 9600 format 8N1 type 90"), std::string::npos);

  bus.Command("wire on");
  bus.Command("strict on");
  EXPECT_TRUE(bus.Bus.WireTiming());
  EXPECT_TRUE(bus.Bus.StrictLine());

  const char* refused[] = {"@30 status", "@0 status", "@16", "@x type 5", "@20 inputs 5", "@20 type exc 0",
                           "@16 type -1", "wire maybe", "strict"};
  for (const char* line : refused) {
    EXPECT_EQ(bus.Command(line, TzSimCommandResult::Error).rfind("error: ", 0), 0u) << line;
  }
  EXPECT_EQ(bus.AskType(16), WithCrc({16, 4, 2, 0, 76}));
}

TEST(SimBus, AModuleRestartedToANewAddressAnswersThereAlone) {
  TzBusFixture bus;
  ASSERT_FALSE(bus.Ask({16, 6, 0x70, 0x04, 0, 17}).empty());     // address 17 stored
  ASSERT_FALSE(bus.Ask({16, 6, 0xEA, 0x60, 0x55, 0xAA}).empty());  // 60000 := 21930
  EXPECT_TRUE(bus.AskType(16).empty());  // silent while restarting
  bus.Wait(1000);
  EXPECT_TRUE(bus.AskType(16).empty());
  EXPECT_EQ(bus.AskType(17), WithCrc({17, 4, 2, 0, 74}));
  EXPECT_EQ(bus.AskType(1), WithCrc({1, 4, 2, 0, 74}));
  bus.Command("@17 type 75");
  EXPECT_EQ(bus.AskType(17), WithCrc({17, 4, 2, 0, 75}));
  bus.Command("@16 status", TzSimCommandResult::Error);
}

// A pseudo-terminal keeps the client's speed and stop bits: a device hears
// only a client set to its own.
TEST(SimBus, StrictLineAnswersOnlyAClientAtTheDevicesSpeedAndStopBits) {
  struct Case {
    TzSimTermLine client;
    bool moduleAnswers;   // the module at 1, 9600 8N1
    bool foreignAnswers;  // the foreign device at 20, 9600 8N1
  };
  const Case cases[] = {
      {{9600, 1}, true, true},
      {{19200, 1}, false, false},
      {{9600, 2}, false, false},
      {{0, 1}, false, false},  // a speed outside the list
  };
  TzBusFixture bus;
  for (const Case& c : cases) {
    const std::string what = SimTermLineText(c.client);
    EXPECT_EQ(!bus.AskType(1, &c.client).empty(), c.moduleAnswers) << what;
    EXPECT_EQ(!bus.AskType(20, &c.client).empty(), c.foreignAnswers) << what;
    const std::vector<std::string> notes = bus.Bus.HandleFrame(WithCrc({1, 4, 0x90, 0x00, 0, 1}), &c.client).Notes;
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].rfind("ignored (not heard at ", 0) == 0, !c.moduleAnswers) << notes[0];
  }
  // A broadcast at the wrong speed changes nothing.
  const TzSimTermLine wrong{19200, 1};
  EXPECT_TRUE(bus.Bus.HandleFrame(WithCrc({0, 5, 0x10, 0x00, 0xFF, 0}), &wrong).Answers.empty());
  EXPECT_EQ(bus.Bus.Module(0).Relays(), 0);

  // After a restart to 19200 8N2 the module hears only that.
  ASSERT_FALSE(bus.Ask({1, 16, 0x70, 0x00, 0, 2, 4, 0, 5, 0, 7}, &k9600N1).empty());  // baud code 5, format 7
  ASSERT_FALSE(bus.Ask({1, 6, 0xEA, 0x60, 0x55, 0xAA}, &k9600N1).empty());
  bus.Wait(1000);
  const TzSimTermLine line19200N2{19200, 2};
  EXPECT_TRUE(bus.AskType(1, &k9600N1).empty());
  EXPECT_EQ(bus.AskType(1, &line19200N2), WithCrc({1, 4, 2, 0, 74}));
  EXPECT_TRUE(bus.AskType(16, &line19200N2).empty());
}

TEST(SimBus, WireTimeIsTheBytesAndTheSilenceAtTheFormatsBitsPerCharacter) {
  struct Case {
    size_t request, answer;
    int baud;
    const char* format;
    int64_t micros;
  };
  const Case cases[] = {
      // (8 + 7 + 3.5) * 10 bits / 9600 baud = 19.27 ms
      {8, 7, 9600, "8N1", 19271},
      {8, 7, 9600, "8N2", 21198},  // 11 bits a character
      {8, 7, 9600, "8E1", 21198},
      {8, 7, 9600, "8O1", 21198},
      {8, 5, 1200, "8N1", 137500},  // an exception answer at 1200 baud
      {8, 0, 115200, "8N1", 998},   // request and silence only
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SimWireMicros(c.request, c.answer, c.baud, SimFormatCode(c.format)), c.micros)
        << c.request << "+" << c.answer << " bytes at " << c.baud << " " << c.format;
  }
  EXPECT_EQ(SimBitsPerChar(SimFormatCode("8N1")), 10);
  EXPECT_EQ(SimBitsPerChar(SimFormatCode("8N2")), 11);
}

TEST(SimBus, WireTimingDelaysTheAnswerOnTopOfAnInjectedDelay) {
  TzBusFixture bus;
  const Bytes request = WithCrc({16, 4, 0x90, 0x00, 0, 1});
  EXPECT_EQ(bus.Bus.HandleFrame(request).Answers.at(0).DelayUs, 0);
  bus.Bus.SetWireTiming(true);
  const TzSimBusAnswer answer = bus.Bus.HandleFrame(request).Answers.at(0);
  EXPECT_EQ(answer.DelayUs, SimWireMicros(8, 7, 9600, 4));
  EXPECT_EQ(answer.BaudRate, 9600);
  bus.Command("@16 fault delay 100");
  EXPECT_EQ(bus.Bus.HandleFrame(request).Answers.at(0).DelayUs, 100000 + SimWireMicros(8, 7, 9600, 4));
  // The foreign device's exception answer, 5 bytes.
  EXPECT_EQ(bus.Bus.HandleFrame(WithCrc({21, 4, 0x90, 0x00, 0, 1})).Answers.at(0).DelayUs,
            SimWireMicros(8, 5, 9600, 4));
}

TEST(SimBus, ForeignDeviceSpecifications) {
  struct Case {
    const char* text;
    bool good;
    int address, type, exception;
  };
  const Case cases[] = {
      {"20", true, 20, 75, 0},        {"20:74", true, 20, 74, 0},   {"21:exc:2", true, 21, 75, 2},
      {"247:0", true, 247, 0, 0},     {"0", false, 0, 0, 0},        {"248", false, 0, 0, 0},
      {"20:", false, 0, 0, 0},        {"20:65536", false, 0, 0, 0}, {"20:exc:0", false, 0, 0, 0},
      {"20:exc:256", false, 0, 0, 0}, {"20:exc", false, 0, 0, 0},   {"x:75", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    TzSimForeignConfig config;
    config.Address = 99;
    EXPECT_EQ(ParseSimForeign(c.text, config), c.good) << c.text;
    if (!c.good) {
      EXPECT_EQ(config.Address, 99) << c.text;
      continue;
    }
    EXPECT_EQ(config.Address, c.address) << c.text;
    EXPECT_EQ(config.Type, c.type) << c.text;
    EXPECT_EQ(config.ExceptionCode, c.exception) << c.text;
  }
}

}  // namespace
