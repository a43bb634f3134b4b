// The table of built-in resources; the build generates its definition from
// the files of resources/ (see EmbedResources.cmake).
#pragma once

#include <cstddef>

struct TzEmbeddedResource {
  const char* Name;
  const unsigned char* Bytes;
  std::size_t Size;
};

extern const TzEmbeddedResource kEmbeddedResources[];
extern const std::size_t kEmbeddedResourceCount;
