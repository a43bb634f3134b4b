#include "uFindResults.h"

#include <algorithm>

#include "uBusSearch.h"
#include "uUtils.h"

namespace {

std::string AddrText(int32_t aAddr) { return "[" + std::to_string(aAddr) + "] "; }

}  // namespace

bool TzFindResultList::Progress(int32_t aPos) {
  FindProcessAniPos = FindProcessAniPos >= 10 ? 1 : FindProcessAniPos + 1;
  const std::string text = AddrText(aPos) + std::string(static_cast<size_t>(FindProcessAniPos), '.');
  // The progress line heads the list; results never take its place.
  const bool add = fLines.empty() || !fLines.front().IsCounter;
  if (add) fLines.insert(fLines.begin(), TzFindLine{{}, true, std::nullopt});
  fLines.front().Text = text;
  return add;
}

bool TzFindResultList::AddAnswer(int32_t aAddr, std::span<const uint8_t> aAnswer, TzFindDevice aSettings) {
  switch (ClassifyFindAnswer(aAddr, aAnswer)) {
    case TzFindVerdict::Nothing:
      return false;
    case TzFindVerdict::Unknown:
      fLines.push_back({AddrText(aAddr) + "Unknown", false, std::nullopt});
      return true;
    case TzFindVerdict::RK7140:
      break;
  }
  const bool listed = std::any_of(fLines.begin(), fLines.end(), [aAddr](const TzFindLine& aLine) {
    return aLine.Device && aLine.Device->Addr == aAddr;
  });
  if (listed) return false;
  aSettings.Addr = aAddr;
  aSettings.aType = 62;
  aSettings.Answer = TStringBytes::FromBytes(aAnswer);
  aSettings.Timestamp = TickCount32();
  aSettings.IsCounter = false;
  fLines.push_back({AddrText(aAddr) + "RK-7140", false, std::move(aSettings)});
  return true;
}

int TzFindResultList::RemoveCounterLine() {
  const auto it = std::find_if(fLines.begin(), fLines.end(), [](const TzFindLine& aLine) { return aLine.IsCounter; });
  if (it == fLines.end()) return -1;
  const int index = static_cast<int>(it - fLines.begin());
  fLines.erase(it);
  return index;
}

void TzFindResultList::Clear() { fLines.clear(); }

const TzFindDevice* TzFindResultList::DeviceAt(int aIndex) const {
  if (aIndex < 0 || static_cast<size_t>(aIndex) >= fLines.size()) return nullptr;
  const std::optional<TzFindDevice>& device = fLines[static_cast<size_t>(aIndex)].Device;
  return device ? &*device : nullptr;
}
