// The directory search as the tree listing relies on it, on Windows and on our stand-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "platform/os.h"
#include "tests/fs/temp_folder.h"

namespace {

class FindFileTest : public fs_tests::TempFolder {};

struct Found {
  std::string name;
  bool directory;
  unsigned long long size;
  bool operator==(const Found& other) const {
    return name == other.name && directory == other.directory && size == other.size;
  }
};

void PrintTo(const Found& found, std::ostream* out) {
  *out << found.name << (found.directory ? "/" : "") << " " << found.size;
}

Found describe(const WIN32_FIND_DATAA& data) {
  const bool directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const unsigned long long size =
      (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return {data.cFileName, directory, directory ? 0 : size};
}

// Every entry of one search, sorted by name, and the error that ended it.
std::vector<Found> search(const std::string& pattern, DWORD& ended) {
  std::vector<Found> entries;
  WIN32_FIND_DATAA data;
  HANDLE handle = FindFirstFileA(pattern.c_str(), &data);
  if (handle == INVALID_HANDLE_VALUE) {
    ended = GetLastError();
    return entries;
  }
  do {
    entries.push_back(describe(data));
  } while (FindNextFileA(handle, &data) != 0);
  ended = GetLastError();
  EXPECT_NE(FindClose(handle), 0);
  std::sort(entries.begin(), entries.end(),
            [](const Found& a, const Found& b) { return a.name < b.name; });
  return entries;
}

TEST_F(FindFileTest, StarDotStarMatchesEveryName) {
  write("a.txt", "abc");
  write("readme", "");
  write(".hidden", "12345");
  makeFolder("sub");
  const std::vector<Found> everything = {{".", true, 0},        {"..", true, 0},
                                         {".hidden", false, 5}, {"a.txt", false, 3},
                                         {"readme", false, 0},  {"sub", true, 0}};
  for (const char* wildcard : {"/*.*", "/*"}) {
    DWORD ended = 0;
    EXPECT_EQ(search(root() + wildcard, ended), everything) << wildcard;
    EXPECT_EQ(ended, static_cast<DWORD>(ERROR_NO_MORE_FILES)) << wildcard;
  }
}

TEST_F(FindFileTest, NoFolderNoSearch) {
  write("a.txt", "abc");
  const struct {
    std::string pattern;
    DWORD error;
  } cases[] = {
      {at("missing/*.*"), ERROR_PATH_NOT_FOUND},
      {at("missing/deeper/*.*"), ERROR_PATH_NOT_FOUND},
      {at("a.txt/*.*"), 0},  // refused; Windows versions differ in the code
  };
  for (const auto& c : cases) {
    DWORD ended = 0;
    EXPECT_TRUE(search(c.pattern, ended).empty()) << c.pattern;
    if (c.error != 0) {
      EXPECT_EQ(ended, c.error) << c.pattern;
    } else {
      EXPECT_NE(ended, static_cast<DWORD>(ERROR_SUCCESS)) << c.pattern;
    }
  }
}

TEST_F(FindFileTest, LinksAreFollowedWhereTheyCanBeMade) {
  makeFolder("target");
  write("target/inside.txt", "");
  write("file.txt", "abcd");
  std::error_code error;
  std::filesystem::create_directory_symlink(at("target"), at("folder-link"), error);
  if (!error) std::filesystem::create_symlink(at("file.txt"), at("file-link"), error);
  if (!error) std::filesystem::create_symlink(at("nowhere"), at("dangling"), error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();

  DWORD ended = 0;
  const std::vector<Found> found = search(root() + "/*.*", ended);
  const std::vector<Found> expected = {{".", true, 0},         {"..", true, 0},
                                       {"dangling", false, 0}, {"file-link", false, 4},
                                       {"file.txt", false, 4}, {"folder-link", true, 0},
                                       {"target", true, 0}};
  EXPECT_EQ(found, expected);
}

}  // namespace
