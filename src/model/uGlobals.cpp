#include "uGlobals.h"

#include <cmath>

#include "uValueText.h"

namespace {

// The dead band: kDefaultRadius (to within a relative 1e-12) stands for 0.0001.
double DeadBand(double aRadius) {
  if (std::fabs(aRadius - kDefaultRadius) <= kDefaultRadius * 1e-12) return 0.0001;
  return aRadius;
}

}  // namespace

void TzTag::SetValue(double aValue) {
  if (std::isnan(aValue)) {
    ValueStr.clear();
    return;
  }
  fValue = aValue;
  if (fValue < MinValue) fValue = MinValue;
  if (fValue > MaxValue) fValue = MaxValue;
  SetQuality(kQualityGood);

  // The text follows the reading itself, not the limited value.
  if (std::fabs(aValue - fOPCValue) >= DeadBand(Radius)) {
    fOPCValue = aValue;
    ValueStr = FloatToText(aValue);
    IsChanged = true;
    if (OnChange) OnChange();
  }
}

void TzTag::SetQuality(uint16_t aValue) {
  if (aValue != fQuality) IsChanged = true;
  fQuality = aValue;
}

TzTag& TzDevice::AddTag() {
  auto tag = std::make_unique<TzTag>();
  tag->Device = this;
  Tags.push_back(std::move(tag));
  return *Tags.back();
}

TzTag* TzDevice::GetTagByID(int32_t aID) const {
  for (const auto& tag : Tags) {
    if (tag->ID == aID) return tag.get();
  }
  return nullptr;
}

bool IsBitSet(int32_t aValue, uint8_t aBit) {
  return ((static_cast<uint32_t>(aValue) >> (aBit % 32)) & 1u) != 0;
}
