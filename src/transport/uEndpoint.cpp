#include "uEndpoint.h"

#include <charconv>

namespace {

struct TzScheme {
  std::string_view Prefix;
  TzLinkKind Kind;
};

constexpr TzScheme kSchemes[] = {
    {"tcp://", TzLinkKind::Tcp},
    {"rfc2217://", TzLinkKind::Rfc2217},
    {"modbus-tcp://", TzLinkKind::ModbusTcp},
};

std::optional<uint16_t> ParsePort(std::string_view aText) {
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(aText.data(), aText.data() + aText.size(), value);
  if (aText.empty() || ec != std::errc() || end != aText.data() + aText.size() || value == 0 || value > 65535)
    return std::nullopt;
  return static_cast<uint16_t>(value);
}

}  // namespace

std::optional<TzEndpoint> ParseEndpoint(std::string_view aText) {
  TzEndpoint result;
  if (aText.find("://") == std::string_view::npos) {
    if (aText.empty()) return std::nullopt;
    result.Device = std::string(aText);
    return result;
  }
  const TzScheme* scheme = nullptr;
  for (const auto& s : kSchemes)
    if (aText.substr(0, s.Prefix.size()) == s.Prefix) scheme = &s;
  if (!scheme) return std::nullopt;
  result.Kind = scheme->Kind;
  std::string_view rest = aText.substr(scheme->Prefix.size());
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);  // "tcp://host:4001/"
  std::string_view host;
  std::string_view port;
  if (!rest.empty() && rest.front() == '[') {  // [v6]:port
    const auto close = rest.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = rest.substr(1, close - 1);
    const std::string_view after = rest.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return std::nullopt;
      port = after.substr(1);
      if (port.empty()) return std::nullopt;
    }
  } else {
    const auto colon = rest.rfind(':');
    if (colon == std::string_view::npos) {
      host = rest;
    } else {
      host = rest.substr(0, colon);
      port = rest.substr(colon + 1);
      if (port.empty()) return std::nullopt;
    }
  }
  if (host.empty() || host.find_first_of("/?#@ ") != std::string_view::npos) return std::nullopt;
  result.Host = std::string(host);
  if (port.empty()) {
    if (result.Kind != TzLinkKind::ModbusTcp) return std::nullopt;
    result.Port = kModbusTcpDefaultPort;
  } else {
    const auto value = ParsePort(port);
    if (!value) return std::nullopt;
    result.Port = *value;
  }
  return result;
}

std::string EndpointText(const TzEndpoint& aEndpoint) {
  if (aEndpoint.Kind == TzLinkKind::Serial) return aEndpoint.Device;
  std::string text;
  for (const auto& s : kSchemes)
    if (s.Kind == aEndpoint.Kind) text = std::string(s.Prefix);
  if (aEndpoint.Host.find(':') != std::string::npos) text += "[" + aEndpoint.Host + "]";
  else text += aEndpoint.Host;
  return text + ":" + std::to_string(aEndpoint.Port);
}

bool IsNetworkEndpoint(std::string_view aText) {
  const auto endpoint = ParseEndpoint(aText);
  return endpoint && endpoint->Kind != TzLinkKind::Serial;
}
