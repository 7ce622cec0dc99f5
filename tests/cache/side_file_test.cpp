#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "cache/remote_file.h"
#include "scratch_folder.h"

namespace {

using SideFile = cache_test::ScratchFolder;

constexpr char kAbsent[] = "<absent>";

struct MatchCase {
  std::string sideFile;  // kAbsent: no side file at all
  const char* entity;
  bool matches;
};

TEST_F(SideFile, MatchesOnlyTheTagsExactBytes) {
  const MatchCase cases[] = {
      {"5f3a-1c", "5f3a-1c", true},
      {kAbsent, "5f3a-1c", false},
      {"", "5f3a-1c", false},
      {"5f3a-1c\n", "5f3a-1c", false},
      {"5f3a-1c\r\n", "5f3a-1c", false},
      {"\"5f3a-1c\"", "5f3a-1c", false},
      {"5F3A-1C", "5f3a-1c", false},
      {"5f3a", "5f3a-1c", false},
      {std::string("5f3a-1c\0junk", 12), "5f3a-1c", false},
  };
  for (const MatchCase& c : cases) {
    std::filesystem::remove("game.dat.entity");
    if (c.sideFile != kAbsent) put("game.dat.entity", c.sideFile);
    RemoteFile file("game.dat");
    file.entity = c.entity;
    EXPECT_EQ(file.entityMatches(), c.matches) << '"' << c.sideFile << '"';
  }
}

TEST_F(SideFile, IsRewrittenWholeWithTheTagAlone) {
  put("game data.pak.entity", "old-tag-that-was-longer\r\n");
  RemoteFile file("game data.pak");
  file.entity = "5f3a";
  EXPECT_FALSE(file.entityMatches());
  file.writeEntity();
  EXPECT_EQ(get("game data.pak.entity"), "5f3a");
  EXPECT_TRUE(file.entityMatches());
}

struct CurrentCase {
  const char* what;
  bool sideFile;
  std::int64_t localSize;  // -1: no local file
  std::uint64_t contentLength;
  bool current;
};

TEST_F(SideFile, CurrentMeansMatchingTagAndServerSize) {
  const CurrentCase cases[] = {
      {"tag and size", true, 100, 100, true},
      {"no side file", false, 100, 100, false},
      {"no local file", true, -1, 100, false},
      {"short copy", true, 99, 100, false},
      {"long copy", true, 101, 100, false},
      {"5 GiB", true, 5368709120, 5368709120ull, true},
      {"5 GiB against its low 32 bits", true, 5368709120, 1073741824, false},
  };
  for (const CurrentCase& c : cases) {
    std::filesystem::remove("big.pak");
    std::filesystem::remove("big.pak.entity");
    if (c.sideFile) put("big.pak.entity", "tag");
    if (c.localSize >= 0) {
      put("big.pak", "");
      std::filesystem::resize_file("big.pak", static_cast<std::uintmax_t>(c.localSize));
    }
    RemoteFile file("big.pak");
    file.entity = "tag";
    file.contentLength = c.contentLength;
    EXPECT_EQ(file.isCurrent(), c.current) << c.what;
  }
}

}  // namespace
