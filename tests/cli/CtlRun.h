// Runs rk7140ctl as a process: stdout and stderr apart, and the exit code.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct TzCtlRun {
  int Code = -1;
  std::string Out, Err;
};

inline std::string ShellQuote(const std::string& aArg) {
  std::string quoted = "'";
  for (const char c : aArg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline TzCtlRun RunCtl(const std::vector<std::string>& aArgs) {
  static int serial = 0;
  const std::string err =
      ::testing::TempDir() + "rk7140ctl-cfg-err-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
  std::string command = ShellQuote(RK7140CTL);
  for (const std::string& arg : aArgs) command += " " + ShellQuote(arg);
  command += " 2>" + ShellQuote(err);
  TzCtlRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.Out.append(buffer, n);
  const int status = ::pclose(pipe);
  run.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(err);
  std::stringstream text;
  text << in.rdbuf();
  run.Err = text.str();
  std::remove(err.c_str());
  return run;
}
