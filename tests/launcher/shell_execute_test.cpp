// The POSIX stand-in of the shell's default action, which starts a chosen game.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>

#include "platform/os.h"
#include "tests/support/posix/launcher_run.h"

namespace {

namespace fs = std::filesystem;
using test_support::readFile;
using test_support::waitForFile;
using test_support::writeFile;

std::intptr_t shellExecute(const std::string& file) {
  return reinterpret_cast<std::intptr_t>(
      ShellExecuteA(nullptr, nullptr, file.c_str(), nullptr, nullptr, SW_SHOW));
}

// Runs each test in a folder of its own, as the launcher runs in its data folder.
class ShellExecuteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    folder_ =
        fs::temp_directory_path() / ("zelmora-shell-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder_);
    folder_ = fs::canonical(folder_);
    fs::current_path(folder_);
    const char* path = std::getenv("PATH");
    savedPath_ = path ? std::optional<std::string>(path) : std::nullopt;
  }
  void TearDown() override {
    if (savedPath_) setenv("PATH", savedPath_->c_str(), 1);
    fs::current_path(previous_);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  std::string path(const std::string& relative) const { return (folder_ / relative).string(); }

  fs::path previous_;
  fs::path folder_;
  std::optional<std::string> savedPath_;
};

TEST_F(ShellExecuteTest, StartsScriptsDetachedInTheCurrentFolder) {
  for (const std::string name : {"game.sh", "sub folder/my game.sh"}) {
    SCOPED_TRACE(name);
    // The script waits for a go file that is only written after ShellExecuteA has returned,
    // so a call that waited for the program would leave "waited" behind. Its standard input
    // must not be ours: `cat` reads nothing from /dev/null.
    ASSERT_TRUE(writeFile(path(name),
                          "#!/bin/sh\n"
                          "i=0\n"
                          "while [ ! -e go ] && [ $i -lt 3000 ]; do sleep 0.01; i=$((i+1)); done\n"
                          "if [ -e go ]; then state=detached; else state=waited; fi\n"
                          "input=$(cat)\n"
                          "printf '%s %s [%s]' \"$state\" \"$(pwd)\" \"$input\" > marker.tmp\n"
                          "mv marker.tmp marker\n"));
    EXPECT_GT(shellExecute(name), 32);
    writeFile(path("go"), "");
    ASSERT_TRUE(waitForFile(path("marker")));
    EXPECT_EQ(readFile(path("marker")), "detached " + folder_.string() + " []");
    EXPECT_TRUE((fs::status(path(name)).permissions() & fs::perms::owner_exec) != fs::perms::none);
    fs::remove(path("marker"));
    fs::remove(path("go"));
  }
}

TEST_F(ShellExecuteTest, StartsBinaries) {
  // A copy without the execute bit, as a download leaves it.
  ASSERT_TRUE(writeFile(path("tool"), readFile("/bin/true")));
  fs::permissions(path("tool"), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_GT(shellExecute("tool"), 32);
  EXPECT_TRUE((fs::status(path("tool")).permissions() & fs::perms::owner_exec) != fs::perms::none);
}

TEST_F(ShellExecuteTest, ReportsWhatCannotBeStarted) {
  ASSERT_TRUE(writeFile(path("broken.sh"), "#!/nonexistent/interpreter\n"));
  ASSERT_TRUE(writeFile(path("readme.txt"), "just text\n"));
  fs::create_directories(path("empty bin"));
  setenv("PATH", path("empty bin").c_str(), 1);
  struct Case {
    const char* file;
    std::intptr_t expected;
  } cases[] = {
      {"missing.exe", SE_ERR_FNF},
      {"", SE_ERR_FNF},
      {"broken.sh", SE_ERR_FNF},       // its interpreter is missing: the exec fails
      {"readme.txt", SE_ERR_NOASSOC},  // no opener on PATH
  };
  for (const Case& c : cases) EXPECT_EQ(shellExecute(c.file), c.expected) << c.file;
}

TEST_F(ShellExecuteTest, HandsOtherFilesToTheOpener) {
  ASSERT_TRUE(writeFile(path("readme.txt"), "just text\n"));
  ASSERT_TRUE(writeFile(path("bin/xdg-open"),
                        "#!/bin/sh\nprintf '%s' \"$1\" > opened.tmp && mv opened.tmp opened\n"));
  fs::permissions(path("bin/xdg-open"), fs::perms::owner_all);
  setenv("PATH", (path("bin") + ":" + savedPath_.value_or("/usr/bin:/bin")).c_str(), 1);
  EXPECT_GT(shellExecute("readme.txt"), 32);
  ASSERT_TRUE(waitForFile(path("opened")));
  EXPECT_EQ(readFile(path("opened")), path("readme.txt"));
}

}  // namespace

#endif
