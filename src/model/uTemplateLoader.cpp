// Loading of the register template into a device.
//
// The loader is strict: every child node of the root must be a valid tag
// element, so a comment, a processing instruction, text or an element of
// another name among the tags fails the load.
#include <optional>
#include <pugixml.hpp>

#include "uGlobals.h"
#include "uResources.h"
#include "uUtils.h"

namespace {

std::string LowerAscii(std::string_view aText) {
  std::string lower(aText);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// Comments and processing instructions become nodes so that the strict rule
// sees them; whitespace-only text between elements is dropped.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments | pugi::parse_pi;

// A well-formed document has exactly one element at its top level (the
// parser itself accepts several).
bool HasSingleRoot(const pugi::xml_document& aDoc) {
  int elements = 0;
  for (const pugi::xml_node node : aDoc.children()) elements += node.type() == pugi::node_element;
  return elements == 1;
}

std::vector<uint8_t> OrderPositions(std::string_view aOrder) {
  std::vector<uint8_t> positions;
  positions.reserve(aOrder.size());
  for (char c : aOrder) positions.push_back(c >= '0' && c <= '9' ? static_cast<uint8_t>(c - '0') : 0);
  return positions;
}

// An optional integer: nothing when missing or not an integer.
std::optional<int32_t> OptionalInt(const pugi::xml_node& aNode, const char* aName) {
  int32_t value = 0;
  if (!TryGetAttrInt(aNode, aName, value)) return std::nullopt;
  return value;
}

}  // namespace

bool TzDevice::LoadFromRes(std::string_view aResName) {
  Ready = false;
  const std::optional<std::string_view> bytes = FindResourceData(aResName);
  if (!bytes) return false;

  pugi::xml_document doc;
  const pugi::xml_parse_result parsed = doc.load_buffer(bytes->data(), bytes->size(), kParseOptions);
  if (!parsed || !HasSingleRoot(doc)) return false;

  const pugi::xml_node root = doc.document_element();
  if (LowerAscii(root.name()) != "template") return false;
  if (!TryGetAttrStr(root, "name", DevName)) return false;
  if (!TryGetAttrInt(root, "ver", DevVersion)) return false;

  Tags.clear();
  for (const pugi::xml_node node : root.children()) {
    if (!LoadModbusTag(node)) return false;
  }
  Ready = true;
  return true;
}

bool TzDevice::LoadModbusTag(const pugi::xml_node& aNode) {
  if (aNode.type() != pugi::node_element || LowerAscii(aNode.name()) != "tag") return false;

  int32_t id = 0, reg = 0, regType = 0, valType = 0, segSize = 0, dataSize = 0, dataType = 0;
  std::string name, order;
  if (!TryGetAttrInt(aNode, "id", id) || !TryGetAttrInt(aNode, "reg", reg) ||
      !TryGetAttrStr(aNode, "name", name) || !TryGetAttrInt(aNode, "regtype", regType) ||
      !TryGetAttrInt(aNode, "valtype", valType) || !TryGetAttrStr(aNode, "order", order) ||
      !TryGetAttrInt(aNode, "segsize", segSize) || !TryGetAttrInt(aNode, "datasize", dataSize) ||
      !TryGetAttrInt(aNode, "datatype", dataType)) {
    return false;
  }
  const std::optional<int32_t> readCmd = OptionalInt(aNode, "read");
  const std::optional<int32_t> writeCmd = OptionalInt(aNode, "write");

  TzTag& tag = AddTag();
  tag.Enabled = true;
  tag.Reg = reg;
  tag.RegType = regType;
  tag.ValType = valType;
  tag.Order = order;
  tag.ReadCmd = readCmd.value_or(0);
  tag.WriteCmd = writeCmd.value_or(0);
  tag.SegSize = segSize;
  tag.Offset = OptionalInt(aNode, "offset").value_or(0);
  tag.ID = id;
  tag.DataSize = dataSize;
  tag.DataType = dataType;
  tag.CanRead = readCmd.has_value();
  tag.CanWrite = writeCmd.has_value();
  tag.BitPos = OptionalInt(aNode, "bitpos").value_or(0);
  tag.OPCName = name;
  tag.Group.clear();
  tag.OrderMas = OrderPositions(order);
  tag.IsNeed = true;
  return true;
}
