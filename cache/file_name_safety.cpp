#include "cache/file_name_safety.h"

#include <cctype>
#include <cstddef>
#include <cstring>

namespace {

// Windows opens these as devices in any folder and with any extension.
bool isDeviceName(const char* component, std::size_t length) {
  // The device check looks at the part before the first dot, trailing blanks dropped.
  std::size_t base = 0;
  while (base < length && component[base] != '.') ++base;
  while (base > 0 && component[base - 1] == ' ') --base;

  char upper[5] = {};
  if (base < 3 || base > 4) return false;
  for (std::size_t i = 0; i < base; ++i) {
    upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(component[i])));
  }
  static const char* const kThreeLetter[] = {"CON", "PRN", "AUX", "NUL"};
  if (base == 3) {
    for (const char* device : kThreeLetter) {
      if (std::memcmp(upper, device, 3) == 0) return true;
    }
    return false;
  }
  return (std::memcmp(upper, "COM", 3) == 0 || std::memcmp(upper, "LPT", 3) == 0) &&
         upper[3] >= '1' && upper[3] <= '9';
}

bool isSafeComponent(const char* component, std::size_t length) {
  if (length == 0) return false;
  if (length == 2 && component[0] == '.' && component[1] == '.') return false;
  // Windows drops a trailing dot or blank, so "x." would quietly name "x".
  const char last = component[length - 1];
  if (last == '.' || last == ' ') return false;
  return !isDeviceName(component, length);
}

}  // namespace

bool isSafeFileName(const char* name) {
  if (name == nullptr || name[0] == '\0') return false;
  for (const char* p = name; *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c < 32 || c == 127 || c == ':' || c == '\\') return false;
    // Windows cannot store these, and in the request's URL '?' would start a query and '%' an
    // escape, so the server would send some other file under this name.
    if (std::strchr("<>\"|?*%", c) != nullptr) return false;
  }
  // A leading '/' shows up as an empty first component.
  const char* start = name;
  for (;;) {
    const char* end = std::strchr(start, '/');
    const std::size_t length =
        end != nullptr ? static_cast<std::size_t>(end - start) : std::strlen(start);
    if (!isSafeComponent(start, length)) return false;
    if (end == nullptr) return true;
    start = end + 1;
  }
}
