// The run-time calls that the file system and the launcher's data folder stand on.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/os.h"
#include "tests/fs/temp_folder.h"

namespace {

class CrtTest : public fs_tests::TempFolder {};

TEST_F(CrtTest, FopenSReportsTheErrorAndLeavesNoStream) {
  const std::string file = write("file", "x");
  const std::string folder = makeFolder("folder");
  const struct {
    std::string path;
    const char* mode;
    errno_t expected;
  } cases[] = {
      {file, "rb", 0},
      {at("missing"), "rb", ENOENT},
      {at("missing/file"), "wb", ENOENT},
      {folder, "rb", EACCES},  // a folder is not a file stream
  };
  for (const auto& c : cases) {
    FILE* stream = reinterpret_cast<FILE*>(&stream);  // must be overwritten either way
    EXPECT_EQ(fopen_s(&stream, c.path.c_str(), c.mode), c.expected) << c.path;
    EXPECT_EQ(stream != nullptr, c.expected == 0) << c.path;
    if (stream != nullptr) std::fclose(stream);
  }
}

TEST_F(CrtTest, ChangesAndReadsTheCurrentFolder) {
  const std::filesystem::path before = std::filesystem::current_path();
  ASSERT_EQ(_chdir(root().c_str()), 0);
  char* current = _getcwd(nullptr, 0);
  char tooSmall[2];
  char* refused = _getcwd(tooSmall, sizeof(tooSmall));
  const bool movedBack = _chdir(before.string().c_str()) == 0;

  ASSERT_NE(current, nullptr);
  EXPECT_TRUE(std::filesystem::equivalent(current, root()));
  std::free(current);
  EXPECT_EQ(refused, nullptr);
  EXPECT_TRUE(movedBack);
  EXPECT_EQ(_chdir(at("missing").c_str()), -1);
  EXPECT_EQ(std::filesystem::current_path(), before);
}

}  // namespace
