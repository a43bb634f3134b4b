// modbus-tcp://HOST[:PORT]: a Modbus TCP gateway. The engine hands over RTU
// frames and gets RTU frames back, so everything above sees the same bytes
// over every link: a request loses its check sum and goes out behind an MBAP
// header (a new transaction identifier each, protocol 0, the length, the RTU
// address byte as unit identifier); an answer's MBAP length ends the read,
// and it comes back as unit identifier + PDU + a check sum made here. An
// answer that is not to the request in flight (a late one to an earlier
// request) is dropped.
#include <vector>

#include "uLinkStream.h"
#include "uUtils.h"

namespace {
constexpr size_t kMbapHeader = 7;       // transaction (2), protocol (2), length (2), unit (1)
constexpr size_t kMaxMbapLength = 254;  // unit identifier + the longest PDU

class TzLinkModbusTcp final : public TzLinkStream {
public:
  TzLinkModbusTcp() : TzLinkStream(TzLinkKind::ModbusTcp) {}

protected:
  bool OnConnected() override {
    fReceived.clear();
    fAnswerLength = 0;
    fInFlight = false;
    return true;
  }

  TzNetIo SendFrame(const uint8_t* aData, size_t aCount, int aTimeoutMs) override {
    // Address, function, at least nothing more, check sum: anything shorter
    // is no frame.
    if (aCount < 4) return TzNetIo::Failed;
    const size_t length = aCount - 2;  // unit identifier + PDU
    ++fTransaction;
    std::vector<uint8_t> adu = {static_cast<uint8_t>(fTransaction >> 8), static_cast<uint8_t>(fTransaction), 0, 0,
                                static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
    adu.insert(adu.end(), aData, aData + length);
    fAnswerLength = 0;
    fInFlight = true;
    return SendRaw(adu.data(), adu.size(), aTimeoutMs);
  }

  void Decode(const uint8_t* aData, size_t aCount) override {
    fReceived.insert(fReceived.end(), aData, aData + aCount);
    size_t used = 0;
    while (fReceived.size() - used >= kMbapHeader) {
      const uint8_t* frame = fReceived.data() + used;
      const uint16_t transaction = static_cast<uint16_t>(frame[0] << 8 | frame[1]);
      const uint16_t protocol = static_cast<uint16_t>(frame[2] << 8 | frame[3]);
      const size_t length = static_cast<size_t>(frame[4] << 8 | frame[5]);
      if (protocol != 0 || length < 2 || length > kMaxMbapLength) {
        // Not Modbus TCP: no frame boundary can be trusted any more.
        fReceived.clear();
        return;
      }
      if (fReceived.size() - used < 6 + length) break;
      if (fInFlight && transaction == fTransaction && fAnswerLength == 0) {
        std::vector<uint8_t> rtu(frame + 6, frame + 6 + length);
        rtu = WithModbusCRC(std::move(rtu));
        AddAnswerBytes(rtu.data(), rtu.size());
        fAnswerLength = rtu.size();
      }
      used += 6 + length;
    }
    fReceived.erase(fReceived.begin(), fReceived.begin() + static_cast<std::ptrdiff_t>(used));
  }

  bool AnswerEnds(size_t aCount) const override { return fAnswerLength != 0 && aCount >= fAnswerLength; }

private:
  uint16_t fTransaction = 0;
  bool fInFlight = false;
  size_t fAnswerLength = 0;        // of the answer to the request in flight, once it came
  std::vector<uint8_t> fReceived;  // bytes of a frame not yet whole
};
}  // namespace

std::unique_ptr<TzLink> MakeModbusTcpLink() { return std::make_unique<TzLinkModbusTcp>(); }
