#include <pugixml.hpp>

#include "uUtils.h"

bool TryGetAttrInt(const pugi::xml_node& aNode, const char* aName, int32_t& aValue) {
  const pugi::xml_attribute attr = aNode.attribute(aName);
  if (!attr) return false;
  return TryStrToInt32(attr.value(), aValue);
}

bool TryGetAttrStr(const pugi::xml_node& aNode, const char* aName, std::string& aText) {
  const pugi::xml_attribute attr = aNode.attribute(aName);
  if (!attr) return false;
  aText = attr.value();
  return true;
}
