#include "core/text_buffer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

char* allocate(std::size_t size) {
  char* block = static_cast<char*>(std::malloc(size));
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

}  // namespace

TextBuffer::~TextBuffer() { _release(); }

void TextBuffer::_release() {
  std::free(data);
  data = nullptr;
  capacity = 0;
  length = 0;
}

void TextBuffer::assign(const char* text, std::uint32_t count) {
  if (text == nullptr || text[0] == '\0' || count == 0) {
    _release();
    return;
  }
  if (capacity >= count + 1ull) {
    // Refilling with the text the block already starts with writes only the terminator.
    if (std::memcmp(data, text, count) == 0) {
      if (length == count) return;
    } else {
      std::memcpy(data, text, count);
    }
    data[count] = '\0';
    length = count;
    return;
  }
  _release();
  if (strnlen(text, count) < count) return;  // a count past the text's end
  data = allocate(count + 1ull);
  std::memcpy(data, text, count);
  data[count] = '\0';
  capacity = count + 1;
  length = count;
}

void TextBuffer::assign(const char* text) {
  if (text == nullptr || text[0] == '\0') {
    _release();
    return;
  }
  assign(text, static_cast<std::uint32_t>(std::strlen(text)));
}

void TextBuffer::append(const char* text) {
  if (text == nullptr || text[0] == '\0') return;
  if (data == nullptr) {
    assign(text);
    return;
  }
  const std::size_t added = std::strlen(text);
  const std::size_t size = length + added + 1;
  char* block = allocate(size);
  std::memcpy(block, data, length);
  std::memcpy(block + length, text, added + 1);
  std::free(data);
  data = block;
  capacity = static_cast<std::uint32_t>(size);
  length = static_cast<std::uint32_t>(size - 1);
}
