// The cookie capture over a finished response, with the buffer filled the way a receive
// fills it (NUL behind the bytes), and the cookie lines sent back from the store. Checked
// against a plain model: a response without "Set-Cookie: " keeps the store; otherwise each
// occurrence stores the text up to the next ';' anywhere behind it, cut to its slot, and a
// ninth and later occurrence is ignored.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "net/http11_request.h"

namespace {

void fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

std::vector<std::string> expectedCookies(const std::string& text) {
  static const std::string kMarker = "Set-Cookie: ";
  std::size_t found = text.find(kMarker);
  if (found == std::string::npos) return {"old=1"};
  std::vector<std::string> cookies;
  while (cookies.size() < net::Http11Request::kCookieSlots) {
    const std::size_t start = found + kMarker.size();
    std::size_t position = start;
    const std::size_t end = text.find(';', start);
    if (end != std::string::npos) {
      const std::size_t count = end - start;
      cookies.push_back(
          text.substr(start, std::min<std::size_t>(count, net::Http11Request::kCookieSize - 1)));
      position = end + 1;
    }
    found = text.find(kMarker, position);
    if (found == std::string::npos) break;
  }
  return cookies;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  net::Http11Request request;
  std::strcpy(request.cookies[0], "old=1");
  request.cookieCount = 1;

  request.response._assertBuffer();
  const std::size_t length = std::min<std::size_t>(size, request.response.capacity - 1);
  std::memcpy(request.response.data, data, length);
  request.response.data[length] = '\0';
  request.response.length = static_cast<std::uint32_t>(length);
  const std::string text(request.response.data);

  request._captureCookies();

  const std::vector<std::string> expected = expectedCookies(text);
  if (request.cookieCount != expected.size()) fail("wrong number of cookies");
  std::string lines;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    // The terminator included: a slot must end where its cookie ends.
    if (std::memcmp(request.cookies[i], expected[i].c_str(), expected[i].size() + 1) != 0) {
      fail("cookie differs");
    }
    lines += "Cookie: " + expected[i] + "\r\n";
  }

  TextBuffer headers;
  request._cookieHeaders(headers);
  const std::string sent = headers.data != nullptr ? std::string(headers.data, headers.length) : "";
  if (sent != lines) fail("cookie lines differ");
  return 0;
}
