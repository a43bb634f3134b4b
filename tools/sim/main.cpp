// rk7140-sim: a virtual RK-7140 module, a Modbus RTU slave on a
// pseudo-terminal (default) or on a serial device. Prints "ready: PATH" as
// its first line; then reads control commands on stdin ("help" lists them).
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "uSimControl.h"
#include "uSimModule.h"
#include "uSimSerial.h"
#include "uSimSlave.h"
#include "uUtils.h"

namespace {

struct TzOptions {
  TzSimConfig Config;
  std::string Port;
  std::string Link;
  std::vector<std::string> Commands;
  bool Verbose = false;
  bool TtyDefaults = false;
};

const char kUsage[] =
    "usage: rk7140-sim [options]\n"
    "  --port DEVICE     serve a serial device instead of a new pseudo-terminal\n"
    "  --link PATH       also make PATH a symbolic link to the pseudo-terminal\n"
    "  --tty-defaults    leave the client's end of the pseudo-terminal in the kernel's default\n"
    "                    terminal mode (echo, line editing, XON/XOFF), as a freshly plugged\n"
    "                    serial adapter is, instead of raw\n"
    "  --address N       bus address 1..247 (16)\n"
    "  --baud N          1200 2400 4800 9600 14400 19200 28800 38400 57600 115200 (9600)\n"
    "  --format F        8N1 8O1 8E1 8N2 (8N1)\n"
    "  --type N          device type answered in input register 36864 (74)\n"
    "  --static-inputs   inputs stay as set (all off) instead of the demo pattern\n"
    "  --inputs MASK     inputs 1..12 as bits 0..11; implies --static-inputs\n"
    "  --exec COMMAND    run a control command at start (repeatable), e.g. --exec \"fault delay 300\"\n"
    "  --verbose         log every request and answer on stderr\n"
    "  --help            this text; \"help\" on stdin lists the control commands\n";

bool IntArg(const char* aText, int aMin, int aMax, int& aValue) {
  int32_t value = 0;
  if (!TryStrToInt32(aText, value) || value < aMin || value > aMax) return false;
  aValue = value;
  return true;
}

// False (with a message on stderr) for a bad command line.
bool ParseOptions(int argc, char** argv, TzOptions& aOptions) {
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    if (option == "--verbose") {
      aOptions.Verbose = true;
      continue;
    }
    if (option == "--tty-defaults") {
      aOptions.TtyDefaults = true;
      continue;
    }
    if (option == "--static-inputs") {
      aOptions.Config.DemoInputs = false;
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "rk7140-sim: %s needs a value\n%s", option.c_str(), kUsage);
      return false;
    }
    const char* value = argv[++i];
    bool good = true;
    int number = 0;
    if (option == "--port") {
      aOptions.Port = value;
    } else if (option == "--link") {
      aOptions.Link = value;
    } else if (option == "--address") {
      good = IntArg(value, 1, 247, aOptions.Config.Address);
    } else if (option == "--baud") {
      good = IntArg(value, 1, 1000000, number) && SimBaudCode(number) >= 0;
      if (good) aOptions.Config.BaudCode = SimBaudCode(number);
    } else if (option == "--format") {
      aOptions.Config.FormatCode = SimFormatCode(value);
      good = aOptions.Config.FormatCode >= 0;
    } else if (option == "--type") {
      good = IntArg(value, 0, 65535, aOptions.Config.DeviceType);
    } else if (option == "--inputs") {
      good = IntArg(value, 0, 0x0FFF, number);
      aOptions.Config.Inputs = static_cast<uint16_t>(number);
      aOptions.Config.DemoInputs = false;
    } else if (option == "--exec") {
      aOptions.Commands.emplace_back(value);
    } else {
      std::fprintf(stderr, "rk7140-sim: unknown option %s\n%s", option.c_str(), kUsage);
      return false;
    }
    if (!good) {
      std::fprintf(stderr, "rk7140-sim: bad value \"%s\" for %s\n%s", value, option.c_str(), kUsage);
      return false;
    }
  }
  return true;
}

