// LoadFromRes and LoadModbusTag against templates registered by the tests.
#include <gtest/gtest.h>

#include <map>
#include <pugixml.hpp>

#include "uGlobals.h"
#include "uResources.h"

namespace {

using Attributes = std::map<std::string, std::string>;

const Attributes kValidTag = {
    {"id", "100"},      {"reg", "4096"},    {"name", "Состояние DOUT1"}, {"regtype", "1"},
    {"valtype", "8"},   {"order", "21"},    {"segsize", "1"},            {"offset", "0"},
    {"datasize", "1"},  {"datatype", "17"}, {"min", "-2147483647"},      {"max", "2147483647"},
    {"def", "0"},       {"read", "1"},      {"write", "5"},
};

// A tag element: the valid tag with the attributes aChanges changed or added
// and those named in aDrop removed.
std::string TagXml(const Attributes& aChanges = {}, const std::vector<std::string>& aDrop = {},
                   const char* aElement = "tag") {
  Attributes attributes = kValidTag;
  for (const auto& [name, value] : aChanges) attributes[name] = value;
  for (const auto& name : aDrop) attributes.erase(name);
  std::string xml = std::string("<") + aElement;
  for (const auto& [name, value] : attributes) xml += " " + name + "=\"" + value + "\"";
  return xml + "/>";
}

std::string TemplateXml(const std::string& aChildren, const char* aRoot = "template",
                        const char* aRootAttributes = R"( proto="3" name="TEST-1" ver="7")") {
  return std::string("<?xml version=\"1.0\"?>\n<") + aRoot + aRootAttributes + ">\n" + aChildren +
         "\n</" + aRoot + ">\n";
}

class LoaderTest : public ::testing::Test {
protected:
  void TearDown() override { UnregisterResource(kName); }

  bool Load(const std::string& aXml) {
    RegisterResource(kName, aXml);
    return device.LoadFromRes(kName);
  }

  // A device that already holds one tag of its own, to see what a load keeps.
  void AddOwnTag() {
    device.AddTag().ID = 999;
    device.Ready = true;
  }

