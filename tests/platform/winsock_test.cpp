// The socket layer against real loopback sockets: the behaviour the launcher relies on, as
// Windows documents it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "net/select_limit.h"
#include "platform/os.h"
#include "tests/support/wine.h"
#ifndef _WIN32
#include "tests/support/posix/high_descriptor.h"
#endif

namespace {

// Long enough never to decide a test, short enough to fail instead of hanging for good.
constexpr int kPatienceMs = 10000;

sockaddr_in loopback(unsigned short port) {
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool inSet(SOCKET handle, fd_set& set) { return FD_ISSET(handle, &set) != 0; }

// Which of the three sets `handle` stays in after one select.
struct Readiness {
  int result;
  bool read, write, except;
};

Readiness selectOn(SOCKET handle, bool read, bool write, bool except, int ms) {
  fd_set readSet, writeSet, exceptSet;
  FD_ZERO(&readSet);
  FD_ZERO(&writeSet);
  FD_ZERO(&exceptSet);
  if (read) FD_SET(handle, &readSet);
  if (write) FD_SET(handle, &writeSet);
  if (except) FD_SET(handle, &exceptSet);
  timeval limit = net::selectLimit(ms);
  const int result = select(0, read ? &readSet : nullptr, write ? &writeSet : nullptr,
                            except ? &exceptSet : nullptr, &limit);
  return {result, inSet(handle, readSet), inSet(handle, writeSet), inSet(handle, exceptSet)};
}

class WinsockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  }
  void TearDown() override {
    for (SOCKET handle : open_) closesocket(handle);
    WSACleanup();
  }

  SOCKET track(SOCKET handle) {
    if (handle != INVALID_SOCKET) open_.push_back(handle);
    return handle;
  }
  SOCKET newSocket() { return track(socket(AF_INET, SOCK_STREAM, 0)); }
  void forget(SOCKET handle) {
    for (SOCKET& held : open_) {
      if (held == handle) held = INVALID_SOCKET;
    }
  }

  // A listening socket on a port chosen by the system.
  SOCKET listenOn(unsigned short& port) {
    SOCKET listener = newSocket();
    sockaddr_in address = loopback(0);
    int length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 4) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return INVALID_SOCKET;
    }
    port = ntohs(address.sin_port);
    return listener;
  }

  // A port that nothing listens on: bound once by the system's choice, then given up.
  unsigned short deadPort() {
    unsigned short port = 0;
    SOCKET listener = listenOn(port);
    closesocket(listener);
    forget(listener);
    return port;
  }

  // A connected pair over loopback, both blocking.
  bool connectedPair(SOCKET& client, SOCKET& server) {
    unsigned short port = 0;
    SOCKET listener = listenOn(port);
    client = newSocket();
    sockaddr_in address = loopback(port);
    if (connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      return false;
    }
    server = track(accept(listener, nullptr, nullptr));
    return server != INVALID_SOCKET;
  }

  std::vector<SOCKET> open_;
};

