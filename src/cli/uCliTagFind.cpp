#include "uCliTagFind.h"

#include <vector>

#include "uUtils.h"

std::string FoldCase(std::string_view aText) {
  std::string out;
  out.reserve(aText.size());
  for (size_t i = 0; i < aText.size(); ++i) {
    const auto c = static_cast<unsigned char>(aText[i]);
    if (c < 0x80) {
      out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
      continue;
    }
    // Two-byte sequences: U+0400..U+042F (Ѐ..Я) to their small letters.
    if ((c == 0xD0) && i + 1 < aText.size()) {
      const auto d = static_cast<unsigned char>(aText[i + 1]);
      const unsigned cp = (c & 0x1Fu) << 6 | (d & 0x3Fu);
      unsigned lower = cp;
      if (cp >= 0x410 && cp <= 0x42F) lower = cp + 0x20;        // А..Я
      else if (cp >= 0x400 && cp <= 0x40F) lower = cp + 0x50;   // Ѐ..Џ, Ё among them
      out += static_cast<char>(0xC0 | (lower >> 6));
      out += static_cast<char>(0x80 | (lower & 0x3F));
      ++i;
      continue;
    }
    out += static_cast<char>(c);
  }
  return out;
}

TzTag* FindTag(const TzDevice& aDevice, std::string_view aWhat, std::string& aWhy) {
  int32_t id = 0;
  if (TryStrToInt32(aWhat, id)) {
    if (TzTag* tag = aDevice.GetTagByID(id)) return tag;
    aWhy = "no tag with ID " + std::string(aWhat);
    return nullptr;
  }
  const std::string wanted = FoldCase(aWhat);
  std::vector<TzTag*> found;
  for (const auto& tag : aDevice.Tags) {
    const std::string name = FoldCase(tag->OPCName);
    if (name == wanted) return tag.get();  // a whole name wins over longer ones
    if (!wanted.empty() && name.starts_with(wanted)) found.push_back(tag.get());
  }
  if (found.size() == 1) return found.front();
  if (found.empty()) {
    aWhy = "no tag named \"" + std::string(aWhat) + "\"";
    return nullptr;
  }
  aWhy = "\"" + std::string(aWhat) + "\" is ambiguous: " + std::to_string(found.size()) + " names start so:";
  for (const TzTag* tag : found) aWhy += " " + std::to_string(tag->ID) + " \"" + tag->OPCName + "\";";
  aWhy.pop_back();
  aWhy += "; give the ID or more of the name";
  return nullptr;
}
