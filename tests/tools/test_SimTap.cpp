// The bus on a pseudo-terminal: the listen-only tap, and the strict line that
// reads the client's speed and stop bits from the pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SimTestSupport.h"
#include "uSimPtyModule.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Generous: only a guard against a hang, never a measure of speed.
constexpr int kGuardMs = 3000;

void SetLine(int aFd, speed_t aSpeed, int aStopBits) {
  termios settings{};
  ASSERT_EQ(tcgetattr(aFd, &settings), 0);
  cfsetispeed(&settings, aSpeed);
  cfsetospeed(&settings, aSpeed);
  if (aStopBits == 2) settings.c_cflag |= CSTOPB;
  else settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
  ASSERT_EQ(tcsetattr(aFd, TCSANOW, &settings), 0);
}

// Reads until aCount bytes came or the guard ran out.
Bytes ReadBytes(int aFd, size_t aCount) {
  Bytes bytes;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGuardMs);
  while (bytes.size() < aCount && std::chrono::steady_clock::now() < until) {
    pollfd pfd{aFd, POLLIN, 0};
    if (poll(&pfd, 1, 50) <= 0) continue;
    uint8_t buffer[256];
    const ssize_t n = read(aFd, buffer, sizeof buffer);
    if (n <= 0) break;
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  return bytes;
}

bool Send(int aFd, const Bytes& aBytes) {
  return write(aFd, aBytes.data(), aBytes.size()) == static_cast<ssize_t>(aBytes.size());
}

Bytes Joined(std::initializer_list<Bytes> aParts) {
  Bytes all;
  for (const Bytes& part : aParts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// A module at 16 on a pseudo-terminal with a tap, recording its log.
struct TzTappedBus {
  TzTappedBus() : Sim([this](const std::string& aLine) { Add(aLine); }) {
    Sim.Bus().AddModule(TzSimFixture::StaticConfig());
    Sim.SetTap(true);
  }
  void Add(const std::string& aLine) {
    const std::lock_guard lock(Lock);
    Log.push_back(aLine);
  }
  // Waits until a log line starts with aPrefix; false when the guard ran out.
  bool AwaitLog(const std::string& aPrefix) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGuardMs);
    while (std::chrono::steady_clock::now() < until) {
      {
        const std::lock_guard lock(Lock);
        for (const std::string& line : Log) {
          if (line.rfind(aPrefix, 0) == 0) return true;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  std::mutex Lock;
  std::vector<std::string> Log;
  TzSimPtyBus Sim;
};

const Bytes kTypeRequest = WithCrc({16, 4, 0x90, 0x00, 0, 1});
const Bytes kTypeAnswer = WithCrc({16, 4, 2, 0, 74});
const Bytes kInputsRequest = WithCrc({16, 3, 0xEA, 0xA6, 0, 1});
const Bytes kInputsAnswer = WithCrc({16, 3, 2, 0, 0});

TEST(SimTap, CarriesRequestsAndAnswersInOrderAndIgnoresTheListener) {
  TzTappedBus bus;
  ASSERT_TRUE(bus.Sim.Start()) << bus.Sim.Error();
  ASSERT_FALSE(bus.Sim.TapPath().empty());
  const int listener = open(bus.Sim.TapPath().c_str(), O_RDWR | O_NOCTTY);  // raw from the start
  const int client = OpenRawClient(bus.Sim.Path());
  ASSERT_GE(listener, 0);
  ASSERT_GE(client, 0);
  // A request written into the tap reaches no device: no answer shows anywhere.
  ASSERT_TRUE(Send(listener, kInputsRequest));
  ASSERT_TRUE(Send(client, kTypeRequest));
  EXPECT_EQ(ReadBytes(client, kTypeAnswer.size()), kTypeAnswer);
  ASSERT_TRUE(Send(client, kInputsRequest));
  EXPECT_EQ(ReadBytes(client, kInputsAnswer.size()), kInputsAnswer);
  const Bytes line = Joined({kTypeRequest, kTypeAnswer, kInputsRequest, kInputsAnswer});
  EXPECT_EQ(ReadBytes(listener, line.size()), line);
  close(client);
  close(listener);
}

TEST(SimTap, StrictLineIsSilentAtAWrongSettingAndAnswersTheRightOne) {
  TzTappedBus bus;
  bus.Sim.Bus().SetStrictLine(true);
  ASSERT_TRUE(bus.Sim.Start()) << bus.Sim.Error();
  const int client = OpenRawClient(bus.Sim.Path());
  ASSERT_GE(client, 0);
  struct Wrong {
    speed_t speed;
    int stopBits;
    const char* note;
  };
  const Wrong wrongs[] = {{B19200, 1, "ignored (not heard at 19200 baud, 1 stop bit)"},
                          {B9600, 2, "ignored (not heard at 9600 baud, 2 stop bits)"}};
  for (const Wrong& wrong : wrongs) {
    SetLine(client, wrong.speed, wrong.stopBits);
    ASSERT_TRUE(Send(client, kTypeRequest));
    // The module has judged the request before the setting changes again.
    EXPECT_TRUE(bus.AwaitLog(wrong.note)) << wrong.note;
  }
  SetLine(client, B9600, 1);
  // Only the answer to this request comes: none was given to the others.
  ASSERT_TRUE(Send(client, kInputsRequest));
  EXPECT_EQ(ReadBytes(client, kInputsAnswer.size()), kInputsAnswer);
  close(client);
}

TEST(SimTap, StrictLineCarriesToAListenerAtTheLinesSpeedOnly) {
  TzTappedBus bus;
  bus.Sim.Bus().SetStrictLine(true);
  ASSERT_TRUE(bus.Sim.Start()) << bus.Sim.Error();
  const int listener = open(bus.Sim.TapPath().c_str(), O_RDWR | O_NOCTTY);
  const int client = OpenRawClient(bus.Sim.Path());
  ASSERT_GE(listener, 0);
  ASSERT_GE(client, 0);
  SetLine(client, B9600, 1);
  SetLine(listener, B19200, 1);
  ASSERT_TRUE(Send(client, kTypeRequest));
  ASSERT_EQ(ReadBytes(client, kTypeAnswer.size()), kTypeAnswer);  // the tap has had its chance
  SetLine(listener, B9600, 2);  // stop bits do not matter to a listener
  ASSERT_TRUE(Send(client, kInputsRequest));
  ASSERT_EQ(ReadBytes(client, kInputsAnswer.size()), kInputsAnswer);
  const Bytes heard = Joined({kInputsRequest, kInputsAnswer});
  EXPECT_EQ(ReadBytes(listener, heard.size()), heard);
  close(client);
  close(listener);
}

}  // namespace
