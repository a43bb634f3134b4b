// The settings file: its text, every kind of file it refuses, the comparison
// in the panel's words, the values a save needs, and the restore's writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include <nlohmann/json.hpp>

#include "uSettingsCompare.h"
#include "uSettingsRestore.h"

namespace {

TzModuleSettings Sample() {
  TzModuleSettings s;
  s.Firmware = "1.05";
  s.Identifier = "00-12-34-56-78-9A";
  s.Saved = "2026-12-11T10:00:00.000+00:00";
  s.ReadOver = {"/dev/ttyUSB0", 16, 9600, 0};
  for (int n = 1; n <= kOutputCount; ++n) {
    TzDiscretOutParams& o = s.Outputs[static_cast<size_t>(n - 1)];
    o = {100 + n, 10 * n, 5 * n, 0, 0, 5, n, n + 1, 0, false};
  }
  s.Outputs[2].LogicFunc = 2;  // output 3 runs X AND Y
  s.Outputs[2].LogicInv = 1;
  for (int n = 1; n <= 6; ++n) s.Filters[static_cast<size_t>(n - 1)] = n % 2 == 0 ? ftLong : ftShort;
  s.Line = {16, 3, 0, 10};
  return s;
}

std::string SampleText() { return SettingsToJson(Sample()); }

// The sample's text with one value replaced (a JSON pointer) or removed.
std::string Edited(const std::string& aPointer, const nlohmann::json* aValue) {
  nlohmann::ordered_json doc = nlohmann::ordered_json::parse(SampleText());
  const nlohmann::ordered_json::json_pointer pointer(aPointer);
  if (aValue) doc[pointer] = *aValue;
  else doc[pointer.parent_pointer()].erase(pointer.back());
  return doc.dump(2);
}

bool SameValues(const TzModuleSettings& a, const TzModuleSettings& b) {
  return CompareSettings(a, b).empty() && a.Filters == b.Filters && a.Firmware == b.Firmware &&
         a.Identifier == b.Identifier && a.Saved == b.Saved && a.ReadOver.Port == b.ReadOver.Port &&
         a.ReadOver.BaudRate == b.ReadOver.BaudRate && a.DeviceType == b.DeviceType;
}

}  // namespace

TEST(SettingsFile, TextHoldsOneValuePerLineAndReadsBackTheSame) {
  const std::string text = SampleText();
  std::stringstream lines(text);
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    // A line holds at most one "key": value pair.
    EXPECT_EQ(line.find("\": "), line.rfind("\": ")) << line;
  }
  EXPECT_GT(count, 6 * 10 + 12 * 4);
  EXPECT_NE(text.find("\"format\": \"rk7140-settings\""), std::string::npos);
  EXPECT_NE(text.find("\"filter\": \"unknown\""), std::string::npos) << "inputs 7..12 are marked unknown";
  EXPECT_NE(text.find("\"identity\""), std::string::npos);

  TzModuleSettings back;
  ASSERT_TRUE(SettingsFromJson(text, back).Ok());
  EXPECT_TRUE(SameValues(back, Sample()));
  EXPECT_FALSE(back.Filters[6].has_value());
}

TEST(SettingsFile, SaveAndLoadGoThroughTheFileSystem) {
  const std::filesystem::path path = std::filesystem::path(::testing::TempDir()) / "rk7140-settings-test.json";
  std::string error;
  ASSERT_TRUE(SaveSettingsFile(path, Sample(), error)) << error;
  EXPECT_FALSE(std::filesystem::exists(path.string() + ".tmp"));
  TzModuleSettings back;
  EXPECT_TRUE(LoadSettingsFile(path, back).Ok());
  EXPECT_TRUE(SameValues(back, Sample()));
  std::filesystem::remove(path);
  EXPECT_EQ(LoadSettingsFile(path, back).Error, TzSettingsFileError::Unreadable);
}

