#include "launcher/launch_game.h"

#include <cstdint>
#include <cstdio>

#include "platform/os.h"

bool launchGame(const char* exe) {
  std::fprintf(stderr, "launching %s...\n", exe);
  HINSTANCE result = ShellExecuteA(nullptr, nullptr, exe, nullptr, nullptr, SW_SHOW);
  // The shell's error codes run up to 32 (32 itself is a missing DLL); success is above.
  return reinterpret_cast<std::intptr_t>(result) > 32;
}
