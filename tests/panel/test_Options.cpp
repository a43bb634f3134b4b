#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "uOptions.h"

namespace fs = std::filesystem;

namespace {

class OptionsFile : public ::testing::Test {
protected:
  void SetUp() override {
    fDir = fs::temp_directory_path() /
           ("rk7140-options-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(fDir);
    fs::create_directories(fDir);
    fPath = fDir / "Options.xml";
  }
  void TearDown() override { fs::remove_all(fDir); }

  void Write(const std::string& aText) {
    std::ofstream out(fPath, std::ios::binary);
    out << aText;
  }
  std::string Read() const {
    std::ifstream in(fPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path fDir;
  fs::path fPath;
};

}  // namespace

TEST_F(OptionsFile, RoundTrip) {
  const TzOptionsRecord record{4, "32", 7, 2, "100", {}, {}};
  std::string error;
  ASSERT_TRUE(SaveOptionsFile(fPath, record, error)) << error;
  EXPECT_EQ(Read(),
            "<?xml version=\"1.0\"?>\n<options>\n  <comport indx=\"4\" addr=\"32\" baudrate=\"7\" format=\"2\" "
            "timeout=\"100\" />\n</options>\n");
  TzOptionsValues values;
  ASSERT_TRUE(LoadOptionsFile(fPath, values));
  EXPECT_EQ(values.Indx, 4);
  EXPECT_EQ(values.Addr, 32);
  EXPECT_EQ(values.BaudRate, 7);
  EXPECT_EQ(values.Format, 2);
  EXPECT_EQ(values.Timeout, 100);
}

// A network port is kept as its endpoint beside the serial port's number,
// and every network port of the list comes back; a file of before has none.
TEST_F(OptionsFile, NetworkPortsRoundTrip) {
  const TzOptionsRecord record{0, "16", 3, 0, "57", "modbus-tcp://gw.local:502",
                               {"tcp://10.0.0.5:4001", "modbus-tcp://gw.local:502"}};
  std::string error;
  ASSERT_TRUE(SaveOptionsFile(fPath, record, error)) << error;
  EXPECT_EQ(Read(),
            "<?xml version=\"1.0\"?>\n<options>\n  <comport indx=\"0\" endpoint=\"modbus-tcp://gw.local:502\" "
            "addr=\"16\" baudrate=\"3\" format=\"0\" timeout=\"57\" />\n  <netport endpoint=\"tcp://10.0.0.5:4001\" "
            "/>\n  <netport endpoint=\"modbus-tcp://gw.local:502\" />\n</options>\n");
  TzOptionsValues values;
  ASSERT_TRUE(LoadOptionsFile(fPath, values));
  EXPECT_EQ(values.Endpoint, "modbus-tcp://gw.local:502");
  EXPECT_EQ(values.NetworkPorts, (std::vector<std::string>{"tcp://10.0.0.5:4001", "modbus-tcp://gw.local:502"}));

  Write("<?xml version=\"1.0\"?><options><comport indx=\"3\" addr=\"16\"/></options>");
  ASSERT_TRUE(LoadOptionsFile(fPath, values));
  EXPECT_EQ(values.Indx, 3);
  EXPECT_FALSE(values.Endpoint.has_value());
  EXPECT_TRUE(values.NetworkPorts.empty());
}

TEST_F(OptionsFile, ReaderRules) {
  struct Case {
    const char* name;
    const char* text;
    bool loads;
    std::optional<int32_t> indx, addr, timeout;
  };
  const Case cases[] = {
      {"missing attributes", "<options><comport indx=\"3\"/></options>", true, 3, {}, {}},
      {"address not a number", "<options><comport indx=\"3\" addr=\"abc\" timeout=\"20\"/></options>", true, 3, {}, 20},
      {"no comport element", "<options><other/></options>", true, {}, {}, {}},
      {"other root", "<Options><comport indx=\"3\" addr=\"32\"/></Options>", false, {}, {}, {}},
      {"damaged", "<options><comport indx=\"3\" addr=", false, {}, {}, {}},
      {"not xml", "\x01\x02 binary", false, {}, {}, {}},
      {"foreign nodes ignored", "<?xml version=\"1.0\"?><!-- c --><options><x/><comport addr=\"7\" y=\"1\"/></options>", true, {}, 7, {}},
  };
  for (const Case& c : cases) {
    Write(c.text);
    TzOptionsValues values;
    values.Format = 99;  // untouched when the file is not loaded
    EXPECT_EQ(LoadOptionsFile(fPath, values), c.loads) << c.name;
    if (!c.loads) {
      EXPECT_EQ(values.Format, 99) << c.name;
      continue;
    }
    EXPECT_EQ(values.Indx, c.indx) << c.name;
    EXPECT_EQ(values.Addr, c.addr) << c.name;
    EXPECT_EQ(values.Timeout, c.timeout) << c.name;
  }
}

TEST_F(OptionsFile, MissingFileIsNoError) {
  TzOptionsValues values;
  EXPECT_FALSE(LoadOptionsFile(fPath, values));
  EXPECT_FALSE(values.Indx);
}

TEST_F(OptionsFile, SaveCreatesTheFolder) {
  const fs::path nested = fDir / "a" / "b" / "Options.xml";
  std::string error;
  ASSERT_TRUE(SaveOptionsFile(nested, TzOptionsRecord{1, "16", 3, 0, "20", {}, {}}, error)) << error;
  TzOptionsValues values;
  EXPECT_TRUE(LoadOptionsFile(nested, values));
  EXPECT_EQ(values.Indx, 1);
}

// A folder that cannot be made (its parent is a regular file) fails the save
// with a message, also for root.
TEST_F(OptionsFile, UnwritablePlaceIsReported) {
  Write("not a folder");
  const fs::path below = fPath / "rk7140" / "Options.xml";
  std::string error;
  EXPECT_FALSE(SaveOptionsFile(below, TzOptionsRecord{1, "16", 3, 0, "20", {}, {}}, error));
  EXPECT_FALSE(error.empty());
}

// The new contents go to a temporary file first and replace the old file by
// a rename: a save that cannot complete leaves the old file whole and no
// temporary file behind.
TEST_F(OptionsFile, FailedSaveKeepsThePreviousFile) {
  std::string error;
  ASSERT_TRUE(SaveOptionsFile(fPath, TzOptionsRecord{2, "16", 3, 0, "20", {}, {}}, error)) << error;
  const std::string before = Read();

  // A folder in the temporary file's place makes its write fail.
  fs::path temp = fPath;
  temp += ".tmp";
  fs::create_directory(temp);
  fs::create_directory(temp / "keep");
  EXPECT_FALSE(SaveOptionsFile(fPath, TzOptionsRecord{9, "99", 9, 3, "999", {}, {}}, error));
  EXPECT_EQ(Read(), before);
  fs::remove_all(temp);

  // A folder in the file's own place makes the rename fail after the write.
  const fs::path other = fDir / "other.xml";
  fs::create_directory(other);
  fs::create_directory(other / "keep");
  EXPECT_FALSE(SaveOptionsFile(other, TzOptionsRecord{9, "99", 9, 3, "999", {}, {}}, error));
  fs::path otherTemp = other;
  otherTemp += ".tmp";
  EXPECT_FALSE(fs::exists(otherTemp));
  EXPECT_TRUE(fs::is_directory(other / "keep"));
}

TEST_F(OptionsFile, SaveReplacesWholeFile) {
  Write("<options><comport indx=\"1\" addr=\"1\" baudrate=\"1\" format=\"1\" timeout=\"1\"/><junk/></options>");
  std::string error;
  ASSERT_TRUE(SaveOptionsFile(fPath, TzOptionsRecord{5, "17", 5, 1, "43", {}, {}}, error)) << error;
  EXPECT_EQ(Read().find("junk"), std::string::npos);
  fs::path temp = fPath;
  temp += ".tmp";
  EXPECT_FALSE(fs::exists(temp));
}
