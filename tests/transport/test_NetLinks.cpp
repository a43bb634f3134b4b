// The network links (RTU over TCP, RFC 2217, Modbus TCP) against scripted
// TCP peers on the loopback address, alone and under the port engine.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "NetPeer.h"
#include "TestPump.h"
#include "uFreePort.h"
#include "uLink.h"
#include "uModbusFrames.h"
#include "uUtils.h"

namespace {
using namespace std::chrono_literals;
using TzClock = std::chrono::steady_clock;
using TzBytes = std::vector<uint8_t>;

constexpr uint8_t kIac = 255;

// The identification request (function 4, register 0x9000) and its answer 74, to address 16.
const TzBytes kRequest = WithModbusCRC({0x10, 0x04, 0x90, 0x00, 0x00, 0x01});
const TzBytes kAnswer = WithModbusCRC({0x10, 0x04, 0x02, 0x00, 0x4A});
const TzBytes kOtherRequest = WithModbusCRC({0x10, 0x03, 0xEA, 0xA6, 0x00, 0x01});
const TzBytes kOtherAnswer = WithModbusCRC({0x10, 0x03, 0x02, 0x0F, 0xFF});

TzBytes Part(const TzBytes& aBytes, size_t aFrom, size_t aCount = SIZE_MAX) {
  aCount = std::min(aCount, aBytes.size() - aFrom);
  return {aBytes.begin() + static_cast<std::ptrdiff_t>(aFrom), aBytes.begin() + static_cast<std::ptrdiff_t>(aFrom + aCount)};
}

TzBytes Join(std::initializer_list<TzBytes> aParts) {
  TzBytes all;
  for (const auto& p : aParts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// The panel's time-outs: 50 ms of silence after a byte, 300 ms + 1 ms a byte in all.
TzPlatformTimeouts PanelTimeouts(uint32_t aInterval = 50, uint32_t aConstant = 300) {
  TzPlatformTimeouts t{};
  t.ReadIntervalTimeout = aInterval;
  t.ReadTotalTimeoutMultiplier = 1;
  t.ReadTotalTimeoutConstant = aConstant;
  t.WriteTotalTimeoutMultiplier = 50;
  t.WriteTotalTimeoutConstant = 50;
  return t;
}

struct TzExchange {
  bool Sent = false;
  TzBytes Answer;
  bool FlagsOk = false;
};

// What the engine does for one request: purge, write, read, ask for flags.
TzExchange Exchange(TzLink& aLink, const TzBytes& aRequest) {
  TzExchange result;
  aLink.Purge();
  size_t written = 0;
  result.Sent = aLink.Write(aRequest.data(), aRequest.size(), written) && written == aRequest.size();
  uint8_t buffer[256];
  size_t got = 0;
  aLink.Read(buffer, 255, got);
  result.Answer.assign(buffer, buffer + got);
  uint32_t flags = 0;
  result.FlagsOk = aLink.TakeErrorFlags(flags) && flags == 0;
  return result;
}

std::unique_ptr<TzLink> OpenLink(const std::string& aEndpoint, TzPlatformTimeouts aTimeouts = PanelTimeouts()) {
  auto link = MakeLink(aEndpoint);
  if (!link->Open(aEndpoint)) return nullptr;
  link->SetTimeouts(aTimeouts);
  return link;
}

// ---- RTU over TCP ----

struct TzSplitCase {
  const char* Name;
  std::vector<TzBytes> Pieces;  // what the peer sends, segment by segment
  int GapMs;
  bool Rule;                    // the completion rule set
  TzBytes Expected;             // what the read gives
};

class TcpSplitTest : public ::testing::TestWithParam<TzSplitCase> {};

TEST_P(TcpSplitTest, ReadFramesTheAnswer) {
  const TzSplitCase& c = GetParam();
  TzNetPeer peer;
  peer.Serve({[&](TzPeerConn& aConn) {
    if (aConn.Read(kRequest.size()) != kRequest) return;
    aConn.SendPieces(c.Pieces, c.GapMs);
    aConn.SeesClose();
  }});
  auto link = OpenLink(peer.Endpoint("tcp"));
  ASSERT_TRUE(link);
  if (c.Rule) link->SetCompletionRule(IsCompleteRtuAnswer);
  const TzExchange e = Exchange(*link, kRequest);
  EXPECT_TRUE(e.Sent);
  EXPECT_TRUE(e.FlagsOk);
  EXPECT_EQ(HexBytes(e.Answer), HexBytes(c.Expected));
  link->Close();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TcpSplitTest,
    ::testing::Values(
        TzSplitCase{"OneSegment", {kAnswer}, 0, true, kAnswer},
        TzSplitCase{"ThreePiecesWithGaps", {Part(kAnswer, 0, 1), Part(kAnswer, 1, 3), Part(kAnswer, 4)}, 20, true, kAnswer},
        TzSplitCase{"PiecesEndedByTheInterval", {Part(kAnswer, 0, 3), Part(kAnswer, 3)}, 20, false, kAnswer},
        // As on a serial line: a gap longer than the interval ends the read.
        TzSplitCase{"GapLongerThanTheInterval", {Part(kAnswer, 0, 3), Part(kAnswer, 3)}, 200, false, Part(kAnswer, 0, 3)},
        // The rule ends the read at the first answer's last byte.
        TzSplitCase{"TwoAnswersInOneSegment", {Join({kAnswer, kOtherAnswer})}, 0, true, kAnswer}),
    [](const auto& aInfo) { return std::string(aInfo.param.Name); });

TEST(TcpLink, AStraySecondAnswerIsPurgedBeforeTheNextRequest) {
  TzNetPeer peer;
  peer.Serve({[&](TzPeerConn& aConn) {
    if (aConn.Read(kRequest.size()) != kRequest) return;
    aConn.Send(Join({kAnswer, kAnswer}));  // a repeated answer in one segment
    if (aConn.Read(kOtherRequest.size()) != kOtherRequest) return;
    aConn.SendPieces({Part(kOtherAnswer, 0, 2), Part(kOtherAnswer, 2)}, 10);
    aConn.SeesClose();
  }});
  auto link = OpenLink(peer.Endpoint("tcp"));
  ASSERT_TRUE(link);
  link->SetCompletionRule(IsCompleteRtuAnswer);
  EXPECT_EQ(HexBytes(Exchange(*link, kRequest).Answer), HexBytes(kAnswer));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(HexBytes(Exchange(*link, kOtherRequest).Answer), HexBytes(kOtherAnswer));
}

TEST(TcpLink, SettingsAndTimeoutsAreKept) {
  TzNetPeer peer;
  peer.Serve({[](TzPeerConn& aConn) { aConn.SeesClose(); }});
  auto link = MakeLink(peer.Endpoint("tcp"));
  ASSERT_TRUE(link->Open(peer.Endpoint("tcp")));
  TzPlatformDCB dcb{};
  ASSERT_TRUE(link->GetSettings(dcb));
  EXPECT_EQ(dcb.BaudRate, 9600u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, 0);
  EXPECT_EQ(dcb.StopBits, 0);
  dcb.BaudRate = 19200;
  dcb.Parity = 2;
  ASSERT_TRUE(link->SetSettings(dcb));
  TzPlatformDCB back{};
  ASSERT_TRUE(link->GetSettings(back));
  EXPECT_EQ(back.BaudRate, 19200u);
  EXPECT_EQ(back.Parity, 2);
  TzPlatformTimeouts t = PanelTimeouts(50, 700), tBack{};
  ASSERT_TRUE(link->SetTimeouts(t));
  ASSERT_TRUE(link->GetTimeouts(tBack));
  EXPECT_EQ(tBack.ReadTotalTimeoutConstant, 700u);
  EXPECT_TRUE(link->Close());
  EXPECT_FALSE(link->IsOpen());
}

TEST(TcpLink, OpeningFailuresAreTyped) {
  struct TzCase {
    std::string Endpoint;
    TzLinkError Expected;
  };
  const TzCase cases[] = {
      {"tcp://127.0.0.1:" + std::to_string(UnusedLoopbackPort()), TzLinkError::ConnectionRefused},
      {"modbus-tcp://127.0.0.1:" + std::to_string(UnusedLoopbackPort()), TzLinkError::ConnectionRefused},
      {"rfc2217://127.0.0.1:" + std::to_string(UnusedLoopbackPort()), TzLinkError::ConnectionRefused},
      {"tcp://no-such-host.invalid:4001", TzLinkError::HostNotFound},
  };
  for (const auto& c : cases) {
    auto link = MakeLink(c.Endpoint);
    EXPECT_FALSE(link->Open(c.Endpoint)) << c.Endpoint;
    EXPECT_EQ(link->LastError(), c.Expected) << c.Endpoint;
    EXPECT_FALSE(link->IsOpen());
  }
}

TEST(TcpLink, APeerThatClosesMidAnswerLosesTheLink) {
  TzNetPeer peer;
  peer.Serve({[&](TzPeerConn& aConn) {
    if (aConn.Read(kRequest.size()) != kRequest) return;
    aConn.Send(Part(kAnswer, 0, 3));
  }});
  auto link = OpenLink(peer.Endpoint("tcp"), PanelTimeouts(50, 3000));
  ASSERT_TRUE(link);
  link->SetCompletionRule(IsCompleteRtuAnswer);
  const TzExchange e = Exchange(*link, kRequest);
  EXPECT_EQ(HexBytes(e.Answer), HexBytes(Part(kAnswer, 0, 3)));
  EXPECT_FALSE(e.FlagsOk);
  EXPECT_EQ(link->LastError(), TzLinkError::ClosedByPeer);
  // Lost for good: nothing goes out any more.
  size_t written = 0;
  EXPECT_FALSE(link->Write(kRequest.data(), kRequest.size(), written));
  uint32_t flags = 0;
  EXPECT_FALSE(link->TakeErrorFlags(flags));
}

TEST(TcpLink, InterruptEndsAWaitingReadAtOnce) {
  TzNetPeer peer;
  peer.Serve({[&](TzPeerConn& aConn) {
    aConn.Read(kRequest.size());
    aConn.SeesClose(20000);  // never answers
  }});
  auto link = OpenLink(peer.Endpoint("tcp"), PanelTimeouts(50, 30000));
  ASSERT_TRUE(link);
  std::thread interrupter([&] {
    std::this_thread::sleep_for(100ms);
    link->Interrupt();
  });
  const auto start = TzClock::now();
  const TzExchange e = Exchange(*link, kRequest);
  interrupter.join();
  EXPECT_LT(TzClock::now() - start, 10s);  // the read's own time-out is 30 s
  EXPECT_TRUE(e.Answer.empty());
  EXPECT_FALSE(e.FlagsOk);
  link->Close();
}

// ---- The engine over the network links ----

class NetEngineTest : public ::testing::Test {
protected:
  TzTestPump Pump;
  std::vector<TzAnswer> Answers;

  std::unique_ptr<TzFreePort> MakeEngine(const std::string& aEndpoint) {
    auto engine = std::make_unique<TzFreePort>(aEndpoint);
    engine->SetMainThreadPost(Pump.Poster());
    engine->SetOnAsyncAnswerProc([this](int32_t aComPort, uint32_t aUID, TStringBytes aAnswer, uint32_t aErr) {
      Answers.push_back({aComPort, aUID, aAnswer.AsBytes(), aAnswer.IsInitialize, aErr});
    });
    engine->SetCompletionRule(IsCompleteRtuAnswer);
    auto& d = engine->LocDCB();
    d.BaudRate = 19200;
    d.ByteSize = 8;
    d.Parity = 0;
    d.StopBits = 0;
    auto& t = engine->LocTimeouts();
    t.ReadIntervalTimeout = 50;
    t.ReadTotalTimeoutMultiplier = 1;
    t.ReadTotalTimeoutConstant = 1000;
    t.WriteTotalTimeoutMultiplier = 50;
    t.WriteTotalTimeoutConstant = 50;
    return engine;
  }

  bool WaitAnswers(size_t aCount) { return Pump.RunUntil([&] { return Answers.size() >= aCount; }); }
};

TEST_F(NetEngineTest, APeerGoneMidAnswerReadsAsAnUnusablePortAndANewStartConnectsAgain) {
  TzNetPeer peer;
  peer.Serve({[&](TzPeerConn& aConn) {
                if (aConn.Read(kRequest.size()) != kRequest) return;
                aConn.Send(Part(kAnswer, 0, 4));  // then gone
              },
              [&](TzPeerConn& aConn) {
                if (aConn.Read(kRequest.size()) != kRequest) return;
                aConn.Send(kAnswer);
                aConn.SeesClose();
              }});
  auto engine = MakeEngine(peer.Endpoint("tcp"));
  ASSERT_TRUE(engine->Start()) << engine->ErrorCode();
  ASSERT_TRUE(engine->SendCmd(TStringBytes::FromBytes(kRequest), 16));
  ASSERT_TRUE(WaitAnswers(1));
  EXPECT_EQ(Answers[0].ErrCode, kErrPortUnusable);
  EXPECT_TRUE(Answers[0].Bytes.empty());
  // Every further request fails alike until the caller starts again.
  ASSERT_TRUE(engine->SendCmd(TStringBytes::FromBytes(kOtherRequest), 16));
  ASSERT_TRUE(WaitAnswers(2));
  EXPECT_EQ(Answers[1].ErrCode, kErrPortUnusable);
  ASSERT_TRUE(engine->Start()) << engine->ErrorCode();
  ASSERT_TRUE(engine->SendCmd(TStringBytes::FromBytes(kRequest), 16));
  ASSERT_TRUE(WaitAnswers(3));
  EXPECT_EQ(Answers[2].ErrCode, 0u);
  EXPECT_EQ(HexBytes(Answers[2].Bytes), HexBytes(kAnswer));
}

TEST_F(NetEngineTest, ARefusedConnectionFailsTheStartWithItsReason) {
  auto engine = MakeEngine("tcp://127.0.0.1:" + std::to_string(UnusedLoopbackPort()));
  EXPECT_FALSE(engine->Start());
  EXPECT_EQ(engine->ErrorCode(), kOpenDevice);
  EXPECT_EQ(engine->LinkError(), TzLinkError::ConnectionRefused);
}

// ---- RFC 2217 ----

constexpr uint8_t kDo = 253, kDont = 254, kWill = 251, kSb = 250, kSe = 240, kComPort = 44;

// Reads Telnet from the link's side: data bytes unescaped, each COM-PORT
// subnegotiation and option verb as it comes.
struct TzTelnetReader {
  TzBytes Data;
  std::vector<TzBytes> Subs;                     // COM-PORT-OPTION: command, value...
  std::vector<std::pair<uint8_t, uint8_t>> Verbs;  // verb, option

  void Feed(const TzBytes& aBytes) {
    for (size_t i = 0; i < aBytes.size(); ++i) {
      if (aBytes[i] != kIac) {
        Data.push_back(aBytes[i]);
        continue;
      }
      if (++i >= aBytes.size()) return;
      const uint8_t verb = aBytes[i];
      if (verb == kIac) {
        Data.push_back(kIac);
      } else if (verb >= kWill && verb <= kDont) {
        if (++i < aBytes.size()) Verbs.emplace_back(verb, aBytes[i]);
      } else if (verb == kSb) {
        TzBytes sub;
        for (++i; i + 1 < aBytes.size() && !(aBytes[i] == kIac && aBytes[i + 1] == kSe); ++i) {
          if (aBytes[i] == kIac) ++i;  // IAC IAC inside
          sub.push_back(aBytes[i]);
        }
        ++i;
        if (!sub.empty() && sub[0] == kComPort) Subs.emplace_back(sub.begin() + 1, sub.end());
      }
    }
  }

  bool Offered(uint8_t aVerb, uint8_t aOption) const {
    return std::find(Verbs.begin(), Verbs.end(), std::make_pair(aVerb, aOption)) != Verbs.end();
  }
};

TzBytes ServerSub(uint8_t aCommand, const TzBytes& aValue) {
  TzBytes out = {kIac, kSb, kComPort, aCommand};
  for (const uint8_t b : aValue) {
    out.push_back(b);
    if (b == kIac) out.push_back(kIac);
  }
  out.insert(out.end(), {kIac, kSe});
  return out;
}

TzBytes Escaped(const TzBytes& aBytes) {
  TzBytes out;
  for (const uint8_t b : aBytes) {
    out.push_back(b);
    if (b == kIac) out.push_back(kIac);
  }
  return out;
}

enum class TzAckMode { Echo, Silent, OtherBaud };

// Acknowledges WILL COM-PORT-OPTION, then each setting command as told.
// Returns the commands it saw.
TzTelnetReader Negotiate(TzPeerConn& aConn, TzAckMode aAcks) {
  TzTelnetReader in;
  in.Feed(aConn.ReadFor(200));
  if (!in.Offered(kWill, kComPort)) return in;
  aConn.Send({kIac, kDo, kComPort, kIac, kWill, 1 /* echo: not wanted */});
  while (in.Subs.size() < 4) {
    const TzBytes more = aConn.ReadFor(300);
    if (more.empty()) break;
    in.Feed(more);
  }
  for (const TzBytes& sub : in.Subs) {
    if (sub.empty() || sub[0] < 1 || sub[0] > 4 || aAcks == TzAckMode::Silent) continue;
    TzBytes value(sub.begin() + 1, sub.end());
    if (sub[0] == 1 && aAcks == TzAckMode::OtherBaud) value = {0, 0, 0x25, 0x80};  // 9600
    aConn.Send(ServerSub(static_cast<uint8_t>(sub[0] + 100), value));
  }
  return in;
}

TEST(Rfc2217Link, SetsTheFarLineAndEscapesTelnetBothWays) {
  // A request and an answer with 0xFF in them: a register value of 0x0FFF.
  const TzBytes request = WithModbusCRC({0x10, 0x06, 0xEA, 0xA6, 0x00, 0xFF});
  TzTelnetReader seen;
  TzBytes requestSeen;
  TzNetPeer peer;
  peer.Serve({[&](TzPeerConn& aConn) {
    seen = Negotiate(aConn, TzAckMode::Echo);
    while (seen.Data.size() < request.size()) {
      const TzBytes more = aConn.ReadFor(300);
      if (more.empty()) break;
      seen.Feed(more);
    }
    requestSeen = seen.Data;
    // The echo, escaped, cut in two, with Telnet chatter mixed in.
    const TzBytes escaped = Escaped(request);
    const TzBytes notify = ServerSub(107, {0x30});  // NOTIFY-MODEMSTATE
    // The first piece ends between the two bytes of an escaped 0xFF.
    aConn.SendPieces({Join({{0xFF, 0xF1} /* NOP */, Part(escaped, 0, 6)}), Join({Part(escaped, 6, 1), notify, Part(escaped, 7)})}, 15);
    seen.Feed(aConn.ReadFor(200));  // the link's answer to WILL ECHO
    aConn.SeesClose();
  }});
  auto link = MakeLink(peer.Endpoint("rfc2217"));
  ASSERT_TRUE(link->Open(peer.Endpoint("rfc2217"))) << LinkErrorText(link->LastError(), "", TzTextLanguage::English);
  TzPlatformDCB dcb{};
  ASSERT_TRUE(link->GetSettings(dcb));
  dcb.BaudRate = 19200;
  dcb.ByteSize = 8;
  dcb.Parity = 2;
  dcb.StopBits = 2;
  ASSERT_TRUE(link->SetSettings(dcb)) << LinkErrorText(link->LastError(), "", TzTextLanguage::English);
  link->SetTimeouts(PanelTimeouts());
  link->SetCompletionRule(IsCompleteRtuAnswer);
  const TzExchange e = Exchange(*link, request);
  link->Close();
  peer.Stop();
  EXPECT_EQ(HexBytes(e.Answer), HexBytes(request));
  EXPECT_EQ(HexBytes(requestSeen), HexBytes(request));
  ASSERT_GE(seen.Subs.size(), 4u);
  EXPECT_EQ(HexBytes(seen.Subs[0]), "01 00 00 4B 00");  // SET-BAUDRATE 19200
  EXPECT_EQ(HexBytes(seen.Subs[1]), "02 08");           // SET-DATASIZE 8
  EXPECT_EQ(HexBytes(seen.Subs[2]), "03 03");           // SET-PARITY even
  EXPECT_EQ(HexBytes(seen.Subs[3]), "04 02");           // SET-STOPSIZE 2
  // The purge before the request: PURGE-DATA both ways.
  ASSERT_GE(seen.Subs.size(), 5u);
  EXPECT_EQ(HexBytes(seen.Subs[4]), "0C 03");
  EXPECT_TRUE(seen.Offered(254 /* DONT */, 1));  // an option it does not want is declined
  for (const TzBytes& sub : seen.Subs) EXPECT_NE(sub[0], 5) << "no modem control is asked for";
}

TEST(Rfc2217Link, NegotiationFailuresAreTyped) {
  struct TzCase {
    const char* Name;
    std::function<void(TzPeerConn&)> Server;
    bool Opens;
    TzLinkError Expected;
  };
  const TzCase cases[] = {
      {"DontComPort", [](TzPeerConn& c) { c.ReadFor(200); c.Send({kIac, kDont, kComPort}); c.SeesClose(); }, false,
       TzLinkError::NegotiationRefused},
      {"NoTelnetAtAll", [](TzPeerConn& c) { c.ReadFor(1500); }, false, TzLinkError::NegotiationRefused},
      {"SettingsNeverAcknowledged", [](TzPeerConn& c) { Negotiate(c, TzAckMode::Silent); c.SeesClose(); }, true,
       TzLinkError::NegotiationRefused},
      {"AnotherBaudRateInEffect", [](TzPeerConn& c) { Negotiate(c, TzAckMode::OtherBaud); c.SeesClose(); }, true,
       TzLinkError::SettingRefused},
  };
  for (const auto& c : cases) {
    TzNetPeer peer;
    peer.Serve({c.Server});
    auto link = MakeLink(peer.Endpoint("rfc2217"));
    const bool opened = link->Open(peer.Endpoint("rfc2217"));
    EXPECT_EQ(opened, c.Opens) << c.Name;
    if (opened) {
      TzPlatformDCB dcb{};
      link->GetSettings(dcb);
      dcb.BaudRate = 19200;
      EXPECT_FALSE(link->SetSettings(dcb)) << c.Name;
    }
    EXPECT_EQ(link->LastError(), c.Expected) << c.Name;
    link->Close();
  }
}

TEST_F(NetEngineTest, Rfc2217ServerThatIgnoresModemControlStillCarriesTheExchange) {
  TzNetPeer peer;
  peer.Serve({[&](TzPeerConn& aConn) {
    Negotiate(aConn, TzAckMode::Echo);  // acknowledges the four line settings only
    TzTelnetReader data;
    while (data.Data.size() < kRequest.size()) {
      const TzBytes more = aConn.ReadFor(500);
      if (more.empty()) return;
      data.Feed(more);
    }
    if (data.Data != kRequest) return;
    aConn.Send(Escaped(kAnswer));
    aConn.SeesClose();
  }});
  auto engine = MakeEngine(peer.Endpoint("rfc2217"));
  ASSERT_TRUE(engine->Start()) << engine->ErrorCode() << " " << static_cast<int>(engine->LinkError());
  ASSERT_TRUE(engine->SendCmd(TStringBytes::FromBytes(kRequest), 16));
  ASSERT_TRUE(WaitAnswers(1));
  EXPECT_EQ(Answers[0].ErrCode, 0u);
  EXPECT_EQ(HexBytes(Answers[0].Bytes), HexBytes(kAnswer));
}

TEST_F(NetEngineTest, Rfc2217RefusedFailsTheStart) {
  TzNetPeer peer;
  peer.Serve({[](TzPeerConn& c) { c.ReadFor(200); c.Send({kIac, 252 /* WONT */, kComPort}); c.SeesClose(); }});
  auto engine = MakeEngine(peer.Endpoint("rfc2217"));
  EXPECT_FALSE(engine->Start());
  EXPECT_EQ(engine->ErrorCode(), kOpenDevice);
  EXPECT_EQ(engine->LinkError(), TzLinkError::NegotiationRefused);
}

// ---- Modbus TCP ----

TzBytes Mbap(uint16_t aTransaction, const TzBytes& aRtu) {
  // The RTU frame without its check sum behind the header.
  const size_t length = aRtu.size() - 2;
  TzBytes out = {static_cast<uint8_t>(aTransaction >> 8), static_cast<uint8_t>(aTransaction), 0, 0,
                 static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
  out.insert(out.end(), aRtu.begin(), aRtu.end() - 2);
  return out;
}

struct TzMbapCase {
  const char* Name;
  // What the peer sends for the request of transaction aT.
  std::function<std::vector<TzBytes>(uint16_t aT)> Pieces;
  TzBytes Expected;
};

class ModbusTcpTest : public ::testing::TestWithParam<TzMbapCase> {};

TEST_P(ModbusTcpTest, AnswersComeBackAsRtuFrames) {
  const TzMbapCase& c = GetParam();
  TzBytes firstSeen, secondSeen;
  TzNetPeer peer;
  peer.Serve({[&](TzPeerConn& aConn) {
    firstSeen = aConn.Read(12);
    if (firstSeen.size() != 12) return;
    aConn.Send(Mbap(1, kAnswer));
    secondSeen = aConn.Read(12);
    if (secondSeen.size() != 12) return;
    aConn.SendPieces(c.Pieces(2), 15);
    aConn.SeesClose();
  }});
  // No interval and a long total: only the MBAP length can end the read soon.
  auto link = OpenLink(peer.Endpoint("modbus-tcp"), PanelTimeouts(0, 20000));
  ASSERT_TRUE(link);
  EXPECT_EQ(HexBytes(Exchange(*link, kRequest).Answer), HexBytes(kAnswer));
  const auto start = TzClock::now();
  const TzExchange e = Exchange(*link, kOtherRequest);
  EXPECT_LT(TzClock::now() - start, 10s);
  EXPECT_TRUE(e.FlagsOk);
  EXPECT_EQ(HexBytes(e.Answer), HexBytes(c.Expected));
  EXPECT_EQ(HexBytes(firstSeen), HexBytes(Mbap(1, kRequest)));
  EXPECT_EQ(HexBytes(secondSeen), HexBytes(Mbap(2, kOtherRequest)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModbusTcpTest,
    ::testing::Values(
        TzMbapCase{"OneSegment", [](uint16_t t) { return std::vector<TzBytes>{Mbap(t, kOtherAnswer)}; }, kOtherAnswer},
        TzMbapCase{"HeaderAndPduSplit",
                   [](uint16_t t) {
                     const TzBytes a = Mbap(t, kOtherAnswer);
                     return std::vector<TzBytes>{Part(a, 0, 3), Part(a, 3, 4), Part(a, 7)};
                   },
                   kOtherAnswer},
        // A late answer to the earlier request comes first, in the same segment.
        TzMbapCase{"LateAnswerDropped",
                   [](uint16_t t) { return std::vector<TzBytes>{Join({Mbap(t - 1, kAnswer), Mbap(t, kOtherAnswer)})}; },
                   kOtherAnswer},
        TzMbapCase{"LateAnswerSplitAcrossTheRightOne",
                   [](uint16_t t) {
                     const TzBytes both = Join({Mbap(t - 1, kAnswer), Mbap(t, kOtherAnswer)});
                     return std::vector<TzBytes>{Part(both, 0, 5), Part(both, 5, 9), Part(both, 14)};
                   },
                   kOtherAnswer},
        // A function no framing rule knows still ends by the MBAP length.
        TzMbapCase{"UnknownFunction",
                   [](uint16_t t) { return std::vector<TzBytes>{Mbap(t, WithModbusCRC({0x10, 0x2B, 0x0E, 0x01}))}; },
                   WithModbusCRC({0x10, 0x2B, 0x0E, 0x01})},
        // The gateway's word for a unit nobody has.
        TzMbapCase{"GatewayException",
                   [](uint16_t t) { return std::vector<TzBytes>{Mbap(t, WithModbusCRC({0x10, 0x83, 0x0B}))}; },
                   WithModbusCRC({0x10, 0x83, 0x0B})}),
    [](const auto& aInfo) { return std::string(aInfo.param.Name); });

TEST(ModbusTcpLink, AnswerOnlyToAnEarlierRequestEndsByTheTimeouts) {
  TzNetPeer peer;
  peer.Serve({[&](TzPeerConn& aConn) {
    if (aConn.Read(12).size() != 12) return;
    aConn.Send(Mbap(7, kAnswer));  // a transaction that was never asked
    aConn.SeesClose();
  }});
  auto link = OpenLink(peer.Endpoint("modbus-tcp"), PanelTimeouts(50, 200));
  ASSERT_TRUE(link);
  const TzExchange e = Exchange(*link, kRequest);
  EXPECT_TRUE(e.Answer.empty());
  EXPECT_TRUE(e.FlagsOk);
}

}  // namespace
