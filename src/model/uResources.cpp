#include "uResources.h"

#include <map>
#include <mutex>
#include <string>

#include "uEmbeddedResources.h"

namespace {

std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}

std::map<std::string, std::string, std::less<>>& Registered() {
  static std::map<std::string, std::string, std::less<>> resources;
  return resources;
}

}  // namespace

std::optional<std::string_view> FindResourceData(std::string_view aName) {
  {
    std::lock_guard guard(RegistryLock());
    const auto& registered = Registered();
    if (auto it = registered.find(aName); it != registered.end()) return std::string_view(it->second);
  }
  for (std::size_t i = 0; i < kEmbeddedResourceCount; ++i) {
    const TzEmbeddedResource& resource = kEmbeddedResources[i];
    if (aName == resource.Name) {
      return std::string_view(reinterpret_cast<const char*>(resource.Bytes), resource.Size);
    }
  }
  return std::nullopt;
}

void RegisterResource(std::string_view aName, std::string_view aBytes) {
  std::lock_guard guard(RegistryLock());
  Registered().insert_or_assign(std::string(aName), std::string(aBytes));
}

bool UnregisterResource(std::string_view aName) {
  std::lock_guard guard(RegistryLock());
  auto& registered = Registered();
  auto it = registered.find(aName);
  if (it == registered.end()) return false;
  registered.erase(it);
  return true;
}
