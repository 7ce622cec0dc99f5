// The receive buffer of an HTTP request: allocated on first use and doubled whenever it is
// more than nine tenths full, so a response of any size is one NUL-terminated text.
#pragma once

#include <cstdint>

namespace net {

class GrowingCharBuffer {
 public:
  static constexpr std::uint32_t kInitialCapacity = 65536;
  // No answer may make the buffer larger than this; the owner treats a fuller one as a
  // failed exchange instead of letting a server exhaust memory.
  static constexpr std::uint32_t kMaxCapacity = 16u * 1024u * 1024u;

  GrowingCharBuffer() = default;
  ~GrowingCharBuffer();
  GrowingCharBuffer(const GrowingCharBuffer&) = delete;
  GrowingCharBuffer& operator=(const GrowingCharBuffer&) = delete;

  // Makes sure `data` exists and `length` does not pass the growth threshold, unless the
  // buffer is already at kMaxCapacity, where it stops growing.
  void _assertBuffer();
  // The length above which the buffer doubles: nine tenths of the capacity, in float.
  static std::uint32_t growthThreshold(std::uint32_t capacity);

  char* data = nullptr;
  std::uint32_t capacity = 0;
  std::uint32_t length = 0;
};

}  // namespace net
