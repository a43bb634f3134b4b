// The fields of a settings file: their keys in the file, the panel's row
// captions, the values a module takes, and the tags behind them.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "uOutputParams.h"

// How a field's value reads in the panel's words.
enum class TzFieldKind { Number, Function, DelayType, Source, Inversion };

struct TzOutputSettingField {
  const char* Key;      // in the file's output object
  const char* Caption;  // the row of the outputs panel
  int32_t TzDiscretOutParams::*Member;
  int32_t TzOutputTags::*Tag;
  int32_t Min, Max;  // what the module takes
  TzFieldKind Kind;
};

// In the order of the outputs panel's rows. The delay may be 0 in a file:
// a module reports it so, and a restore gives back what it reported.
inline constexpr TzOutputSettingField kOutputSettingFields[] = {
    {"pwm_period", "Значение периода ШИМ", &TzDiscretOutParams::ShimPeriod, &TzOutputTags::Period, 1, 65535,
     TzFieldKind::Number},
    {"pwm_duty", "Коэф-т заполнения ШИМ", &TzDiscretOutParams::ShimKoef, &TzOutputTags::Duty, 0, 1000,
     TzFieldKind::Number},
    {"pwm_safe_duty", "Аварийный коэф-т ШИМ", &TzDiscretOutParams::ShimKoefSecure, &TzOutputTags::SafeDuty, 0, 1000,
     TzFieldKind::Number},
    {"logic_function", "Тип логической функции", &TzDiscretOutParams::LogicFunc, &TzOutputTags::Function, 0, 7,
     TzFieldKind::Function},
    {"delay_type", "Тип задержки сигнала", &TzDiscretOutParams::LogicType, &TzOutputTags::DelayType, 0, 2,
     TzFieldKind::DelayType},
    {"delay", "Задержка сигнала", &TzDiscretOutParams::LogicLag, &TzOutputTags::Delay, 0, 65535, TzFieldKind::Number},
    {"logic_x", "Источник сигнала X", &TzDiscretOutParams::LogicX, &TzOutputTags::X, 1, 12, TzFieldKind::Source},
    {"logic_y", "Источник сигнала Y", &TzDiscretOutParams::LogicY, &TzOutputTags::Y, 1, 12, TzFieldKind::Source},
    {"inversion", "Инверсия сигнала", &TzDiscretOutParams::LogicInv, &TzOutputTags::Inversion, 0, 1,
     TzFieldKind::Inversion},
};

// Places of the panel a difference is in.
std::string OutputPlace(int aOutput);  // "Реле #n"
std::string InputPlace(int aInput);    // "Вход #n"
inline constexpr const char* kDevicePlace = "Устройство";

// A value in the panel's words: the list item of a function, delay type or
// source, "да"/"нет" for the inversion, else the number.
std::string FieldValueText(TzFieldKind aKind, int32_t aValue);
// "0.375 мс" or "5.5 мс", as the filter panel's buttons read.
std::string FilterText(int32_t aType);
// "short" / "long" in the file.
const char* FilterKey(int32_t aType);
