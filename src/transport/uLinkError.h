// Why a link could not be opened or was lost, and the one place its text is
// made: the panel shows it in Russian, the tools in English.
#pragma once

#include <cstdint>
#include <string>

enum class TzLinkError : uint8_t {
  None,
  BadEndpoint,         // the endpoint's text names no link
  NotFound,            // no such device
  PermissionDenied,    // the user may not open it (Linux: not in dialout)
  Busy,                // another program has it
  SettingRefused,      // the device refuses a line setting
  ConnectionRefused,   // nobody listens at the address
  HostNotFound,        // the host name does not resolve
  Unreachable,         // no route, or no answer to the connection attempt
  ClosedByPeer,        // the far end closed the connection
  NegotiationRefused,  // the RFC 2217 server refused the COM port option
  Other,
};

enum class TzTextLanguage : uint8_t { English, Russian };

// One line about the failure, naming the endpoint, e.g.
// "/dev/ttyUSB0: permission denied (add the user to the group dialout)";
// the reason alone for an empty aEndpoint.
std::string LinkErrorText(TzLinkError aError, const std::string& aEndpoint, TzTextLanguage aLanguage);
// The error an errno of open()/connect() stands for (POSIX; also Winsock's
// WSA codes on Windows).
TzLinkError LinkErrorFromErrno(int aErrno);
