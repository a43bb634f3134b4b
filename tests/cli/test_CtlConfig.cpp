// rk7140ctl config save|diff|restore against the virtual module and its bus:
// the whole round (save, change, diff, restore, diff), a running logic
// function, a refused write, a clone to three modules, and every kind of bad
// file refused before anything goes out on the line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "CtlRun.h"
#include "uSimControl.h"
#include "uSimPtyModule.h"

namespace {

// What the module heard: the function byte of every request it answered or refused.
class TzRequestLog {
public:
  TzSimSlave::TzLogFn Fn() {
    return [this](const std::string& aLine) {
      std::lock_guard lock(fM);
      fLines.push_back(aLine);
    };
  }
  // Requests of a write function (5, 6, 15, 16), as "request AA FF ..." lines.
  std::vector<std::string> Writes() {
    std::lock_guard lock(fM);
    std::vector<std::string> writes;
    for (const std::string& line : fLines) {
      if (line.rfind("request ", 0) != 0 || line.size() < 13) continue;
      const std::string function = line.substr(11, 2);
      if (function == "05" || function == "06" || function == "0F" || function == "10") writes.push_back(line);
    }
    return writes;
  }
  size_t Requests() {
    std::lock_guard lock(fM);
    size_t count = 0;
    for (const std::string& line : fLines) count += line.rfind("request ", 0) == 0 ? 1 : 0;
    return count;
  }
  void Clear() {
    std::lock_guard lock(fM);
    fLines.clear();
  }

private:
  std::mutex fM;
  std::vector<std::string> fLines;
};

TzSimConfig Quiet(int aAddress = 16) {
  TzSimConfig config;
  config.Address = aAddress;
  config.DemoInputs = false;
  return config;
}

std::string TempFile(const std::string& aName) {
  return ::testing::TempDir() + "rk7140-cfg-" + std::to_string(::getpid()) + "-" + aName;
}

std::string Slurp(const std::string& aPath) {
  std::ifstream in(aPath);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void Put(const std::string& aPath, const std::string& aText) { std::ofstream(aPath) << aText; }

std::vector<std::string> Keys(const std::string& aJson) {
  std::vector<std::string> keys;
  for (const auto& row : nlohmann::json::parse(aJson)) keys.push_back(row["key"]);
  return keys;
}

void Sim(TzSimModule& aModule, const std::string& aCommand) {
  std::string reply;
  ASSERT_EQ(RunSimCommand(aModule, aCommand, reply), TzSimCommandResult::Ok) << aCommand << ": " << reply;
}

class CtlConfig : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(sim.Start()) << sim.Error(); }
  void TearDown() override { std::filesystem::remove(file); }
  TzCtlRun Ctl(std::vector<std::string> aArgs) {
    aArgs.insert(aArgs.begin(), {"--port", sim.Path()});
    return RunCtl(aArgs);
  }
  TzRequestLog log;
  TzSimPtyModule sim{Quiet(), log.Fn()};
  std::string file = TempFile("module.json");
};

}  // namespace

TEST_F(CtlConfig, SaveChangeDiffRestoreAndNothingDiffers) {
  const TzCtlRun save = Ctl({"config", "save", file});
  ASSERT_EQ(save.Code, 0) << save.Err;
  EXPECT_NE(save.Out.find("identifier 00-12-34-56-78-9A"), std::string::npos) << save.Out;
  const nlohmann::json saved = nlohmann::json::parse(Slurp(file));
  EXPECT_EQ(saved["outputs"][1]["pwm_period"], 100);
  EXPECT_EQ(saved["identity"]["address"], 16);
  EXPECT_EQ(saved["read_over"]["port"], sim.Path());

  // By hand, as the panel's outputs and filter panels would.
  ASSERT_EQ(Ctl({"outputs", "2", "--period", "250"}).Code, 0);
  ASSERT_EQ(Ctl({"inputs", "--filter", "3=long"}).Code, 0);

  const TzCtlRun diff = Ctl({"config", "diff", file, "--output", "json"});
  EXPECT_EQ(diff.Code, 8) << diff.Err;
  EXPECT_EQ(Keys(diff.Out), (std::vector<std::string>{"outputs[2].pwm_period", "inputs[3].filter"}));
  const nlohmann::json rows = nlohmann::json::parse(diff.Out);
  EXPECT_EQ(rows[0]["place"], "Реле #2");
  EXPECT_EQ(rows[0]["field"], "Значение периода ШИМ");
  EXPECT_EQ(rows[0]["file"], "100");
  EXPECT_EQ(rows[0]["module"], "250");
  EXPECT_EQ(rows[1]["module"], "5.5 мс");

  log.Clear();
  const TzCtlRun restore = Ctl({"config", "restore", file, "--output", "csv"});
  ASSERT_EQ(restore.Code, 0) << restore.Err;
  EXPECT_EQ(restore.Out, "address,result,written,planned,detail\n16,verified,60,60,\n");
  // The identity stays the module's own: no write to the RS-485 settings.
  for (const std::string& write : log.Writes()) EXPECT_EQ(write.find("10 06 70 0"), std::string::npos) << write;

  const TzCtlRun again = Ctl({"config", "diff", file});
  EXPECT_EQ(again.Code, 0) << again.Err;
  EXPECT_EQ(again.Out, "no differences\n");
}

