// The register template compiled into the program ("XMLDATA").
#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <string>

#include "uGlobals.h"
#include "uResources.h"

namespace {

struct TagRow {
  int32_t id;
  int32_t reg;
  std::string name;
  int32_t regType, valType;
  std::string order;
  int32_t segSize, dataSize, dataType, read, write;  // read, write 0: absent
};

// The eleven tags of the block of output n, at B(n) = 4096 + 128 (n - 1).
std::vector<TagRow> OutputBlock(int aOutput) {
  const int32_t b = 4096 + 128 * (aOutput - 1);
  const std::string d = "DOUT" + std::to_string(aOutput);
  return {
      {b, b, "Состояние " + d, 1, 8, "21", 1, 1, 17, 1, 5},
      {b + 1000, b, "Статус " + d, 2, 2, "21", 1, 2, 18, 4, 0},
      {b + 5, b + 5, "Коэффициент заполнения ШИМ " + d, 3, 2, "21", 1, 2, 18, 3, 6},
      {b + 8, b + 8, "Период ШИМ " + d, 3, 2, "21", 1, 2, 18, 3, 6},
      {b + 9, b + 9, "Коэффициент заполнения ШИМ " + d + ", безопасное значение", 3, 2, "21", 1, 2, 18, 3, 6},
      {b + 16, b + 16, "Инверсия логики " + d, 1, 8, "21", 1, 1, 17, 1, 5},
      {b + 1016, b + 16, "Тип функции логики " + d, 3, 2, "21", 1, 2, 18, 3, 6},
      {b + 17, b + 17, "Вход X логики " + d, 3, 2, "21", 1, 2, 18, 3, 6},
      {b + 18, b + 18, "Вход Y логики " + d, 3, 2, "21", 1, 2, 18, 3, 6},
      {b + 19, b + 19, "Тип задержки логики " + d, 3, 2, "21", 1, 2, 18, 3, 6},
      {b + 20, b + 20, "Длительность задержки-импульса логики " + d, 3, 2, "21", 1, 2, 18, 3, 6},
  };
}

// A 16-bit holding register read by 3 and written by 6, or an input register read by 4.
TagRow Holding(int32_t aReg, const char* aName) { return {aReg, aReg, aName, 3, 2, "21", 1, 2, 18, 3, 6}; }
TagRow Input(int32_t aReg, const char* aName) { return {aReg, aReg, aName, 2, 2, "21", 1, 2, 18, 4, 0}; }

const std::vector<TagRow>& OtherTags() {
  static const std::vector<TagRow> rows = {
      Input(24582, "Значение U1, целое"),
      {24583, 24583, "Напряжение питания U1", 2, 0, "4321", 2, 4, 4, 4, 0},
      Input(24710, "Значение U2, целое"),
      {24711, 24711, "Напряжение питания U2", 2, 0, "4321", 2, 4, 4, 4, 0},
      Holding(28672, "Скорость обмена данными"),
      Holding(28673, "Формат символа и режим обмена данными"),
      Holding(28676, "Адрес прибора"),
      Holding(28680, "Сетевой таймаут"),
      Holding(32768, "Текущая дата: год"),
      Holding(32769, "Текущая дата: месяц"),
      Holding(32770, "Текущая дата: день"),
      Holding(32771, "Текущее время: часы"),
      Holding(32772, "Текущее время: минуты"),
      Holding(32773, "Текущее время: секунды"),
      Input(36864, "Тип прибора"),
      Input(36865, "Версия аппаратной части прибора"),
      Input(36866, "Идентификатор прибора 1"),
      Input(36867, "Идентификатор прибора 2"),
      Input(36868, "Идентификатор прибора 3"),
      Input(36869, "Версия встроенного ПО прибора"),
      Input(36881, "Статус питания прибора"),
      Holding(60018, "Тип фильтрации дребезга контактов"),
      Holding(60062, "Состояние дискретных выходов"),
      Holding(60069, "Сброс счётчиков импульсов"),
      Holding(60070, "Состояние дискретных входов"),
      {160071, 60071, "Счётчики импульсов", 3, 24, "21", 12, 2, 18, 3, 16},
      {60000, 60000, "Команда", 3, 2, "21", 1, 2, 18, 0, 6},
  };
  return rows;
}

void ExpectTag(const TzTag& aTag, const TagRow& aRow) {
  SCOPED_TRACE(aRow.name);
  EXPECT_EQ(aTag.ID, aRow.id);
  EXPECT_EQ(aTag.Reg, aRow.reg);
  EXPECT_EQ(aTag.OPCName, aRow.name);
  EXPECT_EQ(aTag.RegType, aRow.regType);
  EXPECT_EQ(aTag.ValType, aRow.valType);
  EXPECT_EQ(aTag.Order, aRow.order);
  EXPECT_EQ(aTag.SegSize, aRow.segSize);
  EXPECT_EQ(aTag.DataSize, aRow.dataSize);
  EXPECT_EQ(aTag.DataType, aRow.dataType);
  EXPECT_EQ(aTag.ReadCmd, aRow.read);
  EXPECT_EQ(aTag.CanRead, aRow.read != 0);
  EXPECT_EQ(aTag.WriteCmd, aRow.write);
  EXPECT_EQ(aTag.CanWrite, aRow.write != 0);
  EXPECT_EQ(aTag.Offset, 0);
  EXPECT_EQ(aTag.BitPos, 0);
}

TEST(EmbeddedTemplate, HoldsTheSixOutputBlocksAndThe27OtherTags) {
  TzDevice device;
  device.DevName = "before";
  device.DevVersion = 1;
  ASSERT_TRUE(device.LoadFromRes("XMLDATA"));
  EXPECT_TRUE(device.Ready);
  EXPECT_EQ(device.DevName, "RT-3300");
  EXPECT_EQ(device.DevVersion, 100);
  ASSERT_EQ(device.Tags.size(), 93u);

  std::vector<TagRow> expected;
  for (int output = 1; output <= 6; ++output) {
    const std::vector<TagRow> block = OutputBlock(output);
    expected.insert(expected.end(), block.begin(), block.end());
  }
  expected.insert(expected.end(), OtherTags().begin(), OtherTags().end());
  ASSERT_EQ(expected.size(), 93u);
  for (size_t i = 0; i < expected.size(); ++i) ExpectTag(*device.Tags[i], expected[i]);

  const TzTag* status = device.GetTagByID(5096);
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->OPCName, "Статус DOUT1");
  EXPECT_EQ(status->Reg, 4096);
  EXPECT_EQ(status->ReadCmd, 4);
  const TzTag* counters = device.GetTagByID(160071);
  ASSERT_NE(counters, nullptr);
  EXPECT_EQ(counters->Reg, 60071);
  EXPECT_EQ(counters->SegSize, 12);
  EXPECT_EQ(counters->WriteCmd, 16);
}

TEST(EmbeddedTemplate, DocumentForm) {
  const auto bytes = FindResourceData("XMLDATA");
  ASSERT_TRUE(bytes);
  const std::string_view text = *bytes;
  EXPECT_TRUE(text.starts_with("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n"));
  EXPECT_EQ(text.find('\r'), std::string_view::npos);
  EXPECT_TRUE(text.ends_with("</template>\n"));

  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_buffer(text.data(), text.size()));
  const pugi::xml_node root = doc.document_element();
  EXPECT_STREQ(root.name(), "template");
  EXPECT_STREQ(root.attribute("proto").value(), "3");
  int tags = 0;
  for (const pugi::xml_node tag : root.children("tag")) {
    ++tags;
    SCOPED_TRACE(tag.attribute("name").value());
    EXPECT_STREQ(tag.attribute("offset").value(), "0");
    EXPECT_STREQ(tag.attribute("min").value(), "-2147483647");
    EXPECT_STREQ(tag.attribute("max").value(), "2147483647");
    EXPECT_STREQ(tag.attribute("def").value(), "0");
    EXPECT_FALSE(tag.attribute("bitpos"));
  }
  EXPECT_EQ(tags, 93);
}

}  // namespace
