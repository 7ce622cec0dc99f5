#include "net/http11_request.h"

#include <cstdio>
#include <cstring>

#include "core/log.h"
#include "core/string.h"

namespace net {

int Http11Request::stallLimitMs = 60000;

namespace {

const char* const kMethodTexts[] = {"HEAD", "GET", "POST"};
const char kSetCookie[] = "Set-Cookie: ";
constexpr std::size_t kSetCookieLength = sizeof(kSetCookie) - 1;

void report(const char* scope, const String& message) {
  logMessage("%s(): %s", scope, message.chars());
}

}  // namespace

Http11Request::~Http11Request() { _dropConnection(); }

void Http11Request::_dropConnection() {
  connection.reset();
  sent = false;
}

const char* Http11Request::_extractHost(const char* url) {
  static String host;
  host = url;
  const char* text = host.chars();
  if (std::strncmp(text, "http://", 7) != 0) return nullptr;
  const char* slash = std::strchr(text + 7, '/');
  if (slash == nullptr || slash == text + 7) return nullptr;
  const String before = host.left(static_cast<int>(slash - text));
  host = before.right(before.length() - 7);
  return host.chars();
}

bool Http11Request::request(Kind newKind, const char* newUrl) {
  const char* host = _extractHost(newUrl);
  _dropConnection();
  response.length = 0;
  // Old bytes stay, but the text must end where the new answer begins.
  if (response.data != nullptr) response.data[0] = '\0';
  if (host == nullptr) {
    report("net::Http11Request::request", "failed to extract host from request url");
    return false;
  }
  std::unique_ptr<TcpSocket> socket(new TcpSocket());
  if (!socket->init()) {
    report("net::Http11Request::request", "failed to create socket");
    return false;
  }
  connection = std::move(socket);
  if (!connection->connect(host, kPort)) {
    report("net::Http11Request::request", String().format("failed to connect to %s", host));
    _dropConnection();
    return false;
  }
  kind = newKind;
  url.assign(newUrl);
  body.assign(nullptr);
  _lastProgress = std::chrono::steady_clock::now();
  return true;
}

bool Http11Request::update() {
  if (!connection) return true;
  connection->poll();  // only spends the wait; the second answer is the one that counts
  switch (connection->poll()) {
    case Writable:
      if (!sent) return _sendRequest() != 2;
      // Waiting here rather than spinning keeps a slow server from costing the caller a core.
      connection->waitReadable(1);
      if (!_receiveResponse()) return false;
      break;
    case Error:
      _dropConnection();
      return false;
    default:
      break;
  }
  if (!connection) return true;
  const auto idle = std::chrono::steady_clock::now() - _lastProgress;
  if (idle >= std::chrono::milliseconds(stallLimitMs)) {
    report("net::Http11Request::update",
           String().format("no progress for %d ms, giving up", stallLimitMs));
    _dropConnection();
    return false;
  }
  return true;
}

int Http11Request::_sendRequest() {
  TextBuffer cookieLines;
  _cookieHeaders(cookieLines);
  TextBuffer text;
  text.append(kMethodTexts[kind]);
  text.append(" ");
  text.append(url.data);
  text.append(" HTTP/1.1\r\nHost: ");
  text.append(_extractHost(url.data));
  text.append("\r\n");
  text.append(cookieLines.data);
  text.append(_contentHeaders());
  text.append("Connection: close\r\nAccept: text/*\r\n\r\n");
  text.append(body.data);
  text.append("\r\n");
  if (connection->sendBuffer(text.data, static_cast<int>(text.length))) {
    sent = true;
    _lastProgress = std::chrono::steady_clock::now();
    return 1;
  }
  report("net::Http11Request::_sendRequest", "failed to send");
  _dropConnection();
  return 2;
}

bool Http11Request::_receiveResponse() {
  response._assertBuffer();
  // The last slot stays free for the terminator: a receive that filled the buffer would
  // otherwise double it, even for a caller that empties it after every step.
  std::uint32_t room = response.capacity - response.length - 1;
  char probe;
  char* destination = response.data + response.length;
  if (room == 0) {
    // Full at the cap: one byte more decides between a complete answer and an oversized one.
    destination = &probe;
    room = 1;
  }
  int received = 0;
  if (!connection->recvBuffer(destination, static_cast<int>(room), received)) {
    _captureCookies();
    _dropConnection();
    return true;
  }
  if (received <= 0) return true;
  if (destination == &probe) {
    report("net::Http11Request::_receiveResponse",
           String().format("response larger than %u bytes, giving up",
                           static_cast<unsigned>(response.length)));
    _dropConnection();
    return false;
  }
  _lastProgress = std::chrono::steady_clock::now();
  response.length += static_cast<std::uint32_t>(received);
  response.data[response.length] = '\0';
  return true;
}

void Http11Request::_captureCookies() {
  if (response.data == nullptr) return;
  const char* found = std::strstr(response.data, kSetCookie);
  if (found == nullptr) return;
  cookieCount = 0;
  while (cookieCount < kCookieSlots) {
    const char* start = found + kSetCookieLength;
    const char* end = std::strchr(start, ';');
    // No ';' further on means none for the later lines either: searching again for each of
    // them would cost time quadratic in the answer's size.
    if (end == nullptr) break;
    std::size_t count = static_cast<std::size_t>(end - start);
    // A longer text is cut so that it never runs past its slot.
    if (count > kCookieSize - 1) count = kCookieSize - 1;
    std::memcpy(cookies[cookieCount], start, count);
    cookies[cookieCount][count] = '\0';
    ++cookieCount;
    found = std::strstr(end + 1, kSetCookie);
    if (found == nullptr) break;
  }
}

void Http11Request::_cookieHeaders(TextBuffer& target) const {
  target.assign(nullptr);
  for (int i = 0; i < cookieCount; ++i) {
    target.append("Cookie: ");
    target.append(cookies[i]);
    target.append("\r\n");
  }
}

const char* Http11Request::_contentHeaders() const {
  static TextBuffer headers;
  if (kind != Post) return "";
  headers.assign("Content-Type: application/x-www-form-urlencoded\r\nContent-Length: ");
  char scratch[256];
  std::snprintf(scratch, sizeof(scratch), "%d", static_cast<int>(body.length));
  headers.append(scratch);
  headers.append("\r\n");
  return headers.data;
}

bool Http11Request::finish() {
  while (connection) {
    if (!update()) return false;
  }
  return true;
}

}  // namespace net
