#include "core/string.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

std::uint16_t storedCount(const String& text) {
  std::uint16_t count;
  std::memcpy(&count, text.chars() - 2, sizeof(count));
  return count;
}

TEST(String, BlockHoldsCountThenCharactersThenNul) {
  String text("abc");
  EXPECT_EQ(sizeof(String), sizeof(void*));
  EXPECT_EQ(storedCount(text), 3);
  EXPECT_EQ(text.length(), 3);
  EXPECT_STREQ(text.chars(), "abc");
  EXPECT_EQ(text.chars()[3], '\0');
}

TEST(String, NullAndDefaultShareTheEmptyValueButEmptyTextGetsItsOwnBlock) {
  String byDefault;
  String fromNull(nullptr);
  String fromEmpty("");
  EXPECT_EQ(byDefault.chars(), fromNull.chars());
  EXPECT_NE(fromEmpty.chars(), byDefault.chars());
  for (const String* text : {&byDefault, &fromNull, &fromEmpty}) {
    EXPECT_EQ(text->length(), 0);
    EXPECT_STREQ(text->chars(), "");
  }
  // The shared value's own pointer is taken as the shared value, not copied.
  String fromShared(byDefault.chars());
  EXPECT_EQ(fromShared.chars(), byDefault.chars());
}

TEST(String, CopiesOwnTheirBlocksAndSelfAssignmentChangesNothing) {
  String original("hello");
  String copy(original);
  EXPECT_NE(copy.chars(), original.chars());
  EXPECT_STREQ(copy.chars(), "hello");

  const char* before = original.chars();
  original = original;
  EXPECT_EQ(original.chars(), before);
  original = original.chars();
  EXPECT_EQ(original.chars(), before);

  copy = "x";
  EXPECT_STREQ(original.chars(), "hello");
  copy = nullptr;
  EXPECT_EQ(copy.length(), 0);
  copy = original;
  EXPECT_STREQ(copy.chars(), "hello");
}

TEST(String, ReleaseLeavesTheSharedEmptyValue) {
  String text("abc");
  text.release();
  EXPECT_EQ(text.chars(), String().chars());
  text.release();  // twice is harmless
  EXPECT_EQ(text.length(), 0);
}

TEST(String, LeftAndRight) {
  struct Case {
    const char* text;
    int count;
    const char* left;
    const char* right;
  } cases[] = {
      {"abcdef", 2, "ab", "ef"},
      {"abcdef", 6, "abcdef", "abcdef"},
      {"abcdef", 10, "abcdef", "abcdef"},
      {"abcdef", 0, "", ""},
      {"", 3, "", ""},
  };
  for (const Case& c : cases) {
    String text(c.text);
    String left = text.left(c.count);
    String right = text.right(c.count);
    EXPECT_STREQ(left.chars(), c.left) << c.text << " " << c.count;
    EXPECT_STREQ(right.chars(), c.right) << c.text << " " << c.count;
    EXPECT_EQ(left.length(), std::strlen(c.left));
    EXPECT_NE(left.chars(), String().chars()) << "always a new block";
  }
}

TEST(String, FormatSizesItsBufferFromTheArguments) {
  const std::string longText(500, 'x');
  struct Case {
    std::string expected;
    String result;
  } cases[] = {
      {"a/bc", String().format("%s/%s", "a", "bc")},
      {"-5", String().format("%d", -5)},
      {"-2147483648", String().format("%d", -2147483647 - 1)},
      {"4294967295 ffffffff", String().format("%u %x", 4294967295u, 4294967295u)},
      {"100%", String().format("%d%%", 100)},
      {"c=Z", String().format("c=%c", 'Z')},
      {"games.dat.entity", String().format("%s.entity", "games.dat")},
      {longText + "!", String().format("%s!", longText.c_str())},
      {"1.500000", String().format("%f", 1.5)},
      {"      42", String().format("%8d", 42)},
      {std::string(40, ' ') + "x", String().format("%41s", "x")},  // wider than estimated
  };
  for (const Case& c : cases) {
    EXPECT_EQ(std::string(c.result.chars()), c.expected);
    EXPECT_EQ(c.result.length(), c.expected.size());
  }
}

TEST(String, FormatMayUseItsOwnCharacters) {
  String text("abc");
  text.format("%s-%s", text.chars(), text.chars());
  EXPECT_STREQ(text.chars(), "abc-abc");
}

TEST(String, TextsOverTheCountLimitAreCutNotWrapped) {
  const std::string huge(70000, 'y');
  String text(huge.c_str());
  EXPECT_EQ(text.length(), 65535);
  EXPECT_EQ(std::strlen(text.chars()), 65535u);
  String formatted;
  formatted.format("%s", huge.c_str());
  EXPECT_EQ(formatted.length(), 65535);
}

TEST(EncodeSpaces, WritesEverySpaceAsPercentTwenty) {
  const char* plain = "game.pak";
  EXPECT_EQ(encodeSpaces(plain), plain) << "no copy without a space";
  EXPECT_STREQ(encodeSpaces("game data.pak"), "game%20data.pak");
  EXPECT_STREQ(encodeSpaces("a  b"), "a%20%20b");
  EXPECT_STREQ(encodeSpaces(" %#?/\xc3\xa9 "), "%20%#?/\xc3\xa9%20");
}

TEST(EncodeSpaces, LongNamesStayInsideTheBuffer) {
  const std::string spaces(255, ' ');
  std::string expected;
  for (int i = 0; i < 255; ++i) expected += "%20";
  EXPECT_EQ(std::string(encodeSpaces(spaces.c_str())), expected);

  // Longer than any game field: cut, never written past the end.
  const std::string tooLong(2000, ' ');
  const std::string cut = encodeSpaces(tooLong.c_str());
  EXPECT_LT(cut.size(), 2000u * 3);
  EXPECT_EQ(cut.size() % 3, 0u);
}

}  // namespace
