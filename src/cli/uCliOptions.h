// The options every command takes, accepted before or after the command's
// name, and what they resolve to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "uCliTable.h"

struct TzCommonOptions {
  std::string Port;
  int32_t Address = 16;
  int32_t BaudRate = 9600;
  std::string Format = "8N1";
  int32_t Timeout = 0;  // ms; 0: the baud rate's minimum
  std::string Output = "text";
  bool WaitSilence = false;  // end every exchange by the silence time-out, as the panel does

  // Resolved by Resolve().
  std::string Endpoint;  // what the engine opens: a device path or a network endpoint
  int32_t FormatIndex = 0;
  TzOutputFormat OutputFormat = TzOutputFormat::Text;
};

void AddCommonOptions(CLI::App& aApp, TzCommonOptions& aOptions);

// The names of the formats and the baud rates as the option checks take them.
std::vector<std::string> FormatNameList();
std::vector<int32_t> BaudRateList();

// The endpoint the engine opens: digits are a port number as the panel uses
// it; a network endpoint (tcp://, rfc2217://, modbus-tcp://) is checked and
// taken in its canonical form; anything else is a device name or path, as
// `rk7140ctl ports` lists it. Empty when it names nothing that can be opened.
std::string ResolvePort(const std::string& aPort);

// Fills the resolved fields and raises a time-out below the baud rate's
// minimum to it, as the panel does. exUsage (reported) when --port is needed
// but missing or is a malformed network endpoint, exPort when it names no
// port, else exOk.
int ResolveOptions(TzCommonOptions& aOptions, bool aNeedsPort);
