// The system's text type: one pointer wide, with a 16-bit count in front of the characters
// and a NUL behind them, so the characters can go to any routine that wants C text.
#pragma once

#include <cstdint>

class String {
 public:
  static constexpr unsigned kMaxLength = 65535;

  String();
  String(const char* text);  // NOLINT(google-explicit-constructor): texts convert freely.
  String(const String& other);
  ~String();

  String& operator=(const String& other);
  String& operator=(const char* text);

  std::uint16_t length() const;
  const char* chars() const { return _chars; }

  // Replaces the content with the formatted text. The buffer is sized by walking the format
  // and its string arguments first, so the output is formatted once.
  String& format(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;

  String left(int count) const;
  String right(int count) const;

  // Frees the block (never the shared empty value) and leaves the shared empty value.
  void release();

 private:
  void _assign(const char* text, unsigned count);

  char* _chars;
};

// A file name fit for a URL path: every space becomes "%20", nothing else is escaped.
// Returns the argument itself when it has no space, else a static buffer that stays valid
// until the next call that finds a space.
const char* encodeSpaces(const char* text);
