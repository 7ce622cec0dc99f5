#include "launcher/games_directory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/server.h"
#include "tests/support/scripted_server.h"

namespace {

struct Game {
  std::string name, exe, data;
  bool operator==(const Game& other) const {
    return name == other.name && exe == other.exe && data == other.data;
  }
};

std::ostream& operator<<(std::ostream& out, const Game& game) {
  return out << "{" << game.name << ", " << game.exe << ", " << game.data << "}";
}

// The games in the order of their numbers; the numbers must run 1, 2, 3... without gaps.
std::vector<Game> games(const GamesDirectory& directory) {
  std::vector<Game> result;
  std::uint32_t expected = 1;
  for (const auto& [number, entry] : directory.entries) {
    EXPECT_EQ(number, expected++);
    result.push_back({entry.name, entry.exe, entry.data});
  }
  return result;
}

const std::string kHeaders = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n";

TEST(GamesDirectoryParseTest, Answers) {
  const std::string longest(255, 'n');
  const std::string tooLong(256, 'n');
  struct Case {
    const char* what;
    std::string answer;
    std::vector<Game> expected;
  } cases[] = {
      {"no filler between tokens", kHeaders + "#A##a.exe##a.dat#", {{"A", "a.exe", "a.dat"}}},
      {"one token a line, nothing after the last '#'",
       kHeaders + "#A#\r\n#a.exe#\r\n#a.dat#",
       {{"A", "a.exe", "a.dat"}}},
      {"two tokens only", kHeaders + "#A#\n#a.exe#\n", {}},
      {"an empty token drops its record, the next one is number 1",
       kHeaders + "#A#\n##\n#a.dat#\n#B#\n#b.exe#\n#b.dat#\n",
       {{"B", "b.exe", "b.dat"}}},
      {"the server's order, not the names'",
       kHeaders + "#Zeta#\n#z.exe#\n#z.dat#\n#Alpha#\n#a.exe#\n#a.dat#\n",
       {{"Zeta", "z.exe", "z.dat"}, {"Alpha", "a.exe", "a.dat"}}},
      {"values kept exactly",
       kHeaders + "#100% Fun #\n#run me.exe#\n#data/%20.pak#\n",
       {{"100% Fun ", "run me.exe", "data/%20.pak"}}},
      {"a '#' in a header starts the reading there",
       "HTTP/1.1 200 OK\r\nX-Tag: #x\r\n\r\n#A#\n#a.exe#\n#a.dat#\n",
       {{"x\r\n\r\n", "\n", "\n"}}},
      {"single '#' separators skip every second value",
       kHeaders + "#A#a.exe#a.dat#B#b.exe#b.dat#",
       {{"A", "a.dat", "b.exe"}}},
      {"no '#' at all", kHeaders + "no games today", {}},
      {"nothing but headers", kHeaders, {}},
      {"255 characters fill a field",
       kHeaders + "#" + longest + "#\n#a.exe#\n#a.dat#\n",
       {{longest, "a.exe", "a.dat"}}},
      {"256 characters drop the record",
       kHeaders + "#A#\n#" + tooLong + "#\n#a.dat#\n#B#\n#b.exe#\n#b.dat#\n",
       {{"B", "b.exe", "b.dat"}}},
  };
  for (const Case& c : cases) {
    GamesDirectory directory;
    directory.parse(c.answer.c_str());
    EXPECT_EQ(games(directory), c.expected) << c.what;
  }
  GamesDirectory none;
  none.parse(nullptr);
  EXPECT_TRUE(none.entries.empty());
}

TEST(GamesDirectoryParseTest, FieldsEndInNul) {
  GamesDirectory directory;
  directory.parse(("#" + std::string(255, 'n') + "#\n#e#\n#d#\n").c_str());
  ASSERT_EQ(directory.entries.size(), 1u);
  const GameEntry& entry = directory.entries.at(1);
  EXPECT_EQ(entry.name[254], 'n');
  EXPECT_EQ(entry.name[255], '\0');
  for (std::size_t i = 1; i < GameEntry::kFieldSize; ++i) EXPECT_EQ(entry.exe[i], '\0') << i;
}

const std::string kDirectoryRequest = std::string("GET ") + server::kDirectoryUrl +
                                      " HTTP/1.1\r\nHost: " LAUNCHER_SERVER_HOST
                                      "\r\nConnection: close\r\nAccept: text/*\r\n\r\n\r\n";

TEST(GamesDirectoryFetchTest, ReadsTheWholeAnswerFromTheServer) {
  // In pieces, so that the answer is only read once the server has closed.
  test_support::Exchange exchange;
  exchange.pieces = {"HTTP/1.1 200 OK\r\n\r\n#First Game#\r\n#first.exe#\r\n", "#first.dat#\r\n"};
  test_support::ScriptedServer server({exchange});
  ASSERT_TRUE(server.start());

  GamesDirectory directory;
  ASSERT_TRUE(directory.fetch());
  EXPECT_EQ(games(directory), (std::vector<Game>{{"First Game", "first.exe", "first.dat"}}));
  EXPECT_EQ(server.requests(), std::vector<std::string>{kDirectoryRequest});
}

TEST(GamesDirectoryFetchTest, AnEmptyAnswerIsNoGames) {
  test_support::ScriptedServer server({test_support::ScriptedServer::reply("")});
  ASSERT_TRUE(server.start());
  GamesDirectory directory;
  EXPECT_TRUE(directory.fetch());
  EXPECT_TRUE(directory.entries.empty());
}

TEST(GamesDirectoryFetchTest, FailsWithoutServer) {
  GamesDirectory directory;
  EXPECT_FALSE(directory.fetch());
  EXPECT_TRUE(directory.entries.empty());
}

}  // namespace
