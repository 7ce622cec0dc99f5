// The tests' loopback server, driven by a plain blocking client.
#include "tests/support/scripted_server.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/os.h"
#include "tests/support/wine.h"

namespace {

using test_support::End;
using test_support::Exchange;
using test_support::ScriptedServer;

class Client {
 public:
  ~Client() {
    if (handle_ != INVALID_SOCKET) closesocket(handle_);
  }

  bool connectTo(unsigned short port) {
    handle_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return handle_ != INVALID_SOCKET &&
           connect(handle_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }

  bool sendText(const std::string& text) {
    return text.empty() || send(handle_, text.data(), static_cast<int>(text.size()), 0) ==
                               static_cast<int>(text.size());
  }

  // Reads until the server closes (error 0), until an error, or until `want` bytes are in.
  std::string read(int& error, size_t want = std::string::npos) {
    std::string received;
    char buffer[1024];
    error = 0;
    while (received.size() < want) {
      const int n = recv(handle_, buffer, sizeof buffer, 0);
      if (n == 0) break;
      if (n == SOCKET_ERROR) {
        error = WSAGetLastError();
        break;
      }
      received.append(buffer, static_cast<size_t>(n));
    }
    return received;
  }

  bool readable() {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(handle_, &set);
    timeval none = {0, 0};
    return select(0, &set, nullptr, nullptr, &none) == 1;
  }

 private:
  SOCKET handle_ = INVALID_SOCKET;
};

class ScriptedServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  }
  void TearDown() override { WSACleanup(); }
};

Exchange inPieces(std::vector<std::string> pieces, int pauseMs) {
  Exchange exchange;
  exchange.pieces = std::move(pieces);
  exchange.pauseMs = pauseMs;
  return exchange;
}

Exchange withoutReading(std::string reply) {
  Exchange exchange = ScriptedServer::reply(std::move(reply));
  exchange.readRequest = false;
  return exchange;
}

const std::string kRequest = "GET /launcher/directory.php HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n\r\n";
const std::string kBinary("\x89PNG\0\r\n\0", 8);

struct OneConnection {
  const char* name;
  Exchange exchange;
  std::string request;   // sent by the client; empty: nothing is sent
  std::string received;  // everything up to the server's close
  std::string recorded;
};

class OneConnectionTest : public ScriptedServerTest,
                          public ::testing::WithParamInterface<OneConnection> {};

TEST_P(OneConnectionTest, ServesTheScriptAndRecordsTheRequest) {
  const OneConnection& c = GetParam();
  ScriptedServer server({c.exchange});
  ASSERT_TRUE(server.start());
  EXPECT_EQ(server.port(), 80);
  Client client;
  ASSERT_TRUE(client.connectTo(server.port()));
  ASSERT_TRUE(client.sendText(c.request));
  int error;
  EXPECT_EQ(client.read(error), c.received);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(server.requests(), std::vector<std::string>{c.recorded});
}

INSTANTIATE_TEST_SUITE_P(
    Loopback, OneConnectionTest,
    ::testing::Values(
        OneConnection{"WholeReply", ScriptedServer::reply(ScriptedServer::okResponse("hello")),
                      kRequest, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", kRequest},
        OneConnection{"BinaryPiecesInOrder",
                      inPieces({"HTTP/1.1 200 OK\r\n", kBinary, "", "end"}, 5), kRequest,
                      "HTTP/1.1 200 OK\r\n" + kBinary + "end", kRequest},
        OneConnection{"RequestWithBody", ScriptedServer::reply("ok"),
                      "POST / HTTP/1.1\r\nContent-Length: 4\r\n\r\n" + kBinary.substr(0, 4), "ok",
                      "POST / HTTP/1.1\r\nContent-Length: 4\r\n\r\n" + kBinary.substr(0, 4)},
        OneConnection{"ReplyWithoutReading", withoutReading("early"), "", "early", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScriptedServerTest, ClosesConnectionsBeyondTheScriptAtOnce) {
  ScriptedServer server({ScriptedServer::reply("first")});
  ASSERT_TRUE(server.start());
  int error;
  {
    Client client;
    ASSERT_TRUE(client.connectTo(server.port()));
    ASSERT_TRUE(client.sendText(kRequest));
    EXPECT_EQ(client.read(error), "first");
  }
  Client extra;
  ASSERT_TRUE(extra.connectTo(server.port()));
  EXPECT_EQ(extra.read(error), "");
  EXPECT_EQ(error, 0);
  EXPECT_EQ(server.requests(), (std::vector<std::string>{kRequest, ""}));
}

TEST_F(ScriptedServerTest, KeepsAConnectionOpenUntilDestroyed) {
  Exchange exchange = ScriptedServer::reply("partial");
  exchange.end = End::KeepOpen;
  auto server = std::make_unique<ScriptedServer>(std::vector<Exchange>{exchange}, 0);
  ASSERT_TRUE(server->start());
  EXPECT_NE(server->port(), 0);
  Client client;
  ASSERT_TRUE(client.connectTo(server->port()));
  ASSERT_TRUE(client.sendText(kRequest));
  int error;
  EXPECT_EQ(client.read(error, 7), "partial");
  EXPECT_EQ(server->requests(), std::vector<std::string>{kRequest});
  EXPECT_FALSE(client.readable());
  server.reset();
  EXPECT_EQ(client.read(error), "");
  EXPECT_EQ(error, 0);
}

TEST_F(ScriptedServerTest, ResetReachesTheClientAsConnectionReset) {
  if (test_support::runningUnderWine()) {
    GTEST_SKIP() << "wine reports a reset as an orderly close";
  }
  Exchange exchange = ScriptedServer::reply("HTTP/1.1 200 OK\r\n");
  exchange.end = End::Reset;
  ScriptedServer server({exchange});
  ASSERT_TRUE(server.start());
  Client client;
  ASSERT_TRUE(client.connectTo(server.port()));
  ASSERT_TRUE(client.sendText(kRequest));
  int error;
  const std::string received = client.read(error);
  EXPECT_EQ(error, WSAECONNRESET);
  // Whether bytes before a reset are still delivered is the system's choice.
  EXPECT_EQ(received, std::string("HTTP/1.1 200 OK\r\n").substr(0, received.size()));
}

}  // namespace
