// Texts of the relay-logic settings: the lists of the outputs panel and the
// caption shown beside a relay on the picture of the module. UTF-8.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "uOutputParams.h"

// Function codes 0..7 ("Откл." .. "Имп.Реле-X"); the code is the item index.
inline constexpr std::array<const char*, 8> kLogicFuncCaptions = {
    "Откл.", "Сигнал", "X AND Y", "X OR Y", "X XOR Y", "Импульс", "RS-триггер", "Имп.Реле-X"};
// Delay types 0..2.
inline constexpr std::array<const char*, 3> kLogicTypeCaptions = {"Нет", "Полож.", "Отриц."};
inline constexpr int kLogicSourceCount = 12;

// "Вход #n" for input n (the source list holds inputs 1..12).
std::string LogicSourceCaption(int32_t aInput);
// The caption of function aCode; a code the list has no item for reads
// "функция N", so a module with newer firmware still shows its number.
std::string LogicFuncCaption(int32_t aCode);

// Which inputs a function reads: 0 none, 1 X only, 2 X and Y; -1 unknown code.
int LogicFuncSources(int32_t aCode);

struct TzRelayLogicCaption {
  bool Visible = false;
  std::string Text;  // lines separated by "\n"
  int Height = 0;    // pixels of the label on the picture
};
// The caption beside a relay: hidden for function 0; otherwise "логика:", the
// function, the X (and Y) source in parentheses and "(Invert)" when inverted,
// one line each. Heights: 45 with one source, 55 with two, 35 for a code
// without a list item; 10 more with "(Invert)".
TzRelayLogicCaption RelayLogicCaption(const TzDiscretOutParams& aParams);
