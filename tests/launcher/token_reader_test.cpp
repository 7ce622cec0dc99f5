#include "launcher/token_reader.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

TEST(TokenReaderTest, ReadsTokensSkipsFillerAndStopsAtTheLastHash) {
  TokenReader reader("A#\r\n#B#\n##");
  TextBuffer token;
  ASSERT_TRUE(reader.readText(token));
  EXPECT_STREQ(token.data, "A");
  ASSERT_TRUE(reader.readText(token));
  EXPECT_STREQ(token.data, "B");
  // The empty token releases the buffer; its closing '#' is the text's last, so nothing is left.
  ASSERT_TRUE(reader.readText(token));
  EXPECT_EQ(token.data, nullptr);
  EXPECT_EQ(reader.cursor, nullptr);

  token.assign("kept");
  EXPECT_FALSE(reader.readText(token));
  EXPECT_STREQ(token.data, "kept");
}

TEST(TokenReaderTest, ATokenWithoutClosingHashIsMissing) {
  TokenReader reader("unclosed");
  TextBuffer token;
  EXPECT_FALSE(reader.readText(token));
  EXPECT_EQ(token.data, nullptr);
  EXPECT_TRUE(reader.atEnd());
}

TEST(TokenReaderTest, ReadIntGivesNoNumberForMissingOrEmptyTokens) {
  struct Case {
    const char* text;
    int expected;
  } cases[] = {
      {" 7x#", 7},
      {"-12#", -12},
      {"#", TokenReader::kNoNumber},  // empty token
      {"5", TokenReader::kNoNumber},  // no closing '#'
      {"junk#", 0},                   // no digits at all
  };
  for (const Case& c : cases) {
    TokenReader reader(c.text);
    TextBuffer token;
    EXPECT_EQ(reader.readInt(token), c.expected) << c.text;
  }
  TokenReader none(nullptr);
  TextBuffer token;
  EXPECT_EQ(none.readInt(token), TokenReader::kNoNumber);
}

TEST(DecimalValueTest, FollowsTheRunTimeRuleButSaturates) {
  struct Case {
    const char* text;
    int expected;
  } cases[] = {
      {"12", 12},
      {"\n", 0},
      {"-1", -1},
      {" \t+3", 3},
      {"0x5", 0},
      {"abc", 0},
      {"2147483647", INT_MAX},
      // Wrapping would turn 2^32 into 0, the launcher's own version.
      {"4294967296", INT_MAX},
      {"99999999999999999999", INT_MAX},
      {"-99999999999999999999", INT_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(decimalValue(c.text), c.expected) << c.text;
}

}  // namespace
