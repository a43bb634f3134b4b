// identify: asks the device type like the panel, then the module's
// identification. Text: as the panel shows it (type, hardware version,
// identifier, firmware, power status, supply voltages in volts); JSON and
// CSV: the rows of the tags read, as `read` prints them.
#include "uCliCommand.h"
#include "uCliExit.h"
#include "uCliTagText.h"
#include "uRK7140Registers.h"

namespace {
constexpr int32_t kIdentityTags[] = {kDeviceTypeReg,
                                     kHardwareVersionReg,
                                     kIdentifierFirstReg,
                                     kIdentifierFirstReg + 1,
                                     kIdentifierFirstReg + 2,
                                     kFirmwareVersionReg,
                                     kPowerStatusReg,
                                     kSupplyU1Reg,
                                     kSupplyU2Reg};

// The tag's value as an integer; false without a good value.
bool IntValue(const TzTag* aTag, int32_t& aValue) {
  if (!aTag || aTag->Quality() != kQualityGood) return false;
  aValue = static_cast<int32_t>(aTag->Value());
  return true;
}

void PrintPanelView(TzDevice& aDevice) {
  TzTable table(TzOutputFormat::Text, {"property", "value"});
  const auto tag = [&](int32_t aID) { return aDevice.GetTagByID(aID); };
  const auto meaning = [&](int32_t aID) -> nlohmann::json {
    const std::string text = tag(aID) ? TagMeaning(*tag(aID)) : std::string();
    return text.empty() ? nlohmann::json() : nlohmann::json(text);
  };
  int32_t type = 0, hardware = 0, w1 = 0, w2 = 0, w3 = 0;
  table.Add({"type", IntValue(tag(kDeviceTypeReg), type)
                         ? nlohmann::json(TagMeaning(*tag(kDeviceTypeReg)) + " (" + std::to_string(type) + ")")
                         : nlohmann::json()});
  table.Add({"hardware version", IntValue(tag(kHardwareVersionReg), hardware) ? nlohmann::json(hardware) : nullptr});
  const bool identifier = IntValue(tag(kIdentifierFirstReg), w1) && IntValue(tag(kIdentifierFirstReg + 1), w2) &&
                          IntValue(tag(kIdentifierFirstReg + 2), w3);
  table.Add({"identifier", identifier ? nlohmann::json(IdentifierText(w1, w2, w3)) : nullptr});
  table.Add({"firmware", meaning(kFirmwareVersionReg)});
  table.Add({"power status", meaning(kPowerStatusReg)});
  table.Add({"supply U1", meaning(kSupplyU1Reg)});
  table.Add({"supply U2", meaning(kSupplyU2Reg)});
  table.Finish();
}

class TzIdentifyCommand : public TzCommand {
public:
  CLI::App* Add(CLI::App& aApp) override {
    return aApp.add_subcommand(
        "identify",
        "ask the device type (input register 0x9000, 74 for an RK-7140) and show the module as the panel "
        "does: type, hardware version, identifier, firmware, power status and supply voltages (JSON and "
        "CSV: the rows of these tags)");
  }
  int Run(const TzCommonOptions& aOptions) override {
    return WithSession(aOptions, [&](TzCliSession& aSession) {
      if (const int code = aSession.Identify(); code != exOk) return code;
      std::vector<TzTag*> tags;
      for (const int32_t id : kIdentityTags) tags.push_back(aSession.Device().GetTagByID(id));
      const std::vector<TzOutcome> outcomes = aSession.Read(tags);
      if (aOptions.OutputFormat == TzOutputFormat::Text) {
        PrintPanelView(aSession.Device());
      } else {
        TzTable table(aOptions.OutputFormat, TagColumns(aOptions.OutputFormat));
        for (const TzTag* tag : tags) table.Add(TagRow(*tag, aOptions.OutputFormat));
        table.Finish();
      }
      return aSession.Report(outcomes);
    });
  }
};
}  // namespace

std::unique_ptr<TzCommand> MakeIdentifyCommand() { return std::make_unique<TzIdentifyCommand>(); }