// Replaces an existing symbolic link, never another kind of file.
bool MakeLink(const std::string& aTarget, const std::string& aLink) {
  struct stat info{};
  if (lstat(aLink.c_str(), &info) == 0) {
    if (!S_ISLNK(info.st_mode)) {
      std::fprintf(stderr, "rk7140-sim: %s exists and is no symbolic link\n", aLink.c_str());
      return false;
    }
    unlink(aLink.c_str());
  }
  if (symlink(aTarget.c_str(), aLink.c_str()) != 0) {
    std::fprintf(stderr, "rk7140-sim: link %s: %s\n", aLink.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

void Reply(const std::string& aText) {
  if (aText.empty()) return;
  std::fputs(aText.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// Serves until a signal, "quit" on stdin, or a failed line. The exit code.
int ControlLoop(TzSimModule& aModule, TzSimSlave& aSlave, int aSignalFd) {
  bool stdinOpen = true;
  std::string pending;
  for (;;) {
    pollfd fds[2] = {{aSignalFd, POLLIN, 0}, {stdinOpen ? STDIN_FILENO : -1, POLLIN, 0}};
    const int ready = poll(fds, 2, 200);
    if (!aSlave.Running()) {
      std::fprintf(stderr, "rk7140-sim: %s\n", aSlave.Error().c_str());
      return 1;
    }
    if (ready <= 0) continue;
    if (fds[0].revents & POLLIN) return 0;
    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
      char buffer[512];
      const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
      if (n <= 0) {
        stdinOpen = false;  // no more commands; serve on until a signal
        continue;
      }
      pending.append(buffer, static_cast<size_t>(n));
      size_t end = 0;
      while ((end = pending.find('\n')) != std::string::npos) {
        std::string reply;
        const TzSimCommandResult result = RunSimCommand(aModule, pending.substr(0, end), reply);
        pending.erase(0, end + 1);
        Reply(reply);
        if (result == TzSimCommandResult::Quit) return 0;
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  TzOptions options;
  if (!ParseOptions(argc, argv, options)) return 2;
  TzSimModule module(options.Config);
  for (const std::string& command : options.Commands) {
    std::string reply;
    if (RunSimCommand(module, command, reply) != TzSimCommandResult::Ok) {
      std::fprintf(stderr, "rk7140-sim: --exec \"%s\": %s\n", command.c_str(), reply.c_str());
      return 2;
    }
  }

  TzSimPty pty;
  int fd = -1;
  std::string path;
  std::string error;
  if (options.Port.empty()) {
    if (!pty.Open(error, !options.TtyDefaults)) {
      std::fprintf(stderr, "rk7140-sim: %s\n", error.c_str());
      return 1;
    }
    fd = pty.MasterFd();
    path = pty.SlavePath();
  } else {
    fd = OpenSimSerialPort(options.Port, options.Config.BaudCode, options.Config.FormatCode, error);
    if (fd < 0) {
      std::fprintf(stderr, "rk7140-sim: %s\n", error.c_str());
      return 1;
    }
    path = options.Port;
  }
  if (!options.Link.empty() && !MakeLink(path, options.Link)) return 1;

  // Signals end the module through the control loop, in every thread.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);

  TzSimSlave::TzLogFn log;
  if (options.Verbose) log = [](const std::string& aLine) { std::fprintf(stderr, "%s\n", aLine.c_str()); };
  TzSimSlave slave(module, log);
  int code = 1;
  if (signalFd >= 0 && slave.Start(fd, !options.Port.empty())) {
    const TzSimLine line = module.Line();
    Reply("ready: " + path);
    if (options.Verbose) {
      std::fprintf(stderr, "serving address %d, %d baud, %s\n", line.Address,
                   kSimBaudRates[line.BaudCode], SimFormatText(line.FormatCode).c_str());
    }
    code = ControlLoop(module, slave, signalFd);
  } else {
    std::fprintf(stderr, "rk7140-sim: cannot start serving %s\n", path.c_str());
  }
  slave.Stop();
  if (!options.Port.empty()) close(fd);
  if (!options.Link.empty()) unlink(options.Link.c_str());
  return code;
}
