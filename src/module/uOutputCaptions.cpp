#include "uOutputCaptions.h"

std::string LogicSourceCaption(int32_t aInput) { return "Вход #" + std::to_string(aInput); }

std::string LogicFuncCaption(int32_t aCode) {
  if (aCode >= 0 && aCode < static_cast<int32_t>(kLogicFuncCaptions.size()))
    return kLogicFuncCaptions[static_cast<size_t>(aCode)];
  return "функция " + std::to_string(aCode);
}

int LogicFuncSources(int32_t aCode) {
  switch (aCode) {
    case 0: return 0;
    case 1: case 5: case 7: return 1;
    case 2: case 3: case 4: case 6: return 2;
    default: return -1;
  }
}

TzRelayLogicCaption RelayLogicCaption(const TzDiscretOutParams& aParams) {
  TzRelayLogicCaption caption;
  if (aParams.LogicFunc == 0) return caption;
  caption.Visible = true;
  caption.Text = "логика:\n" + LogicFuncCaption(aParams.LogicFunc);
  const int sources = LogicFuncSources(aParams.LogicFunc);
  // The sources of an unknown function are unknown: its two lines only.
  caption.Height = sources == 1 ? 45 : sources == 2 ? 55 : 35;
  if (sources >= 1) caption.Text += "\n(" + LogicSourceCaption(aParams.LogicX) + ")";
  if (sources == 2) caption.Text += "\n(" + LogicSourceCaption(aParams.LogicY) + ")";
  if (aParams.LogicInv != 0) {
    caption.Height += 10;
    caption.Text += "\n(Invert)";
  }
  return caption;
}
