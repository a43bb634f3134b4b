// rk7140ctl: the RK-7140 module from scripts and production lines.
#include <cstdio>
#include <memory>
#include <vector>

#include "uCliCommand.h"
#include "uCliExit.h"
#include "uVersion.h"

int main(int argc, char** argv) {
  CLI::App app{"rk7140ctl: the RK-7140 serial I/O module from the command line (Modbus RTU over RS-485)",
               "rk7140ctl"};
  app.require_subcommand(1);
  app.fallthrough();  // the common options are accepted after the command's name too
  app.footer(kExitCodesHelp);
  app.set_version_flag("--version", std::string("rk7140ctl ") + kVersion);
  TzCommonOptions options;
  AddCommonOptions(app, options);

  std::vector<std::unique_ptr<TzCommand>> commands;
  std::vector<CLI::App*> subcommands;
  for (const TzCommandMaker make : CommandTable()) {
    commands.push_back(make());
    CLI::App* sub = commands.back()->Add(app);
    sub->footer(kExitCodesHelp);
    subcommands.push_back(sub);
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    ReportError(std::string(e.what()) + " (see rk7140ctl --help)");
    return exUsage;
  }

  for (size_t i = 0; i < commands.size(); ++i) {
    if (!subcommands[i]->parsed()) continue;
    if (const int code = ResolveOptions(options, commands[i]->NeedsPort()); code != exOk) return code;
    return commands[i]->Run(options);
  }
  return exUsage;
}
