#include "uCliOptions.h"

#include "uCliExit.h"
#include "uEndpoint.h"
#include "uLineRules.h"
#include "uSerialPorts.h"

void AddCommonOptions(CLI::App& aApp, TzCommonOptions& aOptions) {
  const std::string group = "Common options (before or after the command)";
  aApp.add_option("--port", aOptions.Port,
                  "device path, a name from `rk7140ctl ports`, a port number as the panel uses it, "
                  "tcp://HOST:PORT, rfc2217://HOST:PORT or modbus-tcp://HOST[:PORT]")
      ->group(group);
  aApp.add_option("--address", aOptions.Address, "the module's bus address")
      ->check(CLI::Range(1, 247))
      ->capture_default_str()
      ->group(group);
  aApp.add_option("--baud", aOptions.BaudRate, "baud rate: " + BaudRatesText())
      ->check(CLI::IsMember(BaudRateList()))
      ->capture_default_str()
      ->group(group);
  aApp.add_option("--format", aOptions.Format, "character format: " + FormatNamesText())
      ->check(CLI::IsMember(FormatNameList(), CLI::ignore_case))
      ->capture_default_str()
      ->group(group);
  aApp.add_option("--timeout", aOptions.Timeout,
                  "answer time-out in ms (default and least: the baud rate's minimum, 57 at 9600)")
      ->check(CLI::Range(1, 60000))
      ->group(group);
  aApp.add_option("--output", aOptions.Output, "output form: text json csv")
      ->check(CLI::IsMember({"text", "json", "csv"}))
      ->capture_default_str()
      ->group(group);
  aApp.add_flag("--wait-silence", aOptions.WaitSilence,
                "end every exchange by 50 ms of silence as the panel does, not as soon as the answer is whole")
      ->group(group);
}

std::vector<std::string> FormatNameList() {
  std::vector<std::string> names;
  for (const TzRtuFormat& format : kRtuFormats) names.emplace_back(format.Name);
  return names;
}

std::vector<int32_t> BaudRateList() { return {kRtuBaudRates.begin(), kRtuBaudRates.end()}; }

std::string ResolvePort(const std::string& aPort) {
  if (aPort.empty()) return {};
  if (aPort.find_first_not_of("0123456789") == std::string::npos) {
    if (aPort.size() > 9) return {};
    return PortDeviceName(std::stoi(aPort));
  }
  const auto endpoint = ParseEndpoint(aPort);
  return endpoint ? EndpointText(*endpoint) : std::string();
}

int ResolveOptions(TzCommonOptions& aOptions, bool aNeedsPort) {
  aOptions.FormatIndex = FormatIndexOf(aOptions.Format);
  if (aOptions.FormatIndex < 0) {
    ReportError("unknown format " + aOptions.Format);
    return exUsage;
  }
  if (!CheckTimeout(aOptions.Timeout, aOptions.BaudRate)) aOptions.Timeout = GetTimeout(aOptions.BaudRate);
  aOptions.OutputFormat = aOptions.Output == "json"  ? TzOutputFormat::Json
                          : aOptions.Output == "csv" ? TzOutputFormat::Csv
                                                     : TzOutputFormat::Text;
  if (!aNeedsPort) return exOk;
  if (aOptions.Port.empty()) {
    ReportError("--port is required for this command");
    return exUsage;
  }
  aOptions.Endpoint = ResolvePort(aOptions.Port);
  if (aOptions.Endpoint.empty()) {
    if (aOptions.Port.find("://") != std::string::npos) {
      ReportError(aOptions.Port + " is not a network endpoint: use tcp://HOST:PORT, rfc2217://HOST:PORT or "
                  "modbus-tcp://HOST[:PORT]");
      return exUsage;
    }
    ReportError("port " + aOptions.Port + " cannot be opened: no such port");
    return exPort;
  }
  return exOk;
}
