// A real serial device server in front of the virtual module: Debian's
// ser2net on the module's pseudo-terminal, once as a raw TCP port (tcp://)
// and once as a Telnet RFC 2217 port (rfc2217://), reached by the port
// engine. The module runs at 19200 baud on a strict line: it answers only
// while its line is really set to 19200, so an answer over RFC 2217 from a
// port ser2net opened at 9600 shows that the link's SET-BAUDRATE took.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "EngineSupport.h"
#include "uSimPtyModule.h"

extern char** environ;

namespace {
using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int kBaud19200 = 5;  // the module's baud code

uint16_t FreeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof addr;
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
  close(fd);
  return ntohs(addr.sin_port);
}

bool OnPath(const std::string& aProgram) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  dirs += ":/usr/sbin:/sbin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = dirs.find(':', start);
    const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!dir.empty() && access((dir + "/" + aProgram).c_str(), X_OK) == 0) return true;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return false;
}

// ser2net in the foreground with a configuration of the test's own.
class TzSer2net {
public:
  bool Start(const fs::path& aConfig, const fs::path& aLog) {
    std::vector<std::string> args = {"ser2net", "-n", "-u", "-c", aConfig.string(), "-P",
                                     (aConfig.parent_path() / "ser2net.pid").string()};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, aLog.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const int r = posix_spawnp(&fPid, "ser2net", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (r != 0) fPid = -1;
    return fPid > 0;
  }

  void Stop() {
    if (fPid <= 0) return;
    kill(fPid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
      if (waitpid(fPid, nullptr, WNOHANG) == fPid) {
        fPid = -1;
        return;
      }
      std::this_thread::sleep_for(20ms);
    }
    kill(fPid, SIGKILL);
    waitpid(fPid, nullptr, 0);
    fPid = -1;
  }

  ~TzSer2net() { Stop(); }

private:
  pid_t fPid = -1;
};

class Ser2netTest : public ::testing::Test {
protected:
  TzSimPtyModule Sim{{.BaudCode = kBaud19200, .DemoInputs = false}};
  TzSer2net Server;
  fs::path Dir;
  uint16_t RawPort = 0;
  uint16_t TelnetPort = 0;

  void SetUp() override {
    ASSERT_TRUE(OnPath("ser2net")) << "ser2net is not installed (Debian package ser2net; scripts/install-deps.sh installs it)";
    Sim.Bus().SetStrictLine(true);
    ASSERT_TRUE(Sim.Start()) << Sim.Error();
    char pattern[] = "/tmp/rk7140-ser2net-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    Dir = pattern;
    RawPort = FreeLoopbackPort();
    TelnetPort = FreeLoopbackPort();
    // The raw port opens the line at the module's speed; the RFC 2217 port
    // opens it at 9600, and only the client's SET-BAUDRATE makes it 19200.
    std::ofstream(Dir / "ser2net.yaml") << "connection: &raw\n"
                                        << "  accepter: tcp,127.0.0.1," << RawPort << "\n"
                                        << "  connector: serialdev," << Sim.Path() << ",19200n81,local\n"
                                        << "connection: &rfc2217\n"
                                        << "  accepter: telnet(rfc2217),tcp,127.0.0.1," << TelnetPort << "\n"
                                        << "  connector: serialdev," << Sim.Path() << ",9600n81,local\n";
    ASSERT_TRUE(Server.Start(Dir / "ser2net.yaml", Dir / "ser2net.log"));
  }

  void TearDown() override {
    Server.Stop();
    if (HasFailure() && !Dir.empty()) {
      std::ifstream log(Dir / "ser2net.log");
      std::cerr << "ser2net said:\n" << log.rdbuf() << "\n";
    }
    if (!Dir.empty()) fs::remove_all(Dir);
  }

  std::string Raw() const { return "tcp://127.0.0.1:" + std::to_string(RawPort); }
  std::string Telnet() const { return "rfc2217://127.0.0.1:" + std::to_string(TelnetPort); }
};

TEST_F(Ser2netTest, RawTcpPortCarriesTheExchanges) {
  TzEngineClient client(Raw(), 19200);
  ASSERT_TRUE(client.StartWithin(10s)) << LinkErrorText(client.Engine->LinkError(), Raw(), TzTextLanguage::English);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(client.DeviceType(), 74) << "exchange " << i;
}

TEST_F(Ser2netTest, Rfc2217SetsTheFarLineToTheChosenBaudRate) {
  {
    TzEngineClient client(Telnet(), 19200);
    ASSERT_TRUE(client.StartWithin(10s)) << LinkErrorText(client.Engine->LinkError(), Telnet(), TzTextLanguage::English);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(client.DeviceType(), 74) << "exchange " << i;
  }
  // The other way round: a client asking for 9600 sets the line away from
  // the module's speed, and the strict line hears nothing.
  TzEngineClient slow(Telnet(), 9600, 200);
  ASSERT_TRUE(slow.StartWithin(10s));
  const auto answer = slow.Ask(WithModbusCRC({0x10, 0x04, 0x90, 0x00, 0x00, 0x01}));
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->ErrCode, kErrNoAnswer);
}

TEST_F(Ser2netTest, RestartedDeviceServerLosesTheLinkAndANewStartConnectsAgain) {
  TzEngineClient client(Raw(), 19200);
  ASSERT_TRUE(client.StartWithin(10s));
  ASSERT_EQ(client.DeviceType(), 74);
  Server.Stop();
  const auto lost = client.Ask(WithModbusCRC({0x10, 0x04, 0x90, 0x00, 0x00, 0x01}));
  ASSERT_TRUE(lost);
  EXPECT_EQ(lost->ErrCode, kErrPortUnusable);
  EXPECT_TRUE(lost->Bytes.empty());
  // Nobody listens while it is down.
  EXPECT_FALSE(client.Start());
  EXPECT_EQ(client.Engine->LinkError(), TzLinkError::ConnectionRefused);
  ASSERT_TRUE(Server.Start(Dir / "ser2net.yaml", Dir / "ser2net.log"));
  ASSERT_TRUE(client.StartWithin(10s));
  EXPECT_EQ(client.DeviceType(), 74);
}

TEST_F(Ser2netTest, Rk7140ctlOverBothPortsAndARefusedConnection) {
  for (const std::string& endpoint : {Raw(), Telnet()}) {
    TzCtlResult read;
    // ser2net may still be starting: the first tries may be refused.
    for (int i = 0; i < 100; ++i) {
      read = RunCtl("--port " + endpoint + " --baud 19200 --output csv read 36864");
      if (read.Code != 2) break;
      std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(read.Code, 0) << endpoint << "\n" << read.Output;
    EXPECT_NE(read.Output.find(",74,"), std::string::npos) << read.Output;
  }
  const std::string nobody = "tcp://127.0.0.1:" + std::to_string(FreeLoopbackPort());
  const TzCtlResult refused = RunCtl("--port " + nobody + " identify");
  EXPECT_EQ(refused.Code, 2) << refused.Output;
  EXPECT_NE(refused.Output.find("connection refused"), std::string::npos) << refused.Output;
}

}  // namespace
