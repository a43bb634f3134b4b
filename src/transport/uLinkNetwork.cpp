// TEMPORARY until the network links land on this branch: every network endpoint fails to open.
#include "uLinkNetwork.h"

namespace {
class TzNoNetworkLink final : public TzLink {
public:
  bool Open(const std::string&) override { return false; }
  bool IsOpen() const override { return false; }
  TzLinkError LastError() const override { return TzLinkError::BadEndpoint; }
  bool GetSettings(TzPlatformDCB&) override { return false; }
  bool SetSettings(const TzPlatformDCB&) override { return false; }
  bool SetQueueSizes(uint32_t, uint32_t) override { return false; }
  bool GetTimeouts(TzPlatformTimeouts&) override { return false; }
  bool SetTimeouts(const TzPlatformTimeouts&) override { return false; }
  bool GetEventMask(uint32_t&) override { return false; }
  bool SetEventMask(uint32_t) override { return false; }
  bool Purge() override { return false; }
  bool Write(const uint8_t*, size_t, size_t& aWritten) override { aWritten = 0; return false; }
  bool Read(uint8_t*, size_t, size_t& aRead) override { aRead = 0; return false; }
  bool TakeErrorFlags(uint32_t&) override { return false; }
  bool Close() override { return true; }
  void Interrupt() override {}
};
}  // namespace

std::unique_ptr<TzLink> MakeNetworkLink(TzLinkKind) { return std::make_unique<TzNoNetworkLink>(); }
