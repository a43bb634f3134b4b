#include "uLinkNetwork.h"

#include "uLinkStream.h"

std::unique_ptr<TzLink> MakeNetworkLink(TzLinkKind aKind) {
  switch (aKind) {
    case TzLinkKind::Rfc2217: return MakeRfc2217Link();
    case TzLinkKind::ModbusTcp: return MakeModbusTcpLink();
    case TzLinkKind::Tcp:
    case TzLinkKind::Serial: break;
  }
  return MakeTcpLink();
}
