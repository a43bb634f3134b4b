#include "uSettingsRestore.h"

#include "uDeviceSettings.h"
#include "uInputConfig.h"
#include "uRK7140Device.h"
#include "uRK7140Registers.h"
#include "uSettingsFields.h"

namespace {

class TzPlanSink : public TzRegSink {
public:
  explicit TzPlanSink(std::vector<TzSettingsWrite>& aWrites) : fWrites(aWrites) {}
  void SetRegByID(int32_t aID, double aValue, bool aForced) override {
    TzSettingsWrite write;
    write.ID = aID;
    write.Value = aValue;
    write.Forced = aForced;
    fWrites.push_back(write);
  }

private:
  std::vector<TzSettingsWrite>& fWrites;
};

// The key, place, field and value text of a planned write, from its tag.
void Describe(TzSettingsWrite& aWrite) {
  const auto value = static_cast<int32_t>(aWrite.Value);
  for (int n = 1; n <= kOutputCount; ++n) {
    const TzOutputTags tags = OutputTags(n);
    for (const TzOutputSettingField& field : kOutputSettingFields) {
      if (tags.*field.Tag != aWrite.ID) continue;
      aWrite.Key = "outputs[" + std::to_string(n) + "]." + field.Key;
      aWrite.Place = OutputPlace(n);
      aWrite.Field = field.Caption;
      aWrite.ValueText = FieldValueText(field.Kind, value);
      return;
    }
  }
  for (int n = 1; n <= kInputCount; ++n) {
    if (FilterCoil(n) != aWrite.ID) continue;
    aWrite.Key = "inputs[" + std::to_string(n) + "].filter";
    aWrite.Place = InputPlace(n);
    aWrite.Field = "Фильтр дребезга";
    aWrite.ValueText = FilterText(value);
    return;
  }
  struct TzLineKey {
    int32_t ID;
    const char* Key;
    const char* Field;
  };
  static constexpr TzLineKey kLine[] = {{kAddressReg, "identity.address", "Адрес"},
                                        {kBaudRateReg, "identity.baud", "Скорость"},
                                        {kFormatReg, "identity.format", "Формат"},
                                        {kNetTimeoutReg, "identity.network_timeout", "Тайм-аут"}};
  for (const TzLineKey& line : kLine) {
    if (line.ID != aWrite.ID) continue;
    aWrite.Key = line.Key;
    aWrite.Place = kDevicePlace;
    aWrite.Field = line.Field;
    aWrite.ValueText = std::to_string(value);
    return;
  }
}

}  // namespace

std::vector<int32_t> SettingsReadTags() {
  std::vector<int32_t> ids = {kDeviceTypeReg, kIdentifierFirstReg, kIdentifierFirstReg + 1, kIdentifierFirstReg + 2,
                              kFirmwareVersionReg};
  for (int n = 1; n <= kOutputCount; ++n) {
    const TzOutputTags tags = OutputTags(n);
    for (const TzOutputSettingField& field : kOutputSettingFields) ids.push_back(tags.*field.Tag);
  }
  ids.push_back(kFilterTypesReg);
  for (const int32_t id : {kAddressReg, kBaudRateReg, kFormatReg, kNetTimeoutReg}) ids.push_back(id);
  return ids;
}

bool SettingsFromValues(const TzTryValue& aTryValue, TzModuleSettings& aSettings, int32_t& aFailedID) {
  std::vector<int32_t> values;
  for (const int32_t id : SettingsReadTags()) {
    int32_t value = 0;
    if (!aTryValue(id, value)) {
      aFailedID = id;
      return false;
    }
    values.push_back(value);
  }
  size_t i = 0;
  const auto next = [&] { return values[i++]; };
  TzModuleSettings settings = aSettings;
  settings.DeviceType = next();
  const int32_t w1 = next(), w2 = next(), w3 = next();
  settings.Identifier = IdentifierText(w1, w2, w3);
  settings.Firmware = FirmwareText(next());
  for (TzDiscretOutParams& output : settings.Outputs) {
    for (const TzOutputSettingField& field : kOutputSettingFields) output.*field.Member = next();
    output.CanModify = output.LogicFunc == 0;
  }
  const int32_t filters = next();
  for (int n = 1; n <= kInputCount; ++n) {
    if (n <= kReportedFilterInputs) settings.Filters[static_cast<size_t>(n - 1)] = FilterTypeOfInput(filters, n - 1);
    else settings.Filters[static_cast<size_t>(n - 1)].reset();
  }
  settings.Line.Address = next();
  settings.Line.BaudIndex = next();
  const int32_t formatCode = next();
  settings.Line.FormatIndex = formatCode - 4;
  settings.Line.Timeout = next();
  if (settings.Line.BaudIndex < 0 || settings.Line.BaudIndex > 9) {
    aFailedID = kBaudRateReg;
    return false;
  }
  if (settings.Line.FormatIndex < 0 || settings.Line.FormatIndex > 3) {
    aFailedID = kFormatReg;
    return false;
  }
  aSettings = settings;
  return true;
}

std::vector<TzSettingsWrite> RestorePlan(const TzModuleSettings& aFile, const TzModuleSettings& aModule, bool aWithLine) {
  std::vector<TzSettingsWrite> writes;
  TzPlanSink sink(writes);
  for (int n = 1; n <= kOutputCount; ++n) {
    const TzDiscretOutParams& wanted = aFile.Outputs[static_cast<size_t>(n - 1)];
    if (aModule.Outputs[static_cast<size_t>(n - 1)].LogicFunc != 0) {
      sink.SetRegByID(OutputTags(n).Function, 0, false);
      writes.back().SwitchOff = true;
    }
    // The function is off now (or was), so the panel's Apply writes everything.
    TzDiscretOutParams params = wanted;
    params.CanModify = true;
    const TzOutputLogicChoice choice{wanted.LogicFunc, wanted.LogicType, wanted.LogicX - 1, wanted.LogicY - 1,
                                     wanted.LogicInv != 0};
    // The file's values passed its own check; they are taken as they are.
    ApplyOutputParams(sink, n, params, [](TzOutputField, int32_t, int32_t, int32_t&) { return true; }, choice);
  }
  for (int n = 1; n <= kInputCount; ++n)
    if (const std::optional<int32_t>& filter = aFile.Filters[static_cast<size_t>(n - 1)]) WriteFilterType(sink, n, *filter);
  if (aWithLine) WriteRS485Settings(sink, aFile.Line);
  for (TzSettingsWrite& write : writes) Describe(write);
  return writes;
}
