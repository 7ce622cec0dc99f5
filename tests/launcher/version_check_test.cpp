#include "launcher/version_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/server.h"
#include "tests/support/scripted_server.h"

namespace {

TEST(VersionCheckTest, Answers) {
  const std::string headers = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n";
  struct Case {
    std::string body;
    bool current;
  } cases[] = {
      {"#0#", true},           {"#1#", false},       {"#abc#", true},  // no digits: 0
      {"#00#", true},          {"# 0#", true},       {"#0x5#", true},  // stops at the x
      {"#-1#", false},         {"0", false},                           // no '#'
      {"0#", false},  // the only '#' is the last character
      {"##", false},  // empty token
      {"#0", false},  // no closing '#': no number, which must not pass for 0
      {"#4294967296#", false}, {"#0#\n#1#\n", true},  // only the first token counts
  };
  for (const Case& c : cases) {
    EXPECT_EQ(isCurrentVersionAnswer((headers + c.body).c_str()), c.current) << c.body;
  }
  EXPECT_FALSE(isCurrentVersionAnswer(nullptr));
  EXPECT_FALSE(isCurrentVersionAnswer(""));
}

TEST(VersionCheckTest, AsksTheServer) {
  test_support::ScriptedServer server(
      {test_support::ScriptedServer::reply(test_support::ScriptedServer::okResponse("#0#"))});
  ASSERT_TRUE(server.start());
  EXPECT_TRUE(checkLauncherVersion());
  const std::string expected = std::string("GET ") + server::kVersionCheckUrl +
                               " HTTP/1.1\r\nHost: " LAUNCHER_SERVER_HOST
                               "\r\nConnection: close\r\nAccept: text/*\r\n\r\n\r\n";
  EXPECT_EQ(server.requests(), std::vector<std::string>{expected});
}

TEST(VersionCheckTest, AnAnswerWithoutBytesIsNotCurrent) {
  test_support::ScriptedServer server({test_support::ScriptedServer::reply("")});
  ASSERT_TRUE(server.start());
  EXPECT_FALSE(checkLauncherVersion());
}

TEST(VersionCheckTest, NoServerIsNotCurrent) { EXPECT_FALSE(checkLauncherVersion()); }

}  // namespace
