// The port engine against a scripted fake device: queueing, UIDs, priorities,
// opening codes, exchange results, the hand-over, Stop/Start and destruction.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "FakeBackend.h"
#include "TestPump.h"
#include "uFreePort.h"

namespace {
using namespace std::chrono_literals;

TStringBytes Frame(uint8_t aTag) { return TStringBytes::FromBytes({0x10, 0x03, 0xEA, aTag, 0x00, 0x01}); }

class FreePortTest : public ::testing::Test {
protected:
  TzTestPump Pump;  // outlives the engine
  std::shared_ptr<TzFakeLine> Line = std::make_shared<TzFakeLine>();
  std::vector<TzAnswer> Answers;
  std::function<void(const TzAnswer&)> OnAnswer;
  std::unique_ptr<TzFreePort> Engine;

  void SetUp() override { Engine = MakeEngine(7); }

  std::unique_ptr<TzFreePort> MakeEngine(int32_t aPort) {
    auto engine = std::make_unique<TzFreePort>(aPort, std::make_unique<TzFakeBackend>(Line));
    engine->SetMainThreadPost(Pump.Poster());
    engine->SetOnAsyncAnswerProc([this](int32_t aPort, uint32_t aUID, TStringBytes aAnswer, uint32_t aErr) {
      Answers.push_back({aPort, aUID, aAnswer.AsBytes(), aAnswer.IsInitialize, aErr});
      if (OnAnswer) OnAnswer(Answers.back());
    });
    return engine;
  }

  bool WaitAnswers(size_t aCount) {
    return Pump.RunUntil([&] { return Answers.size() >= aCount; });
  }

