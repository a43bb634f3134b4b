#include "uEndpoint.h"
#include "uLink.h"
#include "uLinkNetwork.h"

std::unique_ptr<TzLink> MakeLink(const std::string& aEndpoint) {
  const auto endpoint = ParseEndpoint(aEndpoint);
  if (!endpoint || endpoint->Kind == TzLinkKind::Serial) return MakeSerialLink();
  return MakeNetworkLink(endpoint->Kind);
}
