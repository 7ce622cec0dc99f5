// A fresh folder made the current directory for one test, the way the data folder is for
// the launcher; removed again afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace cache_test {

class ScratchFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    folder_ = std::filesystem::temp_directory_path() /
              ("zelmora-cache-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(folder_);
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(folder_);
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  static void put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  }
  // Only a regular file is read: a device would never end.
  static std::string get(const std::string& path) {
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path))) {
      return "<not a regular file>";
    }
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static bool exists(const std::string& path) { return std::filesystem::exists(path); }

  std::filesystem::path folder_;
  std::filesystem::path previous_;
};

}  // namespace cache_test