  void EchoResponder() {
    Line->Responder = [](const std::vector<uint8_t>& aCmd) { return TzFakeReply{aCmd}; };
  }
};

TEST_F(FreePortTest, UidsCountFromOneAndWrapAfterTwentyMillion) {
  for (uint32_t expected : {1u, 2u, 3u}) {
    ASSERT_TRUE(Engine->SendCmd(Frame(static_cast<uint8_t>(expected)), 16));
    EXPECT_EQ(Engine->LastUID(), expected);
  }
  Engine->PresetGlobUID(kMaxUID - 1);
  ASSERT_TRUE(Engine->SendCmd(Frame(10), 16));
  EXPECT_EQ(Engine->LastUID(), kMaxUID);
  ASSERT_TRUE(Engine->SendCmd(Frame(11), 16));
  EXPECT_EQ(Engine->LastUID(), 0u);
  ASSERT_TRUE(Engine->SendCmd(Frame(12), 16));
  EXPECT_EQ(Engine->LastUID(), 1u);
  EXPECT_EQ(Engine->QueuedUIDs(), (std::vector<uint32_t>{1, 2, 3, kMaxUID, 0, 1}));

  // Numbers are per engine.
  auto other = MakeEngine(8);
  ASSERT_TRUE(other->SendCmd(Frame(1), 16));
  EXPECT_EQ(other->LastUID(), 1u);
}

TEST_F(FreePortTest, EmptyAndDuplicateCommandsAreRefused) {
  const TStringBytes unset;
  TStringBytes empty;
  empty.CheckInit();
  EXPECT_FALSE(Engine->SendCmd(unset, 16));
  EXPECT_FALSE(Engine->SendCmd(empty, 16));
  EXPECT_FALSE(Engine->SendCmdForce(empty, 16, 3));
  EXPECT_EQ(Engine->LastUID(), 0u);

  ASSERT_TRUE(Engine->SendCmd(Frame(1), 16));
  EXPECT_FALSE(Engine->SendCmd(Frame(1), 17));  // the address does not make it different
  EXPECT_FALSE(Engine->SendCmdForce(Frame(1), 16, 1));
  EXPECT_EQ(Engine->LastUID(), 1u);
  EXPECT_TRUE(Engine->SendCmd(Frame(2), 16));
  EXPECT_EQ(Engine->QueuedUIDs(), (std::vector<uint32_t>{1, 2}));
}

struct PriorityCase {
  int Queued;
  int32_t Priority;
  size_t Position;
};

class FreePortPriorityTest : public FreePortTest, public ::testing::WithParamInterface<PriorityCase> {};

TEST_P(FreePortPriorityTest, ForcedRequestLandsAtItsPosition) {
  const auto c = GetParam();
  for (int i = 0; i < c.Queued; ++i) ASSERT_TRUE(Engine->SendCmd(Frame(static_cast<uint8_t>(i)), 16));
  ASSERT_TRUE(Engine->SendCmdForce(Frame(200), 16, c.Priority));
  const auto uids = Engine->QueuedUIDs();
  ASSERT_EQ(uids.size(), static_cast<size_t>(c.Queued) + 1);
  EXPECT_EQ(std::find(uids.begin(), uids.end(), Engine->LastUID()) - uids.begin(),
            static_cast<std::ptrdiff_t>(c.Position));
  // The others keep their order.
  std::vector<uint32_t> rest;
  for (auto uid : uids)
    if (uid != Engine->LastUID()) rest.push_back(uid);
  EXPECT_TRUE(std::is_sorted(rest.begin(), rest.end()));
}

INSTANTIATE_TEST_SUITE_P(Positions, FreePortPriorityTest,
                         ::testing::Values(PriorityCase{0, 0, 0}, PriorityCase{0, 5, 0},  // empty: append
                                           PriorityCase{1, 1, 0},   // before the one in exchange
                                           PriorityCase{1, 0, 1}, PriorityCase{2, 1, 1}, PriorityCase{2, 7, 1},
                                           PriorityCase{5, 1, 1}, PriorityCase{5, 2, 2}, PriorityCase{5, 3, 3},
                                           PriorityCase{5, 4, 4}, PriorityCase{5, 9, 4},  // before the last
                                           PriorityCase{5, 0, 5}, PriorityCase{5, -3, 5}));

struct OpenCase {
  const char* Step;
  uint32_t Code;
};

class FreePortOpenTest : public FreePortTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(FreePortOpenTest, FailedStepGivesItsCodeAndNoWorker) {
  Line->FailStep = GetParam().Step;
  EchoResponder();
  ASSERT_TRUE(Engine->SendCmd(Frame(1), 16));
  EXPECT_FALSE(Engine->Start());
  EXPECT_EQ(Engine->ErrorCode(), GetParam().Code);
  // Why, in words the panel and the tool can say: a refused setting is named
  // as such, a link that does not say why is "other".
  EXPECT_EQ(Engine->LinkError(), GetParam().Code == kOpenSetState ? TzLinkError::SettingRefused : TzLinkError::Other);
  // A failed first Start leaves the worker stopped: nothing is ever sent.
  Pump.RunFor(100ms);
  EXPECT_TRUE(Answers.empty());
  EXPECT_TRUE(Line->Written.empty());
}

INSTANTIATE_TEST_SUITE_P(Steps, FreePortOpenTest,
                         ::testing::Values(OpenCase{"open", 128}, OpenCase{"getstate", 1}, OpenCase{"setstate", 2},
                                           OpenCase{"queues", 4}, OpenCase{"gettimeouts", 8},
                                           OpenCase{"settimeouts", 16}, OpenCase{"getmask", 32},
                                           OpenCase{"setmask", 64}));

TEST_F(FreePortTest, OpeningLaysOverridesOverTheDriverRecord) {
  // Driver flags: binary, parity check, bit 20 (reserved) -> parity and the
  // reserved bits go, abort on error comes, then LocDCB adds its bits.
  SetDcbFlagsWord(Line->DriverDCB, dcbflag::Binary | dcbflag::Parity | (1u << 20));
  Line->DriverDCB.BaudRate = 19200;
  Line->DriverDCB.ByteSize = 7;
  Line->DriverDCB.XonLim = 123;
  Line->DriverTimeouts.ReadTotalTimeoutConstant = 999;
  Line->DriverTimeouts.WriteTotalTimeoutConstant = 77;
  Engine->LocDCB().BaudRate = 9600;
  Engine->LocDCB().ByteSize = 8;
  Engine->LocDCB().Parity = 2;
  Engine->LocDCB().Flags = static_cast<int32_t>(dcbflag::OutX);
  Engine->LocTimeouts().ReadIntervalTimeout = 50;
  Engine->LocTimeouts().ReadTotalTimeoutConstant = 1000;
  ASSERT_TRUE(Engine->Start());
  EXPECT_EQ(Engine->ErrorCode(), 0u);
  EXPECT_EQ(Line->OpenedPorts, std::vector<std::string>{PortDeviceName(7)});
  const auto& d = Line->AppliedDCB;
  EXPECT_EQ(DcbFlagsWord(d), dcbflag::Binary | dcbflag::AbortOnError | dcbflag::OutX);
  EXPECT_EQ(d.BaudRate, 9600u);
  EXPECT_EQ(d.ByteSize, 8);
  EXPECT_EQ(d.Parity, 2);
  EXPECT_EQ(d.XonLim, 123);  // not set: the driver's value stays
  EXPECT_EQ(Line->AppliedTimeouts.ReadIntervalTimeout, 50u);
  EXPECT_EQ(Line->AppliedTimeouts.ReadTotalTimeoutConstant, 1000u);
  EXPECT_EQ(Line->AppliedTimeouts.WriteTotalTimeoutConstant, 77u);
  EXPECT_EQ(Line->EventMask, 0x81u);
  EXPECT_EQ(Line->QueueIn, 256u);
  EXPECT_EQ(Line->QueueOut, 256u);
}

TEST_F(FreePortTest, OnlyMyFlagsAlsoDropsTheEnginesOwnFlagChanges) {
  SetDcbFlagsWord(Line->DriverDCB, dcbflag::Binary);
  Engine->LocDCB().OnlyMyFlags = true;
  ASSERT_TRUE(Engine->Start());
  EXPECT_EQ(DcbFlagsWord(Line->AppliedDCB), 0u);
}

TEST_F(FreePortTest, WithoutOverridesTheDriverRecordStays) {
  Line->DriverDCB.BaudRate = 4800;
  Line->DriverTimeouts.ReadIntervalTimeout = 33;
  ASSERT_TRUE(Engine->Start());
  EXPECT_EQ(Line->AppliedDCB.BaudRate, 4800u);
  EXPECT_EQ(Line->AppliedTimeouts.ReadIntervalTimeout, 33u);
}

struct ExchangeCase {
  const char* Name;
  TzFakeReply Reply;
  uint32_t ErrCode;
  size_t AnswerLength;
};

class FreePortExchangeTest : public FreePortTest, public ::testing::WithParamInterface<ExchangeCase> {};

TEST_P(FreePortExchangeTest, ResultOfOneExchange) {
  const auto c = GetParam();
  Line->Responder = [c](const std::vector<uint8_t>&) { return c.Reply; };
  ASSERT_TRUE(Engine->Start());
  ASSERT_TRUE(Engine->SendCmd(Frame(1), 16));
  ASSERT_TRUE(WaitAnswers(1));
  const auto& a = Answers[0];
  EXPECT_EQ(a.ErrCode, c.ErrCode);
  EXPECT_EQ(a.UID, 1u);
  EXPECT_EQ(a.ComPort, 7);
  EXPECT_TRUE(a.AnswerSet);
  ASSERT_EQ(a.Bytes.size(), c.AnswerLength);
  EXPECT_TRUE(std::equal(a.Bytes.begin(), a.Bytes.end(), c.Reply.Bytes.begin()));
  // The frame went out whole, after the purge, and then one read and the flags.
  EXPECT_EQ(Line->Written.at(0), Frame(1).AsBytes());
  const std::vector<std::string> order(Line->Log.begin(), Line->Log.begin() + 4);
  EXPECT_EQ(order, (std::vector<std::string>{"purge", "write", "read", "flags"}));
}

INSTANTIATE_TEST_SUITE_P(
    Results, FreePortExchangeTest,
    ::testing::Values(ExchangeCase{"answer", {{1, 2, 3}}, 0, 3},
                      ExchangeCase{"nothing", {}, 512, 0},
                      ExchangeCase{"lineError", {{1, 2, 3}, 0x8}, 0x8, 0},
                      ExchangeCase{"lineErrorNoBytes", {{}, 0x12}, 0x12, 0},
                      ExchangeCase{"flagsUnreadable", {{1, 2}, 0, true}, 0xFFFFFFFF, 0},
                      ExchangeCase{"tooLong", {std::vector<uint8_t>(300, 0x55)}, 0, 255}),
    [](const auto& aInfo) { return std::string(aInfo.param.Name); });

TEST_F(FreePortTest, AnswersComeOnThePumpThreadInExchangeOrder) {
  EchoResponder();
  std::vector<std::thread::id> threads;
  OnAnswer = [&](const TzAnswer&) { threads.push_back(std::this_thread::get_id()); };
  for (uint8_t i = 1; i <= 5; ++i) ASSERT_TRUE(Engine->SendCmd(Frame(i), 16));
  ASSERT_TRUE(Engine->Start());
  ASSERT_TRUE(WaitAnswers(5));
  for (uint32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(Answers[i].UID, i + 1);
    EXPECT_EQ(Answers[i].Bytes, Frame(static_cast<uint8_t>(i + 1)).AsBytes());
    EXPECT_EQ(threads[i], std::this_thread::get_id());
  }
  EXPECT_TRUE(Pump.RunUntilQueueEmpty(*Engine));
}

TEST_F(FreePortTest, TheWorkerWaitsForEachHandOver) {
  EchoResponder();
  ASSERT_TRUE(Engine->SendCmd(Frame(1), 16));
  ASSERT_TRUE(Engine->SendCmd(Frame(2), 16));
  ASSERT_TRUE(Engine->Start());
  ASSERT_TRUE(Pump.WaitForJob());
  // Until the first answer has been handled, the second frame is not sent,
  // and the request being answered still counts as queued.
  std::this_thread::sleep_for(50ms);
  {
    std::lock_guard lock(Line->M);
    EXPECT_EQ(Line->Written.size(), 1u);
  }
  EXPECT_EQ(Engine->QueuedUIDs(), (std::vector<uint32_t>{1, 2}));
  EXPECT_FALSE(Engine->SendCmd(Frame(1), 16));
  ASSERT_TRUE(WaitAnswers(2));
  ASSERT_TRUE(Pump.RunUntilQueueEmpty(*Engine));
  EXPECT_TRUE(Engine->SendCmd(Frame(1), 16));  // its callback has returned
}

TEST_F(FreePortTest, DuplicateRefusedWhileItsCallbackRuns) {
  EchoResponder();
  bool refusedInside = false;
  OnAnswer = [&](const TzAnswer&) { refusedInside = !Engine->SendCmd(Frame(1), 16); };
  ASSERT_TRUE(Engine->SendCmd(Frame(1), 16));
  ASSERT_TRUE(Engine->Start());
  ASSERT_TRUE(WaitAnswers(1));
  EXPECT_TRUE(refusedInside);
  ASSERT_TRUE(Pump.RunUntilQueueEmpty(*Engine));
  EXPECT_TRUE(Engine->SendCmd(Frame(1), 16));
}

TEST_F(FreePortTest, ClearRequestListInsideTheCallback) {
  EchoResponder();
  OnAnswer = [&](const TzAnswer& aAnswer) {
    if (aAnswer.UID == 1) {
      Engine->ClearRequestList();
      ASSERT_TRUE(Engine->SendCmd(Frame(9), 16));
    }
  };
  for (uint8_t i = 1; i <= 3; ++i) ASSERT_TRUE(Engine->SendCmd(Frame(i), 16));
  ASSERT_TRUE(Engine->Start());
  ASSERT_TRUE(WaitAnswers(2));
  Pump.RunFor(60ms);
  ASSERT_EQ(Answers.size(), 2u);
  EXPECT_EQ(Answers[0].UID, 1u);
  EXPECT_EQ(Answers[1].UID, 4u);
  EXPECT_EQ(Answers[1].Bytes, Frame(9).AsBytes());
  EXPECT_TRUE(Pump.RunUntilQueueEmpty(*Engine));
}

TEST_F(FreePortTest, StopAnswersEveryQueuedRequestAsUnusableAndStartResumes) {
  EchoResponder();
  ASSERT_TRUE(Engine->Start());
  ASSERT_TRUE(Engine->SendCmd(Frame(1), 16));
  ASSERT_TRUE(WaitAnswers(1));
  EXPECT_EQ(Answers[0].ErrCode, 0u);

  ASSERT_TRUE(Engine->Stop());
  EXPECT_TRUE(Engine->Stop());  // nothing open: still true
  for (uint8_t i = 2; i <= 4; ++i) ASSERT_TRUE(Engine->SendCmd(Frame(i), 16));
  ASSERT_TRUE(WaitAnswers(4));
  for (size_t i = 1; i < 4; ++i) {
    EXPECT_EQ(Answers[i].ErrCode, 0xFFFFFFFFu);
    EXPECT_TRUE(Answers[i].Bytes.empty());
  }

  Engine->SetComPort(9);
  ASSERT_TRUE(Engine->Start());
  EXPECT_EQ(Line->OpenedPorts, (std::vector<std::string>{PortDeviceName(7), PortDeviceName(9)}));
  ASSERT_TRUE(Engine->SendCmd(Frame(5), 16));
  ASSERT_TRUE(WaitAnswers(5));
  EXPECT_EQ(Answers[4].ErrCode, 0u);
  EXPECT_EQ(Answers[4].ComPort, 9);
  EXPECT_EQ(Answers[4].Bytes, Frame(5).AsBytes());
}

TEST_F(FreePortTest, StartWhileOpenClosesFirst) {
  ASSERT_TRUE(Engine->Start());
  ASSERT_TRUE(Engine->Start());
  std::lock_guard lock(Line->M);
  EXPECT_EQ(std::count(Line->Log.begin(), Line->Log.end(), "close"), 1);
  EXPECT_EQ(Line->OpenedPorts.size(), 2u);
}

TEST_F(FreePortTest, FailedStartAfterStopLeavesTheWorkerAnswering) {
  EchoResponder();
  ASSERT_TRUE(Engine->Start());
  ASSERT_TRUE(Engine->Stop());
  Line->FailStep = "open";
  EXPECT_FALSE(Engine->Start());
  EXPECT_EQ(Engine->ErrorCode(), 128u);
  ASSERT_TRUE(Engine->SendCmd(Frame(1), 16));
  ASSERT_TRUE(WaitAnswers(1));
  EXPECT_EQ(Answers[0].ErrCode, 0xFFFFFFFFu);
}

TEST_F(FreePortTest, StopCutsShortAReadInProgress) {
  Line->HoldReads = true;
  ASSERT_TRUE(Engine->Start());
  ASSERT_TRUE(Engine->SendCmd(Frame(1), 16));
  ASSERT_TRUE(Line->WaitUntil([&] { return Line->ReadsWaiting == 1; }));
  ASSERT_TRUE(Engine->Stop());
  ASSERT_TRUE(WaitAnswers(1));
  EXPECT_EQ(Answers[0].ErrCode, 0xFFFFFFFFu);
}

TEST_F(FreePortTest, StaleRequestsAreDroppedOnlyWhenCleaningIsOn) {
  for (bool clean : {false, true}) {
    SCOPED_TRACE(clean);
    Answers.clear();
    Line->HoldReads = true;
    EchoResponder();
    auto engine = MakeEngine(3);
    engine->SetCleanEnabled(clean);
    engine->SetCleanTimeout(0);
    EXPECT_EQ(engine->CleanEnabled(), clean);
    EXPECT_EQ(engine->CleanTimeout(), 0);
    ASSERT_TRUE(engine->Start());
    ASSERT_TRUE(engine->SendCmd(Frame(1), 16));
    ASSERT_TRUE(Line->WaitUntil([&] { return Line->ReadsWaiting == 1; }));
    ASSERT_TRUE(engine->SendCmd(Frame(2), 16));
    ASSERT_TRUE(engine->SendCmd(Frame(3), 16));
    std::this_thread::sleep_for(5ms);  // both are now older than 0 ms
    Line->ReleaseReads();
    ASSERT_TRUE(WaitAnswers(clean ? 1 : 3));
    Pump.RunFor(60ms);
    EXPECT_EQ(Answers.size(), clean ? 1u : 3u);
    EXPECT_TRUE(Pump.RunUntilQueueEmpty(*engine));
  }
}

TEST_F(FreePortTest, CallbackRunsOnTheWorkerWithoutAPostFunction) {
  auto line = std::make_shared<TzFakeLine>();
  line->Responder = [](const std::vector<uint8_t>& aCmd) { return TzFakeReply{aCmd}; };
  TzFreePort engine(4, std::make_unique<TzFakeBackend>(line));
  std::mutex m;
  std::condition_variable cv;
  std::vector<std::thread::id> threads;
  engine.SetOnAsyncAnswerProc([&](int32_t, uint32_t aUID, TStringBytes, uint32_t) {
    if (aUID == 1) engine.SendCmd(Frame(2), 16);  // queueing from the callback works here too
    std::lock_guard lock(m);
    threads.push_back(std::this_thread::get_id());
    cv.notify_all();
  });
  ASSERT_TRUE(engine.SendCmd(Frame(1), 16));
  ASSERT_TRUE(engine.Start());
  std::unique_lock lock(m);
  ASSERT_TRUE(cv.wait_for(lock, 20s, [&] { return threads.size() == 2; }));
  EXPECT_NE(threads[0], std::this_thread::get_id());
}

TEST_F(FreePortTest, AThrowingCallbackStillReleasesTheWorker) {
  EchoResponder();
  OnAnswer = [](const TzAnswer& aAnswer) {
    if (aAnswer.UID == 1) throw std::runtime_error("callback failed");
  };
  ASSERT_TRUE(Engine->SendCmd(Frame(1), 16));
  ASSERT_TRUE(Engine->SendCmd(Frame(2), 16));
  ASSERT_TRUE(Engine->Start());
  ASSERT_TRUE(WaitAnswers(2));
  EXPECT_EQ(Pump.Escaped(), 1);
}

// Destruction in every state: it returns, no callback arrives afterwards,
// and a hand-over job left in the pump does nothing when it runs.
enum class EndState { NeverStarted, StartFailed, Idle, InsideExchange, WaitingForCallback, Stopped };

class FreePortDestructionTest : public FreePortTest, public ::testing::WithParamInterface<EndState> {};

TEST_P(FreePortDestructionTest, IsSafe) {
  EchoResponder();
  for (uint8_t i = 1; i <= 3; ++i) ASSERT_TRUE(Engine->SendCmd(Frame(i), 16));
  switch (GetParam()) {
    case EndState::NeverStarted: break;
    case EndState::StartFailed:
      Line->FailStep = "setstate";
      ASSERT_FALSE(Engine->Start());
      break;
    case EndState::Idle:
      ASSERT_TRUE(Engine->Start());
      ASSERT_TRUE(WaitAnswers(3));
      break;
    case EndState::InsideExchange:
      Line->HoldReads = true;
      ASSERT_TRUE(Engine->Start());
      ASSERT_TRUE(Line->WaitUntil([&] { return Line->ReadsWaiting == 1; }));
      break;
    case EndState::WaitingForCallback:
      ASSERT_TRUE(Engine->Start());
      ASSERT_TRUE(Pump.WaitForJob());
      break;
    case EndState::Stopped:
      ASSERT_TRUE(Engine->Start());
      ASSERT_TRUE(Engine->Stop());
      break;
  }
  const auto before = Answers.size();
  Engine.reset();
  Pump.RunFor(30ms);
  EXPECT_EQ(Answers.size(), before);
  EXPECT_EQ(Pump.Pending(), 0u);
  std::lock_guard lock(Line->M);
  EXPECT_FALSE(Line->IsOpen);
}

INSTANTIATE_TEST_SUITE_P(States, FreePortDestructionTest,
                         ::testing::Values(EndState::NeverStarted, EndState::StartFailed, EndState::Idle,
                                           EndState::InsideExchange, EndState::WaitingForCallback,
                                           EndState::Stopped));

TEST_F(FreePortTest, DestroyingTheEngineFromItsOwnCallback) {
  EchoResponder();
  OnAnswer = [&](const TzAnswer&) { Engine.reset(); };
  ASSERT_TRUE(Engine->SendCmd(Frame(1), 16));
  ASSERT_TRUE(Engine->SendCmd(Frame(2), 16));
  ASSERT_TRUE(Engine->Start());
  ASSERT_TRUE(WaitAnswers(1));
  Pump.RunFor(50ms);
  EXPECT_EQ(Answers.size(), 1u);
  EXPECT_EQ(Engine, nullptr);
}
}  // namespace

