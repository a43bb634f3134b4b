// The virtual module's network listeners (RTU over TCP, Modbus TCP), served
// in-process beside its pseudo-terminal and reached by the port engine.
#include <gtest/gtest.h>

#include <chrono>

#include "EngineSupport.h"
#include "uSimNetServer.h"
#include "uSimPtyModule.h"

namespace {
using namespace std::chrono_literals;

TEST(SimListen, ParsesTheListenEndpoints) {
  struct TzCase {
    const char* Text;
    bool Good;
    TzSimNetKind Kind;
    const char* Host;
    uint16_t Port;
  };
  const TzCase cases[] = {
      {"tcp://127.0.0.1:4001", true, TzSimNetKind::RtuOverTcp, "127.0.0.1", 4001},
      {"modbus-tcp://127.0.0.1:0", true, TzSimNetKind::ModbusTcp, "127.0.0.1", 0},
      {"modbus-tcp://[::1]:1502", true, TzSimNetKind::ModbusTcp, "::1", 1502},
      {"tcp://127.0.0.1", false, {}, "", 0},
      {"tcp://:502", false, {}, "", 0},
      {"tcp://127.0.0.1:65536", false, {}, "", 0},
      {"rfc2217://127.0.0.1:4001", false, {}, "", 0},
      {"/dev/ttyS0", false, {}, "", 0},
  };
  for (const auto& c : cases) {
    TzSimListenAddress address;
    ASSERT_EQ(ParseSimListen(c.Text, address), c.Good) << c.Text;
    if (!c.Good) continue;
    EXPECT_EQ(address.Kind, c.Kind) << c.Text;
    EXPECT_EQ(address.Host, c.Host) << c.Text;
    EXPECT_EQ(address.Port, c.Port) << c.Text;
  }
}

class SimNetServerTest : public ::testing::Test {
protected:
  TzSimPtyModule Sim{{.DemoInputs = false}};
  std::vector<std::unique_ptr<TzSimNetServer>> Servers;

  void SetUp() override { ASSERT_TRUE(Sim.Start()) << Sim.Error(); }

  std::string Listen(const char* aAddress) {
    TzSimListenAddress address;
    EXPECT_TRUE(ParseSimListen(aAddress, address));
    auto server = std::make_unique<TzSimNetServer>(Sim.Bus());
    std::string error;
    EXPECT_TRUE(server->Listen(address, error)) << error;
    EXPECT_NE(server->Port(), 0);
    EXPECT_TRUE(server->Start());
    Servers.push_back(std::move(server));
    return Servers.back()->Endpoint();
  }
};

TEST_F(SimNetServerTest, BothKindsServeTheSameModuleAsTheLine) {
  const std::string endpoints[] = {Listen("tcp://127.0.0.1:0"), Listen("modbus-tcp://127.0.0.1:0"), Sim.Path()};
  // A write over one way is read back over every other.
  {
    TzEngineClient rtu(endpoints[0]);
    ASSERT_TRUE(rtu.Start());
    const auto echo = rtu.Ask(WithModbusCRC({0x10, 0x06, 0x10, 0x08, 0x00, 0x2A}));  // 4104 := 42
    ASSERT_TRUE(echo);
    EXPECT_EQ(echo->ErrCode, 0u);
  }
  for (const auto& endpoint : endpoints) {
    TzEngineClient client(endpoint);
    ASSERT_TRUE(client.Start()) << endpoint;
    EXPECT_EQ(client.DeviceType(), 74) << endpoint;
    const auto answer = client.Ask(WithModbusCRC({0x10, 0x03, 0x10, 0x08, 0x00, 0x01}));
    ASSERT_TRUE(answer) << endpoint;
    EXPECT_EQ(HexBytes(answer->Bytes), HexBytes(WithModbusCRC({0x10, 0x03, 0x02, 0x00, 0x2A}))) << endpoint;
  }
}

TEST_F(SimNetServerTest, OneClientAfterAnotherAndALeavingClientLeavesItServing) {
  for (const char* kind : {"tcp://127.0.0.1:0", "modbus-tcp://127.0.0.1:0"}) {
    const std::string endpoint = Listen(kind);
    for (int round = 0; round < 3; ++round) {
      TzEngineClient client(endpoint);
      ASSERT_TRUE(client.Start()) << endpoint << " round " << round;
      EXPECT_EQ(client.DeviceType(), 74) << endpoint << " round " << round;
      // The client goes away (the engine closes its link) without a word.
    }
  }
}

TEST_F(SimNetServerTest, ModbusTcpAnswersForAMissingUnitAsAGateway) {
  TzEngineClient client(Listen("modbus-tcp://127.0.0.1:0"));
  ASSERT_TRUE(client.Start());
  const auto answer = client.Ask(WithModbusCRC({0x11, 0x04, 0x90, 0x00, 0x00, 0x01}));
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->ErrCode, 0u);
  EXPECT_TRUE(IsGatewayNoTarget(answer->Bytes)) << HexBytes(answer->Bytes);
}

TEST_F(SimNetServerTest, RtuOverTcpForAMissingAddressStaysSilent) {
  TzEngineClient client(Listen("tcp://127.0.0.1:0"), 9600, 100);
  ASSERT_TRUE(client.Start());
  const auto answer = client.Ask(WithModbusCRC({0x11, 0x04, 0x90, 0x00, 0x00, 0x01}));
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->ErrCode, kErrNoAnswer);
}

TEST_F(SimNetServerTest, WireTimingAppliesOverRtuOverTcp) {
  Sim.Bus().SetWireTiming(true);
  TzEngineClient client(Listen("tcp://127.0.0.1:0"), 9600, 1000);
  ASSERT_TRUE(client.Start());
  // 8 + 7 bytes and 3.5 characters at 9600 8N1: 19.3 ms at the least.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(client.DeviceType(), 74);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 19ms);
}

TEST_F(SimNetServerTest, Rk7140ctlReadsOverBothKinds) {
  for (const char* kind : {"tcp://127.0.0.1:0", "modbus-tcp://127.0.0.1:0"}) {
    const std::string endpoint = Listen(kind);
    const TzCtlResult identify = RunCtl("--port " + endpoint + " --output csv identify");
    EXPECT_EQ(identify.Code, 0) << endpoint << "\n" << identify.Output;
    EXPECT_NE(identify.Output.find("36864"), std::string::npos) << identify.Output;
    const TzCtlResult read = RunCtl("--port " + endpoint + " --output csv read 36864");
    EXPECT_EQ(read.Code, 0) << endpoint << "\n" << read.Output;
    EXPECT_NE(read.Output.find(",74,"), std::string::npos) << read.Output;
  }
  // A unit behind the gateway that nobody has: no answer, with the gateway's word.
  const TzCtlResult missing = RunCtl("--port " + Servers.back()->Endpoint() + " --address 17 identify");
  EXPECT_EQ(missing.Code, 3) << missing.Output;
  EXPECT_NE(missing.Output.find("target device failed to respond"), std::string::npos) << missing.Output;
}

}  // namespace
