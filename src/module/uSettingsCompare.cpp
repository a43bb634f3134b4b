#include "uSettingsCompare.h"

#include "uLineRules.h"
#include "uOutputCaptions.h"
#include "uSettingsFields.h"

std::string OutputPlace(int aOutput) { return "Реле #" + std::to_string(aOutput); }
std::string InputPlace(int aInput) { return "Вход #" + std::to_string(aInput); }

std::string FieldValueText(TzFieldKind aKind, int32_t aValue) {
  switch (aKind) {
    case TzFieldKind::Function: return LogicFuncCaption(aValue);
    case TzFieldKind::DelayType:
      if (aValue >= 0 && aValue < static_cast<int32_t>(kLogicTypeCaptions.size()))
        return kLogicTypeCaptions[static_cast<size_t>(aValue)];
      break;
    case TzFieldKind::Source:
      if (aValue >= 1 && aValue <= kLogicSourceCount) return LogicSourceCaption(aValue);
      break;
    case TzFieldKind::Inversion: return aValue != 0 ? "да" : "нет";
    case TzFieldKind::Number: break;
  }
  return std::to_string(aValue);
}

std::string FilterText(int32_t aType) { return aType == ftLong ? "5.5 мс" : "0.375 мс"; }
const char* FilterKey(int32_t aType) { return aType == ftLong ? "long" : "short"; }

namespace {

std::string BaudText(int32_t aCode) {
  if (aCode < 0 || aCode >= static_cast<int32_t>(kLineBaudRates.size())) return std::to_string(aCode);
  return std::to_string(kLineBaudRates[static_cast<size_t>(aCode)]);
}

std::string FormatText(int32_t aIndex) {
  if (aIndex < 0 || aIndex >= static_cast<int32_t>(kLineFormatNames.size())) return std::to_string(aIndex);
  return "MODBUS RTU " + std::string(kLineFormatNames[static_cast<size_t>(aIndex)]);
}

}  // namespace

std::vector<TzSettingsDifference> CompareSettings(const TzModuleSettings& aLeft, const TzModuleSettings& aRight,
                                                  bool aWithIdentity) {
  std::vector<TzSettingsDifference> differences;
  for (int n = 1; n <= kOutputCount; ++n) {
    const TzDiscretOutParams& left = aLeft.Outputs[static_cast<size_t>(n - 1)];
    const TzDiscretOutParams& right = aRight.Outputs[static_cast<size_t>(n - 1)];
    for (const TzOutputSettingField& field : kOutputSettingFields) {
      if (left.*field.Member == right.*field.Member) continue;
      differences.push_back({"outputs[" + std::to_string(n) + "]." + field.Key, OutputPlace(n), field.Caption,
                             FieldValueText(field.Kind, left.*field.Member),
                             FieldValueText(field.Kind, right.*field.Member)});
    }
  }
  for (int n = 1; n <= kInputCount; ++n) {
    const std::optional<int32_t>& left = aLeft.Filters[static_cast<size_t>(n - 1)];
    const std::optional<int32_t>& right = aRight.Filters[static_cast<size_t>(n - 1)];
    if (!left || !right || *left == *right) continue;
    differences.push_back({"inputs[" + std::to_string(n) + "].filter", InputPlace(n), "Фильтр дребезга",
                           FilterText(*left), FilterText(*right)});
  }
  if (!aWithIdentity) return differences;
  const TzRS485Settings& left = aLeft.Line;
  const TzRS485Settings& right = aRight.Line;
  const auto add = [&](const char* aKey, const char* aField, const std::string& aL, const std::string& aR) {
    if (aL != aR) differences.push_back({std::string("identity.") + aKey, kDevicePlace, aField, aL, aR});
  };
  add("address", "Адрес", std::to_string(left.Address), std::to_string(right.Address));
  add("baud", "Скорость", BaudText(left.BaudIndex), BaudText(right.BaudIndex));
  add("format", "Формат", FormatText(left.FormatIndex), FormatText(right.FormatIndex));
  add("network_timeout", "Тайм-аут", std::to_string(left.Timeout), std::to_string(right.Timeout));
  return differences;
}
