// A fresh folder per test, removed with everything in it when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/log.h"

namespace fs_tests {

class TempFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    root_ = std::filesystem::temp_directory_path() /
            ("zelmora-fs-" + std::to_string(random()) + "-" + std::to_string(random()));
    ASSERT_TRUE(std::filesystem::create_directory(root_));
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  // The path of `name` inside the folder, in the form the system passes paths around.
  std::string at(const std::string& name) const { return root_.generic_string() + "/" + name; }
  std::string root() const { return root_.generic_string(); }

  std::string write(const std::string& name, const std::string& content) {
    std::ofstream out(at(name), std::ios::binary);
    out << content;
    return at(name);
  }
  std::string makeFolder(const std::string& name) {
    std::filesystem::create_directories(at(name));
    return at(name);
  }
  // A sparse file: no disk space is used for its length.
  std::string writeSparse(const std::string& name, std::uintmax_t size) {
    write(name, "");
    std::filesystem::resize_file(at(name), size);
    return at(name);
  }

 private:
  std::filesystem::path root_;
};

// Records every log line while it lives.
class RecordedLog : public LogSink {
 public:
  RecordedLog() : previous_(logSink) { logSink = this; }
  ~RecordedLog() override { logSink = previous_; }
  void write(const char* prefix, const char* message) override {
    lines.push_back(std::string(prefix) + message);
  }
  std::vector<std::string> lines;

 private:
  LogSink* previous_;
};

}  // namespace fs_tests
