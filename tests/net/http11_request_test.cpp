#include "net/http11_request.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "log_capture.h"
#include "tests/support/scripted_server.h"
#include "winsock_environment.h"

namespace {

using net::Http11Request;
using net_test::LogCapture;
using test_support::End;
using test_support::Exchange;
using test_support::ScriptedServer;

const auto* const kWinsock = ::testing::AddGlobalTestEnvironment(new net_test::WinsockEnvironment);

// Pumps until the exchange ends; false when a step failed.
bool pump(Http11Request& request) {
  while (request.connection) {
    if (!request.update()) return false;
  }
  return true;
}

std::string responseText(const Http11Request& request) {
  return std::string(request.response.data, request.response.length);
}

std::vector<std::string> storedCookies(const Http11Request& request) {
  std::vector<std::string> cookies;
  for (int i = 0; i < request.cookieCount; ++i) cookies.push_back(request.cookies[i]);
  return cookies;
}

void setCookies(Http11Request& request, const std::vector<std::string>& cookies) {
  request.cookieCount = 0;
  for (const std::string& cookie : cookies) {
    std::strcpy(request.cookies[request.cookieCount++], cookie.c_str());
  }
}

TEST(Http11Request, ExtractsTheHostBetweenSchemeAndFirstSlash) {
  struct Case {
    const char* url;
    const char* host;  // null: refused
  } cases[] = {
      {"http://games.example.org/launcher/directory.php", "games.example.org"},
      {"http://h/", "h"},
      {"http://127.0.0.1:8080/x", "127.0.0.1:8080"},
      {"http://games.example.org", nullptr},
      {"HTTP://games.example.org/", nullptr},
      {"see http://games.example.org/", nullptr},
      {"https://games.example.org/", nullptr},
      {"http:///launcher/", nullptr},
      {"", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    const char* host = Http11Request::_extractHost(c.url);
    if (c.host == nullptr) {
      EXPECT_EQ(host, nullptr);
      LogCapture log;
      Http11Request request;
      EXPECT_FALSE(request.request(Http11Request::Get, c.url));
      EXPECT_EQ(request.connection, nullptr);
      EXPECT_EQ(log.lines, std::vector<std::string>{
                               "net::Http11Request::request(): failed to extract host from "
                               "request url"});
    } else {
      ASSERT_NE(host, nullptr);
      EXPECT_STREQ(host, c.host);
    }
  }
}

TEST(Http11Request, CapturesCookiesFromTheFinishedResponse) {
  std::string nine;
  for (int i = 1; i <= 9; ++i) nine += "Set-Cookie: c" + std::to_string(i) + "=v; path=/\r\n";
  const std::string longValue(1500, 'v');
  struct Case {
    const char* name;
    std::string response;
    std::vector<std::string> cookies;
  } cases[] = {
      {"none set: store kept", "HTTP/1.1 200 OK\r\nset-cookie: a=1;\r\n\r\n", {"old=1"}},
      {"two, in order",
       "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2; HttpOnly\r\n\r\n",
       {"a=1", "b=2"}},
      {"ninth ignored", nine, {"c1=v", "c2=v", "c3=v", "c4=v", "c5=v", "c6=v", "c7=v", "c8=v"}},
      {"value runs to the next ';'",
       "Set-Cookie: a=1\r\nX-Other: y; z\r\n\r\n",
       {"a=1\r\nX-Other: y"}},
      {"no ';' after it: store emptied", "Set-Cookie: a=1\r\n\r\nbody", {}},
      {"empty value", "Set-Cookie: ;\r\n", {""}},
      {"long value cut to its slot",
       "Set-Cookie: " + longValue + ";\r\nSet-Cookie: b=2;\r\n",
       {longValue.substr(0, 1023), "b=2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Http11Request request;
    setCookies(request, {"old=1"});
    request.response._assertBuffer();
    std::memcpy(request.response.data, c.response.c_str(), c.response.size() + 1);
    request.response.length = static_cast<std::uint32_t>(c.response.size());
    request._captureCookies();
    EXPECT_EQ(storedCookies(request), c.cookies);
  }
}

const char kHeadOk[] = "HTTP/1.1 200 OK\r\nETag: \"e1\"\r\nContent-Length: 5\r\n\r\n";

TEST(Http11Request, SendsTheRequestTextPieceByPiece) {
  const std::string tail = "Connection: close\r\nAccept: text/*\r\n\r\n";
  struct Case {
    Http11Request::Kind kind;
    const char* url;
    std::vector<std::string> cookies;
    const char* body;
    std::string expected;
  } cases[] = {
      {Http11Request::Head,
       "http://127.0.0.1/launcher/game%20data.bin",
       {},
       nullptr,
       "HEAD http://127.0.0.1/launcher/game%20data.bin HTTP/1.1\r\nHost: 127.0.0.1\r\n" + tail +
           "\r\n"},
      {Http11Request::Get,
       "http://localhost/launcher/directory.php",
       {},
       nullptr,
       "GET http://localhost/launcher/directory.php HTTP/1.1\r\nHost: localhost\r\n" + tail +
           "\r\n"},
      {Http11Request::Get,
       "http://127.0.0.1/a",
       {"a=1", ""},
       nullptr,
       "GET http://127.0.0.1/a HTTP/1.1\r\nHost: 127.0.0.1\r\nCookie: a=1\r\nCookie: \r\n" + tail +
           "\r\n"},
      {Http11Request::Post,
       "http://127.0.0.1/p",
       {},
       "x=1&y=2",
       "POST http://127.0.0.1/p HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: "
       "application/x-www-form-urlencoded\r\nContent-Length: 7\r\n" +
           tail + "x=1&y=2\r\n"},
      {Http11Request::Post,
       "http://127.0.0.1/p",
       {"s=9"},
       nullptr,
       "POST http://127.0.0.1/p HTTP/1.1\r\nHost: 127.0.0.1\r\nCookie: s=9\r\nContent-Type: "
       "application/x-www-form-urlencoded\r\nContent-Length: 0\r\n" +
           tail + "\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    ScriptedServer server({ScriptedServer::reply(kHeadOk)});
    ASSERT_TRUE(server.start());
    Http11Request request;
    setCookies(request, c.cookies);
    ASSERT_TRUE(request.request(c.kind, c.url));
    request.body.assign(c.body);
    ASSERT_TRUE(pump(request));
    EXPECT_EQ(server.requests(), std::vector<std::string>{c.expected});
    EXPECT_EQ(responseText(request), kHeadOk);
  }
}

TEST(Http11Request, CookiesSetByOneResponseGoWithTheNextRequests) {
  const std::string cookieReply =
      ScriptedServer::okResponse("", "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2; HttpOnly\r\n");
  ScriptedServer server({ScriptedServer::reply(cookieReply), ScriptedServer::reply(kHeadOk),
                         ScriptedServer::reply(kHeadOk)});
  ASSERT_TRUE(server.start());
  Http11Request request;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(request.request(Http11Request::Head, "http://127.0.0.1/x"));
    ASSERT_TRUE(pump(request));
  }
  const std::vector<std::string> requests = server.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].find("Cookie"), std::string::npos);
  for (int i = 1; i < 3; ++i) {
    EXPECT_NE(requests[i].find("\r\nCookie: a=1\r\nCookie: b=2\r\nConnection: close"),
              std::string::npos)
        << requests[i];
  }
}

TEST(Http11Request, CollectsAReplySplitAtEveryByte) {
  const std::string reply = ScriptedServer::okResponse("#0#", "Set-Cookie: session=42; path=/\r\n");
  for (std::size_t split = 1; split < reply.size(); ++split) {
    SCOPED_TRACE(split);
    Exchange exchange;
    exchange.pieces = {reply.substr(0, split), reply.substr(split)};
    exchange.pauseMs = 1;
    ScriptedServer server({exchange});
    ASSERT_TRUE(server.start());
    Http11Request request;
    ASSERT_TRUE(request.request(Http11Request::Get, "http://127.0.0.1/launcher/versioncheck.php"));
    ASSERT_TRUE(pump(request));
    ASSERT_EQ(responseText(request), reply);
    EXPECT_EQ(request.response.data[reply.size()], '\0');
    EXPECT_EQ(storedCookies(request), std::vector<std::string>{"session=42"});
  }
}

TEST(Http11Request, CollectsALargeReplyInPiecesAndGrows) {
  std::string body;
  for (int i = 0; body.size() < 300000; ++i) body += std::to_string(i) + ",";
  const std::string reply = ScriptedServer::okResponse(body);
  Exchange exchange;
  for (std::size_t at = 0; at < reply.size(); at += 30011)
    exchange.pieces.push_back(reply.substr(at, 30011));
  exchange.pauseMs = 2;
  ScriptedServer server({exchange});
  ASSERT_TRUE(server.start());
  Http11Request request;
  ASSERT_TRUE(request.request(Http11Request::Get, "http://127.0.0.1/launcher/directory.php"));
  ASSERT_TRUE(pump(request));
  EXPECT_EQ(responseText(request), reply);
  EXPECT_EQ(request.response.data[reply.size()], '\0');
  EXPECT_EQ(request.response.capacity, 524288u);
}

TEST(Http11Request, ServerClosingAtOnceGivesAnEmptyResponse) {
  Exchange silent;
  silent.pieces = {};
  ScriptedServer server({ScriptedServer::reply(kHeadOk), silent});
  ASSERT_TRUE(server.start());
  Http11Request request;
  ASSERT_TRUE(request.request(Http11Request::Head, "http://127.0.0.1/x"));
  ASSERT_TRUE(pump(request));
  ASSERT_TRUE(request.request(Http11Request::Get, "http://127.0.0.1/x"));
  ASSERT_TRUE(pump(request));
  EXPECT_EQ(request.response.length, 0u);
  EXPECT_STREQ(request.response.data, "");  // the earlier answer does not show through
  EXPECT_EQ(server.requests().size(), 2u);
}

TEST(Http11Request, StreamingCallerKeepsTheFirstBuffer) {
  std::string body(5 * 1024 * 1024, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('A' + i % 53);
  const std::string reply = ScriptedServer::okResponse(body);
  ScriptedServer server({ScriptedServer::reply(reply)});
  ASSERT_TRUE(server.start());
  Http11Request request;
  ASSERT_TRUE(request.request(Http11Request::Get, "http://127.0.0.1/launcher/game.exe"));
  std::string collected;
  while (request.connection) {
    ASSERT_TRUE(request.update());
    collected.append(request.response.data, request.response.length);
    request.response.length = 0;
  }
  EXPECT_EQ(request.response.capacity, 65536u);
  EXPECT_TRUE(collected == reply);
}

TEST(Http11Request, NewRequestEndsTheRunningExchange) {
  Exchange hanging;
  hanging.pieces = {"HTTP/1.1 200 OK\r\n"};
  hanging.end = End::KeepOpen;
  const std::string second = ScriptedServer::okResponse("second");
  ScriptedServer server({hanging, ScriptedServer::reply(second)});
  ASSERT_TRUE(server.start());
  Http11Request request;
  ASSERT_TRUE(request.request(Http11Request::Get, "http://127.0.0.1/first"));
  while (request.response.length == 0) ASSERT_TRUE(request.update());
  ASSERT_NE(request.connection, nullptr);

  ASSERT_TRUE(request.request(Http11Request::Get, "http://127.0.0.1/second"));
  ASSERT_TRUE(pump(request));
  EXPECT_EQ(responseText(request), second);
  const std::vector<std::string> requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].rfind("GET http://127.0.0.1/second ", 0), 0u);
}

TEST(Http11Request, AnswerPastTheCapFailsTheExchange) {
  const std::uint32_t cap = net::GrowingCharBuffer::kMaxCapacity;
  struct Case {
    std::uint32_t size;
    bool completes;
  } cases[] = {{cap - 1, true}, {cap, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const std::string reply(c.size, 'x');
    ScriptedServer server({ScriptedServer::reply(reply)});
    ASSERT_TRUE(server.start());
    LogCapture log;
    Http11Request request;
    ASSERT_TRUE(request.request(Http11Request::Get, "http://127.0.0.1/big"));
    EXPECT_EQ(pump(request), c.completes);
    EXPECT_EQ(request.connection, nullptr);
    EXPECT_EQ(request.response.capacity, cap);
    if (c.completes) {
      EXPECT_EQ(request.response.length, c.size);
      EXPECT_EQ(request.response.data[c.size], '\0');
    } else {
      EXPECT_EQ(log.lines.back(),
                "net::Http11Request::_receiveResponse(): response larger than 16777215 bytes, "
                "giving up");
    }
  }
}

// Shortens the stall limit for one test.
class StallLimit {
 public:
  explicit StallLimit(int ms) : saved_(Http11Request::stallLimitMs) {
    Http11Request::stallLimitMs = ms;
  }
  ~StallLimit() { Http11Request::stallLimitMs = saved_; }

 private:
  int saved_;
};

TEST(Http11Request, SilentServerFailsAfterTheStallLimit) {
  Exchange silent;
  silent.pieces = {"HTTP/1.1 200 OK\r\n"};
  silent.end = End::KeepOpen;
  ScriptedServer server({silent});
  ASSERT_TRUE(server.start());
  StallLimit limit(100);
  LogCapture log;
  Http11Request request;
  ASSERT_TRUE(request.request(Http11Request::Get, "http://127.0.0.1/x"));
  EXPECT_FALSE(pump(request));
  EXPECT_EQ(request.connection, nullptr);
  EXPECT_EQ(responseText(request), "HTTP/1.1 200 OK\r\n");
  EXPECT_EQ(log.lines.back(), "net::Http11Request::update(): no progress for 100 ms, giving up");
}

TEST(Http11Request, EveryByteRestartsTheStallCount) {
  // Each pause stays well under the limit while the whole reply takes longer than it.
  Exchange slow;
  slow.pieces = {"HTTP/1.1 200 OK\r\n", "A: 1\r\n", "B: 2\r\n", "C: 3\r\n", "\r\n", "body"};
  slow.pauseMs = 250;
  ScriptedServer server({slow});
  ASSERT_TRUE(server.start());
  StallLimit limit(1000);
  Http11Request request;
  ASSERT_TRUE(request.request(Http11Request::Get, "http://127.0.0.1/x"));
  ASSERT_TRUE(pump(request));
  EXPECT_EQ(responseText(request), "HTTP/1.1 200 OK\r\nA: 1\r\nB: 2\r\nC: 3\r\n\r\nbody");
}

TEST(Http11Request, NothingListeningFailsTheExchange) {
  Http11Request request;
  ASSERT_TRUE(request.request(Http11Request::Get, "http://127.0.0.1/x"));
  EXPECT_FALSE(pump(request));
  EXPECT_EQ(request.connection, nullptr);
  EXPECT_EQ(request.response.length, 0u);
}

TEST(Http11Request, UnreachableAddressFailsToConnect) {
  LogCapture log;
  Http11Request request;
  EXPECT_FALSE(request.request(Http11Request::Get, "http://255.255.255.255/x"));
  EXPECT_EQ(request.connection, nullptr);
  ASSERT_FALSE(log.lines.empty());
  EXPECT_EQ(log.lines.back(),
            "net::Http11Request::request(): failed to connect to 255.255.255.255");
}

}  // namespace