TEST(WinsockStartup, GrantsOneOneAndCountsCleanups) {
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  EXPECT_EQ(data.wVersion, 0x0101);
  ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  EXPECT_EQ(WSACleanup(), 0);
  // One start-up is still in force.
  SOCKET handle = socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_NE(handle, INVALID_SOCKET);
  closesocket(handle);
  EXPECT_EQ(WSACleanup(), 0);

  EXPECT_EQ(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

#ifndef _WIN32
TEST(WinsockStartup, OffersNothingBeyondOneOne) {
  WSADATA data;
  EXPECT_EQ(WSAStartup(MAKEWORD(1, 0), &data), WSAVERNOTSUPPORTED);
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  EXPECT_EQ(data.wVersion, 0x0101);
  EXPECT_EQ(WSACleanup(), 0);
}
#endif

struct ConnectCase {
  const char* name;
  bool listening;
  bool highDescriptor;
};

class NonBlockingConnect : public WinsockTest, public ::testing::WithParamInterface<ConnectCase> {};

// The launcher polls with write and exception sets; a refused attempt must never look writable,
// however often it is asked, and a descriptor number has no upper bound.
TEST_P(NonBlockingConnect, IsDecidedInTheRightSet) {
  const ConnectCase& c = GetParam();
  unsigned short port = 0;
  if (c.listening) {
    ASSERT_NE(listenOn(port), INVALID_SOCKET);
  } else {
    port = deadPort();
  }
  SOCKET client = newSocket();
  ASSERT_NE(client, INVALID_SOCKET);
#ifndef _WIN32
  if (c.highDescriptor) {
    forget(client);
    client = track(test_support::moveToHighDescriptor(client, 1100));
    ASSERT_GE(client, 1100u);
  }
#else
  if (c.highDescriptor) GTEST_SKIP() << "descriptor numbers are a POSIX matter";
#endif
  u_long nonBlocking = 1;
  ASSERT_EQ(ioctlsocket(client, FIONBIO, &nonBlocking), 0);
  sockaddr_in address = loopback(port);
  ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);

  Readiness first = selectOn(client, false, true, true, kPatienceMs);
  EXPECT_EQ(first.result, 1);
  EXPECT_EQ(first.write, c.listening);
  EXPECT_EQ(first.except, !c.listening);
  for (int again = 0; again < 3; ++again) {
    Readiness later = selectOn(client, false, true, true, 1);
    EXPECT_EQ(later.write, c.listening);
    EXPECT_EQ(later.except, !c.listening);
  }
}

INSTANTIATE_TEST_SUITE_P(Loopback, NonBlockingConnect,
                         ::testing::Values(ConnectCase{"Accepted", true, false},
                                           ConnectCase{"Refused", false, false},
                                           ConnectCase{"AcceptedHigh", true, true},
                                           ConnectCase{"RefusedHigh", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WinsockTest, SelectCountsEveryHandleSetAndHonoursItsLimit) {
  SOCKET client, server;
  ASSERT_TRUE(connectedPair(client, server));
  // Nothing has arrived: the limit runs out, the read set comes back empty.
  Readiness idle = selectOn(client, true, false, false, 1);
  EXPECT_EQ(idle.result, 0);
  EXPECT_FALSE(idle.read);

  ASSERT_EQ(send(server, "x", 1, 0), 1);
  // Readable and writable: one handle counted once per set.
  Readiness both = selectOn(client, true, true, false, kPatienceMs);
  EXPECT_EQ(both.result, 2);
  EXPECT_TRUE(both.read);
  EXPECT_TRUE(both.write);
}

TEST_F(WinsockTest, AcceptedSocketKeepsTheListenersNonBlockingMode) {
  unsigned short port = 0;
  SOCKET listener = listenOn(port);
  u_long nonBlocking = 1;
  ASSERT_EQ(ioctlsocket(listener, FIONBIO, &nonBlocking), 0);
  SOCKET client = newSocket();
  sockaddr_in address = loopback(port);
  ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_TRUE(selectOn(listener, true, false, false, kPatienceMs).read);
  SOCKET server = track(accept(listener, nullptr, nullptr));
  ASSERT_NE(server, INVALID_SOCKET);
  char byte;
  EXPECT_EQ(recv(server, &byte, 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
}

enum class PeerEnd { Nothing, Orderly, Reset };

void endPeer(SOCKET peer, PeerEnd end) {
  if (end == PeerEnd::Reset) {
    linger abortive = {};
    abortive.l_onoff = 1;
    abortive.l_linger = 0;
    setsockopt(peer, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive),
               sizeof abortive);
  }
  if (end != PeerEnd::Nothing) closesocket(peer);
}

struct RecvCase {
  const char* name;
  PeerEnd end;
  int result;
  int error;  // when the result is SOCKET_ERROR
};

class RecvTest : public WinsockTest, public ::testing::WithParamInterface<RecvCase> {};

TEST_P(RecvTest, ReportsWhatBecameOfThePeer) {
  const RecvCase& c = GetParam();
  if (c.end == PeerEnd::Reset && test_support::runningUnderWine()) {
    GTEST_SKIP() << "wine reports a reset as an orderly close";
  }
  SOCKET client, server;
  ASSERT_TRUE(connectedPair(client, server));
  if (c.end == PeerEnd::Nothing) {
    u_long nonBlocking = 1;
    ASSERT_EQ(ioctlsocket(client, FIONBIO, &nonBlocking), 0);
  } else {
    // A blocking recv waits for the peer's end by itself (a select first would, under wine,
    // swallow the reset).
    endPeer(server, c.end);
    forget(server);
  }
  char buffer[16];
  EXPECT_EQ(recv(client, buffer, sizeof buffer, 0), c.result);
  if (c.result == SOCKET_ERROR) {
    EXPECT_EQ(WSAGetLastError(), c.error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Loopback, RecvTest,
    ::testing::Values(RecvCase{"NothingYet", PeerEnd::Nothing, SOCKET_ERROR, WSAEWOULDBLOCK},
                      RecvCase{"OrderlyClose", PeerEnd::Orderly, 0, 0},
                      RecvCase{"Reset", PeerEnd::Reset, SOCKET_ERROR, WSAECONNRESET}),
    [](const auto& info) { return std::string(info.param.name); });

class SendToGonePeer : public WinsockTest, public ::testing::WithParamInterface<PeerEnd> {};

// Reaching the end of this test at all shows that no SIGPIPE was raised.
TEST_P(SendToGonePeer, FailsWithAWinsockCode) {
  SOCKET client, server;
  ASSERT_TRUE(connectedPair(client, server));
  endPeer(server, GetParam());
  forget(server);
  ASSERT_TRUE(selectOn(client, true, false, false, kPatienceMs).read);
  // The first send after an orderly close may still be taken; the peer answers it with a reset.
  int result = 0;
  for (int attempt = 0; attempt < 100 && result != SOCKET_ERROR; ++attempt) {
    result = send(client, "data", 4, 0);
  }
  ASSERT_EQ(result, SOCKET_ERROR);
  const int error = WSAGetLastError();
  EXPECT_TRUE(error == WSAECONNRESET || error == WSAECONNABORTED) << error;
}

INSTANTIATE_TEST_SUITE_P(Loopback, SendToGonePeer,
                         ::testing::Values(PeerEnd::Orderly, PeerEnd::Reset));

TEST_F(WinsockTest, ShutdownSendEndsTheStreamButNotTheConnection) {
  SOCKET client, server;
  ASSERT_TRUE(connectedPair(client, server));
  ASSERT_EQ(shutdown(client, SD_SEND), 0);
  char buffer[8];
  EXPECT_EQ(recv(server, buffer, sizeof buffer, 0), 0);
  ASSERT_EQ(send(server, "late", 4, 0), 4);
  EXPECT_EQ(recv(client, buffer, sizeof buffer, 0), 4);
  EXPECT_EQ(send(client, "more", 4, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAESHUTDOWN);
}

TEST_F(WinsockTest, PendingCountIsWhatArrivedAndIsNotReadYet) {
  SOCKET client, server;
  ASSERT_TRUE(connectedPair(client, server));
  const auto pending = [&] {
    u_long count = 12345;
    EXPECT_EQ(ioctlsocket(client, FIONREAD, &count), 0);
    return count;
  };
  EXPECT_EQ(pending(), 0u);
  ASSERT_EQ(send(server, "hello", 5, 0), 5);
  ASSERT_TRUE(selectOn(client, true, false, false, kPatienceMs).read);
  EXPECT_EQ(pending(), 5u);
  char buffer[8];
  ASSERT_EQ(recv(client, buffer, 2, 0), 2);
  EXPECT_EQ(pending(), 3u);
  ASSERT_EQ(shutdown(server, SD_SEND), 0);
  ASSERT_EQ(recv(client, buffer, sizeof buffer, 0), 3);
  ASSERT_TRUE(selectOn(client, true, false, false, kPatienceMs).read);
  EXPECT_EQ(pending(), 0u);  // readable with nothing pending: the peer's end
}

TEST_F(WinsockTest, FailuresAreWinsockCodes) {
  SOCKET client, server;
  ASSERT_TRUE(connectedPair(client, server));
  unsigned short port = 0;
  ASSERT_NE(listenOn(port), INVALID_SOCKET);
  const sockaddr_in busy = loopback(port);
  const sockaddr_in dead = loopback(deadPort());
  SOCKET closed = socket(AF_INET, SOCK_STREAM, 0);
  closesocket(closed);
  const auto address = [](const sockaddr_in& in) { return reinterpret_cast<const sockaddr*>(&in); };

  struct Case {
    const char* call;
    std::function<int()> run;
    int error;
  };
  // The closed handle's number is only sure to be free until the next socket is made.
  const Case cases[] = {
      {"closing a closed handle", [&] { return closesocket(closed); }, WSAENOTSOCK},
      {"closing no handle", [] { return closesocket(INVALID_SOCKET); }, WSAENOTSOCK},
      {"select on a closed handle",
       [&] {
         fd_set set;
         FD_ZERO(&set);
         FD_SET(closed, &set);
         timeval limit = net::selectLimit(1);
         return select(0, &set, nullptr, nullptr, &limit);
       },
       WSAENOTSOCK},
      {"connect to a port nothing listens on",
       [&] { return connect(newSocket(), address(dead), sizeof dead); }, WSAECONNREFUSED},
      {"bind to a port in use", [&] { return bind(newSocket(), address(busy), sizeof busy); },
       WSAEADDRINUSE},
      {"shutdown before connecting", [&] { return shutdown(newSocket(), SD_SEND); }, WSAENOTCONN},
      {"shutdown in no known direction", [&] { return shutdown(client, 7); }, WSAEINVAL},
#ifndef _WIN32
      // Wine answers these two with WSAEADDRNOTAVAIL and WSAEOPNOTSUPP.
      {"connect with a short address", [&] { return connect(newSocket(), address(busy), 8); },
       WSAEFAULT},
      {"an unknown ioctl",
       [&] {
         u_long argument = 1;
         return ioctlsocket(client, 0x1234, &argument);
       },
       WSAEINVAL},
#endif
      {"an unknown socket option",
       [&] {
         const int on = 1;
         return setsockopt(client, SOL_SOCKET, 0x7777, reinterpret_cast<const char*>(&on),
                           sizeof on);
       },
       WSAENOPROTOOPT},
      {"select with no handles",
       [] {
         timeval limit = net::selectLimit(1);
         fd_set* none = nullptr;
         return select(0, none, none, none, &limit);
       },
       WSAEINVAL},
  };
  for (const Case& c : cases) {
    WSASetLastError(0);
    EXPECT_EQ(c.run(), SOCKET_ERROR) << c.call;
    EXPECT_EQ(WSAGetLastError(), c.error) << c.call;
  }
}

struct AddressCase {
  const char* text;
  unsigned char bytes[4];  // in network order; all 255 for INADDR_NONE
};

TEST(WinsockAddresses, DottedTextOrNone) {
  const AddressCase cases[] = {
      {"127.0.0.1", {127, 0, 0, 1}},       {"10.20.30.40", {10, 20, 30, 40}},
      {"256.1.1.1", {255, 255, 255, 255}}, {"1.2.3.4.5", {255, 255, 255, 255}},
      {"", {255, 255, 255, 255}},          {"games.example", {255, 255, 255, 255}},
  };
  for (const AddressCase& c : cases) {
    const std::uint32_t address = static_cast<std::uint32_t>(inet_addr(c.text));
    unsigned char bytes[4];
    std::memcpy(bytes, &address, sizeof bytes);
    EXPECT_EQ(std::memcmp(bytes, c.bytes, sizeof bytes), 0) << '"' << c.text << '"';
  }
  const u_short port = htons(0x1234);
  unsigned char portBytes[2];
  std::memcpy(portBytes, &port, sizeof portBytes);
  EXPECT_EQ(portBytes[0], 0x12);
  EXPECT_EQ(portBytes[1], 0x34);
  EXPECT_EQ(ntohs(port), 0x1234);
}

TEST_F(WinsockTest, ResolvesNamesToIpv4) {
  for (const char* name : {"localhost", "127.0.0.1"}) {
    hostent* host = gethostbyname(name);
    ASSERT_NE(host, nullptr) << name;
    EXPECT_EQ(host->h_addrtype, AF_INET);
    EXPECT_EQ(host->h_length, 4);
    ASSERT_NE(host->h_addr_list[0], nullptr);
    const unsigned char loopbackBytes[4] = {127, 0, 0, 1};
    EXPECT_EQ(std::memcmp(host->h_addr_list[0], loopbackBytes, 4), 0) << name;
  }
  EXPECT_EQ(gethostbyname("no-such-host.invalid"), nullptr);
  const int error = WSAGetLastError();
  EXPECT_TRUE(error == WSAHOST_NOT_FOUND || error == WSATRY_AGAIN || error == WSANO_RECOVERY ||
              error == WSANO_DATA)
      << error;
}

}  // namespace
