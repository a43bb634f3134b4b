// rk7140-sim: a virtual RK-7140 module, a Modbus RTU slave on a
// pseudo-terminal (default) or on a serial device; with --module and
// --foreign a bus of several devices; with --listen also over the network.
// Prints "ready: PATH" as its first line ("tap: PATH" next with --tap, then
// "listen: ENDPOINT" for each listener); then reads control commands on stdin
// ("help" lists them).
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "uSimBus.h"
#include "uSimBusControl.h"
#include "uSimNetServer.h"
#include "uSimOptions.h"
#include "uSimSerial.h"
#include "uSimSlave.h"
#include "uSimTap.h"

namespace {

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
int ControlLoop(TzSimBus& aBus, TzSimSlave& aSlave, int aSignalFd) {
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
        const TzSimCommandResult result = RunSimBusCommand(aBus, pending.substr(0, end), reply);
        pending.erase(0, end + 1);
        Reply(reply);
        if (result == TzSimCommandResult::Quit) return 0;
      }
    }
  }
}

// Builds the bus the options describe and runs the --exec commands on it.
bool MakeBus(const TzSimOptions& aOptions, TzSimBus& aBus) {
  for (const int address : aOptions.Modules) {
    TzSimConfig config = aOptions.Config;
    config.Address = address;
    aBus.AddModule(config);
  }
  for (const TzSimForeignConfig& device : aOptions.Foreign) aBus.AddForeign(device);
  aBus.SetStrictLine(aOptions.StrictLine);
  aBus.SetWireTiming(aOptions.WireTiming);
  for (const std::string& command : aOptions.Commands) {
    std::string reply;
    if (RunSimBusCommand(aBus, command, reply) != TzSimCommandResult::Ok) {
      std::fprintf(stderr, "rk7140-sim: --exec \"%s\": %s\n", command.c_str(), reply.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  TzSimOptions options;
  if (!ParseSimOptions(argc, argv, options)) return 2;
  TzSimBus bus;
  if (!MakeBus(options, bus)) return 2;

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
  TzSimTap tap;
  if (!options.Tap.empty() && !tap.Open(error)) {
    std::fprintf(stderr, "rk7140-sim: %s\n", error.c_str());
    return 1;
  }
  bool linked = false;
  if (!options.Link.empty()) {
    if (!MakeLink(path, options.Link)) return 1;
    linked = true;
  }
  bool tapLinked = false;
  if (!options.Tap.empty()) {
    if (!MakeLink(tap.Path(), options.Tap)) {
      if (linked) unlink(options.Link.c_str());
      return 1;
    }
    tapLinked = true;
  }

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
  TzSimSlave slave(bus, log);
  if (tap.IsOpen()) slave.SetTap(&tap);
  // The listeners listen before the ready line, so a client that waits for
  // it finds them.
  std::vector<std::unique_ptr<TzSimNetServer>> servers;
  for (const TzSimListenAddress& address : options.Listen) {
    auto server = std::make_unique<TzSimNetServer>(bus, log);
    if (!server->Listen(address, error)) {
      std::fprintf(stderr, "rk7140-sim: %s\n", error.c_str());
      if (linked) unlink(options.Link.c_str());
      if (tapLinked) unlink(options.Tap.c_str());
      return 1;
    }
    servers.push_back(std::move(server));
  }
  int code = 1;
  if (signalFd >= 0 && slave.Start(fd, !options.Port.empty())) {
    for (const auto& server : servers) server->Start();
    Reply("ready: " + path);
    if (tap.IsOpen()) Reply("tap: " + tap.Path());
    for (const auto& server : servers) Reply("listen: " + server->Endpoint());
    if (options.Verbose) std::fprintf(stderr, "%s\n", bus.Describe().c_str());
    code = ControlLoop(bus, slave, signalFd);
  } else {
    std::fprintf(stderr, "rk7140-sim: cannot start serving %s\n", path.c_str());
  }
  for (const auto& server : servers) server->Stop();
  slave.Stop();
  if (!options.Port.empty()) close(fd);
  if (linked) unlink(options.Link.c_str());
  if (tapLinked) unlink(options.Tap.c_str());
  return code;
}
