// The bus search without a line: the verdict on answers, and the pass logic
// driven answer by answer. The engine runs over a fake line whose first read
// never ends, so every probe stays queued and the test hands the answers to
// the search itself, in the order and with the codes it chooses.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FakeBackend.h"
#include "uBusSearch.h"
#include "uFindResults.h"
#include "uUtils.h"

namespace {

std::vector<uint8_t> WithCrc(std::vector<uint8_t> aBytes) {
  return WithModbusCRC(std::move(aBytes));
}

const std::vector<uint8_t> kModule1 = WithCrc({1, 4, 2, 0, 74});
const std::vector<uint8_t> kModule16 = WithCrc({16, 4, 2, 0, 74});
const std::vector<uint8_t> kForeign20 = WithCrc({20, 4, 2, 0, 75});

TEST(BusSearch, ProbeFrame) {
  EXPECT_EQ(FindRequest(16).AsBytes(), WithCrc({16, 4, 0x90, 0x00, 0x00, 0x01}));
  EXPECT_EQ(FindRequest(247).AsBytes().size(), 8u);
}

TEST(BusSearch, VerdictOnAnswers) {
  std::vector<uint8_t> badCrc = kModule16;
  badCrc[6] ^= 0x01;
  // An exception answer (here from 112) whose check sum's high byte is 74:
  // a test of the byte count and the "low byte" alone takes it for a module.
  const std::vector<uint8_t> exception = WithCrc({112, 0x85, 2});
  ASSERT_EQ(exception[4], 74);
  struct Case { const char* name; std::vector<uint8_t> bytes; TzFindVerdict verdict; };
  const Case cases[] = {
      {"type 74", kModule16, TzFindVerdict::RK7140},
      {"another type", WithCrc({16, 4, 2, 0, 75}), TzFindVerdict::Unknown},
      {"74 in the high byte", WithCrc({16, 4, 2, 74, 74}), TzFindVerdict::Unknown},
      {"exception answer", WithCrc({16, 0x84, 2}), TzFindVerdict::Unknown},
      {"3 stray bytes", {0x00, 0xFF, 0x4A}, TzFindVerdict::Unknown},
      {"4-byte answer", {16, 4, 2, 0}, TzFindVerdict::Unknown},
      {"5 bytes, no check sum", {16, 4, 2, 0, 74}, TzFindVerdict::Unknown},
      {"wrong address", kModule1, TzFindVerdict::Unknown},
      {"bad check sum", badCrc, TzFindVerdict::Unknown},
      {"another function", WithCrc({16, 3, 2, 0, 74}), TzFindVerdict::Unknown},
      {"trailing byte", [] { auto b = kModule16; b.push_back(0); return b; }(), TzFindVerdict::Unknown},
      {"nothing", {}, TzFindVerdict::Nothing},
  };
  for (const Case& c : cases) EXPECT_EQ(ClassifyFindAnswer(16, c.bytes), c.verdict) << c.name;
  EXPECT_EQ(ClassifyFindAnswer(112, exception), TzFindVerdict::Unknown);
}

// A search over a held fake line, with a result list fed as the panel feeds it.
class HeldSearch : public ::testing::Test {
protected:
  void SetUp() override {
    Line->HoldReads = true;
    Search.SetEngineFactory([this](int32_t aPort) {
      return std::make_unique<TzFreePort>(aPort, std::make_unique<TzFakeBackend>(Line));
    });
    Search.SetComPort(3);
    Search.SetBaudRate(19200);
    Search.SetFormat(3);
    Search.SetTimeout(43);
    Search.Cycled = true;
    Search.OnFindProcess = [this](int32_t aAddr) {
      Asked.push_back(aAddr);
      Results.Progress(aAddr);
    };
    Search.OnFindAddr = [this](int32_t aAddr, const TStringBytes& aAnswer) {
      Results.AddAnswer(aAddr, aAnswer.AsBytes(), TzFindDevice{});
    };
  }
  struct Probe { int32_t Addr; uint32_t UID; };
  std::vector<Probe> Pending() {
    std::vector<Probe> probes;
    for (const TzFindAnswer& rec : Records()) probes.push_back({rec.DevAddr, rec.Code});
    return probes;
  }
  std::vector<TzFindAnswer> Records() {
    struct Peek : TzBusSearch {
      static std::vector<TzFindAnswer> Of(TzBusSearch& aSearch) {
        Peek& p = static_cast<Peek&>(aSearch);
        std::lock_guard lock(p.CS);
        return p.AnswerList;
      }
    };
    return Peek::Of(Search);
  }

  // One pass as the line would answer it: the devices of aBus answer, every
  // other address times out.
  void AnswerPass(const std::map<int32_t, std::vector<uint8_t>>& aBus) {
    for (const Probe& p : Pending()) {
      const auto it = aBus.find(p.Addr);
      if (it == aBus.end()) Search.FindAnswerProc(3, p.UID, TStringBytes(), kErrNoAnswer);
      else Search.FindAnswerProc(3, p.UID, TStringBytes::FromBytes(it->second), 0);
    }
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const TzFindLine& line : Results.Lines()) texts.push_back(line.Text);
    return texts;
  }

