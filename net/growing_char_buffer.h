// The receive buffer of an HTTP request: allocated on first use and doubled whenever it is
// more than nine tenths full, so a response of any size is one NUL-terminated text.
#pragma once

#include <cstdint>

namespace net {

class GrowingCharBuffer {
 public:
  static constexpr std::uint32_t kInitialCapacity = 65536;

  GrowingCharBuffer() = default;
  ~GrowingCharBuffer();
  GrowingCharBuffer(const GrowingCharBuffer&) = delete;
  GrowingCharBuffer& operator=(const GrowingCharBuffer&) = delete;

  // Makes sure `data` exists and `length` does not pass the growth threshold.
  void _assertBuffer();

  char* data = nullptr;
  std::uint32_t capacity = 0;
  std::uint32_t length = 0;
};

}  // namespace net
