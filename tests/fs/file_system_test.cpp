#include "fs/file_system.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/fs/temp_folder.h"
#include "win32/actual_file_system_impl.h"

namespace {

using fs_tests::RecordedLog;

class FileSystemTest : public fs_tests::TempFolder {};

TEST_F(FileSystemTest, ProcessWideInstanceIsBuiltOnce) {
  EXPECT_NE(fs::actualFileSystem(), nullptr);
  EXPECT_EQ(fs::actualFileSystem(), fs::actualFileSystem());
}

TEST_F(FileSystemTest, ExistsForFilesAndFoldersOnly) {
  write("file", "x");
  makeFolder("folder");
  const struct {
    std::string path;
    bool expected;
  } cases[] = {
      {at("file"), true},          {at("folder"), true}, {at("missing"), false},
      {at("missing/file"), false}, {"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fs::actualFileSystem()->exists(c.path.c_str()), c.expected) << c.path;
  }
  EXPECT_FALSE(fs::actualFileSystem()->exists(nullptr));
}

TEST_F(FileSystemTest, StatMeasuresSizeAndTime) {
  write("empty", "");
  write("ten", "0123456789");
  const struct {
    std::string path;
    std::int64_t size;
    bool found;
  } cases[] = {
      {at("missing"), 0, false},
      {at("empty"), 0, true},
      {at("ten"), 10, true},
      // Past 32 bits the size must not wrap (5 GiB would wrap to exactly 1 GiB).
      {writeSparse("five-gib", 5368709120ull), 5368709120ll, true},
  };
  const std::int64_t now = fs::actualFileSystem()->currentTime();
  for (const auto& c : cases) {
    fs::FileStat result;
    result.modified = -1;
    result.size = -1;
    fs::actualFileSystem()->stat(c.path.c_str(), result);
    EXPECT_EQ(result.size, c.size) << c.path;
    if (c.found) {
      // Seconds since 1970 for a file made just now, not milliseconds or a zero.
      EXPECT_NEAR(static_cast<double>(result.modified), static_cast<double>(now), 86400.0)
          << c.path;
    } else {
      EXPECT_EQ(result.modified, 0) << c.path;
    }
  }
}

TEST_F(FileSystemTest, OpenReadLogsAccordingToMaskAndRequired) {
  const std::string present = write("present", "abc");
  const std::string missing = at("missing");
  const std::string failed = "\tERROR: win32::ActualRead::_openRead(): failed to open ";
  const std::string opened = "\twin32::ActualRead::_openRead(): opened ";
  const struct {
    std::uint8_t mask;
    const char* path;
    bool required;
    bool opens;
    std::vector<std::string> lines;
  } cases[] = {
      {2, missing.c_str(), false, false, {}},
      {2, missing.c_str(), true, false, {failed + missing}},
      {2, present.c_str(), true, true, {}},
      {2, nullptr, false, false, {}},
      {2, nullptr, true, false, {failed + "(null)"}},
      {1, present.c_str(), false, true, {opened + present}},
      {1, missing.c_str(), true, false, {}},
      {3, missing.c_str(), true, false, {failed + missing}},
      {0, missing.c_str(), true, false, {}},
  };
  for (const auto& c : cases) {
    const std::string label = std::to_string(c.mask) + " " + (c.path ? c.path : "(null)");
    win32::ActualFileSystemImpl local(c.mask);
    // The process-wide instance is the one the system uses; it must behave as mask 2.
    fs::IFileSystemImpl* system = c.mask == 2 ? fs::actualFileSystem() : &local;
    RecordedLog log;
    std::unique_ptr<fs::IRead> reader(system->openRead(c.path, c.required));
    EXPECT_EQ(reader != nullptr, c.opens) << label;
    EXPECT_EQ(log.lines, c.lines) << label;
    if (reader) {
      EXPECT_EQ(reader->getSize(), 3) << label;
    }
  }
}

TEST_F(FileSystemTest, OpenReadRefusesWhatItCannotMeasure) {
  makeFolder("folder");
  const struct {
    std::string path;
    std::int32_t size;
    bool opens;
  } cases[] = {
      {at("folder"), 0, false},
      {writeSparse("largest", 2147483647ull), 2147483647, true},
      // Sizes that do not fit the reader's 32-bit size are refused rather than cut.
      {writeSparse("two-gib", 2147483648ull), 0, false},
      {writeSparse("five-gib", 5368709120ull), 0, false},
  };
  for (const auto& c : cases) {
    RecordedLog log;
    std::unique_ptr<fs::IRead> reader(fs::actualFileSystem()->openRead(c.path.c_str(), false));
    ASSERT_EQ(reader != nullptr, c.opens) << c.path;
    if (reader) {
      EXPECT_EQ(reader->getSize(), c.size) << c.path;
    }
    EXPECT_TRUE(log.lines.empty()) << c.path;
  }
}

}  // namespace