  std::shared_ptr<TzFakeLine> Line = std::make_shared<TzFakeLine>();
  TzFindResultList Results;
  std::vector<int32_t> Asked;
  // Last: it goes first, and its engine's held read with it.
  TzBusSearch Search;
};

TEST_F(HeldSearch, StartQueuesOnePassWithTheSearchLineSettings) {
  ASSERT_TRUE(Search.Start());
  EXPECT_TRUE(Search.InFindProgress());
  const std::vector<TzFindAnswer> records = Records();
  ASSERT_EQ(records.size(), 247u);
  const std::vector<uint32_t> queued = Search.FreePort()->QueuedUIDs();
  ASSERT_EQ(queued.size(), 247u);
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].DevAddr, static_cast<int32_t>(i + 1));
    EXPECT_EQ(records[i].Code, queued[i]);
    EXPECT_EQ(records[i].Cmd, FindRequest(records[i].DevAddr));
    EXPECT_EQ(records[i].IsLast, i + 1 == 247);
  }
  std::lock_guard lock(Line->M);
  EXPECT_EQ(Line->OpenedPorts, std::vector<std::string>{PortDeviceName(3)});
  EXPECT_EQ(Line->AppliedDCB.BaudRate, 19200u);
  EXPECT_EQ(Line->AppliedDCB.ByteSize, 8);
  EXPECT_EQ(Line->AppliedDCB.Parity, 0);
  EXPECT_EQ(Line->AppliedDCB.StopBits, 2);  // 8N2
  EXPECT_EQ(Line->AppliedTimeouts.ReadIntervalTimeout, 0u);
  EXPECT_EQ(Line->AppliedTimeouts.ReadTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(Line->AppliedTimeouts.ReadTotalTimeoutConstant, 43u);
  EXPECT_EQ(Line->AppliedTimeouts.WriteTotalTimeoutMultiplier, 43u);
  EXPECT_EQ(Line->AppliedTimeouts.WriteTotalTimeoutConstant, 0u);
}

// Modules at 1 and 16, a foreign device at 20, over two passes: every address
// is asked in order, the modules are listed once, the foreign device twice,
// and the answer for 247 starts the next pass with fresh probes.
TEST_F(HeldSearch, PassesRepeatAtTheLastAddress) {
  ASSERT_TRUE(Search.Start());
  const std::map<int32_t, std::vector<uint8_t>> bus = {{1, kModule1}, {16, kModule16}, {20, kForeign20}};
  AnswerPass(bus);
  ASSERT_EQ(Asked.size(), 247u);
  for (size_t i = 0; i < Asked.size(); ++i) EXPECT_EQ(Asked[i], static_cast<int32_t>(i + 1));
  EXPECT_EQ(Texts(), (std::vector<std::string>{"[247] .......", "[1] RK-7140", "[16] RK-7140", "[20] Unknown"}));

  // The next pass: 247 new probes, queued after the old ones were dropped.
  const std::vector<TzFindAnswer> second = Records();
  ASSERT_EQ(second.size(), 247u);
  EXPECT_EQ(second.front().DevAddr, 1);
  EXPECT_EQ(second.front().Code, 248u);
  EXPECT_EQ(Search.FreePort()->QueuedUIDs().size(), 247u);
  EXPECT_EQ(Search.FreePort()->QueuedUIDs().front(), 248u);

  AnswerPass(bus);
  EXPECT_EQ(Asked.size(), 494u);
  EXPECT_EQ(Texts(),
            (std::vector<std::string>{"[247] ....", "[1] RK-7140", "[16] RK-7140", "[20] Unknown", "[20] Unknown"}));
  EXPECT_TRUE(Search.InFindProgress());
}