TEST_F(CtlConfig, ARunningLogicFunctionIsSwitchedOffFirst) {
  // The file: output 4 runs X AND Y with a rising-edge delay of 3 s.
  ASSERT_EQ(Ctl({"outputs", "4", "--delay-type", "1", "--delay", "30", "--x", "5", "--y", "6"}).Code, 0);
  ASSERT_EQ(Ctl({"outputs", "4", "--function", "2"}).Code, 0);
  ASSERT_EQ(Ctl({"config", "save", file}).Code, 0);
  // Now it runs a pulse of another length: the module takes no new delay
  // and no new function while it runs.
  ASSERT_EQ(Ctl({"outputs", "4", "--function", "0"}).Code, 0);
  ASSERT_EQ(Ctl({"outputs", "4", "--delay", "7", "--delay-type", "0"}).Code, 0);
  ASSERT_EQ(Ctl({"outputs", "4", "--function", "5"}).Code, 0);

  const TzCtlRun restore = Ctl({"config", "restore", file});
  ASSERT_EQ(restore.Code, 0) << restore.Err;
  EXPECT_NE(restore.Out.find("verified"), std::string::npos) << restore.Out;
  EXPECT_EQ(Ctl({"config", "diff", file}).Out, "no differences\n");
}

TEST_F(CtlConfig, ARefusedWriteStopsTheRestoreAtOnce) {
  ASSERT_EQ(Ctl({"config", "save", file}).Code, 0);
  ASSERT_EQ(Ctl({"outputs", "2", "--period", "250"}).Code, 0);
  Sim(sim.Module(), "fault write-exception 4232 4");  // the period of output 2
  log.Clear();
  const TzCtlRun restore = Ctl({"config", "restore", file, "--output", "csv"});
  EXPECT_EQ(restore.Code, 4) << restore.Err;
  EXPECT_EQ(restore.Out, "address,result,written,planned,detail\n16,stopped,10,60,outputs[2].pwm_period := 100\n");
  EXPECT_NE(restore.Err.find("restore stopped at write 11 of 60, outputs[2].pwm_period := 100: 10 written, 50 not written"),
            std::string::npos)
      << restore.Err;
  // The refused write was the last one the module heard.
  const std::vector<std::string> writes = log.Writes();
  ASSERT_EQ(writes.size(), 11u);
  EXPECT_NE(writes.back().find("10 06 10 88 00 64"), std::string::npos) << writes.back();
  EXPECT_NE(writes.back().find("exception 4"), std::string::npos) << writes.back();
}

// A write whose answer is lost may have arrived: it is neither counted as
// written nor as not written. The module drops every hundredth answer: after
// the restore's reads that is the 35th write.
TEST_F(CtlConfig, AWriteWithoutAnAnswerStopsTheRestoreUnconfirmed) {
  ASSERT_EQ(Ctl({"config", "save", file}).Code, 0);
  Sim(sim.Module(), "fault drop 1");
  const TzCtlRun restore = Ctl({"config", "restore", file, "--output", "csv"});
  EXPECT_EQ(restore.Code, 3) << restore.Err;
  EXPECT_NE(restore.Err.find("restore stopped at write 35 of 60, outputs[4].delay := 5: 34 written, "
                             "1 unconfirmed, 25 not written"),
            std::string::npos)
      << restore.Err;
  EXPECT_NE(restore.Out.find("16,stopped,34,60,"), std::string::npos) << restore.Out;
}

TEST_F(CtlConfig, EveryKindOfBadFileIsRefusedBeforeAnythingIsSent) {
  ASSERT_EQ(Ctl({"config", "save", file}).Code, 0);
  const std::string good = Slurp(file);
  nlohmann::ordered_json newer = nlohmann::ordered_json::parse(good);
  newer["version"] = 2;
  nlohmann::ordered_json other = nlohmann::ordered_json::parse(good);
  other["module"]["type"] = 75;
  nlohmann::ordered_json invalid = nlohmann::ordered_json::parse(good);
  invalid["outputs"][0]["pwm_duty"] = 5000;
  struct Case {
    std::string Text, Message;
  };
  const Case cases[] = {
      {good.substr(0, good.size() - 40), "truncated"},
      {"{ settings }", "not valid JSON"},
      {R"({"format": "something else"})", "no RK-7140 settings file"},
      {newer.dump(2), "format version 2"},
      {other.dump(2), "another module type (device type 75"},
      {invalid.dump(2), "outputs[1].pwm_duty is missing or out of range"},
  };
  const std::string bad = TempFile("bad.json");
  log.Clear();
  for (const Case& c : cases) {
    Put(bad, c.Text);
    const TzCtlRun restore = Ctl({"config", "restore", bad, "--with-line-settings"});
    EXPECT_EQ(restore.Code, 9) << c.Message;
    EXPECT_NE(restore.Err.find(c.Message), std::string::npos) << restore.Err;
    EXPECT_NE(restore.Err.find("nothing was written"), std::string::npos) << restore.Err;
  }
  EXPECT_EQ(RunCtl({"config", "restore", TempFile("missing.json"), "--port", sim.Path()}).Code, 9);
  EXPECT_EQ(log.Requests(), 0u);
  std::filesystem::remove(bad);
}

