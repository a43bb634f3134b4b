// The pending requests and the dispatch of answers, over the real port engine
// with a scripted far end and a pump for the hand-over.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TestPump.h"
#include "uModbusPending.h"
#include "uRK7140Device.h"
#include "uUtils.h"

namespace {

std::vector<uint8_t> Closed(std::vector<uint8_t> aBytes) {
  return WithModbusCRC(std::move(aBytes));
}

using TzResponder = std::function<std::vector<uint8_t>(const std::vector<uint8_t>& aRequest)>;

// A line whose far end answers each written frame through the responder.
class TzScriptedBackend : public TzLink {
public:
  explicit TzScriptedBackend(TzResponder aResponder) : fResponder(std::move(aResponder)) {}
  bool Open(const std::string&) override { return fOpen = true; }
  bool IsOpen() const override { return fOpen; }
  bool GetSettings(TzPlatformDCB& aDCB) override { aDCB = {}; return fOpen; }
  bool SetSettings(const TzPlatformDCB&) override { return fOpen; }
  bool SetQueueSizes(uint32_t, uint32_t) override { return fOpen; }
  bool GetTimeouts(TzPlatformTimeouts& aTimeouts) override { aTimeouts = {}; return fOpen; }
  bool SetTimeouts(const TzPlatformTimeouts&) override { return fOpen; }
  bool GetEventMask(uint32_t& aMask) override { aMask = 0; return fOpen; }
  bool SetEventMask(uint32_t) override { return fOpen; }
  bool Purge() override { fReply.clear(); return fOpen; }
  bool Write(const uint8_t* aData, size_t aCount, size_t& aWritten) override {
    fReply = fResponder(std::vector<uint8_t>(aData, aData + aCount));
    aWritten = aCount;
    return fOpen;
  }
  bool Read(uint8_t* aData, size_t aMax, size_t& aRead) override {
    aRead = std::min(aMax, fReply.size());
    std::copy_n(fReply.begin(), aRead, aData);
    fReply.clear();
    return fOpen;
  }
  bool TakeErrorFlags(uint32_t& aFlags) override { aFlags = 0; return fOpen; }
  bool Close() override { fOpen = false; return true; }
  void Interrupt() override {}

private:
  TzResponder fResponder;
  std::vector<uint8_t> fReply;
  bool fOpen = false;
};

// Registers read as 5, writes echoed, register 60018 answers exception 2,
// register 60062 gives a frame with a broken check sum, 32768 stays silent.
// (An exception answer is not a value: its tag reads bad, its code recorded.)
std::vector<uint8_t> Module(const std::vector<uint8_t>& aRequest) {
  const uint8_t func = aRequest[1];
  const int reg = aRequest[2] << 8 | aRequest[3];
  const int count = aRequest[4] << 8 | aRequest[5];
  if (reg == 32768) return {};
  if (reg == 60018) return Closed({aRequest[0], static_cast<uint8_t>(func | 0x80), 2});
  if (func == 5 || func == 6 || func == 16) return Closed({aRequest.begin(), aRequest.begin() + 6});
  std::vector<uint8_t> answer = {aRequest[0], func};
  if (func <= 2) {
    answer.push_back(static_cast<uint8_t>((count + 7) / 8));
    for (int i = 0; i < (count + 7) / 8; ++i) answer.push_back(0x01);
  } else {
    answer.push_back(static_cast<uint8_t>(2 * count));
    for (int i = 0; i < count; ++i) answer.insert(answer.end(), {0x00, 0x05});
  }
  answer = Closed(answer);
  if (reg == 60062) answer.back() ^= 0xFF;
  return answer;
}

struct TzRecordingEvents : TzModbusEvents {
  std::vector<std::string> Log;
  void RequestSent(const TzTag& aTag, uint32_t aUID, int32_t aFunc, const TStringBytes&,
                   const std::string& aValueText) override {
    Log.push_back("sent " + std::to_string(aTag.ID) + " uid " + std::to_string(aUID) + " f" +
                  std::to_string(aFunc) + " " + aValueText);
  }
  void RequestPending(uint32_t aUID, int32_t aTagID) override {
    Log.push_back("pending " + std::to_string(aTagID) + " uid " + std::to_string(aUID));
  }
  void AnswerHandedBack(uint32_t aUID, uint32_t aErrCode) override {
    Log.push_back("answer uid " + std::to_string(aUID) + " err " + std::to_string(aErrCode));
  }
  void UnknownAnswer(uint32_t aUID, const TStringBytes&) override { Log.push_back("unknown " + std::to_string(aUID)); }
  void AnswerNote(int32_t, uint32_t, const TStringBytes&, const std::string& aNote) override {
    Log.push_back("note [" + aNote + "]");
  }
  void ReadingComplete(TzTag& aTag) override {
    Log.push_back("complete " + std::to_string(aTag.ID) + (aTag.Device->IsLocked ? " locked" : " unlocked"));
  }
  void ExceptionCounted(int32_t aCode, int32_t aCount) override {
    Log.push_back("exception " + std::to_string(aCode) + " count " + std::to_string(aCount));
  }
};

class ModbusPendingTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(LoadRK7140Device(device, 16));
    engine.SetMainThreadPost(pump.Poster());
    engine.SetOnAsyncAnswerProc([this](int32_t aPort, uint32_t aUID, TStringBytes aAnswer, uint32_t aErr) {
      pending.Dispatch(aPort, aUID, aAnswer, aErr);
    });
    ASSERT_TRUE(engine.Start());
    pending.SetEngine(&engine);
  }
  bool Settle() { return pump.RunUntil([&] { return pending.Count() == 0; }); }
  TzTag& Tag(int32_t aID) { return *device.GetTagByID(aID); }

  TzTestPump pump;
  TzRecordingEvents events;
  TzModbusPending pending{events};
  TzDevice device;
  TzFreePort engine{1, std::make_unique<TzScriptedBackend>(Module)};
};

}  // namespace