TEST_F(HeldSearch, ErrorsListNothingAndOnlyTheirOwnProbeGoes) {
  ASSERT_TRUE(Search.Start());
  const std::vector<Probe> probes = Pending();
  Search.FindAnswerProc(3, probes[0].UID, TStringBytes(), kErrNoAnswer);
  Search.FindAnswerProc(3, probes[1].UID, TStringBytes(), 0x08);  // a framing error
  Search.FindAnswerProc(3, 99999, TStringBytes::FromBytes(kModule1), 0);  // not a probe of this search
  EXPECT_EQ(Asked, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(Texts(), std::vector<std::string>{"[2] .."});
  EXPECT_EQ(Search.PendingCount(), 245u);
}

TEST_F(HeldSearch, StopDropsLateAnswers) {
  ASSERT_TRUE(Search.Start());
  const std::vector<Probe> probes = Pending();
  Search.Stop();
  EXPECT_FALSE(Search.InFindProgress());
  EXPECT_EQ(Search.PendingCount(), 0u);
  EXPECT_TRUE(Search.FreePort()->QueuedUIDs().empty());
  Search.FindAnswerProc(3, probes[15].UID, TStringBytes::FromBytes(kModule16), 0);
  Search.FindAnswerProc(3, probes.back().UID, TStringBytes(), kErrNoAnswer);
  EXPECT_TRUE(Asked.empty());
  EXPECT_TRUE(Results.Lines().empty());
  std::lock_guard lock(Line->M);
  EXPECT_FALSE(Line->IsOpen);  // the port is free for a connection
}

TEST_F(HeldSearch, OnePassWhenNotCycled) {
  Search.Cycled = false;
  ASSERT_TRUE(Search.Start());
  AnswerPass({{16, kModule16}});
  EXPECT_FALSE(Search.InFindProgress());
  EXPECT_EQ(Asked.size(), 247u);
  EXPECT_EQ(Search.PendingCount(), 0u);
  EXPECT_TRUE(Search.FreePort()->QueuedUIDs().empty());
}

// A range: only its addresses are asked, its last ends the pass (not 247),
// and a range outside 1..247 or reversed starts nothing.
TEST_F(HeldSearch, ARangeIsOnePassOfItsOwnAddresses) {
  Search.Cycled = false;
  Search.SetRange(15, 17);
  ASSERT_TRUE(Search.Start());
  const std::vector<TzFindAnswer> records = Records();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(Search.FreePort()->QueuedUIDs().size(), 3u);
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].DevAddr, static_cast<int32_t>(15 + i));
    EXPECT_EQ(records[i].IsLast, i == 2);
  }
  AnswerPass({{16, kModule16}});
  EXPECT_EQ(Asked, (std::vector<int32_t>{15, 16, 17}));
  EXPECT_EQ(Texts(), (std::vector<std::string>{"[17] ...", "[16] RK-7140"}));
  EXPECT_FALSE(Search.InFindProgress());

  for (const auto& [first, last] : {std::pair{0, 10}, std::pair{10, 248}, std::pair{20, 19}}) {
    Search.SetRange(first, last);
    EXPECT_FALSE(Search.Start()) << first << ".." << last;
    EXPECT_EQ(Search.StartError(), 0u);
    EXPECT_FALSE(Search.InFindProgress());
  }
  Search.SetRange(247, 247);
  ASSERT_TRUE(Search.Start());
  ASSERT_EQ(Records().size(), 1u);
  EXPECT_TRUE(Records().front().IsLast);
}

TEST_F(HeldSearch, NothingStartsWithoutATimeOutOrAPort) {
  Search.SetTimeout(0);
  EXPECT_FALSE(Search.Start());
  EXPECT_EQ(Search.StartError(), 0u);
  EXPECT_EQ(Search.FreePort(), nullptr);

  Search.SetTimeout(57);
  Line->FailStep = "open";
  EXPECT_FALSE(Search.Start());
  EXPECT_EQ(Search.StartError(), kOpenDevice);
  EXPECT_FALSE(Search.InFindProgress());
  EXPECT_EQ(Search.PendingCount(), 0u);
  EXPECT_TRUE(Search.FreePort()->QueuedUIDs().empty());

  // The next try opens the port with a new engine.
  Line->FailStep.clear();
  EXPECT_TRUE(Search.Start());
  EXPECT_EQ(Search.PendingCount(), 247u);
}

TEST(FindResults, ProgressDotsAndRemoval) {
  TzFindResultList results;
  EXPECT_TRUE(results.Progress(1));
  EXPECT_FALSE(results.Progress(2));
  EXPECT_EQ(results.Lines().front().Text, "[2] ..");
  for (int32_t a = 3; a <= 11; ++a) results.Progress(a);
  EXPECT_EQ(results.Lines().front().Text, "[11] .");  // back to one dot after ten
  EXPECT_EQ(results.Lines().size(), 1u);

  TzFindDevice settings;
  settings.ComPortIndx = 2;
  settings.BaudRateIndx = 5;
  settings.FormatIndx = 1;
  settings.Timeout = "43";
  ASSERT_TRUE(results.AddAnswer(16, kModule16, settings));
  const TzFindDevice* device = results.DeviceAt(1);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->Addr, 16);
  EXPECT_EQ(device->ComPortIndx, 2);
  EXPECT_EQ(device->BaudRateIndx, 5);
  EXPECT_EQ(device->FormatIndx, 1);
  EXPECT_EQ(device->Timeout, "43");
  EXPECT_EQ(device->aType, 62);
  EXPECT_EQ(device->Answer.AsBytes(), kModule16);
  EXPECT_EQ(results.DeviceAt(0), nullptr);  // the progress line

  EXPECT_EQ(results.RemoveCounterLine(), 0);
  EXPECT_EQ(results.RemoveCounterLine(), -1);
  ASSERT_EQ(results.Lines().size(), 1u);
  EXPECT_EQ(results.Lines().front().Text, "[16] RK-7140");
  // A progress line comes back at the head, never over a result.
  EXPECT_TRUE(results.Progress(5));
  EXPECT_EQ(results.Lines().size(), 2u);
  EXPECT_EQ(results.Lines()[1].Text, "[16] RK-7140");
}

}  // namespace