  static constexpr const char* kName = "TEST-TEMPLATE";
  TzDevice device;
};

TEST_F(LoaderTest, TagFieldsFromTheAttributes) {
  const std::string xml = TemplateXml(
      TagXml({{"id", " $10"}, {"max", "10"}}) + "\n" +
      TagXml({{"id", "-5"}, {"read", "4"}, {"bitpos", "3"}, {"offset", "0x2"}, {"order", "4321"},
              {"valtype", "0"}}, {"write"}));
  ASSERT_TRUE(Load(xml));
  EXPECT_TRUE(device.Ready);
  EXPECT_EQ(device.DevName, "TEST-1");
  EXPECT_EQ(device.DevVersion, 7);
  ASSERT_EQ(device.Tags.size(), 2u);

  const TzTag& coil = *device.Tags[0];
  EXPECT_EQ(coil.ID, 16);
  EXPECT_EQ(coil.Reg, 4096);
  EXPECT_EQ(coil.OPCName, "Состояние DOUT1");
  EXPECT_EQ(coil.RegType, 1);
  EXPECT_EQ(coil.ValType, 8);
  EXPECT_EQ(coil.Order, "21");
  EXPECT_EQ(coil.OrderMas, (std::vector<uint8_t>{2, 1}));
  EXPECT_EQ(coil.SegSize, 1);
  EXPECT_EQ(coil.DataSize, 1);
  EXPECT_EQ(coil.DataType, 17);
  EXPECT_EQ(coil.ReadCmd, 1);
  EXPECT_EQ(coil.WriteCmd, 5);
  EXPECT_TRUE(coil.CanRead);
  EXPECT_TRUE(coil.CanWrite);
  EXPECT_EQ(coil.BitPos, 0);  // absent: 0
  EXPECT_EQ(coil.Offset, 0);
  EXPECT_EQ(coil.MaxValue, kDefaultMaxValue);  // min, max and def are not read
  EXPECT_EQ(coil.MinValue, kDefaultMinValue);
  EXPECT_TRUE(coil.Enabled);
  EXPECT_TRUE(coil.IsNeed);
  EXPECT_TRUE(coil.Group.empty());
  EXPECT_EQ(coil.Device, &device);
  EXPECT_EQ(coil.Quality(), kQualityWaiting);
  EXPECT_EQ(coil.ValueStr, "0");

  const TzTag& reading = *device.Tags[1];
  EXPECT_EQ(reading.ID, -5);
  EXPECT_EQ(reading.ReadCmd, 4);
  EXPECT_TRUE(reading.CanRead);
  EXPECT_EQ(reading.WriteCmd, 0);
  EXPECT_FALSE(reading.CanWrite);
  EXPECT_EQ(reading.BitPos, 3);
  EXPECT_EQ(reading.Offset, 2);
  EXPECT_EQ(reading.OrderMas, (std::vector<uint8_t>{4, 3, 2, 1}));
}

TEST_F(LoaderTest, OptionalFunctionsMissingOrNotIntegers) {
  ASSERT_TRUE(Load(TemplateXml(TagXml({{"read", "x"}, {"offset", "1.5"}, {"bitpos", ""}}, {"write"}))));
  const TzTag& tag = *device.Tags[0];
  EXPECT_FALSE(tag.CanRead);
  EXPECT_EQ(tag.ReadCmd, 0);
  EXPECT_FALSE(tag.CanWrite);
  EXPECT_EQ(tag.WriteCmd, 0);
  EXPECT_EQ(tag.Offset, 0);
  EXPECT_EQ(tag.BitPos, 0);
}

TEST_F(LoaderTest, OrderPositions) {
  const struct {
    const char* order;
    std::vector<uint8_t> positions;
  } cases[] = {
      {"4321", {4, 3, 2, 1}}, {"2a", {2, 0}}, {"", {}}, {"9 0", {9, 0, 0}}, {"12", {1, 2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.order);
    ASSERT_TRUE(Load(TemplateXml(TagXml({{"order", c.order}}))));
    EXPECT_EQ(device.Tags[0]->Order, c.order);
    EXPECT_EQ(device.Tags[0]->OrderMas, c.positions);
  }
}

TEST_F(LoaderTest, NamesCompareLowerCased) {
  for (const char* root : {"template", "TEMPLATE", "Template"}) {
    SCOPED_TRACE(root);
    ASSERT_TRUE(Load(TemplateXml(TagXml({}, {}, "TAG") + TagXml({}, {}, "Tag"), root)));
    EXPECT_EQ(device.Tags.size(), 2u);
  }
}

TEST_F(LoaderTest, EmptyTemplateIsComplete) {
  AddOwnTag();
  ASSERT_TRUE(Load(TemplateXml("")));
  EXPECT_TRUE(device.Ready);
  EXPECT_TRUE(device.Tags.empty());
}

TEST_F(LoaderTest, LoadReplacesTheTags) {
  AddOwnTag();
  ASSERT_TRUE(Load(TemplateXml(TagXml())));
  ASSERT_EQ(device.Tags.size(), 1u);
  EXPECT_EQ(device.Tags[0]->ID, 100);
}

// A child that is not a valid tag stops the load; the tags before it stay.
TEST_F(LoaderTest, InvalidChildStopsTheLoad) {
  const struct {
    const char* what;
    std::string child;
  } cases[] = {
      {"comment", "<!-- a remark -->"},
      {"processing instruction", "<?panel hint?>"},
      {"foreign element", "<item id=\"1\"/>"},
      {"tag-like name", TagXml({}, {}, "tags")},
      {"text", "stray text"},
      {"CDATA", "<![CDATA[x]]>"},
      {"missing id", TagXml({}, {"id"})},
      {"missing reg", TagXml({}, {"reg"})},
      {"missing name", TagXml({}, {"name"})},
      {"missing regtype", TagXml({}, {"regtype"})},
      {"missing valtype", TagXml({}, {"valtype"})},
      {"missing order", TagXml({}, {"order"})},
      {"missing segsize", TagXml({}, {"segsize"})},
      {"missing datasize", TagXml({}, {"datasize"})},
      {"missing datatype", TagXml({}, {"datatype"})},
      {"attribute names are case-sensitive", TagXml({{"ID", "100"}}, {"id"})},
      {"segsize a fraction", TagXml({{"segsize", "1.5"}})},
      {"segsize a letter", TagXml({{"segsize", "a"}})},
      {"segsize with a trailing blank", TagXml({{"segsize", "1 "}})},
      {"segsize empty", TagXml({{"segsize", ""}})},
      {"id beyond 32 bits", TagXml({{"id", "2147483648"}})},
      {"reg not hexadecimal", TagXml({{"reg", "$1G"}})},
      {"datatype a sign only", TagXml({{"datatype", "-"}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    AddOwnTag();
    EXPECT_FALSE(Load(TemplateXml(TagXml({{"id", "1"}}) + c.child + TagXml({{"id", "2"}}))));
    EXPECT_FALSE(device.Ready);
    ASSERT_EQ(device.Tags.size(), 1u);
    EXPECT_EQ(device.Tags[0]->ID, 1);
  }
}

TEST_F(LoaderTest, RootAndItsAttributes) {
  const struct {
    const char* what;
    std::string xml;
    const char* devName;  // after the load; the caller set "caller"
    int32_t devVersion;   // the caller set 5
  } cases[] = {
      {"other root", TemplateXml(TagXml(), "registers"), "caller", 5},
      {"missing name", TemplateXml(TagXml(), "template", R"( ver="7")"), "caller", 5},
      {"missing ver", TemplateXml(TagXml(), "template", R"( name="N")"), "N", 5},
      {"ver not an integer", TemplateXml(TagXml(), "template", R"( name="N" ver="1.0")"), "N", 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    AddOwnTag();
    device.DevName = "caller";
    device.DevVersion = 5;
    EXPECT_FALSE(Load(c.xml));
    EXPECT_FALSE(device.Ready);
    EXPECT_EQ(device.DevName, c.devName);
    EXPECT_EQ(device.DevVersion, c.devVersion);
    ASSERT_EQ(device.Tags.size(), 1u);  // the own tag, untouched
    device.Tags.clear();
  }
}

// Text that is not one well-formed XML document, and a missing resource:
// false, the tags as they were, Ready false.
TEST_F(LoaderTest, NotATemplateLeavesTheTags) {
  const std::string cases[] = {
      "",
      "not xml at all",
      "\xEF\xBB\xBF",
      TemplateXml(TagXml()).substr(0, 60),
      R"(<template name="N" ver="1"><tag/></templat>)",
      R"(<template name="N" ver="1"></template><template name="N" ver="1"></template>)",
      R"(<template name="N ver="1"></template>)",
      std::string("<template name=\"N\" ver=\"1\"><\0/template>", 39),
  };
  for (const std::string& xml : cases) {
    SCOPED_TRACE(xml);
    AddOwnTag();
    EXPECT_FALSE(Load(xml));
    EXPECT_FALSE(device.Ready);
    ASSERT_EQ(device.Tags.size(), 1u);
    EXPECT_EQ(device.Tags[0]->ID, 999);
    device.Tags.clear();
  }

  AddOwnTag();
  EXPECT_FALSE(device.LoadFromRes("NO-SUCH-RESOURCE"));
  EXPECT_FALSE(device.Ready);
  EXPECT_EQ(device.Tags.size(), 1u);
}

TEST_F(LoaderTest, CommentsOutsideTheRootDoNotCount) {
  ASSERT_TRUE(Load("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- register map -->\n" +
                   TemplateXml(TagXml()).substr(22) + "<!-- end -->\n"));
  EXPECT_EQ(device.Tags.size(), 1u);
}

TEST_F(LoaderTest, LoadModbusTagAppendsOnlyValidTags) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string((TagXml() + TagXml({}, {"reg"}) + "<item/>").c_str()));
  const pugi::xml_node first = doc.first_child();
  EXPECT_TRUE(device.LoadModbusTag(first));
  EXPECT_FALSE(device.LoadModbusTag(first.next_sibling()));
  EXPECT_FALSE(device.LoadModbusTag(first.next_sibling().next_sibling()));
  EXPECT_FALSE(device.LoadModbusTag(pugi::xml_node()));
  EXPECT_EQ(device.Tags.size(), 1u);
}

TEST(Resources, RegisteredNamesShadowAndGoAway) {
  EXPECT_FALSE(FindResourceData("TEST-RES"));
  RegisterResource("TEST-RES", std::string("a\0b", 3));
  ASSERT_TRUE(FindResourceData("TEST-RES"));
  EXPECT_EQ(*FindResourceData("TEST-RES"), std::string_view("a\0b", 3));
  EXPECT_FALSE(FindResourceData("test-res"));  // names are exact
  RegisterResource("TEST-RES", "c");
  EXPECT_EQ(*FindResourceData("TEST-RES"), "c");
  EXPECT_TRUE(UnregisterResource("TEST-RES"));
  EXPECT_FALSE(UnregisterResource("TEST-RES"));
  EXPECT_FALSE(FindResourceData("TEST-RES"));

  const std::string_view embedded = *FindResourceData("XMLDATA");
  RegisterResource("XMLDATA", "<template/>");
  EXPECT_EQ(*FindResourceData("XMLDATA"), "<template/>");
  UnregisterResource("XMLDATA");
  EXPECT_EQ(*FindResourceData("XMLDATA"), embedded);
}

}  // namespace
