// The module served on a pseudo-terminal in its own thread, as the panel's
// tests use it: a client opens the path, sends requests, reads answers.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "SimTestSupport.h"
#include "uSimPtyModule.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Generous: only a guard against a hang, never a measure of speed.
constexpr int kGuardMs = 3000;

// Reads until aCount bytes came or the guard ran out.
Bytes ReadAnswer(int aFd, size_t aCount) {
  Bytes answer;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGuardMs);
  while (answer.size() < aCount && std::chrono::steady_clock::now() < until) {
    pollfd pfd{aFd, POLLIN, 0};
    if (poll(&pfd, 1, 100) <= 0) continue;
    uint8_t buffer[256];
    const ssize_t n = read(aFd, buffer, sizeof buffer);
    if (n <= 0) break;
    answer.insert(answer.end(), buffer, buffer + n);
  }
  return answer;
}

Bytes Exchange(int aFd, const Bytes& aRequest, size_t aAnswerSize) {
  if (write(aFd, aRequest.data(), aRequest.size()) != static_cast<ssize_t>(aRequest.size())) return {};
  return ReadAnswer(aFd, aAnswerSize);
}

TzSimConfig StaticConfig() {
  TzSimConfig config;
  config.DemoInputs = false;
  return config;
}

TEST(SimSlave, AnswersOverThePseudoTerminalAcrossReconnects) {
  TzSimPtyModule sim(StaticConfig());
  ASSERT_TRUE(sim.Start()) << sim.Error();
  ASSERT_FALSE(sim.Path().empty());
  const Bytes request = WithCrc({16, 4, 0x90, 0x00, 0, 1});
  const Bytes expected = WithCrc({16, 4, 2, 0, 74});
  for (int round = 0; round < 5; ++round) {
    const int fd = OpenRawClient(sim.Path());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Exchange(fd, request, expected.size()), expected) << "round " << round;
    close(fd);
  }
}

// The pseudo-terminal is raw from the start: a client that leaves the
// terminal settings alone gets every byte as sent (no CR translation, no
// line buffering) and no echo turns an answer into a new request.
TEST(SimSlave, ClientWithUntouchedTerminalSettingsGetsExactBytes) {
  TzSimPtyModule sim(StaticConfig());
  ASSERT_TRUE(sim.Start()) << sim.Error();
  const int fd = open(sim.Path().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  const Bytes write13 = WithCrc({16, 6, 0x10, 0x05, 0x00, 0x0D});  // value 13 is a carriage return
  EXPECT_EQ(Exchange(fd, write13, write13.size()), write13);
  const Bytes expected = WithCrc({16, 3, 2, 0x00, 0x0D});
  EXPECT_EQ(Exchange(fd, WithCrc({16, 3, 0x10, 0x05, 0, 1}), expected.size()), expected);
  close(fd);
}

TEST(SimSlave, TwoRequestsInOneWriteGetTwoAnswers) {
  TzSimPtyModule sim(StaticConfig());
  ASSERT_TRUE(sim.Start()) << sim.Error();
  sim.Module().SetInputs(0x0805);
  const int fd = OpenRawClient(sim.Path());
  ASSERT_GE(fd, 0);
  Bytes both = WithCrc({16, 3, 0xEA, 0xA6, 0, 1});
  const Bytes second = WithCrc({16, 4, 0x90, 0x00, 0, 1});
  both.insert(both.end(), second.begin(), second.end());
  Bytes expected = WithCrc({16, 3, 2, 0x08, 0x05});
  const Bytes secondAnswer = WithCrc({16, 4, 2, 0, 74});
  expected.insert(expected.end(), secondAnswer.begin(), secondAnswer.end());
  EXPECT_EQ(Exchange(fd, both, expected.size()), expected);
  close(fd);
}

TEST(SimSlave, SilentForAForeignAddressThenAnswersTheNext) {
  TzSimPtyModule sim(StaticConfig());
  ASSERT_TRUE(sim.Start()) << sim.Error();
  const int fd = OpenRawClient(sim.Path());
  ASSERT_GE(fd, 0);
  const Bytes foreign = WithCrc({17, 4, 0x90, 0x00, 0, 1});
  ASSERT_EQ(write(fd, foreign.data(), foreign.size()), static_cast<ssize_t>(foreign.size()));
  const Bytes expected = WithCrc({16, 4, 2, 0, 74});
  // Whatever came back is read together with the next answer.
  EXPECT_EQ(Exchange(fd, WithCrc({16, 4, 0x90, 0x00, 0, 1}), expected.size()), expected);
  close(fd);
}

TEST(SimSlave, RestartMovesTheModuleToItsNewAddress) {
  TzSimPtyModule sim(StaticConfig());
  ASSERT_TRUE(sim.Start()) << sim.Error();
  const int fd = OpenRawClient(sim.Path());
  ASSERT_GE(fd, 0);
  const Bytes setAddress = WithCrc({16, 6, 0x70, 0x04, 0, 17});
  ASSERT_EQ(Exchange(fd, setAddress, setAddress.size()), setAddress);
  const Bytes restart = WithCrc({16, 6, 0xEA, 0x60, 0x55, 0xAA});
  ASSERT_EQ(Exchange(fd, restart, restart.size()), restart);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGuardMs);
  while (sim.Module().Restarting() && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_FALSE(sim.Module().Restarting());
  const Bytes expected = WithCrc({17, 4, 2, 0, 74});
  EXPECT_EQ(Exchange(fd, WithCrc({17, 4, 0x90, 0x00, 0, 1}), expected.size()), expected);
  close(fd);
}

TEST(SimSlave, StopsAndStartsAgain) {
  TzSimPtyModule sim(StaticConfig());
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(sim.Start()) << sim.Error();
    const int fd = OpenRawClient(sim.Path());
    ASSERT_GE(fd, 0);
    const Bytes expected = WithCrc({16, 4, 2, 0, 74});
    EXPECT_EQ(Exchange(fd, WithCrc({16, 4, 0x90, 0x00, 0, 1}), expected.size()), expected);
    close(fd);
    sim.Stop();
    EXPECT_TRUE(sim.Path().empty());
  }
}

}  // namespace
