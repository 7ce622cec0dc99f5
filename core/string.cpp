#include "core/string.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Count (2 bytes, little-endian as the machine stores it), then the characters, then NUL.
constexpr unsigned kHeaderSize = 2;

struct EmptyRecord {
  alignas(2) unsigned char bytes[kHeaderSize + 1];
};
EmptyRecord sharedEmpty = {{0, 0, 0}};

char* sharedEmptyChars() { return reinterpret_cast<char*>(sharedEmpty.bytes + kHeaderSize); }

char* allocateBlock(const char* text, unsigned count) {
  auto* block = static_cast<unsigned char*>(std::malloc(kHeaderSize + count + 1));
  if (block == nullptr) throw std::bad_alloc();
  const std::uint16_t stored = static_cast<std::uint16_t>(count);
  std::memcpy(block, &stored, sizeof(stored));
  char* chars = reinterpret_cast<char*>(block + kHeaderSize);
  if (count > 0) std::memcpy(chars, text, count);
  chars[count] = '\0';
  return chars;
}

// A longer text cannot be counted in 16 bits; it is cut rather than let the count wrap.
unsigned boundedLength(const char* text) {
  const std::size_t length = std::strlen(text);
  return length > String::kMaxLength ? String::kMaxLength : static_cast<unsigned>(length);
}

}  // namespace

String::String() : _chars(sharedEmptyChars()) {}

String::String(const char* text) : _chars(sharedEmptyChars()) {
  if (text != nullptr && text != sharedEmptyChars()) _assign(text, boundedLength(text));
}

String::String(const String& other) : _chars(sharedEmptyChars()) {
  _assign(other._chars, other.length());
}

String::~String() { release(); }

String& String::operator=(const String& other) {
  if (this == &other) return *this;
  // Copy first: the other text may be freed by the release.
  char* copy = allocateBlock(other._chars, other.length());
  release();
  _chars = copy;
  return *this;
}

String& String::operator=(const char* text) {
  if (text == _chars) return *this;
  if (text == nullptr) {
    release();
    return *this;
  }
  char* copy = allocateBlock(text, boundedLength(text));
  release();
  _chars = copy;
  return *this;
}

std::uint16_t String::length() const {
  std::uint16_t count;
  std::memcpy(&count, _chars - kHeaderSize, sizeof(count));
  return count;
}

void String::release() {
  if (_chars != sharedEmptyChars()) std::free(_chars - kHeaderSize);
  _chars = sharedEmptyChars();
}

void String::_assign(const char* text, unsigned count) {
  char* block = allocateBlock(text, count);
  release();
  _chars = block;
}

String String::left(int count) const {
  unsigned n = count < 0 ? 0 : static_cast<unsigned>(count);
  if (n > length()) n = length();
  String result;
  result._assign(_chars, n);
  return result;
}

String String::right(int count) const {
  unsigned n = count < 0 ? 0 : static_cast<unsigned>(count);
  if (n > length()) n = length();
  String result;
  result._assign(_chars + length() - n, n);
  return result;
}

namespace {

// Walks the format once and allows for each conversion: 10 characters for an integer, 16
// for a floating-point value, the measured length of a text argument.
std::size_t estimateFormattedSize(const char* format, va_list arguments) {
  std::size_t size = 2;
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') {
      ++size;
      continue;
    }
    int longs = 0;
    bool wide = false;  // size_t or intmax_t arguments
    for (++p;; ++p) {
      const char c = *p;
      if (c == '\0') return size;
      if (c == 'l') {
        ++longs;
      } else if (c == 'z' || c == 'j' || c == 't') {
        wide = true;
      } else if (c == 'c') {
        (void)va_arg(arguments, int);
        size += 1;
        break;
      } else if (c == '%') {
        size += 1;
        break;
      } else if (c == 's') {
        const char* text = va_arg(arguments, const char*);
        size += text != nullptr ? std::strlen(text) : 6;  // "(null)"
        break;
      } else if (std::strchr("diouxX", c) != nullptr) {
        if (wide || longs >= 2) {
          (void)va_arg(arguments, long long);
          size += 20;
        } else if (longs == 1) {
          (void)va_arg(arguments, long);
          size += 20;
        } else {
          (void)va_arg(arguments, int);
          size += 10;
        }
        break;
      } else if (std::strchr("eEfgG", c) != nullptr) {
        (void)va_arg(arguments, double);
        size += 16;
        break;
      }
      // Flags, width, precision and other length letters add nothing.
    }
  }
  return size;
}

}  // namespace

String& String::format(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list walk;
  va_copy(walk, arguments);
  std::size_t size = estimateFormattedSize(format, walk);
  va_end(walk);

  va_list again;
  va_copy(again, arguments);
  char* buffer = static_cast<char*>(std::malloc(size));
  if (buffer == nullptr) throw std::bad_alloc();
  int written = std::vsnprintf(buffer, size, format, arguments);
  if (written >= 0 && static_cast<std::size_t>(written) >= size) {
    // Outside the estimate (a wide field width, say): format again at the exact size
    // instead of cutting the text.
    std::free(buffer);
    size = static_cast<std::size_t>(written) + 1;
    buffer = static_cast<char*>(std::malloc(size));
    if (buffer == nullptr) throw std::bad_alloc();
    written = std::vsnprintf(buffer, size, format, again);
  }
  va_end(again);
  va_end(arguments);
  if (written < 0) buffer[0] = '\0';

  *this = static_cast<const char*>(buffer);
  std::free(buffer);
  return *this;
}

const char* encodeSpaces(const char* text) {
  if (std::strchr(text, ' ') == nullptr) return text;
  // Room for a 255-character name made only of spaces, and its terminator.
  static char encoded[255 * 3 + 1];
  std::size_t out = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    const std::size_t needed = *p == ' ' ? 3 : 1;
    if (out + needed >= sizeof(encoded)) break;  // never past the buffer
    if (*p == ' ') {
      std::memcpy(encoded + out, "%20", 3);
    } else {
      encoded[out] = *p;
    }
    out += needed;
  }
  encoded[out] = '\0';
  return encoded;
}