namespace {

// A write that does not end (a stuck adapter) leaves the line in no known
// state: the exchange answers "port unusable" at once instead of reading.
TEST_F(FreePortTest, AnUnfinishedWriteAnswersUnusableWithoutReading) {
  EchoResponder();
  ASSERT_TRUE(Engine->Start());
  Line->FailWrites = true;
  ASSERT_TRUE(Engine->SendCmd(Frame(1), 16));
  ASSERT_TRUE(WaitAnswers(1));
  EXPECT_EQ(Answers[0].ErrCode, 0xFFFFFFFFu);
  EXPECT_TRUE(Answers[0].Bytes.empty());
  {
    std::lock_guard lock(Line->M);
    const auto write = std::find(Line->Log.begin(), Line->Log.end(), "write");
    ASSERT_NE(write, Line->Log.end());
    EXPECT_EQ(std::find(write, Line->Log.end(), "read"), Line->Log.end());
    Line->FailWrites = false;
  }
  ASSERT_TRUE(Engine->SendCmd(Frame(2), 16));
  ASSERT_TRUE(WaitAnswers(2));
  EXPECT_EQ(Answers[1].ErrCode, 0u);
}

// Starts that fail their settings step race with running exchanges: each
// answer carries the code of its own exchange (0, or "unusable" for the one
// a Start cut short), never the opening code a Start wrote meanwhile.
TEST_F(FreePortTest, EachAnswerCarriesTheCodeOfItsOwnExchange) {
  EchoResponder();
  ASSERT_TRUE(Engine->Start());
  Line->FailStep = "setstate";  // later Starts fail with 2 but keep the handle
  std::atomic<bool> done{false};
  std::thread starter([&] {
    while (!done) {
      Engine->Start();
      std::this_thread::yield();
    }
  });
  for (uint8_t i = 0; i < 150; ++i) ASSERT_TRUE(Engine->SendCmd(Frame(i), 16));
  const bool all = WaitAnswers(150);
  done = true;
  starter.join();
  ASSERT_TRUE(all);
  for (const TzAnswer& a : Answers) EXPECT_TRUE(a.ErrCode == 0 || a.ErrCode == 0xFFFFFFFFu) << a.ErrCode;
}

}  // namespace
