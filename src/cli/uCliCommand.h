// A command of rk7140ctl. Each lives in a file of its own (uCmd*.cpp) and
// is listed once in the command table (uCliCommands.cpp): adding a command
// is one more file and one more line there.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "uCliOptions.h"
#include "uCliSession.h"

class TzCommand {
public:
  virtual ~TzCommand() = default;
  // Adds the command, its options and its help to aApp; returns it.
  virtual CLI::App* Add(CLI::App& aApp) = 0;
  // Whether the command talks to a port (then --port is required).
  virtual bool NeedsPort() const { return true; }
  // Runs the command after the command line was parsed; the exit code.
  virtual int Run(const TzCommonOptions& aOptions) = 0;
};

using TzCommandMaker = std::unique_ptr<TzCommand> (*)();
// Every command, in the order --help lists them.
const std::vector<TzCommandMaker>& CommandTable();

// Helpers of the commands.
// The columns of a tag's row and the row itself (value and text empty when
// the tag holds no good value). JSON and CSV: id, name, value, text, quality,
// then register ("input register 4096") and meaning (what a code or status
// says); text: register, id, name, value, text (the meaning where there is
// one), quality in words.
std::vector<std::string> TagColumns(TzOutputFormat aFormat);
std::vector<nlohmann::json> TagRow(const TzTag& aTag, TzOutputFormat aFormat);
// Finds each tag (reported, nullptr in the list) ; false when one was not found.
bool FindTags(TzDevice& aDevice, const std::vector<std::string>& aNames, std::vector<TzTag*>& aTags);
// Runs aWork with an opened session; the exit code.
int WithSession(const TzCommonOptions& aOptions, const std::function<int(TzCliSession&)>& aWork);
// The local time as ISO 8601 with milliseconds and the UTC offset.
std::string IsoTimestamp();

std::unique_ptr<TzCommand> MakePortsCommand();
std::unique_ptr<TzCommand> MakeIdentifyCommand();
std::unique_ptr<TzCommand> MakeReadCommand();
std::unique_ptr<TzCommand> MakeWriteCommand();
std::unique_ptr<TzCommand> MakeDumpCommand();
std::unique_ptr<TzCommand> MakePollCommand();
std::unique_ptr<TzCommand> MakeOutputsCommand();
std::unique_ptr<TzCommand> MakeInputsCommand();
std::unique_ptr<TzCommand> MakeClockCommand();
std::unique_ptr<TzCommand> MakeLineCommand();
std::unique_ptr<TzCommand> MakeRestartCommand();
std::unique_ptr<TzCommand> MakeScanCommand();
std::unique_ptr<TzCommand> MakeSniffCommand();
std::unique_ptr<TzCommand> MakeConfigCommand();
