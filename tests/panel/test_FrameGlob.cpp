#include <QRegularExpression>
#include <QWidget>
#include <gtest/gtest.h>

#include "uFrameGlob.h"
#include "uRK_7140.h"

namespace {

// Frames of a test class that only counts how many were made.
int gMade = 0;

void RegisterProbeClass() {
  RegisterFrameClass("TfrProbe", [](QWidget* aParent) {
    ++gMade;
    return new QWidget(aParent);
  });
}

}  // namespace

TEST(FrameGlob, FindsTheFirstEntryWithExactNameAndVersion) {
  RegisterProbeClass();
  RegisterFrameClass("TfrProbeLater", [](QWidget* aParent) { return new QWidget(aParent); });
  RegisterDevFrame("PROBE-1", 7, "TfrProbe");
  RegisterDevFrame("PROBE-1", 7, "TfrProbeLater");
  RegisterDevFrame("PROBE-1", 8, "TfrProbeLater");

  EXPECT_EQ(FindDevFrameClass("PROBE-1", 7), FindDevFrameClass("PROBE-1", 7));
  const TzDevFrameFactory* first = FindDevFrameClass("PROBE-1", 7);
  const TzDevFrameFactory* later = FindDevFrameClass("PROBE-1", 8);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(later, nullptr);
  EXPECT_NE(first, later);
  gMade = 0;
  QWidget owner;
  QWidget* frame = CreateDevFrame("PROBE-1", 7, &owner);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(gMade, 1);  // the first entry's class, not the later one
  EXPECT_EQ(frame->parentWidget(), &owner);

  for (const auto& [name, version] : std::vector<std::pair<std::string, int32_t>>{
           {"probe-1", 7}, {"PROBE-1 ", 7}, {"PROBE-1", 9}, {"", 7}}) {
    EXPECT_EQ(FindDevFrameClass(name, version), nullptr) << name << " " << version;
    EXPECT_EQ(CreateDevFrame(name, version, &owner), nullptr) << name << " " << version;
  }
  EXPECT_EQ(gMade, 1);
}

TEST(FrameGlob, UnregisteredClassCreatesNothing) {
  RegisterDevFrame("PROBE-2", 1, "TfrNobody");
  QWidget owner;
  EXPECT_EQ(FindDevFrameClass("PROBE-2", 1), nullptr);
  EXPECT_EQ(CreateDevFrame("PROBE-2", 1, &owner), nullptr);
  EXPECT_TRUE(owner.children().isEmpty());
}

TEST(FrameGlob, ComponentNameIsFrameAndTwoRandomNumbers) {
  RegisterProbeClass();
  RegisterDevFrame("PROBE-3", 1, "TfrProbe");
  QWidget owner;
  const QRegularExpression pattern(QStringLiteral("^Frame\\d{1,10}\\d{1,10}$"));
  QStringList names;
  for (int i = 0; i < 5; ++i) {
    QWidget* frame = CreateDevFrame("PROBE-3", 1, &owner);
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(pattern.match(frame->objectName()).hasMatch()) << frame->objectName().toStdString();
    names << frame->objectName();
  }
  names.removeDuplicates();
  EXPECT_GT(names.size(), 1);
}

TEST(FrameGlob, ModuleFrameIsRegisteredOnce) {
  TfrRK_7140::Register();
  TfrRK_7140::Register();
  int entries = 0;
  for (const TzDevFrameInfo& info : DevFrameList())
    if (info.DevName == "RK-7140") {
      ++entries;
      EXPECT_EQ(info.DevVer, 100);
      EXPECT_EQ(info.FrameName, "TfrRK_7140");
    }
  EXPECT_EQ(entries, 1);
  EXPECT_NE(FindDevFrameClass("RK-7140", 100), nullptr);
  EXPECT_EQ(FindDevFrameClass("RK-7140", 101), nullptr);
}
