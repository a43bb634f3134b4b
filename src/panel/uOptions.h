// The options file of the panel: the connection settings that survive a
// restart (port number, address, baud-rate item, format item, time-out), and
// the network ports used (the selected one as the endpoint of "comport").
//
// <?xml version="1.0"?>
// <options><comport indx="3" addr="16" baudrate="3" format="0" timeout="20"/></options>
// <options><comport indx="0" endpoint="tcp://10.0.0.5:4001" addr="16" .../>
//          <netport endpoint="tcp://10.0.0.5:4001"/><netport endpoint="modbus-tcp://gw:502"/></options>
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The values found in a file; an attribute that is missing or not an integer
// stays empty.
struct TzOptionsValues {
  std::optional<int32_t> Indx;
  std::optional<int32_t> Addr;
  std::optional<int32_t> BaudRate;
  std::optional<int32_t> Format;
  std::optional<int32_t> Timeout;
  std::optional<std::string> Endpoint;    // the selected port is this network port
  std::vector<std::string> NetworkPorts;  // every network port the list had
};

// What a save writes: the port number and the list indexes as integers, the
// address and time-out fields as typed.
struct TzOptionsRecord {
  int32_t Indx = 0;
  std::string Addr;
  int32_t BaudRate = 0;
  int32_t Format = 0;
  std::string Timeout;
  std::string Endpoint;  // empty for a serial port
  std::vector<std::string> NetworkPorts;
};

// Reads the file. False when it does not exist, cannot be parsed or its root
// element is not "options" (aValues untouched); true otherwise, with the
// attributes of the first "comport" child of the root, if there is one.
bool LoadOptionsFile(const std::filesystem::path& aPath, TzOptionsValues& aValues);

// Writes the whole document to aPath + ".tmp" and renames it over aPath, so a
// failed save leaves the previous file as it was. Creates the folder when it is
// missing. False with a message in aError when any step fails.
bool SaveOptionsFile(const std::filesystem::path& aPath, const TzOptionsRecord& aRecord,
                     std::string& aError);

// Where the panel keeps the file: beside the executable on Windows; on other
// systems $XDG_CONFIG_HOME/rk7140/Options.xml, by default
// ~/.config/rk7140/Options.xml (the program folder is usually read-only there).
std::filesystem::path OptionsFilePath();
