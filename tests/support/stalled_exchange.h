// Pieces for tests of a server that stops sending.
#pragma once

#include <string>
#include <utility>

#include "net/http11_request.h"
#include "tests/support/scripted_server.h"

namespace test_support {

// Shortens the no-progress limit for one test: at the real limit a case would take a minute.
class StallLimit {
 public:
  explicit StallLimit(int ms) : saved_(net::Http11Request::stallLimitMs) {
    net::Http11Request::stallLimitMs = ms;
  }
  ~StallLimit() { net::Http11Request::stallLimitMs = saved_; }
  StallLimit(const StallLimit&) = delete;
  StallLimit& operator=(const StallLimit&) = delete;

 private:
  int saved_;
};

// An exchange that sends `sent` (maybe nothing) and then keeps the connection open, silent.
inline Exchange silentAfter(std::string sent) {
  Exchange exchange;
  if (!sent.empty()) exchange.pieces = {std::move(sent)};
  exchange.end = End::KeepOpen;
  return exchange;
}

}  // namespace test_support
