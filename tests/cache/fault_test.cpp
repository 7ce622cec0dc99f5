// A server that stops sending: the validation gives up after the stall limit with its usual
// error line, and the copy kept from an earlier run stays as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cache/validate_file.h"
#include "net/http11_request.h"
#include "scratch_folder.h"
#include "tests/support/scripted_server.h"
#include "tests/support/stalled_exchange.h"

namespace {

using test_support::End;
using test_support::Exchange;
using test_support::ScriptedServer;

using test_support::silentAfter;
using test_support::StallLimit;

class StalledServer : public cache_test::ScratchFolder {};

TEST_F(StalledServer, ValidationFailsWithItsUsualLine) {
  const std::string body(600, 'n');
  const std::string head = "HTTP/1.1 200 OK\r\nETag: \"new-tag\"\r\nContent-Length: 600\r\n\r\n";
  const std::string getHeaders = "HTTP/1.1 200 OK\r\nContent-Length: 600\r\n\r\n";
  const std::string noEntity =
      "[NETWORK] checking level.pak...\n[ERROR] failed to resolve entity for level.pak!\n";
  const std::string failed =
      "[NETWORK] checking level.pak...\n[NETWORK] cache miss for new-tag...\n"
      "[ERROR] failed to download new-tag!\n";
  struct Case {
    const char* what;
    std::vector<Exchange> script;
    std::string console;
  } cases[] = {
      {"silent from the start", {silentAfter("")}, noEntity},
      {"silent inside the HEAD's headers", {silentAfter(head.substr(0, 30))}, noEntity},
      // Every header is there, but the answer is complete only once the server closes.
      {"silent after the HEAD's headers", {silentAfter(head)}, noEntity},
      {"silent before the download's first byte",
       {ScriptedServer::reply(head), silentAfter("")},
       failed},
      {"silent in the middle of the body",
       {ScriptedServer::reply(head), silentAfter(getHeaders + body.substr(0, 300))},
       failed},
      {"silent after the whole body",
       {ScriptedServer::reply(head), silentAfter(getHeaders + body)},
       failed},
  };
  const StallLimit limit(200);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    put("level.pak", "old copy");
    put("level.pak.entity", "old-tag");
    ScriptedServer server(c.script);
    ASSERT_TRUE(server.start());
    testing::internal::CaptureStderr();
    const bool valid = validateFile("level.pak");
    const std::string console = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(valid);
    EXPECT_EQ(console, c.console);
    EXPECT_EQ(get("level.pak"), "old copy");
    EXPECT_EQ(get("level.pak.entity"), "old-tag");
    EXPECT_FALSE(exists("level.pak.part"));
  }
}

// A body past the announced size fails at once, without waiting for the server to stop: an
// endless one would otherwise fill the disk. With the stall limit out of reach, waiting for the
// server shows as a hang of the suite.
TEST_F(StalledServer, BodyPastTheAnnouncedSizeFailsAtOnce) {
  const StallLimit limit(3600 * 1000);
  const std::string head = "HTTP/1.1 200 OK\r\nETag: \"new-tag\"\r\nContent-Length: 600\r\n\r\n";
  Exchange endless;
  endless.pieces = {"HTTP/1.1 200 OK\r\n\r\n" + std::string(600, 'n'), std::string(1 << 20, 'x')};
  endless.end = End::KeepOpen;
  put("level.pak", "old copy");
  put("level.pak.entity", "old-tag");
  ScriptedServer server({ScriptedServer::reply(head), endless});
  ASSERT_TRUE(server.start());
  testing::internal::CaptureStderr();
  const bool valid = validateFile("level.pak");
  const std::string console = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(valid);
  EXPECT_NE(console.find("[ERROR] failed to download new-tag!\n"), std::string::npos) << console;
  EXPECT_EQ(get("level.pak"), "old copy");
  EXPECT_EQ(get("level.pak.entity"), "old-tag");
  EXPECT_FALSE(exists("level.pak.part"));
}

}  // namespace
