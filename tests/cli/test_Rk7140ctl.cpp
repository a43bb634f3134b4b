// rk7140ctl as a process against the virtual module on a pseudo-terminal
// (in-process), and mbpoll as a second master for sniff.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "uSimPtyModule.h"

extern char** environ;

namespace {

struct TzRun {
  int Code = -1;
  std::string Out, Err;
};

std::string Quote(const std::string& aArg) {
  std::string quoted = "'";
  for (const char c : aArg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string Slurp(const std::string& aPath) {
  std::ifstream in(aPath);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs rk7140ctl with aArgs; stdout and stderr apart, and the exit code.
TzRun Ctl(const std::vector<std::string>& aArgs) {
  static int serial = 0;
  const std::string err = ::testing::TempDir() + "rk7140ctl-err-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
  std::string command = Quote(RK7140CTL);
  for (const std::string& arg : aArgs) command += " " + Quote(arg);
  command += " 2>" + Quote(err);
  TzRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.Out.append(buffer, n);
  const int status = ::pclose(pipe);
  run.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.Err = Slurp(err);
  std::remove(err.c_str());
  return run;
}

std::vector<std::string> Lines(const std::string& aText) {
  std::vector<std::string> lines;
  std::stringstream in(aText);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// mbpoll reading register 60070 of address 16 every 100 ms (one read with aOnce).
pid_t StartMbpoll(const std::string& aPort, bool aOnce) {
  std::vector<std::string> args = {"mbpoll", "-m", "rtu", "-a", "16", "-b", "9600", "-d", "8", "-s", "1", "-P", "none",
                                   "-0", "-t", "4", "-r", "60070", "-c", "1", "-l", "100", "-q"};
  if (aOnce) args.push_back("-1");
  args.push_back(aPort);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawnp(&pid, "mbpoll", &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

void Stop(pid_t aPid) {
  if (aPid <= 0) return;
  ::kill(aPid, SIGTERM);
  ::waitpid(aPid, nullptr, 0);
}

TzSimConfig Quiet() {
  TzSimConfig config;
  config.DemoInputs = false;
  config.Inputs = 0x0805;
  return config;
}

class CtlTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(sim.Start()) << sim.Error(); }
  std::vector<std::string> At(std::vector<std::string> aArgs) {
    aArgs.insert(aArgs.begin(), {"--port", sim.Path()});
    return aArgs;
  }
  TzSimPtyModule sim{Quiet()};
};

}  // namespace

TEST_F(CtlTest, IdentifyAndReadByIDAndByName) {
  const TzRun identify = Ctl(At({"identify", "--output", "csv"}));
  ASSERT_EQ(identify.Code, 0) << identify.Err;
  EXPECT_NE(identify.Out.find("36864,Тип прибора,74,74,192"), std::string::npos) << identify.Out;

  // By ID, by a unique prefix in other letter case, and the common options after the command.
  const TzRun read = Ctl({"read", "60070", "СОСТОЯНИЕ дискретных вх", "--port", sim.Path(), "--output", "csv"});
  ASSERT_EQ(read.Code, 0) << read.Err;
  // The fields scripts know come first; the register and the meaning are added after them.
  const std::string row = R"(60070,Состояние дискретных входов,2053,2053,192,holding register 60070,"on: 1, 3, 12")";
  EXPECT_EQ(Lines(read.Out), (std::vector<std::string>{"id,name,value,text,quality,register,meaning", row, row}));
}

// Text is for people: a header row, the register as the engineer looks it up,
// the template ID beside it, codes and statuses in words, floats as precise
// as the module keeps them.
TEST_F(CtlTest, TextNamesRegistersAndSaysWhatCodesMean) {
  const TzRun read = Ctl(At({"read", "5096", "28672", "28673", "24583", "36881", "160071"}));
  ASSERT_EQ(read.Code, 0) << read.Err;
  const auto lines = Lines(read.Out);
  ASSERT_EQ(lines.size(), 7u) << read.Out;
  const auto fields = [](const std::string& aLine) {
    std::vector<std::string> out;
    for (size_t at = 0; at < aLine.size();) {
      const size_t gap = aLine.find("  ", at);
      out.push_back(aLine.substr(at, gap - at));
      if (gap == std::string::npos) break;
      at = aLine.find_first_not_of(' ', gap);
    }
    return out;
  };
  EXPECT_EQ(fields(lines[0]), (std::vector<std::string>{"register", "id", "name", "value", "text", "quality"}));
  EXPECT_EQ(fields(lines[1]), (std::vector<std::string>{"input register 4096", "5096", "Статус DOUT1", "0",
                                                        "relay open", "good"}));
  EXPECT_EQ(fields(lines[2])[4], "9600 baud");
  EXPECT_EQ(fields(lines[3])[4], "RTU 8N1");
  EXPECT_EQ(fields(lines[4]), (std::vector<std::string>{"input register 24583", "24583", "Напряжение питания U1",
                                                        "24.1", "24.1 V", "good"}));
  EXPECT_EQ(fields(lines[5])[4], "U1 present, U2 present");
  EXPECT_EQ(fields(lines[6])[0], "holding registers 60071..60082");
  // Every column starts where its header does.
  const auto secondColumn = [](const std::string& aLine) { return aLine.find_first_not_of(' ', aLine.find("  ")); };
  for (const std::string& line : lines) EXPECT_EQ(secondColumn(line), secondColumn(lines[0])) << line;

  // JSON keeps its fields and gains the new ones; the float has its own precision.
  const auto json = nlohmann::json::parse(Ctl(At({"read", "24583", "--output", "json"})).Out);
  EXPECT_EQ(json[0]["value"], 24.1);
  EXPECT_EQ(json[0]["register"], "input register 24583");
  EXPECT_EQ(json[0]["meaning"], "24.1 V");
  EXPECT_EQ(json[0]["quality"], 192);
}

TEST_F(CtlTest, IdentifyShowsTheModuleAsThePanelDoes) {
  const TzRun identify = Ctl(At({"identify"}));
  ASSERT_EQ(identify.Code, 0) << identify.Err;
  EXPECT_EQ(Lines(identify.Out), (std::vector<std::string>{"property          value",
                                                           "type              RK-7140 (74)",
                                                           "hardware version  3",
                                                           "identifier        00-12-34-56-78-9A",
                                                           "firmware          1.05",
                                                           "power status      U1 present, U2 present",
                                                           "supply U1         24.1 V",
                                                           "supply U2         23.9 V"}));
  const TzRun version = Ctl({"--version"});
  EXPECT_EQ(version.Code, 0);
  EXPECT_EQ(version.Out.rfind("rk7140ctl ", 0), 0u) << version.Out;
}

TEST_F(CtlTest, AWriteIsConfirmedByTheModulesEcho) {
  const TzRun write = Ctl(At({"write", "Сетевой таймаут", "12", "--output", "json"}));
  ASSERT_EQ(write.Code, 0) << write.Err;
  const auto rows = nlohmann::json::parse(write.Out);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]["id"], 28680);
  EXPECT_EQ(rows[0]["value"], 12);
  EXPECT_EQ(rows[0]["quality"], 192);
  EXPECT_EQ(Ctl(At({"read", "28680", "--output", "csv"})).Out,
            "id,name,value,text,quality,register,meaning\n28680,Сетевой таймаут,12,12,192,holding register 28680,12 s\n");
}

// A value the register cannot hold is refused before anything is sent: it
// would go out as its low 16 bits and the module's echo would confirm it.
TEST_F(CtlTest, AValueThatDoesNotFitItsRegisterIsRefusedAndNothingWritten) {
  const std::vector<std::string> read = At({"read", "4104", "--output", "csv"});
  const std::string before = Ctl(read).Out;
  ASSERT_NE(before.find(",192"), std::string::npos) << before;
  for (const char* value : {"99999999", "-3", "65536", "2.5"}) {
    SCOPED_TRACE(value);
    const TzRun write = Ctl(At({"write", "4104", value}));
    EXPECT_EQ(write.Code, 1);
    EXPECT_NE(write.Err.find("does not fit tag 4104"), std::string::npos) << write.Err;
    EXPECT_NE(write.Err.find("0..65535"), std::string::npos) << write.Err;
    EXPECT_TRUE(write.Out.empty()) << write.Out;
  }
  EXPECT_EQ(Ctl(read).Out, before);
  EXPECT_EQ(Ctl(At({"write", "4104", "65535"})).Code, 0);
  EXPECT_NE(Ctl(read).Out.find(",65535,65535,192"), std::string::npos);
}

TEST_F(CtlTest, DumpAsJsonHoldsEveryReadableTag) {
  const TzRun dump = Ctl(At({"dump", "--output", "json"}));
  ASSERT_EQ(dump.Code, 0) << dump.Err;
  const auto rows = nlohmann::json::parse(dump.Out);
  ASSERT_EQ(rows.size(), 92u);
  for (const auto& row : rows) {
    EXPECT_EQ(row["quality"], 192) << row.dump();
    for (const char* key : {"id", "name", "value", "text"}) EXPECT_TRUE(row.contains(key)) << key;
  }
  EXPECT_EQ(rows.front()["id"], 4096);  // template order
  EXPECT_EQ(rows.back()["id"], 160071);
}

TEST_F(CtlTest, PollWritesOneCsvRowPerRound) {
  const TzRun poll = Ctl(At({"poll", "60070", "24583", "--count", "3", "--interval", "50", "--output", "csv"}));
  ASSERT_EQ(poll.Code, 0) << poll.Err;
  const auto lines = Lines(poll.Out);
  ASSERT_EQ(lines.size(), 4u) << poll.Out;
  EXPECT_EQ(lines[0], "time,60070,24583");
  for (size_t i = 1; i < lines.size(); ++i) EXPECT_NE(lines[i].find(",2053,24.1"), std::string::npos) << lines[i];
}

// The port goes away under a running poll (a device server restarted, an
// adapter pulled and plugged again): poll says so, opens it again when it is
// back and goes on polling.
TEST_F(CtlTest, PollReconnectsWhenThePortComesBack) {
  const std::string link = ::testing::TempDir() + "rk7140ctl-poll-link-" + std::to_string(::getpid());
  std::remove(link.c_str());
  ASSERT_EQ(::symlink(sim.Path().c_str(), link.c_str()), 0);
  auto run = std::async(std::launch::async, [&] {
    return Ctl({"--port", link, "poll", "60070", "--interval", "100", "--count", "40", "--output", "csv"});
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  sim.Stop();  // the near end sees the port close
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  ASSERT_TRUE(sim.Start()) << sim.Error();
  std::remove(link.c_str());
  ASSERT_EQ(::symlink(sim.Path().c_str(), link.c_str()), 0);
  const TzRun poll = run.get();
  std::remove(link.c_str());
  EXPECT_NE(poll.Err.find("lost, reconnecting"), std::string::npos) << poll.Err;
  EXPECT_NE(poll.Err.find("is back, polling on"), std::string::npos) << poll.Err;
  // Rows with the value before the loss and after the return.
  const std::vector<std::string> rows = Lines(poll.Out);
  ASSERT_EQ(rows.size(), 41u) << poll.Out;
  EXPECT_NE(rows[1].find(",2053"), std::string::npos) << rows[1];
  EXPECT_NE(rows.back().find(",2053"), std::string::npos) << rows.back();
}

TEST_F(CtlTest, NewLineSettingsAfterARestartAnswerAtTheNewAddress) {
  const TzRun line = Ctl(At({"line", "--address", "20", "--baud", "19200", "--format", "8N2", "--restart"}));
  ASSERT_EQ(line.Code, 0) << line.Err;
  // The module is silent for a while after its restart.
  TzRun identify;
  for (int attempt = 0; attempt < 50 && identify.Code != 0; ++attempt) {
    identify = Ctl(At({"--address", "20", "--baud", "19200", "--format", "8N2", "identify"}));
    if (identify.Code != 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(identify.Code, 0) << identify.Err;
}

// One pass over a short range of a bus with the module at 16 and a foreign
// device at 17; JSON is one array with the devices' fields.
TEST(CtlScan, FindsTheModuleAndAForeignDevice) {
  TzSimPtyBus bus;
  bus.Bus().AddModule(Quiet());
  bus.Bus().AddForeign({.Address = 17, .Type = 75});
  ASSERT_TRUE(bus.Start()) << bus.Error();
  const TzRun scan = Ctl({"--port", bus.Path(), "scan", "--from", "14", "--to", "18", "--output", "json"});
  ASSERT_EQ(scan.Code, 0) << scan.Err;
  EXPECT_EQ(nlohmann::json::parse(scan.Out),
            nlohmann::json::parse(R"([{"address":16,"baud":9600,"format":"8N1","device":"RK-7140"},
                                      {"address":17,"baud":9600,"format":"8N1","device":"Unknown"}])"));
  EXPECT_NE(scan.Err.find("estimated 0.4 s"), std::string::npos) << scan.Err;

  // Nothing in the range: success, an empty table and a note.
  const TzRun none = Ctl({"--port", bus.Path(), "scan", "--from", "1", "--to", "3", "--output", "csv"});
  EXPECT_EQ(none.Code, 0) << none.Err;
  EXPECT_EQ(none.Out, "address,baud,format,device\n");
  EXPECT_NE(none.Err.find("nothing answered"), std::string::npos) << none.Err;
}

// A module set to 19200 8N2 on a line that carries only its own baud rate
// and stop bits: found under that setting alone; the parity formats, which
// a pseudo-terminal refuses, are skipped with a note each.
TEST(CtlScan, AllSettingsFindTheModulesOwnSetting) {
  TzSimConfig config = Quiet();
  config.BaudCode = 5;    // 19200
  config.FormatCode = 7;  // 8N2
  TzSimPtyModule sim(config);
  sim.Bus().SetStrictLine(true);
  ASSERT_TRUE(sim.Start()) << sim.Error();
  const TzRun scan = Ctl({"--port", sim.Path(), "scan", "--all-settings", "--from", "16", "--to", "16", "--output", "csv"});
  ASSERT_EQ(scan.Code, 0) << scan.Err;
  EXPECT_EQ(Lines(scan.Out), (std::vector<std::string>{"address,baud,format,device", "16,19200,8N2,RK-7140"}));
  for (const char* skipped : {"skipped 1200 8O1: the port refuses it", "skipped 19200 8E1: the port refuses it",
                              "skipped 115200 8E1: the port refuses it"})
    EXPECT_NE(scan.Err.find(skipped), std::string::npos) << skipped << "\n" << scan.Err;
  EXPECT_EQ(scan.Err.find("skipped 19200 8N2"), std::string::npos) << scan.Err;
}

TEST(CtlExitCodes, EachFailureHasItsCode) {
  TzSimPtyBus bus;
  TzSimModule& module = bus.Bus().AddModule(Quiet());
  bus.Bus().AddForeign({.Address = 20, .Type = 75});
  ASSERT_TRUE(bus.Start()) << bus.Error();
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::function<void()> setUp;
    int code;
    const char* message;
  };
  TzSimFaultSettings exception;
  exception.Exceptions[60070] = 2;
  TzSimFaultSettings crc;
  crc.CrcPercent = 100;
  const Case cases[] = {
      {"usage", {"read", "60070", "--bogus"}, nullptr, 1, "--bogus"},
      {"unknown tag", {"read", "нет такого"}, nullptr, 1, "no tag named"},
      {"reversed scan range", {"scan", "--from", "20", "--to", "10"}, nullptr, 1, "--from 20 is above --to 10"},
      {"no such port", {"--port", "/nonexistent/port", "identify"}, nullptr, 2, "cannot be opened"},
      {"no answer", {"--address", "17", "identify"}, nullptr, 3, "no answer"},
      {"exception", {"read", "60070"}, [&] { module.SetFaults(exception); }, 4, "exception 02h"},
      {"not an RK-7140", {"--address", "20", "identify"}, nullptr, 5, "not an RK-7140 (device type 75"},
      {"not decodable", {"read", "60070"}, [&] { module.SetFaults(crc); }, 6, "cannot be decoded"},
      {"ambiguous name", {"read", "напряжение"}, nullptr, 1,
       R"(2 names start so: 24583 "Напряжение питания U1"; 24711 "Напряжение питания U2")"},
      // The module takes a new logic function only while the output's is off.
      {"refused change", {"outputs", "1", "--function", "2"},
       [&] { ASSERT_EQ(Ctl({"--port", bus.Path(), "outputs", "1", "--function", "1"}).Code, 0); }, 7,
       "runs logic function 1"},
  };
  for (const Case& c : cases) {
    module.SetFaults({});
    if (c.setUp) c.setUp();
    std::vector<std::string> args = c.args;
    if (std::string(c.name) != "no such port") args.insert(args.begin(), {"--port", bus.Path()});
    const TzRun run = Ctl(args);
    EXPECT_EQ(run.Code, c.code) << c.name << ": " << run.Err;
    EXPECT_NE(run.Err.find(c.message), std::string::npos) << c.name << ": " << run.Err;
    EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << c.name << ": " << run.Err;
  }
}

TEST(CtlSniff, ListensToASecondMasterThroughTheTap) {
  TzSimPtyBus bus;
  bus.Bus().AddModule(Quiet());
  bus.SetTap(true);
  bus.Bus().SetStrictLine(true);
  ASSERT_TRUE(bus.Start()) << bus.Error();

  auto sniff = std::async(std::launch::async, [&] {
    return Ctl({"--port", bus.TapPath(), "sniff", "--count", "2", "--seconds", "15", "--output", "csv"});
  });
  // mbpoll asks until sniff has heard its two frames.
  pid_t mbpoll = -1;
  while (sniff.wait_for(std::chrono::milliseconds(300)) != std::future_status::ready) {
    if (mbpoll > 0) ::waitpid(mbpoll, nullptr, 0);
    mbpoll = StartMbpoll(bus.Path(), true);
    ASSERT_GT(mbpoll, 0) << "mbpoll (Debian package mbpoll) did not start";
  }
  Stop(mbpoll);
  const TzRun run = sniff.get();
  ASSERT_EQ(run.Code, 0) << run.Err;
  const auto lines = Lines(run.Out);
  ASSERT_EQ(lines.size(), 3u) << run.Out;
  EXPECT_NE(lines[1].find(",request,16,3,60070,quantity 1,ok,10 03 EA A6 00 01 53 70"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find(",answer,16,3,60070,values 2053,ok,"), std::string::npos) << lines[2];

  // --detect: the strict line carries the traffic only to a listener at 9600.
  const pid_t polling = StartMbpoll(bus.Path(), false);
  ASSERT_GT(polling, 0);
  const TzRun detect = Ctl({"--port", bus.TapPath(), "sniff", "--detect", "--dwell", "400", "--output", "csv"});
  Stop(polling);
  ASSERT_EQ(detect.Code, 0) << detect.Err;
  const auto found = Lines(detect.Out);
  ASSERT_GE(found.size(), 2u) << detect.Out;
  EXPECT_EQ(found[0], "baud,format,frames");
  for (size_t i = 1; i < found.size(); ++i) EXPECT_EQ(found[i].rfind("9600,8N", 0), 0u) << found[i];
  EXPECT_NE(detect.Err.find("skipped 9600 8E1: the port refuses it"), std::string::npos) << detect.Err;
}
