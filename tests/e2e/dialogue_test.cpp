// The console dialogue of the built launcher, run as a user would run it, against a scripted
// server on port 80 (the suite has a network namespace of its own).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/posix/launcher_run.h"
#include "tests/support/scripted_server.h"

namespace {

namespace fs = std::filesystem;
using test_support::Exchange;
using test_support::kDataFolderLine;
using test_support::LauncherRun;
using test_support::LauncherSandbox;
using test_support::ScriptedServer;

const std::string kBanner =
    "zelmora launcher version 0\n"
    "Zelmora Games, 2026\n"
    "https://zelmora.example/\n"
    "\n"
    "[NETWORK] checking launcher version...\n";
const std::string kOutdated =
    "[ERROR] launcher is outdated!\n\nPlease download the latest version from "
    "https://zelmora.example/!\n";
const std::string kCurrent = kBanner + "[NETWORK] launcher version 0 OK...\n";
const std::string kStarted =
    kCurrent + kDataFolderLine + "[NETWORK] checking for available games...\n";
const std::string kInvalid = "\n[ERROR] Invalid selection, please try again...\n";
const std::string kExiting = "\nExiting...\n";
const std::string kNoGames = "NO GAMES FOUND at this time, please check back later...\n";

std::string menu(const std::vector<std::string>& names) {
  std::string text = "\n- - - - Available games - - - -\n";
  for (std::size_t i = 0; i < names.size(); ++i) {
    text += "[" + std::to_string(i + 1) + "] " + names[i] + "\n";
  }
  return text +
         "- - - - Available games - - - -\n"
         "\nPlease type a NUMBER followed by ENTER, or just ENTER to exit:";
}

Exchange answer(const std::string& body) {
  return ScriptedServer::reply(ScriptedServer::okResponse(body));
}

const std::string kTwoGames =
    "#Alpha#\r\n#alpha.exe#\r\n#alpha.dat#\r\n#Beta#\r\n#beta.exe#\r\n#beta.dat#\r\n";

// Runs the launcher once against a server that plays `exchanges`.
struct Session {
  explicit Session(std::vector<Exchange> exchanges) : server(std::move(exchanges)) {
    EXPECT_TRUE(server.start());
  }
  LauncherRun run(const std::string& input,
                  const std::vector<std::pair<std::string, std::string>>& environment = {}) {
    LauncherRun result = sandbox.run(input, environment);
    EXPECT_TRUE(result.finished);
    return result;
  }
  ScriptedServer server;
  LauncherSandbox sandbox;
};

TEST(DialogueTest, StartsUpInOrderAndAsksTheServerTwice) {
  Session session({answer("#0#"), answer(kTwoGames)});
  LauncherRun run = session.run("\n");
  EXPECT_EQ(run.console, kStarted + menu({"Alpha", "Beta"}) + kExiting);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(fs::is_directory(session.sandbox.dataFolder()));

  std::vector<std::string> requests = session.server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].rfind("GET http://", 0), 0u) << requests[0];
  EXPECT_NE(requests[0].find("/launcher/versioncheck.php HTTP/1.1\r\n"), std::string::npos);
  EXPECT_NE(requests[1].find("/launcher/directory.php HTTP/1.1\r\n"), std::string::npos);
}

