// A plain heap character buffer: cuts tokens out of larger texts and assembles request text.
#pragma once

#include <cstdint>

class TextBuffer {
 public:
  TextBuffer() = default;
  ~TextBuffer();
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  // Holds the first `count` characters of `text`. A null or empty text, or a count of 0,
  // releases the block. A block that is large enough is reused.
  void assign(const char* text, std::uint32_t count);
  void assign(const char* text);
  void append(const char* text);

  char* data = nullptr;
  std::uint32_t capacity = 0;  // bytes in the block, terminator included
  std::uint32_t length = 0;    // characters held, terminator excluded

 private:
  void _release();
};