TEST(SettingsFile, EveryKindOfBadFileIsRefusedAndLeavesTheSettingsAlone) {
  const nlohmann::json seven = 7, two = 2, seventyFive = 75, zero = 0, big = 1001, text = "x", fast = 12345,
                       sixOutputs = nlohmann::json::array();
  const std::string full = SampleText();
  struct Case {
    std::string Text;
    TzSettingsFileError Error;
    std::string Key;
  };
  const Case cases[] = {
      {"", TzSettingsFileError::Truncated, ""},
      {full.substr(0, full.size() / 2), TzSettingsFileError::Truncated, ""},
      {"{\"format\": \"rk7140-settings\",, }", TzSettingsFileError::NotJson, ""},
      {"<settings/>", TzSettingsFileError::NotJson, ""},
      {"[1, 2, 3]", TzSettingsFileError::NotSettings, ""},
      {Edited("/format", &text), TzSettingsFileError::NotSettings, ""},
      {Edited("/version", &two), TzSettingsFileError::NewerVersion, ""},
      {Edited("/version", &zero), TzSettingsFileError::Invalid, "version"},
      {Edited("/module/type", &seventyFive), TzSettingsFileError::OtherModule, ""},
      {Edited("/outputs/0/pwm_duty", &big), TzSettingsFileError::Invalid, "outputs[1].pwm_duty"},
      {Edited("/outputs/5/pwm_period", &zero), TzSettingsFileError::Invalid, "outputs[6].pwm_period"},
      {Edited("/outputs/2/logic_x", &text), TzSettingsFileError::Invalid, "outputs[3].logic_x"},
      {Edited("/outputs/1/logic_function", nullptr), TzSettingsFileError::Invalid, "outputs[2].logic_function"},
      {Edited("/outputs/3/output", &seven), TzSettingsFileError::Invalid, "outputs[4].output"},
      {Edited("/outputs", &sixOutputs), TzSettingsFileError::Invalid, "outputs"},
      {Edited("/inputs/4/filter", &text), TzSettingsFileError::Invalid, "inputs[5].filter"},
      {Edited("/identity/baud", &fast), TzSettingsFileError::Invalid, "identity.baud"},
      {Edited("/identity/address", &zero), TzSettingsFileError::Invalid, "identity.address"},
      {Edited("/identity", nullptr), TzSettingsFileError::Invalid, "identity"},
  };
  for (const Case& c : cases) {
    TzModuleSettings settings;
    settings.Firmware = "untouched";
    const TzSettingsFileResult result = SettingsFromJson(c.Text, settings);
    EXPECT_EQ(result.Error, c.Error) << c.Text.substr(0, 80);
    if (!c.Key.empty()) {
      EXPECT_EQ(result.Key, c.Key);
    }
    EXPECT_EQ(settings.Firmware, "untouched");
    EXPECT_FALSE(SettingsFileErrorText(result).empty());
  }
}

TEST(SettingsCompare, EachChangeShowsAsOneDifferenceInThePanelsWords) {
  struct Case {
    std::function<void(TzModuleSettings&)> Change;
    TzSettingsDifference Expected;
  };
  const Case cases[] = {
      {[](TzModuleSettings& s) { s.Outputs[0].ShimPeriod = 250; },
       {"outputs[1].pwm_period", "Реле #1", "Значение периода ШИМ", "101", "250"}},
      {[](TzModuleSettings& s) { s.Outputs[2].LogicFunc = 6; },
       {"outputs[3].logic_function", "Реле #3", "Тип логической функции", "X AND Y", "RS-триггер"}},
      {[](TzModuleSettings& s) { s.Outputs[3].LogicType = 2; },
       {"outputs[4].delay_type", "Реле #4", "Тип задержки сигнала", "Нет", "Отриц."}},
      {[](TzModuleSettings& s) { s.Outputs[5].LogicY = 12; },
       {"outputs[6].logic_y", "Реле #6", "Источник сигнала Y", "Вход #7", "Вход #12"}},
      {[](TzModuleSettings& s) { s.Outputs[2].LogicInv = 0; },
       {"outputs[3].inversion", "Реле #3", "Инверсия сигнала", "да", "нет"}},
      {[](TzModuleSettings& s) { s.Filters[1] = ftShort; },
       {"inputs[2].filter", "Вход #2", "Фильтр дребезга", "5.5 мс", "0.375 мс"}},
      {[](TzModuleSettings& s) { s.Line.FormatIndex = 2; },
       {"identity.format", "Устройство", "Формат", "MODBUS RTU 8N1", "MODBUS RTU 8E1"}},
      {[](TzModuleSettings& s) { s.Line.BaudIndex = 5; }, {"identity.baud", "Устройство", "Скорость", "9600", "19200"}},
  };
  for (const Case& c : cases) {
    TzModuleSettings changed = Sample();
    c.Change(changed);
    const std::vector<TzSettingsDifference> d = CompareSettings(Sample(), changed);
    ASSERT_EQ(d.size(), 1u) << c.Expected.Key;
    EXPECT_EQ(d[0].Key, c.Expected.Key);
    EXPECT_EQ(d[0].Place, c.Expected.Place);
    EXPECT_EQ(d[0].Field, c.Expected.Field);
    EXPECT_EQ(d[0].Left, c.Expected.Left);
    EXPECT_EQ(d[0].Right, c.Expected.Right);
  }
  // What is not a setting never differs; an unknown filter is not compared;
  // the identity only when asked.
  TzModuleSettings other = Sample();
  other.Firmware = "2.00";
  other.Saved = "later";
  other.ReadOver.Port = "/dev/ttyUSB1";
  other.Filters[0].reset();
  other.Line.Address = 17;
  EXPECT_EQ(CompareSettings(Sample(), other).size(), 1u);
  EXPECT_TRUE(CompareSettings(Sample(), other, false).empty());
}

