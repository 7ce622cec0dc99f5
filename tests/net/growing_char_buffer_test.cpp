#include "net/growing_char_buffer.h"

#include <gtest/gtest.h>

#include <string>

#include "log_capture.h"

namespace {

const std::string kScope = "net::GrowingCharBuffer::_assertBuffer(): ";

TEST(GrowingCharBuffer, FirstCallAllocatesAnEmptyText) {
  net_test::LogCapture log;
  net::GrowingCharBuffer buffer;
  buffer._assertBuffer();
  ASSERT_NE(buffer.data, nullptr);
  EXPECT_EQ(buffer.capacity, 65536u);
  EXPECT_EQ(buffer.length, 0u);
  EXPECT_EQ(buffer.data[0], '\0');
  EXPECT_EQ(log.lines, std::vector<std::string>{kScope + "initial allocate (65536 chars)"});
}

// Brings a fresh buffer to `capacity` by the growth rule itself.
void growTo(net::GrowingCharBuffer& buffer, std::uint32_t capacity) {
  buffer._assertBuffer();
  while (buffer.capacity < capacity) {
    buffer.length = buffer.capacity;
    buffer._assertBuffer();
  }
}

TEST(GrowingCharBuffer, GrowsOnlyPastNineTenthsAndNeverPastTheCap) {
  const std::uint32_t cap = net::GrowingCharBuffer::kMaxCapacity;
  struct Case {
    std::uint32_t capacity, length, grownCapacity;
  } cases[] = {
      {65536, 0, 65536},       {65536, 58982, 65536},    {65536, 58983, 131072},
      {65536, 65536, 131072},  {131072, 117964, 131072}, {131072, 117965, 262144},
      {cap / 2, cap / 2, cap}, {cap, cap - 1, cap},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.capacity) + "/" + std::to_string(c.length));
    net::GrowingCharBuffer buffer;
    growTo(buffer, c.capacity);
    ASSERT_EQ(buffer.capacity, c.capacity);
    for (std::uint32_t i = 0; i < c.length; ++i) buffer.data[i] = static_cast<char>('a' + i % 26);
    buffer.length = c.length;

    net_test::LogCapture log;
    buffer._assertBuffer();
    EXPECT_EQ(buffer.capacity, c.grownCapacity);
    EXPECT_EQ(buffer.length, c.length);
    if (c.grownCapacity == c.capacity) {
      EXPECT_TRUE(log.lines.empty());
      continue;
    }
    EXPECT_EQ(log.lines, std::vector<std::string>{kScope + "grow (" +
                                                  std::to_string(c.grownCapacity) + " chars)"});
    EXPECT_EQ(buffer.data[c.length], '\0');
    for (std::uint32_t i = 0; i < c.length; ++i) {
      ASSERT_EQ(buffer.data[i], static_cast<char>('a' + i % 26)) << i;
    }
  }
}

}  // namespace
