#include "core/text_buffer.h"

#include <gtest/gtest.h>

namespace {

void expectBuffer(const TextBuffer& buffer, const char* text, unsigned capacity) {
  if (text == nullptr) {
    EXPECT_EQ(buffer.data, nullptr);
    EXPECT_EQ(buffer.capacity, 0u);
    EXPECT_EQ(buffer.length, 0u);
    return;
  }
  ASSERT_NE(buffer.data, nullptr);
  EXPECT_STREQ(buffer.data, text);
  EXPECT_EQ(buffer.capacity, capacity);
  EXPECT_EQ(buffer.length, std::string(text).size());
}

TEST(TextBuffer, AssignReusesABlockThatIsLargeEnough) {
  TextBuffer buffer;
  buffer.assign("abc", 3);
  expectBuffer(buffer, "abc", 4);
  char* block = buffer.data;

  buffer.assign("abx", 2);  // same first bytes: only the terminator moves
  expectBuffer(buffer, "ab", 4);
  EXPECT_EQ(buffer.data, block);

  buffer.assign("xy", 2);
  expectBuffer(buffer, "xy", 4);
  EXPECT_EQ(buffer.data, block);

  buffer.assign("abcdef", 6);
  expectBuffer(buffer, "abcdef", 7);
}

TEST(TextBuffer, NothingToAssignReleases) {
  struct Case {
    const char* text;
    unsigned count;
  } cases[] = {{"abc", 0}, {nullptr, 3}, {"", 3}};
  for (const Case& c : cases) {
    TextBuffer buffer;
    buffer.assign("hello", 5);
    buffer.assign(c.text, c.count);
    expectBuffer(buffer, nullptr, 0);
    buffer.append("again");  // usable afterwards, and destroyed without a second free
    expectBuffer(buffer, "again", 6);
  }
}

TEST(TextBuffer, ACountPastTheTextLeavesNoBlock) {
  TextBuffer buffer;
  buffer.assign("ab", 2);
  buffer.assign("abc", 5);
  expectBuffer(buffer, nullptr, 0);
}

TEST(TextBuffer, AssignWholeText) {
  TextBuffer buffer;
  buffer.assign("hello");
  expectBuffer(buffer, "hello", 6);
  buffer.assign(static_cast<const char*>(nullptr));
  expectBuffer(buffer, nullptr, 0);
}

TEST(TextBuffer, AppendAllocatesTheExactNewSize) {
  TextBuffer buffer;
  buffer.append("abc");  // no block yet: behaves as assign
  expectBuffer(buffer, "abc", 4);
  buffer.append("");
  buffer.append(nullptr);
  expectBuffer(buffer, "abc", 4);
  buffer.append("de");
  expectBuffer(buffer, "abcde", 6);
}

}  // namespace
