// Reads the '#'-enclosed tokens of the server's plain-text answers.
#pragma once

#include "core/text_buffer.h"

// The cursor stands just after a token's opening '#'. Reading a token also steps past the
// next token's opening '#', so whatever stands between two tokens (a line end, say) is
// skipped unread. The reader does not own the text.
class TokenReader {
 public:
  // What readInt answers when there is no text to convert: no version and no menu number.
  static constexpr int kNoNumber = -1;

  // `cursor` points just after an opening '#', or is null when nothing can be read.
  explicit TokenReader(const char* cursor) : cursor(cursor) {}

  // Assigns the next token's characters to `target` (an empty token releases it). False,
  // with `target` untouched, when no token is left.
  bool readText(TextBuffer& target);
  // The next token as a decimal number, or kNoNumber when it is missing or empty.
  int readInt(TextBuffer& target);

  // True when no further token can start here.
  bool atEnd() const { return cursor == nullptr || *cursor == '\0'; }

  const char* cursor;  // null once no further token can be read
};

// The run-time's decimal rule (leading white space and a sign accepted, stops at the first
// non-digit, 0 without digits), except that a value beyond the int range saturates instead
// of wrapping: a huge number must never read as a small one.
int decimalValue(const char* text);
