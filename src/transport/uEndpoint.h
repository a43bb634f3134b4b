// The text that names a link, and its parts. A port is its endpoint text
// everywhere in the engine and the tools; the integer port number lives only
// where the panel's list and Options.xml need it (uSerialPorts.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class TzLinkKind : uint8_t { Serial, Tcp, Rfc2217, ModbusTcp };

struct TzEndpoint {
  TzLinkKind Kind = TzLinkKind::Serial;
  std::string Device;  // Serial: the device name as given
  std::string Host;    // network kinds: host name or address (IPv6 without brackets)
  uint16_t Port = 0;   // network kinds: TCP port
};

inline constexpr uint16_t kModbusTcpDefaultPort = 502;

// Parses "tcp://HOST:PORT", "rfc2217://HOST:PORT", "modbus-tcp://HOST[:PORT]"
// ("[v6]:PORT" for IPv6); any text without "://" is a serial device name.
// Nothing for an unknown scheme, an empty host, a missing or invalid port.
std::optional<TzEndpoint> ParseEndpoint(std::string_view aText);
// The canonical text of an endpoint (what ParseEndpoint reads back).
std::string EndpointText(const TzEndpoint& aEndpoint);
// True for the network kinds.
bool IsNetworkEndpoint(std::string_view aText);
