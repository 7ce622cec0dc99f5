#include "cache/remote_file.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "fs/file_system.h"
#include "launcher/server.h"
#include "net/http11_request.h"
#include "platform/os.h"

namespace {

struct HeaderValue {
  const char* text = nullptr;
  std::size_t length = 0;
};

// The characters between `marker` and the next `terminator`. A value too long to keep is
// treated like a missing one: a cut tag or number would name something the server never sent.
bool findHeaderValue(const char* response, const char* marker, const char* terminator,
                     HeaderValue& value) {
  const char* found = std::strstr(response, marker);
  if (found == nullptr) return false;
  const char* start = found + std::strlen(marker);
  const char* end = std::strstr(start, terminator);
  if (end == nullptr) return false;
  const std::size_t length = static_cast<std::size_t>(end - start);
  if (length > RemoteFile::kMaxHeaderValue) return false;
  value.text = start;
  value.length = length;
  return true;
}

bool isControlCharacter(char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  return byte < 32 || byte == 127;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads a decimal the way atoi does (blanks, sign, digits up to the first other character;
// no digits give 0), but refuses what a file size cannot be: negative or past 63 bits.
bool readSize(const char* text, std::size_t length, std::uint64_t& size) {
  const char* p = text;
  const char* end = text + length;
  while (p < end && isBlank(*p)) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  const std::uint64_t limit = static_cast<std::uint64_t>(INT64_MAX);
  std::uint64_t result = 0;
  for (; p < end && *p >= '0' && *p <= '9'; ++p) {
    const unsigned digit = static_cast<unsigned>(*p - '0');
    if (result > (limit - digit) / 10) return false;
    result = result * 10 + digit;
  }
  if (negative && result != 0) return false;
  size = result;
  return true;
}

String sideFileName(const String& name) {
  String sideName;
  sideName.format("%s.entity", name.chars());
  return sideName;
}

// The download target while bytes arrive; removed on every failure.
class PartFile {
 public:
  explicit PartFile(const String& target) { name.format("%s.part", target.chars()); }
  ~PartFile() {
    if (stream != nullptr) std::fclose(stream);
    if (!kept) std::remove(name.chars());
  }
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;

  // Unbuffered: each chunk is already a large block, and the run-time's small buffer would
  // only split it in two writes and copy its tail.
  bool open() {
    if (fopen_s(&stream, name.chars(), "wb") != 0 || stream == nullptr) return false;
    std::setvbuf(stream, nullptr, _IONBF, 0);
    return true;
  }

  bool write(const char* bytes, std::size_t count) {
    return std::fwrite(bytes, 1, count, stream) == count;
  }

  // A full disk may show only when the buffered bytes are flushed here. The flush is asked
  // on its own: wine's fclose answers 0 even when its final flush failed.
  bool close() {
    const bool flushed = std::fflush(stream) == 0;
    const bool closed = std::fclose(stream) == 0 && flushed;
    stream = nullptr;
    return closed;
  }

  bool replace(const String& target) {
    kept = MoveFileExA(name.chars(), target.chars(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    return kept;
  }

 private:
  String name;
  FILE* stream = nullptr;
  bool kept = false;
};

}  // namespace

RemoteFile::RemoteFile(const char* fileName) : name(fileName) {
  url.format("%s%s", server::kFolderUrl, encodeSpaces(name.chars()));
}

void RemoteFile::head(net::Http11Request& request) {
  if (!request.request(net::Http11Request::Head, url.chars())) return;
  if (!request.finish()) return;
  // An empty answer leaves older bytes in the buffer; only `length` of them are this one's.
  const char* response = request.response.length > 0 ? request.response.data : "";
  parseETag(response);
  parseContentLength(response);
}

void RemoteFile::parseETag(const char* response) {
  HeaderValue value;
  if (!findHeaderValue(response, "ETag: \"", "\"", value)) return;
  // The tag goes to the side file and the terminal as it is.
  if (std::any_of(value.text, value.text + value.length, isControlCharacter)) return;
  char tag[kMaxHeaderValue + 1];
  std::memcpy(tag, value.text, value.length);
  tag[value.length] = '\0';
  entity = tag;
}

void RemoteFile::parseContentLength(const char* response) {
  HeaderValue value;
  std::uint64_t size = 0;
  if (!findHeaderValue(response, "Content-Length: ", "\r\n", value)) return;
  if (!readSize(value.text, value.length, size)) return;
  contentLength = size;
}

bool RemoteFile::isCurrent() {
  if (!entityMatches()) return false;
  fs::IFileSystemImpl* files = fs::actualFileSystem();
  if (!files->exists(name.chars())) return false;
  fs::FileStat stat;
  files->stat(name.chars(), stat);
  return stat.size >= 0 && static_cast<std::uint64_t>(stat.size) == contentLength;
}

bool RemoteFile::entityMatches() {
  std::unique_ptr<fs::IRead> reader(
      fs::actualFileSystem()->openRead(sideFileName(name).chars(), true));
  if (!reader) return false;
  // A side file of another length cannot hold the tag; it is not read at all, however big.
  const std::int32_t size = reader->getSize();
  if (size <= 0 || static_cast<std::uint32_t>(size) != entity.length()) return false;
  std::unique_ptr<char[]> bytes(new char[static_cast<std::size_t>(size) + 1]);
  if (!reader->read(bytes.get(), static_cast<std::uint32_t>(size))) return false;
  bytes[static_cast<std::size_t>(size)] = '\0';
  return std::strcmp(entity.chars(), bytes.get()) == 0;
}

void RemoteFile::writeEntity() {
  FILE* file = nullptr;
  if (fopen_s(&file, sideFileName(name).chars(), "wb") != 0 || file == nullptr) return;
  if (entity.length() > 0) std::fwrite(entity.chars(), entity.length(), 1, file);
  std::fclose(file);
}

bool RemoteFile::download(net::Http11Request& request) {
  PartFile part(name);
  if (!part.open()) return false;
  if (!request.request(net::Http11Request::Get, url.chars())) return false;

  std::uint64_t received = 0;      // headers included, as the progress line shows it
  std::uint64_t headerLength = 0;  // 0 until the blank line after the headers has arrived
  std::vector<char> headers;       // the first bytes, gathered until that blank line
  static const char kHeaderEnd[] = "\r\n\r\n";

  while (request.connection) {
    if (!request.update()) return false;
    const std::uint32_t length = request.response.length;
    if (length == 0) continue;
    const char* chunk = request.response.data;
    received += length;
    if (length > 1024) {
      std::fprintf(stderr, "[NETWORK] downloading %s [%" PRIu64 "/%" PRIu64 "]...\r",
                   entity.chars(), received, contentLength);
    }
    if (headerLength == 0) {
      // The blank line may straddle two chunks: search again from just before the new bytes.
      const std::size_t from = headers.size() >= 3 ? headers.size() - 3 : 0;
      headers.insert(headers.end(), chunk, chunk + length);
      const auto end = std::search(headers.begin() + static_cast<std::ptrdiff_t>(from),
                                   headers.end(), kHeaderEnd, kHeaderEnd + 4);
      if (end == headers.end()) {
        if (headers.size() >= kMaxHeaderBytes) return false;
      } else {
        headerLength = static_cast<std::uint64_t>(end - headers.begin()) + 4;
        if (headerLength > kMaxHeaderBytes) return false;
        const std::size_t body = headers.size() - static_cast<std::size_t>(headerLength);
        if (body > 0 && !part.write(headers.data() + headerLength, body)) return false;
        std::vector<char>().swap(headers);
      }
    } else if (!part.write(chunk, length)) {
      return false;
    }
    // More than the announced size can never end well: stop before an endless body fills
    // the disk.
    if (headerLength != 0 && received - headerLength > contentLength) return false;
    request.response.length = 0;
  }

  if (headerLength == 0 || received - headerLength != contentLength) return false;
  return part.close() && part.replace(name);
}
