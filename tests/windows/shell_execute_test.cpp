// The real shell: how the launcher starts a game, a program named relative to the current
// directory with no verb, parameters or directory.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "platform/os.h"

namespace {

namespace fsys = std::filesystem;

class ShellExecuteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* game = std::getenv("ZELMORA_SAMPLE_GAME");
    ASSERT_NE(game, nullptr) << "ZELMORA_SAMPLE_GAME names the sample game";
    game_ = fsys::absolute(game);
    ASSERT_TRUE(fsys::is_regular_file(game_)) << game_;
    // One folder per test: a game of the test before may still hold its .exe open.
    folder_ = fsys::temp_directory_path() /
              ("zelmora-shell-" + std::to_string(GetCurrentProcessId()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fsys::create_directories(folder_);
    char previous[MAX_PATH];
    ASSERT_NE(_getcwd(previous, sizeof previous), nullptr);
    previous_ = previous;
    ASSERT_EQ(_chdir(folder_.string().c_str()), 0);
  }

  void TearDown() override {
    _chdir(previous_.c_str());
    // A game that is still closing keeps its .exe open; what stays behind is in the temp folder.
    std::error_code ignored;
    fsys::remove_all(folder_, ignored);
  }

  static std::intptr_t launch(const char* file) {
    return reinterpret_cast<std::intptr_t>(
        ShellExecuteA(nullptr, nullptr, file, nullptr, nullptr, SW_SHOW));
  }

  // The game runs on its own; a generous bound only keeps a broken shell from hanging the suite.
  static bool waitFor(const fsys::path& marker) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fsys::exists(marker)) {
      if (std::chrono::steady_clock::now() > deadline) {
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  fsys::path game_;
  fsys::path folder_;
  std::string previous_;
};

TEST_F(ShellExecuteTest, StartsProgramInTheCurrentDirectory) {
  struct Case {
    const char* file;    // as the launcher passes it
    const char* marker;  // what the game leaves in the current directory
  };
  const Case cases[] = {
      {"sample_game.exe", "sample_game.exe.ran"},
      {"sample game.exe", "sample game.exe.ran"},
      {"bin/sample_game.exe", "sample_game.exe.ran"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    fsys::create_directories((folder_ / c.file).parent_path());
    fsys::copy_file(game_, folder_ / c.file, fsys::copy_options::overwrite_existing);
    fsys::remove(folder_ / c.marker);

    EXPECT_GT(launch(c.file), 32);
    EXPECT_TRUE(waitFor(folder_ / c.marker));
  }
}

TEST_F(ShellExecuteTest, MissingProgramIsReportedAsNotFound) {
  EXPECT_EQ(launch("no_such_game.exe"), SE_ERR_FNF);
}

}  // namespace