TEST_F(ModbusPendingTest, AReadIsDecodedIntoItsTagAndLeavesTheList) {
  ASSERT_TRUE(pending.Read(&Tag(60070)));
  EXPECT_EQ(pending.Count(), 1u);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(Tag(60070).Quality(), kQualityGood);
  EXPECT_EQ(Tag(60070).Value(), 5);
  EXPECT_EQ(device.Status, TzDeviceStatus::dsGood);
  EXPECT_EQ(events.Log, (std::vector<std::string>{"pending 60070 uid 1", "sent 60070 uid 1 f3 ", "answer uid 1 err 0",
                                                  "note []", "note [5]", "note [5]"}));
}

TEST_F(ModbusPendingTest, AWriteIsConfirmedByTheEcho) {
  ASSERT_TRUE(pending.Write(&Tag(28680), 10));
  ASSERT_TRUE(Settle());
  EXPECT_EQ(Tag(28680).Quality(), kQualityGood);
  EXPECT_EQ(Tag(28680).Value(), 10);
  EXPECT_EQ(events.Log.front(), "sent 28680 uid 1 f6 10");
}

// The panel and rk7140ctl write through here: a value the register cannot
// hold goes nowhere and leaves the tag as it was, instead of going out cut
// to its low 16 bits and being confirmed by the echo.
TEST_F(ModbusPendingTest, AValueThatDoesNotFitTheRegisterIsNotQueued) {
  TzTag& period = Tag(4104);
  period.SetValue(100);
  for (const double value : {99999999.0, -3.0, 65536.0, 2.5}) {
    SCOPED_TRACE(value);
    EXPECT_FALSE(pending.Write(&period, value));
    EXPECT_EQ(pending.Count(), 0u);
    EXPECT_EQ(period.Value(), 100);
  }
  EXPECT_FALSE(pending.Write(&Tag(4096), 2));  // a coil takes 0 or 1
  EXPECT_TRUE(events.Log.empty());
  EXPECT_TRUE(pending.Write(&period, 65535));
  ASSERT_TRUE(Settle());
  EXPECT_EQ(period.Value(), 65535);
}

TEST_F(ModbusPendingTest, FailedAnswersSetTheQualityAndExceptionsAreCounted) {
  struct Case {
    int32_t id;
    uint16_t quality;
    bool exception;
  };
  const Case cases[] = {{32768, kQualityNoAnswer, false}, {60018, kQualityBadAnswer, true}, {60062, kQualityBadAnswer, false}};
  for (const Case& c : cases) {
    ASSERT_TRUE(pending.Read(&Tag(c.id)));
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Tag(c.id).Quality(), c.quality) << c.id;
    EXPECT_EQ(Tag(c.id).ModbusError, c.exception) << c.id;
  }
  EXPECT_EQ(pending.Errors()[2], 1);
  EXPECT_NE(std::find(events.Log.begin(), events.Log.end(), "exception 2 count 1"), events.Log.end());
  EXPECT_NE(std::find(events.Log.begin(), events.Log.end(), "note [ErrCode: 02h]"), events.Log.end());
  // A new read clears the recorded exception, so its next answer decodes.
  ASSERT_TRUE(pending.Read(&Tag(60018)));
  EXPECT_FALSE(Tag(60018).ModbusError);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(pending.Errors()[2], 2);
}

TEST_F(ModbusPendingTest, AnAnswerForNoPendingRequestIsReportedOnly) {
  pending.Dispatch(1, 777, TStringBytes::FromBytes({0x10, 0x03, 0x02, 0x00, 0x05}), 0);
  EXPECT_EQ(events.Log, (std::vector<std::string>{"answer uid 777 err 0", "unknown 777"}));
}

TEST_F(ModbusPendingTest, AFullReadingEndsWithTheLastUnforcedReadAndUnlocksTheDevice) {
  ASSERT_TRUE(pending.ReadAll(device));
  EXPECT_TRUE(device.IsLocked);
  EXPECT_FALSE(pending.ReadAll(device));  // one reading at a time
  EXPECT_EQ(pending.Count(), 92u);        // every readable tag once
  ASSERT_TRUE(Settle());
  EXPECT_FALSE(device.IsLocked);
  const auto complete = std::count_if(events.Log.begin(), events.Log.end(),
                                      [](const std::string& aLine) { return aLine.starts_with("complete"); });
  EXPECT_EQ(complete, 1);
  EXPECT_NE(std::find(events.Log.begin(), events.Log.end(), "complete 160071 unlocked"), events.Log.end());
}
