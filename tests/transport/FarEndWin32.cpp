#include <cstdlib>
#include <string>

#include "FarEnd.h"
#include "uLink.h"
#include "uSerialPorts.h"

namespace {
// The test script names the two ports: the engine's and the far one.
int32_t PortFromEnvironment(const char* aName) {
  const char* value = std::getenv(aName);
  return value ? PortNumberFromName(std::string("COM") + value) : -1;
}

class TzComFarEnd final : public TzFarEnd {
public:
  TzComFarEnd(int32_t aEnginePort, std::unique_ptr<TzLink> aPort)
      : fEnginePort(aEnginePort), fPort(std::move(aPort)) {}

  int32_t EnginePort() const override { return fEnginePort; }

  bool ReadExactly(std::vector<uint8_t>& aBytes, size_t aCount, int aGuardMs) override {
    aBytes.clear();
    SetReadTimeout(static_cast<uint32_t>(aGuardMs));
    uint8_t buf[512];
    size_t got = 0;
    if (!fPort->Read(buf, std::min(sizeof buf, aCount), got)) return false;
    aBytes.assign(buf, buf + got);
    return got == aCount;
  }

  std::vector<uint8_t> Drain(int aMs) override {
    SetReadTimeout(static_cast<uint32_t>(aMs));
    std::vector<uint8_t> bytes;
    uint8_t buf[512];
    size_t got = 0;
    while (fPort->Read(buf, sizeof buf, got) && got > 0) bytes.insert(bytes.end(), buf, buf + got);
    return bytes;
  }

  bool Write(const std::vector<uint8_t>& aBytes) override {
    size_t written = 0;
    return fPort->Write(aBytes.data(), aBytes.size(), written) && written == aBytes.size();
  }

  void Close() override { fPort->Close(); }
  bool NearEndSeesClose() const override { return false; }

private:
  // Wait up to the total for the bytes asked for, ending 20 ms after the last.
  void SetReadTimeout(uint32_t aTotalMs) {
    TzPlatformTimeouts t{};
    t.ReadIntervalTimeout = 20;
    t.ReadTotalTimeoutConstant = aTotalMs;
    t.WriteTotalTimeoutConstant = 2000;
    fPort->SetTimeouts(t);
  }

  int32_t fEnginePort;
  std::unique_ptr<TzLink> fPort;
};
}  // namespace

std::unique_ptr<TzFarEnd> MakeFarEnd(std::string& aWhy) {
  const int32_t engine = PortFromEnvironment("RK7140_TEST_COM");
  const int32_t farPort = PortFromEnvironment("RK7140_TEST_FAR_COM");
  if (engine < 1 || farPort < 1) {
    aWhy = "RK7140_TEST_COM and RK7140_TEST_FAR_COM name no ports";
    return nullptr;
  }
  auto port = MakeSerialLink();
  TzPlatformDCB d{};
  if (!port->Open(PortDeviceName(farPort)) || !port->GetSettings(d)) {
    aWhy = "the far port cannot be opened";
    return nullptr;
  }
  d.BaudRate = 9600;
  d.ByteSize = 8;
  d.Parity = 0;
  d.StopBits = 0;
  SetDcbFlagsWord(d, dcbflag::Binary);
  port->SetSettings(d);
  return std::make_unique<TzComFarEnd>(engine, std::move(port));
}

// A COM number the test script never maps.
int32_t MissingPortNumber() { return 199; }
