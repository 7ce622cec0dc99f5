// The entity-tag and content-length parsers over a HEAD response, NUL-terminated as the
// response buffer holds it. Checked against a plain model: the value between the marker and
// its terminator, at most 2047 characters; a tag without control characters; a size read
// like strtoll that no file can refuse (not negative, not past 63 bits). A refused or
// missing value must leave the field as it was.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cache/remote_file.h"

namespace {

void fail(const char* what, const std::string& got) {
  std::fprintf(stderr, "%s: got \"%s\"\n", what, got.c_str());
  std::abort();
}

bool valueBetween(const std::string& text, const char* marker, const char* terminator,
                  std::string& value) {
  const std::size_t found = text.find(marker);
  if (found == std::string::npos) return false;
  const std::size_t start = found + std::strlen(marker);
  const std::size_t end = text.find(terminator, start);
  if (end == std::string::npos || end - start > RemoteFile::kMaxHeaderValue) return false;
  value = text.substr(start, end - start);
  return true;
}

std::string expectedTag(const std::string& text, const char* previous) {
  std::string value;
  if (!valueBetween(text, "ETag: \"", "\"", value)) return previous;
  for (unsigned char c : value) {
    if (c < 32 || c == 127) return previous;
  }
  return value;
}

std::uint64_t expectedLength(const std::string& text, std::uint64_t previous) {
  std::string value;
  if (!valueBetween(text, "Content-Length: ", "\r\n", value)) return previous;
  errno = 0;
  const long long number = std::strtoll(value.c_str(), nullptr, 10);
  if (errno == ERANGE || number < 0) return previous;
  return static_cast<std::uint64_t>(number);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<char> buffer(data, data + size);
  buffer.push_back('\0');
  const std::string text(buffer.data());

  // Fields filled by an earlier answer show whether a refusal writes anything.
  constexpr std::uint64_t kPreviousLength = 7;
  RemoteFile file("f");
  file.entity = "previous";
  file.contentLength = kPreviousLength;

  file.parseETag(buffer.data());
  if (file.entity.chars() != expectedTag(text, "previous")) fail("entity tag", file.entity.chars());
  if (file.entity.length() != std::strlen(file.entity.chars()))
    fail("tag count", file.entity.chars());

  file.parseContentLength(buffer.data());
  if (file.contentLength != expectedLength(text, kPreviousLength)) {
    fail("content length", std::to_string(file.contentLength));
  }
  return 0;
}
