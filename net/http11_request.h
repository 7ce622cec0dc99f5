// One HTTP/1.1 exchange at a time over plain TCP on port 80, with a cookie store.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "core/text_buffer.h"
#include "net/growing_char_buffer.h"
#include "net/tcp_socket.h"

namespace net {

class Http11Request {
 public:
  enum Kind : std::int32_t { Head = 0, Get = 1, Post = 2 };

  static constexpr int kCookieSlots = 8;
  static constexpr int kCookieSize = 1024;
  static constexpr unsigned short kPort = 80;

  // An exchange that makes no progress (connection not up, no byte received) for this long
  // fails, so a silent server cannot hold the caller's loop forever.
  static int stallLimitMs;

  Http11Request() = default;
  ~Http11Request();
  Http11Request(const Http11Request&) = delete;
  Http11Request& operator=(const Http11Request&) = delete;

  // Starts a connection attempt; the caller then pumps update() while `connection` is set.
  bool request(Kind kind, const char* url);
  // One pump step. False when this step made the request fail.
  bool update();
  // Pumps update() until the server has closed; false when a step failed. For callers that
  // read the whole answer at the end.
  bool finish();

  GrowingCharBuffer response;
  std::unique_ptr<TcpSocket> connection;
  TextBuffer url;
  TextBuffer body;
  Kind kind = Get;
  char cookies[kCookieSlots][kCookieSize];
  std::uint8_t cookieCount = 0;
  bool sent = false;

  int _sendRequest();
  // False when the answer would pass the buffer's cap; the step then fails.
  bool _receiveResponse();
  void _captureCookies();
  void _cookieHeaders(TextBuffer& target) const;
  const char* _contentHeaders() const;
  static const char* _extractHost(const char* url);

 private:
  void _dropConnection();

  std::chrono::steady_clock::time_point _lastProgress;
};

}  // namespace net
