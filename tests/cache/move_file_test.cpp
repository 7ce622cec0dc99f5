#include <gtest/gtest.h>

#include <string>

#include "platform/os.h"
#include "scratch_folder.h"

namespace {

// Not "MoveFile": windows.h makes that name a macro.
using FileMove = cache_test::ScratchFolder;

struct MoveCase {
  const char* what;
  bool sourceExists;
  bool targetExists;
  DWORD flags;
  bool moved;
  DWORD error;  // GetLastError after a failure
};

TEST_F(FileMove, ReplacesOnlyWhenAskedAndReportsFailures) {
  const MoveCase cases[] = {
      {"new target", true, false, 0, true, 0},
      {"new target, replace allowed", true, false, MOVEFILE_REPLACE_EXISTING, true, 0},
      {"existing target replaced", true, true, MOVEFILE_REPLACE_EXISTING, true, 0},
      {"existing target kept", true, true, 0, false, ERROR_ALREADY_EXISTS},
      {"missing source", false, false, MOVEFILE_REPLACE_EXISTING, false, ERROR_FILE_NOT_FOUND},
  };
  for (const MoveCase& c : cases) {
    std::filesystem::remove("from.part");
    std::filesystem::remove("to.pak");
    if (c.sourceExists) put("from.part", "new");
    if (c.targetExists) put("to.pak", "old");
    SetLastError(0);
    const bool moved = MoveFileExA("from.part", "to.pak", c.flags) != FALSE;
    EXPECT_EQ(moved, c.moved) << c.what;
    if (moved) {
      EXPECT_EQ(get("to.pak"), "new") << c.what;
      EXPECT_FALSE(exists("from.part")) << c.what;
    } else {
      EXPECT_EQ(GetLastError(), c.error) << c.what;
      if (c.targetExists) {
        EXPECT_EQ(get("to.pak"), "old") << c.what;
      }
      if (c.sourceExists) {
        EXPECT_EQ(get("from.part"), "new") << c.what;
      }
    }
  }
}

}  // namespace
