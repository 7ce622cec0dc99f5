#include "win32/actual_read.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fs/file_system.h"
#include "tests/fs/temp_folder.h"

namespace {

using namespace std::string_literals;

class ReaderTest : public fs_tests::TempFolder {};

enum class Op { Read, ReadSome, Seek, Tell, Eof };

struct Step {
  Op op;
  std::int32_t argument;  // the count of a read, the offset of a seek
  int origin;             // of a seek
  std::int64_t expected;  // a bool as 0 or 1, a count or a position
  std::string bytes;      // what a read delivers
};

TEST_F(ReaderTest, OperationsFollowTheStream) {
  const std::string digits = "0123456789";
  const struct {
    const char* name;
    std::string content;
    std::vector<Step> steps;
  } scenarios[] = {
      {"whole file, then one byte more",
       digits,
       {{Op::Read, 10, 0, 1, digits},
        {Op::Eof, 0, 0, 0, ""},
        {Op::Read, 1, 0, 0, ""},
        {Op::Eof, 0, 0, 1, ""}}},
      {"readSome past the end gives what remained",
       digits,
       {{Op::Seek, 7, 0, 1, ""}, {Op::ReadSome, 10, 0, 3, "789"}, {Op::Eof, 0, 0, 1, ""}}},
      {"a partial read is a failure", digits, {{Op::Read, 11, 0, 0, ""}}},
      {"the end tells the size", digits, {{Op::Seek, 0, 2, 1, ""}, {Op::Tell, 0, 0, 10, ""}}},
      {"relative and backward seeks",
       digits,
       {{Op::Read, 2, 0, 1, "01"},
        {Op::Seek, 3, 1, 1, ""},
        {Op::Tell, 0, 0, 5, ""},
        {Op::Seek, -2, 2, 1, ""},
        {Op::ReadSome, 5, 0, 2, "89"}}},
      {"before the start is refused", digits, {{Op::Seek, -1, 0, 0, ""}, {Op::Tell, 0, 0, 0, ""}}},
      {"bytes come as stored", "a\r\nb\0c"s, {{Op::Read, 6, 0, 1, "a\r\nb\0c"s}}},
      {"empty file",
       "",
       {{Op::Eof, 0, 0, 0, ""},
        {Op::Read, 0, 0, 0, ""},
        {Op::Read, 1, 0, 0, ""},
        {Op::Eof, 0, 0, 1, ""}}},
  };
  for (const auto& s : scenarios) {
    const std::string path = write("data", s.content);
    std::unique_ptr<fs::IRead> reader(fs::actualFileSystem()->openRead(path.c_str(), true));
    ASSERT_NE(reader, nullptr) << s.name;
    EXPECT_NE(reader->getStream(), nullptr) << s.name;
    EXPECT_EQ(reader->getSize(), static_cast<std::int32_t>(s.content.size())) << s.name;
    EXPECT_EQ(reader->tell(), 0) << s.name;
    for (std::size_t i = 0; i < s.steps.size(); ++i) {
      const Step& step = s.steps[i];
      const std::string label = std::string(s.name) + ", step " + std::to_string(i);
      std::vector<char> buffer(step.argument > 0 ? static_cast<std::size_t>(step.argument) : 1);
      const auto count = static_cast<std::uint32_t>(step.argument > 0 ? step.argument : 0);
      std::int64_t actual = 0;
      std::size_t delivered = 0;
      switch (step.op) {
        case Op::Read:
          actual = reader->read(buffer.data(), count);
          delivered = actual ? count : 0;
          break;
        case Op::ReadSome:
          delivered = reader->readSome(buffer.data(), count);
          actual = static_cast<std::int64_t>(delivered);
          break;
        case Op::Seek:
          actual = reader->seek(step.argument, step.origin);
          break;
        case Op::Tell:
          actual = reader->tell();
          break;
        case Op::Eof:
          actual = reader->eof();
          break;
      }
      EXPECT_EQ(actual, step.expected) << label;
      EXPECT_EQ(std::string(buffer.data(), delivered), step.bytes) << label;
    }
    // The size was measured once and holds.
    EXPECT_EQ(reader->getSize(), static_cast<std::int32_t>(s.content.size())) << s.name;
  }
}

TEST_F(ReaderTest, DeletingTheReaderClosesTheFile) {
  const std::string path = write("data", "abc");
  // Where the process's descriptors can be counted, the count must come back.
  const std::filesystem::path descriptors = "/proc/self/fd";
  const bool countable = std::filesystem::is_directory(descriptors);
  auto openCount = [&] {
    std::size_t count = 0;
    for (auto it = std::filesystem::directory_iterator(descriptors);
         it != std::filesystem::directory_iterator(); ++it) {
      ++count;
    }
    return count;
  };
  const std::size_t before = countable ? openCount() : 0;

  fs::IRead* reader = fs::actualFileSystem()->openRead(path.c_str(), true);
  ASSERT_NE(reader, nullptr);
  if (countable) {
    EXPECT_EQ(openCount(), before + 1);
  }
  delete reader;
  if (countable) {
    EXPECT_EQ(openCount(), before);
  }

  // Windows refuses to delete or rewrite a file that is still open.
  std::ofstream rewrite(path, std::ios::binary | std::ios::trunc);
  EXPECT_TRUE(rewrite.is_open());
  rewrite.close();
  EXPECT_TRUE(std::filesystem::remove(path));
}

}  // namespace
