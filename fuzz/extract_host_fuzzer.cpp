// The host taken from a request URL: the text between "http://" and the first '/', never
// empty; anything else is refused. The result is handed back in once more, since the host
// lives in one static text that each call replaces.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/string.h"
#include "net/http11_request.h"

namespace {

bool expectedHost(const std::string& url, std::string& host) {
  if (url.compare(0, 7, "http://") != 0) return false;
  const std::size_t slash = url.find('/', 7);
  if (slash == std::string::npos || slash == 7) return false;
  host = url.substr(7, slash - 7);
  return true;
}

void check(const char* url) {
  const std::string text(url);
  std::string expected;
  const bool found = expectedHost(text, expected);
  const char* host = net::Http11Request::_extractHost(url);
  if ((host != nullptr) != found || (found && expected != host)) {
    std::fprintf(stderr, "url \"%s\": host \"%s\", expected %s\"%s\"\n", text.c_str(),
                 host != nullptr ? host : "(refused)", found ? "" : "refusal, not ",
                 expected.c_str());
    std::abort();
  }
  if (host != nullptr) check(host);  // the static's own characters as the next URL
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > String::kMaxLength) return 0;  // the URL lives in a String, which holds no more
  std::vector<char> url(data, data + size);
  url.push_back('\0');
  check(url.data());
  return 0;
}
