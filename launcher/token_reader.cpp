#include "launcher/token_reader.h"

#include <climits>
#include <cstdlib>
#include <cstring>

bool TokenReader::readText(TextBuffer& target) {
  if (cursor == nullptr) return false;
  const char* closing = std::strchr(cursor, '#');
  if (closing == nullptr) {
    cursor = nullptr;
    return false;
  }
  target.assign(cursor, static_cast<std::uint32_t>(closing - cursor));
  const char* opening = std::strchr(closing + 1, '#');
  cursor = opening != nullptr ? opening + 1 : nullptr;
  return true;
}

int TokenReader::readInt(TextBuffer& target) {
  if (!readText(target) || target.data == nullptr) return kNoNumber;
  return decimalValue(target.data);
}

int decimalValue(const char* text) {
  long value = std::strtol(text, nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}
