#include "net/growing_char_buffer.h"

#include <cstring>

#include "core/log.h"
#include "core/string.h"

namespace net {

namespace {

void report(const String& message) {
  logMessage("%s(): %s", "net::GrowingCharBuffer::_assertBuffer", message.chars());
}

}  // namespace

GrowingCharBuffer::~GrowingCharBuffer() { delete[] data; }

std::uint32_t GrowingCharBuffer::growthThreshold(std::uint32_t capacity) {
  // The product is rounded to float before the cut; a wider intermediate would move the
  // threshold of some capacities by one.
  const float product = static_cast<float>(capacity) * 0.9f;
  return static_cast<std::uint32_t>(product);
}

void GrowingCharBuffer::_assertBuffer() {
  if (data == nullptr) {
    capacity = kInitialCapacity;
    length = 0;
    data = new char[capacity];
    data[0] = '\0';
    report(String().format("initial allocate (%d chars)", static_cast<int>(capacity)));
  }
  if (length <= growthThreshold(capacity)) return;
  if (capacity > kMaxCapacity / 2) return;
  const std::uint32_t grown = capacity * 2;
  char* block = new char[grown];
  std::memcpy(block, data, length);
  delete[] data;
  data = block;
  capacity = grown;
  data[length] = '\0';
  report(String().format("grow (%d chars)", static_cast<int>(capacity)));
}

}  // namespace net
