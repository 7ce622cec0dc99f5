// A server that stops sending during start-up: the version check and the games directory give
// up after the stall limit with their usual error lines, and nothing half-received is kept.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/games_directory.h"
#include "launcher/version_check.h"
#include "net/http11_request.h"
#include "tests/support/scripted_server.h"
#include "tests/support/stalled_exchange.h"

namespace {

using test_support::End;
using test_support::Exchange;
using test_support::ScriptedServer;

using test_support::silentAfter;
using test_support::StallLimit;

const std::string kHeaders = "HTTP/1.1 200 OK\r\n\r\n";

TEST(StalledServer, StartUpStepsFailWithTheirUsualLines) {
  struct Case {
    const char* what;
    bool directory;    // else the version check
    std::string sent;  // before the server falls silent
  } cases[] = {
      {"version check, silent from the start", false, ""},
      {"version check, silent after its number", false, kHeaders + "#0#"},
      {"directory, silent from the start", true, ""},
      {"directory, silent after a whole game", true, kHeaders + "#A#\n#a.exe#\n#a.dat#\n#B#"},
  };
  const StallLimit limit(200);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedServer server({silentAfter(c.sent)});
    ASSERT_TRUE(server.start());
    GamesDirectory games;
    testing::internal::CaptureStderr();
    const bool answered = c.directory ? games.fetch() : checkLauncherVersion();
    const std::string console = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(answered);
    EXPECT_EQ(console, c.directory ? "[ERROR] failed to receive games directory!\n"
                                   : "[ERROR] failed to receive launcher version check!\n");
    EXPECT_TRUE(games.entries.empty());
  }
}

}  // namespace