TEST_F(CtlConfig, AFailedReadLeavesNoFile) {
  Sim(sim.Module(), "fault exception 60018 2");  // the filter register
  const TzCtlRun save = Ctl({"config", "save", file});
  EXPECT_EQ(save.Code, 4) << save.Err;
  EXPECT_NE(save.Err.find("60018"), std::string::npos) << save.Err;
  EXPECT_FALSE(std::filesystem::exists(file));
  // An earlier file stays whole.
  Put(file, "earlier");
  EXPECT_EQ(Ctl({"config", "save", file}).Code, 4);
  EXPECT_EQ(Slurp(file), "earlier");
}

TEST_F(CtlConfig, TwoFilesAreComparedWithoutAPort) {
  ASSERT_EQ(Ctl({"config", "save", file}).Code, 0);
  nlohmann::ordered_json changed = nlohmann::ordered_json::parse(Slurp(file));
  changed["outputs"][5]["logic_function"] = 3;
  changed["identity"]["baud"] = 19200;
  const std::string second = TempFile("second.json");
  Put(second, changed.dump(2));
  const TzCtlRun diff = RunCtl({"config", "diff", file, second, "--output", "csv"});
  EXPECT_EQ(diff.Code, 8) << diff.Err;
  EXPECT_EQ(diff.Out,
            "place,field,file,file2,key\n"
            "Реле #6,Тип логической функции,Откл.,X OR Y,outputs[6].logic_function\n"
            "Устройство,Скорость,9600,19200,identity.baud\n");
  EXPECT_EQ(RunCtl({"config", "diff", file, file}).Out, "no differences\n");
  std::filesystem::remove(second);
}

// One file into three modules of a bus, one after another, each verified;
// a module that refuses a write fails alone, and the exit code says so.
TEST(CtlConfigClone, OneFileIntoThreeModulesOnOneBus) {
  TzSimPtyBus bus;
  bus.Bus().AddModule(Quiet(10));
  bus.Bus().AddModule(Quiet(11));
  TzSimModule& refusing = bus.Bus().AddModule(Quiet(12));
  bus.Bus().AddModule(Quiet(13));
  ASSERT_TRUE(bus.Start()) << bus.Error();
  const std::string file = TempFile("clone.json");
  const auto at = [&](int aAddress, std::vector<std::string> aArgs) {
    aArgs.insert(aArgs.begin(), {"--port", bus.Path(), "--address", std::to_string(aAddress)});
    return RunCtl(aArgs);
  };
  ASSERT_EQ(at(10, {"outputs", "1", "--period", "42", "--duty", "300"}).Code, 0);
  ASSERT_EQ(at(10, {"inputs", "--filter", "6=long"}).Code, 0);
  ASSERT_EQ(at(10, {"config", "save", file}).Code, 0);

  const TzCtlRun clone = RunCtl({"--port", bus.Path(), "config", "restore", file, "--address", "11", "--address",
                                 "12", "--address", "13", "--output", "csv"});
  ASSERT_EQ(clone.Code, 0) << clone.Err;
  EXPECT_EQ(clone.Out,
            "address,result,written,planned,detail\n"
            "11,verified,60,60,\n12,verified,60,60,\n13,verified,60,60,\n");
  for (const int address : {11, 12, 13}) {
    // Each keeps its own address; everything else is the source's.
    const TzCtlRun diff = at(address, {"config", "diff", file, "--output", "json"});
    EXPECT_EQ(Keys(diff.Out), std::vector<std::string>{"identity.address"}) << address;
  }

  // Every RK-7140 a search finds; one refuses a write, the others go on.
  Sim(refusing, "fault write-exception 4101 4");
  const TzCtlRun all = RunCtl({"--port", bus.Path(), "config", "restore", file, "--all-found", "--from", "11", "--to",
                               "14", "--output", "csv"});
  EXPECT_EQ(all.Code, 4) << all.Err;
  EXPECT_EQ(all.Out,
            "address,result,written,planned,detail\n"
            "11,verified,60,60,\n12,stopped,0,60,outputs[1].pwm_duty := 300\n"
            "13,verified,60,60,\n");

  // One file's address into several modules would give them one address.
  EXPECT_EQ(RunCtl({"--port", bus.Path(), "config", "restore", file, "--address", "11", "--address", "13",
                    "--with-line-settings"})
                .Code,
            1);
  std::filesystem::remove(file);
}
