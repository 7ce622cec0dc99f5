#include "core/log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct RecordingSink : LogSink {
  void write(const char* prefix, const char* message) override {
    lines.push_back(std::string(prefix) + "|" + message);
  }
  std::vector<std::string> lines;
};

// Installs a sink for one test and restores the log's quiet state after it.
class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { logSink = &sink; }
  void TearDown() override {
    logSink = nullptr;
    logToStderr = false;
    for (int i = 0; i < 40; ++i) logUnindent();
  }
  RecordingSink sink;
};

TEST_F(LogTest, IndentPrefixesTabsUpToThirty) {
  logMessage("%s(): %s", "scope", "zero");
  logIndent();
  logMessage("%s(): %s", "scope", "one");
  for (int i = 0; i < 40; ++i) logIndent();
  logMessage("deep");
  for (int i = 0; i < 40; ++i) logUnindent();
  logUnindent();
  logMessage("back");
  ASSERT_EQ(sink.lines.size(), 4u);
  EXPECT_EQ(sink.lines[0], "|scope(): zero");
  EXPECT_EQ(sink.lines[1], "\t|scope(): one");
  EXPECT_EQ(sink.lines[2], std::string(30, '\t') + "|deep");
  EXPECT_EQ(sink.lines[3], "|back");
}

TEST_F(LogTest, ServesFileThenStandardErrorThenSink) {
  FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  logFile().stream = file;
  logToStderr = true;
  logIndent();
  ::testing::internal::CaptureStderr();
  logMessage("ERROR: %s(): %s", "win32::ActualRead::_openRead", "failed to open x");
  const std::string err = ::testing::internal::GetCapturedStderr();
  logFile().stream = nullptr;

  const std::string line = "\tERROR: win32::ActualRead::_openRead(): failed to open x";
  EXPECT_EQ(err, line + "\n");
  std::rewind(file);
  char content[128] = {0};
  EXPECT_GT(std::fread(content, 1, sizeof(content) - 1, file), 0u);
  EXPECT_EQ(std::string(content), line + "\n");
  std::fclose(file);
  ASSERT_EQ(sink.lines.size(), 1u);
  EXPECT_EQ(sink.lines[0], "\t|ERROR: win32::ActualRead::_openRead(): failed to open x");
}

TEST_F(LogTest, WithEveryOutputOffNothingIsWritten) {
  logSink = nullptr;
  ::testing::internal::CaptureStderr();
  logMessage("%s", "quiet");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(LogTest, LongMessagesAreCutToTheBuffer) {
  const std::string huge(70000, 'z');
  logMessage("%s", huge.c_str());
  ASSERT_EQ(sink.lines.size(), 1u);
  EXPECT_EQ(sink.lines[0].size(), 1 + 65535u);
}

}  // namespace
