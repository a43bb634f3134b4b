// Fuzz target: any bytes as the register template.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "uGlobals.h"
#include "uResources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  RegisterResource("FUZZ", std::string_view(reinterpret_cast<const char*>(aData), aSize));
  TzDevice device;
  device.AddTag().ID = -7;
  const bool loaded = device.LoadFromRes("FUZZ");
  if (loaded != device.Ready) std::abort();
  for (const auto& tag : device.Tags) {
    if (tag->Device != &device) std::abort();
  }
  return 0;
}