TEST(DialogueTest, VersionAnswers) {
  struct Case {
    const char* body;
    bool current;
  } cases[] = {
      {"#0#", true},   {"#1#", false}, {"#abc#", true}, {"# 0#", true},
      {"#-1#", false}, {"0", false},   {"0#", false},   {"##", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    Session session({answer(c.body), answer(kTwoGames)});
    LauncherRun run = session.run("\n");
    if (c.current) {
      EXPECT_EQ(run.console, kStarted + menu({"Alpha", "Beta"}) + kExiting);
      EXPECT_EQ(run.exitCode, 0);
    } else {
      EXPECT_EQ(run.console, kBanner + kOutdated);
      EXPECT_EQ(run.exitCode, 255);
      // Nothing is touched before the launcher knows it may go on.
      EXPECT_FALSE(fs::exists(session.sandbox.dataFolder()));
      EXPECT_EQ(session.server.requests().size(), 1u);
    }
  }
}

TEST(DialogueTest, NoServerMeansOutdated) {
  LauncherSandbox sandbox;
  LauncherRun run = sandbox.run("\n");
  ASSERT_TRUE(run.finished);
  // Whether the refusal shows when connecting or on the first step depends on the system.
  EXPECT_TRUE(
      run.console == kBanner + "[ERROR] failed to request launcher version check!\n" + kOutdated ||
      run.console == kBanner + "[ERROR] failed to receive launcher version check!\n" + kOutdated)
      << run.console;
  EXPECT_EQ(run.exitCode, 255);
}

TEST(DialogueTest, DirectoryAnswers) {
  struct Case {
    const char* what;
    std::string body;
    std::vector<std::string> names;  // empty: no games
  } cases[] = {
      {"numbered in the server's order",
       "#Zeta#\n#z.exe#\n#z.dat#\n" + kTwoGames,
       {"Zeta", "Alpha", "Beta"}},
      {"records with an empty or missing token are dropped",
       "#Broken#\n##\n#b.dat#\n#Kept#\n#k.exe#\n#k.dat#\n#Cut#\n#c.exe#\n",
       {"Kept"}},
      {"no games", "nothing here", {}},
      {"an incomplete record only", "#Alone#\n#alone.exe#\n", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Session session({answer("#0#"), answer(c.body)});
    LauncherRun run = session.run("\n");
    if (c.names.empty()) {
      EXPECT_EQ(run.console, kStarted + kNoGames);
    } else {
      EXPECT_EQ(run.console, kStarted + menu(c.names) + kExiting);
    }
    EXPECT_EQ(run.exitCode, 0);
  }
}

TEST(DialogueTest, MenuReadsTwoCharactersAtATime) {
  struct Case {
    const char* input;
    int invalid;  // invalid selections before the launcher exits
  } cases[] = {
      {"\n", 0},     {"", 0},  // the input ends at once
      {"0\n\n", 1},  {"x\n\n", 1},
      {"ab\n", 1},  // the line end stays for the next read, which exits
      {"-1\n", 1},   {"12\n", 1},
      {"123\n", 2},   // 12, then 3
      {"3", 1},       // no line end, then the end of input
      {"9\n0\n", 2},  // the end of input after two choices
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.input)));
    Session session({answer("#0#"), answer(kTwoGames)});
    LauncherRun run = session.run(c.input);
    std::string expected = kStarted + menu({"Alpha", "Beta"});
    for (int i = 0; i < c.invalid; ++i) expected += kInvalid + menu({"Alpha", "Beta"});
    EXPECT_EQ(run.console, expected + kExiting);
    EXPECT_EQ(run.exitCode, 0);
  }
}

TEST(DialogueTest, DataFolderThatIsAFile) {
  Session session({answer("#0#")});
  ASSERT_TRUE(test_support::writeFile(session.sandbox.dataFolder(), "not a folder"));
  LauncherRun run = session.run("\n");
  EXPECT_EQ(run.console, kCurrent + "[ERROR] failed to change to local application data folder!\n");
  EXPECT_EQ(run.exitCode, 255);
}

TEST(DialogueTest, DataFolderThatCannotBeFound) {
  LauncherSandbox probe;
  if (probe.underRunner()) GTEST_SKIP() << "the folder comes from the Windows profile";
  // Relative values do not count; a folder path must fit in 259 characters.
  const std::string longBase =
      probe.applicationData() + "/" + std::string(259 - 17 - probe.applicationData().size(), 'x');
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> environment;
  } cases[] = {
      {"no usable variable", {{"XDG_DATA_HOME", "relative"}, {"HOME", "relative"}}},
      {"a path one character too long", {{"XDG_DATA_HOME", longBase}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Session session({answer("#0#")});
    LauncherRun run = session.run("\n", c.environment);
    EXPECT_EQ(run.console, kCurrent + "[ERROR] failed to find local application data folder!\n");
    EXPECT_EQ(run.exitCode, 255);
  }
}

}  // namespace
