#include "net/tcp_socket.h"

#include <gtest/gtest.h>

#include <string>

#include "log_capture.h"
#include "net/winsocknet.h"
#include "net/wsa_error.h"
#include "tests/support/scripted_server.h"
#include "winsock_environment.h"

namespace {

using net_test::LogCapture;
using test_support::Exchange;
using test_support::ScriptedServer;

const auto* const kWinsock = ::testing::AddGlobalTestEnvironment(new net_test::WinsockEnvironment);

TEST(Winsocknet, CreateStartsAndDestroyStopsOnce) {
  LogCapture log;
  net::winsocknet::destroy();  // without create: nothing to do
  EXPECT_FALSE(net::winsocknet::started);
  ASSERT_TRUE(net::winsocknet::create());
  EXPECT_TRUE(net::winsocknet::started);
  net::winsocknet::destroy();
  EXPECT_FALSE(net::winsocknet::started);
  net::winsocknet::destroy();
  EXPECT_FALSE(net::winsocknet::started);
  EXPECT_EQ(log.lines, std::vector<std::string>{"net::winsocknet::create(): WSAStartup ok"});
}

TEST(EchoWSAError, WordsTheLastErrorAndSkipsWouldBlock) {
  struct Case {
    int error;
    const char* line;
  } cases[] = {
      {WSAEMSGSIZE,
       "net::utils::echoWSAError(): op: got WSAEMSGSIZE while calling: send(), check max "
       "message size"},
      {WSAECONNRESET, "net::utils::echoWSAError(): op: 10054 while calling: send()"},
      {WSAEWOULDBLOCK, nullptr},
  };
  for (const Case& c : cases) {
    LogCapture log;
    WSASetLastError(c.error);
    net::utils::echoWSAError("op", "send()");
    if (c.line == nullptr) {
      EXPECT_TRUE(log.lines.empty()) << c.error;
    } else {
      EXPECT_EQ(log.lines, std::vector<std::string>{c.line}) << c.error;
    }
  }
}

TEST(TcpSocket, WithoutHandleNothingIsSentOrReceived) {
  net::TcpSocket socket;
  char byte;
  int received = 7;
  EXPECT_FALSE(socket.sendBuffer("x", 1));
  EXPECT_FALSE(socket.sendBuffer("x", 0));
  EXPECT_FALSE(socket.recvBuffer(&byte, 1, received));
  EXPECT_EQ(received, 0);
}

// Connects to port 80 of the loopback and polls until the attempt is decided.
net::PollResult connectLoopback(net::TcpSocket& socket) {
  if (!socket.init() || !socket.connect("127.0.0.1", 80)) return net::Error;
  net::PollResult answer;
  while ((answer = socket.poll()) == net::Idle) {
  }
  return answer;
}

TEST(TcpSocket, ReceivesUntilTheServerCloses) {
  ScriptedServer server({ScriptedServer::reply("reply")});
  ASSERT_TRUE(server.start());
  LogCapture log;
  net::TcpSocket socket;
  ASSERT_EQ(connectLoopback(socket), net::Writable);

  // The server waits for a request, so nothing can have arrived yet.
  char buffer[64];
  int received = 0;
  EXPECT_TRUE(socket.recvBuffer(buffer, sizeof(buffer), received));
  EXPECT_EQ(received, -1);
  EXPECT_TRUE(socket.sendBuffer("", 0));
  const std::string request = "GET / HTTP/1.1\r\n\r\n";
  ASSERT_TRUE(socket.sendBuffer(request.data(), static_cast<int>(request.size())));

  std::string collected;
  for (;;) {
    socket.waitReadable(1);
    if (!socket.recvBuffer(buffer, sizeof(buffer), received)) break;
    if (received > 0) collected.append(buffer, static_cast<std::size_t>(received));
  }
  EXPECT_EQ(received, 0);
  EXPECT_EQ(collected, "reply");
  EXPECT_TRUE(log.lines.empty());  // would-block answers are never logged
  EXPECT_EQ(server.requests(), std::vector<std::string>{request});
}

TEST(TcpSocket, ReceiveErrorEndsTheConnectionAndIsLogged) {
  net::TcpSocket socket;
  ASSERT_TRUE(socket.init());
  LogCapture log;
  char buffer[8];
  int received = 0;
  EXPECT_FALSE(socket.recvBuffer(buffer, sizeof(buffer), received));  // never connected
  EXPECT_EQ(received, -1);
  EXPECT_EQ(log.lines, std::vector<std::string>{"net::utils::echoWSAError(): "
                                                "net::TcpSocket::recvBuffer: 10057 while "
                                                "calling: recv()"});
}

TEST(TcpSocket, RefusedConnectionPollsAsError) {
  LogCapture log;
  net::TcpSocket socket;
  EXPECT_EQ(connectLoopback(socket), net::Error);
  EXPECT_TRUE(log.lines.empty());  // the attempt was under way, not refused at once
}

}  // namespace
