#include "launcher/data_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

class DataFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ =
        fs::temp_directory_path() / ("zelmora-folder-" + std::to_string(std::random_device{}()));
    fs::create_directories(base_);
    base_ = fs::canonical(base_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(base_, ignored);
  }
  std::string path(const std::string& relative) const { return (base_ / relative).string(); }

  fs::path base_;
};

TEST_F(DataFolderTest, CreatesEveryMissingParent) {
  std::string deep = path("a/b/c/d");
  EXPECT_TRUE(createDirectories(deep.c_str()));
  EXPECT_TRUE(fs::is_directory(deep));
}

TEST_F(DataFolderTest, AnswersTrueForWhatIsAlreadyThere) {
  fs::create_directories(path("there"));
  std::ofstream(path("file")) << "x";
  for (const char* name : {"there", "file"}) {
    EXPECT_TRUE(createDirectories(path(name).c_str())) << name;
  }
  EXPECT_TRUE(fs::is_regular_file(path("file")));
}

TEST_F(DataFolderTest, FailsBelowAFile) {
  std::ofstream(path("file")) << "x";
  EXPECT_FALSE(createDirectories(path("file/sub/folder").c_str()));
}

TEST_F(DataFolderTest, FailsWithoutAParentToMake) { EXPECT_FALSE(createDirectories("")); }

#ifndef _WIN32
// The POSIX stand-in of the roaming application data folder follows the XDG variables.
class FindDataFolderTest : public DataFolderTest {
 protected:
  void SetUp() override {
    DataFolderTest::SetUp();
    for (const char* name : {"XDG_DATA_HOME", "HOME"}) {
      const char* value = std::getenv(name);
      saved_.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) set(name.c_str(), value);
    DataFolderTest::TearDown();
  }
  static void set(const char* name, const std::optional<std::string>& value) {
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  std::string find() {
    char buffer[kFolderPathSize];
    std::memset(buffer, 'x', sizeof buffer);
    findDataFolder(buffer);
    if (buffer[0] == '\0') {
      for (char c : buffer) EXPECT_EQ(c, '\0');
    }
    return std::string(buffer, strnlen(buffer, sizeof buffer));
  }

  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(FindDataFolderTest, FollowsTheVariablesAndMakesTheFolder) {
  struct Case {
    const char* what;
    std::optional<std::string> dataHome, home;
    std::string expected;  // empty: not found
  } cases[] = {
      {"XDG_DATA_HOME", path("xdg"), path("home"), path("xdg/zelmora/launcher")},
      {"HOME without XDG_DATA_HOME", std::nullopt, path("home"),
       path("home/.local/share/zelmora/launcher")},
      {"a relative XDG_DATA_HOME is ignored", std::string("relative"), path("home"),
       path("home/.local/share/zelmora/launcher")},
      {"neither", std::nullopt, std::nullopt, ""},
      {"only relative values", std::string("relative"), std::string("home"), ""},
  };
  for (const Case& c : cases) {
    set("XDG_DATA_HOME", c.dataHome);
    set("HOME", c.home);
    EXPECT_EQ(find(), c.expected) << c.what;
    if (!c.expected.empty()) {
      EXPECT_TRUE(fs::is_directory(c.expected)) << c.what;
    }
  }
}

TEST_F(FindDataFolderTest, APathThatDoesNotFitIsNotFound) {
  unsetenv("HOME");
  const std::string suffix = "/zelmora/launcher";
  // The buffer holds 259 characters and the terminator.
  for (std::size_t length : {std::size_t{259}, std::size_t{260}}) {
    std::string dataHome = path("");
    dataHome += std::string(length - suffix.size() - dataHome.size(), 'd');
    setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    std::string found = find();
    if (length < kFolderPathSize) {
      EXPECT_EQ(found, dataHome + suffix);
      EXPECT_EQ(found.size(), length);
    } else {
      EXPECT_EQ(found, "");
      EXPECT_FALSE(fs::exists(dataHome + suffix));
    }
  }
}
#endif

}  // namespace
