// tcp://HOST:PORT: Modbus RTU frames over a TCP socket, as a serial device
// server in raw (transparent) mode carries them. The bytes pass unchanged;
// the far line's settings are the server's own and are only kept here.
#include "uLinkStream.h"

namespace {
class TzLinkTcp final : public TzLinkStream {
public:
  TzLinkTcp() : TzLinkStream(TzLinkKind::Tcp) {}
};
}  // namespace

std::unique_ptr<TzLink> MakeTcpLink() { return std::make_unique<TzLinkTcp>(); }
