#include <cstdint>
#include <cstdio>
#include <cstring>

#include "cache/validate_file.h"
#include "launcher/data_folder.h"
#include "launcher/games_directory.h"
#include "launcher/launch_game.h"
#include "launcher/token_reader.h"
#include "launcher/version_check.h"
#include "net/winsocknet.h"
#include "platform/os.h"

namespace {

constexpr const char* kMakerAddress = "https://zelmora.example/";

// The two ways out that count as success: only they shut WinSock down.
int orderlyExit() {
  net::winsocknet::destroy();
  return 0;
}

void printMenu(const GamesDirectory& games) {
  std::fprintf(stderr, "\n- - - - Available games - - - -\n");
  for (const auto& [number, entry] : games.entries) {
    std::fprintf(stderr, "[%u] %s\n", static_cast<unsigned>(number), entry.name);
  }
  std::fprintf(stderr,
               "- - - - Available games - - - -\n"
               "\nPlease type a NUMBER followed by ENTER, or just ENTER to exit:");
}

}  // namespace

int main() {
  std::fprintf(stderr, "zelmora launcher version %u\nZelmora Games, 2026\n%s\n\n", LAUNCHER_VERSION,
               kMakerAddress);

  if (!net::winsocknet::create()) {
    std::fprintf(stderr, "[ERROR] failed to initialize WinSock 1.1!\n");
    return -1;
  }

  std::fprintf(stderr, "[NETWORK] checking launcher version...\n");
  if (!checkLauncherVersion()) {
    std::fprintf(stderr,
                 "[ERROR] launcher is outdated!\n\nPlease download the latest version from %s!\n",
                 kMakerAddress);
    return -1;
  }
  std::fprintf(stderr, "[NETWORK] launcher version %u OK...\n", LAUNCHER_VERSION);

  char dataFolder[kFolderPathSize];
  if (findDataFolder(dataFolder)[0] == '\0') {
    std::fprintf(stderr, "[ERROR] failed to find local application data folder!\n");
    return -1;
  }
  if (_chdir(dataFolder) != 0) {
    std::fprintf(stderr, "[ERROR] failed to change to local application data folder!\n");
    return -1;
  }
  char currentDirectory[kFolderPathSize] = {};
  _getcwd(currentDirectory, kFolderPathSize);
  std::fprintf(stderr, "[LOCAL DIRECTORY] %s\n", currentDirectory);

  GamesDirectory games;
  std::fprintf(stderr, "[NETWORK] checking for available games...\n");
  if (!games.fetch()) return -1;
  if (games.entries.empty()) {
    std::fprintf(stderr, "NO GAMES FOUND at this time, please check back later...\n");
    return orderlyExit();
  }

  for (;;) {
    printMenu(games);

    // Two characters at most: the rest of a longer line waits for the next read.
    char choice[3];
    std::memset(choice, 0, sizeof choice);
    // Without further input the menu could only repeat itself, so the end of input leaves.
    if (std::fgets(choice, sizeof choice, stdin) == nullptr || choice[0] == '\n') {
      std::fprintf(stderr, "\nExiting...\n");
      return orderlyExit();
    }

    auto found = games.entries.find(static_cast<std::uint32_t>(decimalValue(choice)));
    if (found == games.entries.end()) {
      std::fprintf(stderr, "\n[ERROR] Invalid selection, please try again...\n");
      continue;
    }
    const GameEntry& game = found->second;
    if (!validateFile(game.data)) {
      std::fprintf(stderr, "[ERROR] failed to validate data file!\n");
      return -1;
    }
    if (!validateFile(game.exe)) {
      std::fprintf(stderr, "[ERROR] failed to validate exe file!\n");
      return -1;
    }
    if (!launchGame(game.exe)) {
      std::fprintf(stderr, "[ERROR] failed to launch!\n");
      return -1;
    }
  }
}
