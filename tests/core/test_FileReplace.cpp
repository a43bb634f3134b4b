// A whole-file write goes through a temporary file and a rename, so any
// failure leaves the earlier file as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

#include "uFileReplace.h"

namespace fs = std::filesystem;

namespace {

class FileReplace : public testing::Test {
protected:
  void SetUp() override {
    fDir = fs::temp_directory_path() /
           ("rk7140-replace-" + std::to_string(testing::UnitTest::GetInstance()->random_seed()) + "-" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(fDir);
    fs::create_directories(fDir);
    fPath = fDir / "saved.csv";
  }
  void TearDown() override { fs::remove_all(fDir); }

  static std::string Read(const fs::path& aPath) {
    std::ifstream in(aPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  fs::path Temp() const {
    fs::path temp = fPath;
    temp += ".tmp";
    return temp;
  }

  fs::path fDir;
  fs::path fPath;
};

}  // namespace

TEST_F(FileReplace, WritesTheBytesAsGivenAndReplacesTheOldFile) {
  std::string error;
  const std::string first("\xEF\xBB\xBF" "a;b\r\nc\0d\n", 13);
  ASSERT_TRUE(WriteFileReplacing(fPath, first, error)) << error;
  EXPECT_EQ(Read(fPath), first);

  ASSERT_TRUE(WriteFileReplacing(fPath, "short", error)) << error;
  EXPECT_EQ(Read(fPath), "short");  // nothing of the longer old file is left
  EXPECT_FALSE(fs::exists(Temp()));

  const fs::path nested = fDir / "new" / "folder" / "log.txt";
  ASSERT_TRUE(WriteFileReplacing(nested, "", error)) << error;
  EXPECT_TRUE(fs::is_regular_file(nested));
  EXPECT_EQ(fs::file_size(nested), 0u);
}

// Each step that can fail (folder, temporary file, rename) leaves the earlier
// file whole, no temporary file behind, and a reason; also for root, which no
// permission stops.
TEST_F(FileReplace, FailureKeepsTheEarlierFile) {
  std::string error;
  ASSERT_TRUE(WriteFileReplacing(fPath, "earlier", error)) << error;

  fs::create_directories(Temp() / "keep");  // the temporary file cannot be made
  error.clear();
  EXPECT_FALSE(WriteFileReplacing(fPath, "later", error));
  EXPECT_EQ(Read(fPath), "earlier");
  EXPECT_NE(error.find("saved.csv.tmp"), std::string::npos) << error;
  fs::remove_all(Temp());

  const fs::path folderInPlace = fDir / "taken.csv";
  fs::create_directories(folderInPlace / "keep");  // the rename cannot replace a folder
  error.clear();
  EXPECT_FALSE(WriteFileReplacing(folderInPlace, "later", error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(fs::is_directory(folderInPlace / "keep"));
  EXPECT_FALSE(fs::exists(fDir / "taken.csv.tmp"));

  error.clear();
  EXPECT_FALSE(WriteFileReplacing(fPath / "below.csv", "later", error));  // a file as the folder
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(Read(fPath), "earlier");
}

#ifndef _WIN32
// A disk that fills up in the middle of the write: the file-size limit makes
// the write fail the way a full disk does.
TEST_F(FileReplace, WriteThatRunsOutOfSpaceKeepsTheEarlierFile) {
  std::string error;
  ASSERT_TRUE(WriteFileReplacing(fPath, "earlier", error)) << error;

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 4096;
  auto* const oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = WriteFileReplacing(fPath, std::string(1 << 20, 'x'), error);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(written);
  EXPECT_EQ(Read(fPath), "earlier");
  EXPECT_FALSE(fs::exists(Temp()));
  EXPECT_NE(error.find("не удалось записать"), std::string::npos) << error;
}
#endif
