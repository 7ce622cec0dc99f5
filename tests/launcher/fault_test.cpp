// A server that stops sending during start-up: the version check and the games directory give
// up after the stall limit with their usual error lines, and nothing half-received is kept.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/games_directory.h"
#include "launcher/version_check.h"
#include "net/http11_request.h"
#include "tests/support/scripted_server.h"

namespace {

using test_support::End;
using test_support::Exchange;
using test_support::ScriptedServer;

// Shortened for the test: at the real limit a case would take a minute.
class StallLimit {
 public:
  explicit StallLimit(int ms) : saved_(net::Http11Request::stallLimitMs) {
    net::Http11Request::stallLimitMs = ms;
  }
  ~StallLimit() { net::Http11Request::stallLimitMs = saved_; }

 private:
  int saved_;
};

Exchange silentAfter(std::string sent) {
  Exchange exchange;
  if (!sent.empty()) exchange.pieces = {std::move(sent)};
  exchange.end = End::KeepOpen;
  return exchange;
}

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
