#include "cache/file_name_safety.h"

#include <gtest/gtest.h>

namespace {

struct NameCase {
  const char* name;
  bool safe;
};

constexpr NameCase kNames[] = {
    {"level1.pak", true},
    {"data/level1.pak", true},
    {"game data.pak", true},
    {"a.b.c", true},
    {"console.exe", true},  // a device name only as the whole base name
    {"COM0", true},
    {"COM10", true},
    {"LPT", true},
    {"...x", true},
    {"", false},
    {"../x.exe", false},
    {"a/../b", false},
    {"a/..", false},
    {"..", false},
    {"/tmp/x", false},
    {"\\x", false},
    {"a\\b", false},
    {"C:x", false},
    {"C:/x", false},
    {"file.txt:stream", false},
    {"a//b", false},
    {"data/", false},
    {"./x", false},
    {"CON", false},
    {"con", false},
    {"nul.txt", false},
    {"data/Aux.dat", false},
    {"NUL .txt", false},
    {"com1", false},
    {"LPT9.log", false},
    {"prn/x", false},
    {"x.", false},
    {"x ", false},
    {"dir./x", false},
    {"a\tb", false},
    {"a\nb", false},
    {"\x1b[2Jx", false},
    {"a\x7f", false},
    {"what?.pak", false},
    {"100%.pak", false},
    {"a%20b.pak", false},
    {"star*.pak", false},
    {"a<b", false},
    {"a>b", false},
    {"a|b", false},
    {"a\"b", false},
    {"donn\xc3\xa9"
     "es.pak",
     true},
    {"\xe9t\xe9.pak", true},
};

TEST(FileNameSafety, RefusesNamesThatLeaveTheFolderOrNameADevice) {
  for (const NameCase& c : kNames) {
    EXPECT_EQ(isSafeFileName(c.name), c.safe) << '"' << c.name << '"';
  }
  EXPECT_FALSE(isSafeFileName(nullptr));
}

}  // namespace
