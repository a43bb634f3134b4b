// rfc2217://HOST:PORT: Modbus RTU frames over Telnet with the COM-PORT-OPTION
// of RFC 2217, so the server's serial port is set to the line settings the
// engine applies and purged with it.
//
// Telnet: a data byte 0xFF goes as IAC IAC both ways; commands, option
// negotiation and subnegotiations in what arrives are taken out of the data.
// On connecting the link offers WILL COM-PORT-OPTION (and binary
// transmission both ways) and waits for the server's DO; a DONT or WONT, or
// no word at all, means the server does not do RFC 2217. Line settings are
// sent as SET-BAUDRATE, SET-DATASIZE, SET-PARITY and SET-STOPSIZE, each
// acknowledged by the server with the value now in effect (its command +
// 100). Modem-control options (SET-CONTROL and the like) are never needed:
// servers in front of a pseudo-terminal do not acknowledge them.
#include <bitset>
#include <map>
#include <vector>

#include "uLinkStream.h"

namespace {
constexpr uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250, kSe = 240;
constexpr uint8_t kOptBinary = 0, kOptSuppressGoAhead = 3, kOptComPort = 44;
// COM-PORT-OPTION commands of the client; the server answers with + 100.
constexpr uint8_t kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4, kPurgeData = 12;
constexpr uint8_t kServerOffset = 100;
constexpr uint8_t kPurgeBoth = 3;
constexpr int kNegotiationTimeoutMs = 1000;

bool Wanted(uint8_t aOption) {
  return aOption == kOptBinary || aOption == kOptSuppressGoAhead || aOption == kOptComPort;
}

class TzLinkRfc2217 final : public TzLinkStream {
public:
  TzLinkRfc2217() : TzLinkStream(TzLinkKind::Rfc2217) {}

protected:
  bool OnConnected() override {
    fState = TzState::Data;
    fSub.clear();
    fSentWill.reset();
    fSentDo.reset();
    fSentWont.reset();
    fSentDont.reset();
    fAccepted = fRefused = false;
    fAcks.clear();
    std::vector<uint8_t> offer;
    for (const uint8_t option : {kOptBinary, kOptSuppressGoAhead, kOptComPort}) {
      Verb(offer, kWill, option);
      fSentWill[option] = true;
    }
    for (const uint8_t option : {kOptBinary, kOptSuppressGoAhead}) {
      Verb(offer, kDo, option);
      fSentDo[option] = true;
    }
    if (SendRaw(offer.data(), offer.size(), kNegotiationTimeoutMs) != TzNetIo::Ready) return Failed(TzLinkError::ClosedByPeer);
    PumpUntil(kNegotiationTimeoutMs, [this] { return fAccepted || fRefused || !Usable(); });
    if (!Usable()) return Failed(fLastError);
    if (!fAccepted || fRefused) return Failed(TzLinkError::NegotiationRefused);
    return true;
  }

  bool ApplySettings(const TzPlatformDCB& aDCB) override {
    const uint32_t baud = aDCB.BaudRate;
    // RFC 2217: parity 1 none, 2 odd, 3 even, 4 mark, 5 space; stop size 1
    // one, 2 two, 3 one and a half.
    const uint8_t parity = static_cast<uint8_t>(aDCB.Parity <= 4 ? aDCB.Parity + 1 : 1);
    const uint8_t stop = aDCB.StopBits == 2 ? 2 : aDCB.StopBits == 1 ? 3 : 1;
    const std::vector<std::pair<uint8_t, std::vector<uint8_t>>> commands = {
        {kSetBaudRate,
         {static_cast<uint8_t>(baud >> 24), static_cast<uint8_t>(baud >> 16), static_cast<uint8_t>(baud >> 8),
          static_cast<uint8_t>(baud)}},
        {kSetDataSize, {static_cast<uint8_t>(aDCB.ByteSize)}},
        {kSetParity, {parity}},
        {kSetStopSize, {stop}},
    };
    fAcks.clear();
    std::vector<uint8_t> out;
    for (const auto& [command, value] : commands) Sub(out, command, value);
    if (SendRaw(out.data(), out.size(), kNegotiationTimeoutMs) != TzNetIo::Ready) return Failed(TzLinkError::ClosedByPeer);
    const auto acknowledged = [&] {
      for (const auto& c : commands)
        if (fAcks.count(c.first) == 0) return false;
      return true;
    };
    PumpUntil(kNegotiationTimeoutMs, [&] { return acknowledged() || !Usable(); });
    if (!Usable()) return Failed(fLastError);
    if (!acknowledged()) return Failed(TzLinkError::NegotiationRefused);
    // The server answers with what its port now has: another value is a
    // setting the port refused.
    for (const auto& [command, value] : commands)
      if (fAcks[command] != value) return Failed(TzLinkError::SettingRefused);
    return true;
  }

