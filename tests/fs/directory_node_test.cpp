#include "fs/directory_node.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fs/file_system.h"
#include "tests/fs/temp_folder.h"

namespace {

class DirectoryNodeTest : public fs_tests::TempFolder {};

// The whole tree, one "D path" or "F path" line per entry, sorted: the enumeration order
// is the file system's own.
std::vector<std::string> flatten(const fs::DirectoryNode& node) {
  std::vector<std::string> lines;
  for (const String& file : node.files) lines.push_back(std::string("F ") + file.chars());
  for (const auto& directory : node.directories) {
    lines.push_back(std::string("D ") + directory->path.chars());
    for (const std::string& line : flatten(*directory)) lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

TEST_F(DirectoryNodeTest, ListsTheWholeTree) {
  write("a.txt", "a");
  makeFolder("sub");
  write("sub/b.txt", "b");

  const fs::DirectoryNode node(root().c_str(), nullptr);
  EXPECT_STREQ(node.path.chars(), root().c_str());
  ASSERT_EQ(node.files.size(), 1u);
  EXPECT_STREQ(node.files[0].chars(), at("a.txt").c_str());
  ASSERT_EQ(node.directories.size(), 1u);
  const fs::DirectoryNode& sub = *node.directories[0];
  EXPECT_STREQ(sub.path.chars(), at("sub").c_str());
  ASSERT_EQ(sub.files.size(), 1u);
  EXPECT_STREQ(sub.files[0].chars(), at("sub/b.txt").c_str());
  EXPECT_TRUE(sub.directories.empty());

  // The path is used as given: a trailing separator is followed by a second one.
  const std::string slashed = root() + "/";
  EXPECT_EQ(flatten(fs::DirectoryNode(slashed.c_str(), nullptr)),
            (std::vector<std::string>{"D " + root() + "//sub", "F " + root() + "//a.txt",
                                      "F " + root() + "//sub/b.txt"}));
}

TEST_F(DirectoryNodeTest, NothingToListGivesAnEmptyNode) {
  const std::string empty = makeFolder("empty");
  const std::string file = write("file.txt", "x");
  const std::string missing = at("missing");
  const std::string deeper = at("missing/deeper");
  // An empty path names no folder; it must not be taken for the root of the drive.
  for (const char* path : {empty.c_str(), missing.c_str(), file.c_str(), deeper.c_str(), "",
                           static_cast<const char*>(nullptr)}) {
    const char* shown = path != nullptr ? path : "(null)";
    const fs::DirectoryNode node(path, nullptr);
    EXPECT_STREQ(node.path.chars(), path != nullptr ? path : "") << shown;
    EXPECT_TRUE(node.files.empty()) << shown;
    EXPECT_TRUE(node.directories.empty()) << shown;
  }
}

TEST_F(DirectoryNodeTest, FilterLooksForTheExtensionInItsText) {
  for (const char* file : {"a.txt", "readme", "d.tx", "e.old.txt", ".hidden", ".txt", "g.TXT",
                           "sub/in.txt", "x.txt/y.txt", "x.txt/z.md"}) {
    if (std::string(file).find('/') != std::string::npos) {
      makeFolder(std::string(file).substr(0, std::string(file).find('/')));
    }
    write(file, "");
  }
  const std::string r = root();
  const struct {
    const char* filter;
    std::vector<std::string> expected;
  } cases[] = {
      {"txt",
       {"D " + r + "/x.txt", "F " + r + "/.txt", "F " + r + "/a.txt", "F " + r + "/d.tx",
        "F " + r + "/x.txt/y.txt"}},
      {"hidden", {"F " + r + "/.hidden"}},
      {"md txt",
       {"D " + r + "/x.txt", "F " + r + "/.txt", "F " + r + "/a.txt", "F " + r + "/d.tx",
        "F " + r + "/x.txt/y.txt", "F " + r + "/x.txt/z.md"}},
      {"", {}},
      {nullptr,
       {"D " + r + "/sub", "D " + r + "/x.txt", "F " + r + "/.hidden", "F " + r + "/.txt",
        "F " + r + "/a.txt", "F " + r + "/d.tx", "F " + r + "/e.old.txt", "F " + r + "/g.TXT",
        "F " + r + "/readme", "F " + r + "/sub/in.txt", "F " + r + "/x.txt/y.txt",
        "F " + r + "/x.txt/z.md"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> expected = c.expected;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(flatten(fs::DirectoryNode(r.c_str(), c.filter)), expected)
        << (c.filter ? c.filter : "(null)");
  }
}

TEST_F(DirectoryNodeTest, ListingAgainAppends) {
  write("a.txt", "a");
  makeFolder("sub");
  fs::DirectoryNode node(root().c_str(), nullptr);
  fs::actualFileSystem()->listDirectory(root().c_str(), nullptr, &node);
  ASSERT_EQ(node.files.size(), 2u);
  EXPECT_STREQ(node.files[0].chars(), at("a.txt").c_str());
  EXPECT_STREQ(node.files[1].chars(), at("a.txt").c_str());
  ASSERT_EQ(node.directories.size(), 2u);
  EXPECT_STREQ(node.directories[1]->path.chars(), at("sub").c_str());
}

}  // namespace
