// The games that the server offers, numbered from 1 in the order of its answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

struct GameEntry {
  static constexpr std::size_t kFieldSize = 256;

  char name[kFieldSize];  // shown in the menu
  char exe[kFieldSize];   // file name of the executable, on the server and in the data folder
  char data[kFieldSize];  // file name of the data file, in the same sense
};

class GamesDirectory {
 public:
  // Downloads the directory and stores every complete game. False, after printing why, when
  // the answer could not be had; an answer without games is still true.
  bool fetch();
  // Stores every complete record of an answer, read from its first '#' on (status line and
  // headers included). A null answer holds no games.
  void parse(const char* answer);

  std::map<std::uint32_t, GameEntry> entries;
};
