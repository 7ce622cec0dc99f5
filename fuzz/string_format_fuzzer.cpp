// String::format against snprintf. The input is a format text, a NUL, then the arguments:
// a NUL-terminated text for each %s (the single byte 0x01 stands for the target's own
// characters), four little-endian bytes for each integer, one byte for each %c. The format
// is cut down to what String::format accepts: %s %d %i %u %x %X %c %% with the flags C
// defines for each, widths and precisions of up to two digits, at most four conversions.
// The text must come out exactly as snprintf writes it into a buffer too large to cut it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/string.h"

namespace {

constexpr int kMaxConversions = 4;

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;

  const char* text(std::vector<std::string>& keep, const String& own) {
    std::string value;
    while (at < size && data[at] != 0) value += static_cast<char>(data[at++]);
    if (at < size) ++at;
    if (value == "\x01") return own.chars();
    keep.push_back(value);
    return nullptr;  // the caller takes it from `keep` once every text is read
  }
  std::uint32_t word() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4 && at < size; ++i) value |= std::uint32_t{data[at++]} << (8 * i);
    return value;
  }
  int byte() { return at < size ? data[at++] : 0; }
};

bool isConversion(char c) { return c != '\0' && std::strchr("diuxXcs", c) != nullptr; }

// Keeps literal text and the conversions inside the contract; a '%' that starts anything
// else is dropped and what followed it stays as plain text.
std::string sanitize(const std::string& raw, std::string& letters) {
  std::string format;
  std::size_t i = 0;
  while (i < raw.size()) {
    if (raw[i] != '%') {
      format += raw[i++];
      continue;
    }
    std::size_t j = i + 1;
    std::string flags;
    while (j < raw.size() && std::strchr("-+ #0", raw[j]) != nullptr && raw[j] != '\0')
      flags += raw[j++];
    std::string width, precision;
    bool hasPrecision = false;
    while (j < raw.size() && raw[j] >= '0' && raw[j] <= '9') width += raw[j++];
    if (j < raw.size() && raw[j] == '.') {
      hasPrecision = true;
      ++j;
      while (j < raw.size() && raw[j] >= '0' && raw[j] <= '9') precision += raw[j++];
    }
    const char letter = j < raw.size() ? raw[j] : '\0';
    if (letter == '%') {
      format += "%%";
      i = j + 1;
      continue;
    }
    if (!isConversion(letter) || letters.size() == kMaxConversions) {
      ++i;
      continue;
    }
    // Only the flags C defines for the letter: the others are undefined in snprintf itself.
    const char* allowed = "-";
    if (letter == 'd' || letter == 'i') allowed = "-+ 0";
    if (letter == 'u') allowed = "-0";
    if (letter == 'x' || letter == 'X') allowed = "-#0";
    format += '%';
    for (char flag : flags) {
      if (std::strchr(allowed, flag) != nullptr) format += flag;
    }
    format += width.substr(0, 2);
    if (hasPrecision && letter != 'c') format += "." + precision.substr(0, 2);
    format += letter;
    letters += letter;
    i = j + 1;
  }
  return format;
}

#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wformat-security"  // the formats are made at run time
template <typename... Args>
void check(const std::string& format, String& target, Args... args) {
  static char expected[1 << 16];
  const int written = std::snprintf(expected, sizeof(expected), format.c_str(), args...);
  if (written < 0 || static_cast<std::size_t>(written) >= sizeof(expected)) return;
  target.format(format.c_str(), args...);
  if (target.length() != std::strlen(expected) || std::strcmp(target.chars(), expected) != 0) {
    std::fprintf(stderr, "format \"%s\": got \"%s\" (%u), snprintf gives \"%s\"\n", format.c_str(),
                 target.chars(), static_cast<unsigned>(target.length()), expected);
    std::abort();
  }
}
#pragma clang diagnostic pop

struct Arguments {
  std::string letters;
  const char* texts[kMaxConversions];
  std::uint32_t words[kMaxConversions];
};

// Passes each argument with the type its letter reads.
template <std::size_t Depth, typename... Args>
void call(const std::string& format, String& target, const Arguments& a, Args... args) {
  if constexpr (Depth == kMaxConversions) {
    check(format, target, args...);
  } else {
    if (Depth == a.letters.size()) return check(format, target, args...);
    const char letter = a.letters[Depth];
    if (letter == 's') {
      call<Depth + 1>(format, target, a, args..., a.texts[Depth]);
    } else if (letter == 'd' || letter == 'i' || letter == 'c') {
      call<Depth + 1>(format, target, a, args..., static_cast<int>(a.words[Depth]));
    } else {
      call<Depth + 1>(format, target, a, args..., a.words[Depth]);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input{data, size};
  std::string raw;
  while (input.at < size && data[input.at] != 0) raw += static_cast<char>(data[input.at++]);
  if (input.at < size) ++input.at;

  Arguments a{};
  const std::string format = sanitize(raw, a.letters);
  String target(raw.c_str());

  std::vector<std::string> keep;
  keep.reserve(kMaxConversions);
  for (std::size_t i = 0; i < a.letters.size(); ++i) {
    if (a.letters[i] == 's') {
      a.texts[i] = input.text(keep, target);
      if (a.texts[i] == nullptr) a.texts[i] = keep.back().c_str();
    } else if (a.letters[i] == 'c') {
      a.words[i] = static_cast<std::uint32_t>(input.byte());
    } else {
      a.words[i] = input.word();
    }
  }
  call<0>(format, target, a);
  return 0;
}