TEST(SettingsRead, EveryValueMustBeGood) {
  std::map<int32_t, int32_t> values;
  for (const int32_t id : SettingsReadTags()) values[id] = 1;
  values[28673] = 6;      // RTU 8E1
  values[60018] = 0x0FC5;  // inputs 1 and 3 long; bits above 6 are not the module's report
  values[36866] = 0x0012;
  values[36869] = 105;
  const auto reader = [&](const std::map<int32_t, int32_t>& aValues) {
    return [&aValues](int32_t aID, int32_t& aValue) {
      const auto it = aValues.find(aID);
      if (it == aValues.end()) return false;
      aValue = it->second;
      return true;
    };
  };
  TzModuleSettings s;
  int32_t failed = 0;
  ASSERT_TRUE(SettingsFromValues(reader(values), s, failed));
  EXPECT_EQ(s.Line.FormatIndex, 2);
  EXPECT_EQ(s.Firmware, "1.05");
  EXPECT_EQ(s.Identifier, "00-12-00-01-00-01");
  EXPECT_EQ(s.Filters[0], ftLong);
  EXPECT_EQ(s.Filters[1], ftShort);
  EXPECT_EQ(s.Filters[2], ftLong);
  EXPECT_FALSE(s.Filters[6].has_value());

  // A value missing, or one the file cannot hold: no settings, the tag named.
  for (const auto& [id, value] : std::map<int32_t, int32_t>{{4096 + 128 * 4 + 20, -1}, {28673, 2}, {28672, 10}}) {
    std::map<int32_t, int32_t> bad = values;
    if (value < 0) bad.erase(id);
    else bad[id] = value;
    TzModuleSettings untouched;
    untouched.Firmware = "x";
    EXPECT_FALSE(SettingsFromValues(reader(bad), untouched, failed)) << id;
    EXPECT_EQ(failed, id);
    EXPECT_EQ(untouched.Firmware, "x");
  }
}

TEST(SettingsRestore, ThePanelsOrderWithARunningFunctionSwitchedOffFirst) {
  const TzModuleSettings file = Sample();
  TzModuleSettings module = Sample();
  module.Outputs[1].LogicFunc = 5;  // output 2 runs a pulse now; the file has it off
  module.Outputs[2].LogicFunc = 0;  // output 3 is off now; the file has it on
  const std::vector<TzSettingsWrite> plan = RestorePlan(file, module, false);

  std::vector<std::tuple<int32_t, double, bool>> output2;
  for (const TzSettingsWrite& w : plan)
    if (w.Place == "Реле #2") output2.emplace_back(w.ID, w.Value, w.Forced);
  const int32_t b = 4224;
  EXPECT_EQ(output2, (std::vector<std::tuple<int32_t, double, bool>>{{b + 1016, 0, false},
                                                                      {b + 5, 20, true},
                                                                      {b + 8, 102, true},
                                                                      {b + 9, 10, true},
                                                                      {b + 16, 0, true},
                                                                      {b + 17, 2, true},
                                                                      {b + 18, 3, true},
                                                                      {b + 19, 0, true},
                                                                      {b + 20, 5, true},
                                                                      {b + 1016, 0, false}}));
  EXPECT_TRUE(plan[9].SwitchOff);
  EXPECT_EQ(plan[9].Field, "Тип логической функции");

  // Outputs 1..6 in turn, ten writes with the switch-off, nine without; the
  // function is the last write of each; the known filters follow; the
  // address is not written.
  EXPECT_EQ(plan.size(), 6u * 9 + 1 + 6);
  EXPECT_EQ(plan[8].ID, 4096 + 1016);
  EXPECT_EQ(plan[27].Key, "outputs[3].logic_function");
  EXPECT_EQ(plan[27].ValueText, "X AND Y");
  EXPECT_EQ(plan[55].Key, "inputs[1].filter");
  EXPECT_EQ(plan.back().Key, "inputs[6].filter");
  EXPECT_EQ(plan.back().ValueText, "5.5 мс");
  for (const TzSettingsWrite& w : plan) EXPECT_NE(w.Place, "Устройство");

  // Asked for, the RS-485 settings come last in the device panel's order.
  const std::vector<TzSettingsWrite> withLine = RestorePlan(file, module, true);
  ASSERT_EQ(withLine.size(), plan.size() + 4);
  EXPECT_EQ(withLine[plan.size()].Key, "identity.address");
  EXPECT_EQ(withLine.back().Key, "identity.network_timeout");
  EXPECT_EQ(withLine.back().Value, 10);
}
