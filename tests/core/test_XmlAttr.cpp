#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "uUtils.h"

TEST(XmlAttr, ReadsPresentAttributesAndReportsAbsence) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(R"(<tag id=" 5" name="" hex="$10" bad="1.5"/>)"));
  const pugi::xml_node tag = doc.child("tag");

  int32_t number = -1;
  EXPECT_TRUE(TryGetAttrInt(tag, "id", number));
  EXPECT_EQ(number, 5);
  EXPECT_TRUE(TryGetAttrInt(tag, "hex", number));
  EXPECT_EQ(number, 16);
  number = -1;
  EXPECT_FALSE(TryGetAttrInt(tag, "bad", number));
  EXPECT_FALSE(TryGetAttrInt(tag, "missing", number));
  EXPECT_FALSE(TryGetAttrInt(tag, "ID", number));  // names are case-sensitive
  EXPECT_EQ(number, -1);

  std::string text = "keep";
  EXPECT_FALSE(TryGetAttrStr(tag, "missing", text));
  EXPECT_EQ(text, "keep");
  EXPECT_TRUE(TryGetAttrStr(tag, "name", text));
  EXPECT_EQ(text, "");
}