  bool OnPurge() override {
    std::vector<uint8_t> out;
    Sub(out, kPurgeData, {kPurgeBoth});
    return SendRaw(out.data(), out.size(), kNegotiationTimeoutMs) == TzNetIo::Ready;
  }

  TzNetIo SendFrame(const uint8_t* aData, size_t aCount, int aTimeoutMs) override {
    std::vector<uint8_t> out;
    out.reserve(aCount + 8);
    for (size_t i = 0; i < aCount; ++i) {
      out.push_back(aData[i]);
      if (aData[i] == kIac) out.push_back(kIac);
    }
    return SendRaw(out.data(), out.size(), aTimeoutMs);
  }

  void Decode(const uint8_t* aData, size_t aCount) override {
    std::vector<uint8_t> data;
    for (size_t i = 0; i < aCount; ++i) {
      const uint8_t b = aData[i];
      switch (fState) {
        case TzState::Data:
          if (b == kIac) fState = TzState::Iac;
          else data.push_back(b);
          break;
        case TzState::Iac:
          if (b == kIac) {
            data.push_back(kIac);
            fState = TzState::Data;
          } else if (b >= kWill && b <= kDont) {
            fVerb = b;
            fState = TzState::Option;
          } else if (b == kSb) {
            fSub.clear();
            fState = TzState::Sub;
          } else {
            fState = TzState::Data;  // NOP, GA and the other one-byte commands carry nothing here
          }
          break;
        case TzState::Option:
          Negotiate(fVerb, b);
          fState = TzState::Data;
          break;
        case TzState::Sub:
          if (b == kIac) fState = TzState::SubIac;
          else fSub.push_back(b);
          break;
        case TzState::SubIac:
          if (b == kIac) {
            fSub.push_back(kIac);
            fState = TzState::Sub;
          } else {
            if (b == kSe) Subnegotiation();
            fState = TzState::Data;
          }
          break;
      }
    }
    AddAnswerBytes(data.data(), data.size());
  }

private:
  enum class TzState : uint8_t { Data, Iac, Option, Sub, SubIac };

  bool Failed(TzLinkError aWhy) {
    fLastError = aWhy == TzLinkError::None ? TzLinkError::Other : aWhy;
    return false;
  }

  static void Verb(std::vector<uint8_t>& aOut, uint8_t aVerb, uint8_t aOption) {
    aOut.insert(aOut.end(), {kIac, aVerb, aOption});
  }

  static void Sub(std::vector<uint8_t>& aOut, uint8_t aCommand, const std::vector<uint8_t>& aValue) {
    aOut.insert(aOut.end(), {kIac, kSb, kOptComPort, aCommand});
    for (const uint8_t b : aValue) {
      aOut.push_back(b);
      if (b == kIac) aOut.push_back(kIac);
    }
    aOut.insert(aOut.end(), {kIac, kSe});
  }

  // Answers the server's option negotiation once per option, so the two
  // sides never loop.
  void Negotiate(uint8_t aVerb, uint8_t aOption) {
    std::vector<uint8_t> reply;
    switch (aVerb) {
      case kDo:  // the server asks us to use an option
        if (aOption == kOptComPort) fAccepted = true;
        if (Wanted(aOption)) {
          if (!fSentWill[aOption]) Verb(reply, kWill, aOption);
          fSentWill[aOption] = true;
        } else if (!fSentWont[aOption]) {
          Verb(reply, kWont, aOption);
          fSentWont[aOption] = true;
        }
        break;
      case kDont:
        if (aOption == kOptComPort) fRefused = true;
        break;
      case kWill:  // the server offers to use an option
        if (aOption == kOptComPort) break;  // some servers announce it; nothing to answer
        if (Wanted(aOption)) {
          if (!fSentDo[aOption]) Verb(reply, kDo, aOption);
          fSentDo[aOption] = true;
        } else if (!fSentDont[aOption]) {
          Verb(reply, kDont, aOption);
          fSentDont[aOption] = true;
        }
        break;
      case kWont:
        if (aOption == kOptComPort) fRefused = true;
        break;
      default: break;
    }
    if (!reply.empty()) SendRaw(reply.data(), reply.size(), kNegotiationTimeoutMs);
  }

  void Subnegotiation() {
    if (fSub.size() < 2 || fSub[0] != kOptComPort || fSub[1] <= kServerOffset) return;
    fAcks[static_cast<uint8_t>(fSub[1] - kServerOffset)] = std::vector<uint8_t>(fSub.begin() + 2, fSub.end());
  }

  TzState fState = TzState::Data;
  uint8_t fVerb = 0;
  std::vector<uint8_t> fSub;
  std::bitset<256> fSentWill, fSentDo, fSentWont, fSentDont;
  bool fAccepted = false;
  bool fRefused = false;
  std::map<uint8_t, std::vector<uint8_t>> fAcks;  // client command -> the value the server acknowledged
};
}  // namespace

std::unique_ptr<TzLink> MakeRfc2217Link() { return std::make_unique<TzLinkRfc2217>(); }
