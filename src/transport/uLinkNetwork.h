// The network links: Modbus RTU over TCP, RFC 2217 and Modbus TCP.
#pragma once

#include <memory>

#include "uEndpoint.h"
#include "uLink.h"

// A new, closed link of a network kind (not TzLinkKind::Serial).
std::unique_ptr<TzLink> MakeNetworkLink(TzLinkKind aKind);
