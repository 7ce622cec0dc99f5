#include "win32/actual_read.h"

#include <cstdint>
#include <limits>
#include <memory>

#include "core/log.h"
#include "core/string.h"
#include "platform/os.h"

namespace win32 {

namespace {

constexpr const char* kOpenReadName = "win32::ActualRead::_openRead";

}  // namespace

ActualRead* ActualRead::create(const char* path, std::uint8_t logMask, bool required) {
  std::unique_ptr<ActualRead> reader(new ActualRead());
  if (!reader->_openRead(path, logMask, required)) return nullptr;
  if (std::fseek(reader->stream, 0, SEEK_END) != 0) return nullptr;
  // Measured in 64 bits so that a file too big for the size field is refused, not wrapped.
  const std::int64_t end = _ftelli64(reader->stream);
  if (end < 0 || end > std::numeric_limits<std::int32_t>::max()) return nullptr;
  reader->size = static_cast<std::int32_t>(end);
  if (std::fseek(reader->stream, 0, SEEK_SET) != 0) return nullptr;
  return reader.release();
}

ActualRead::~ActualRead() {
  if (stream != nullptr) std::fclose(stream);
  stream = nullptr;
}

FILE* ActualRead::getStream() { return stream; }

bool ActualRead::read(void* destination, std::uint32_t count) {
  if (stream == nullptr) return false;
  return std::fread(destination, count, 1, stream) == 1;
}

std::uint32_t ActualRead::readSome(void* destination, std::uint32_t count) {
  if (stream == nullptr) return 0;
  return static_cast<std::uint32_t>(std::fread(destination, 1, count, stream));
}

bool ActualRead::seek(std::int32_t offset, int origin) {
  if (stream == nullptr) return false;
  return std::fseek(stream, offset, origin) == 0;
}

std::int32_t ActualRead::tell() {
  if (stream == nullptr) return -1;
  // A seek may go past the end, further than the result can count.
  const std::int64_t position = _ftelli64(stream);
  if (position < 0 || position > std::numeric_limits<std::int32_t>::max()) return -1;
  return static_cast<std::int32_t>(position);
}

bool ActualRead::eof() { return stream == nullptr || std::feof(stream) != 0; }

std::int32_t ActualRead::getSize() { return size; }

bool ActualRead::_openRead(const char* path, std::uint8_t logMask, bool required) {
  if (path != nullptr && fopen_s(&stream, path, "rb") == 0) {
    if ((logMask & kLogOpened) != 0) {
      logIndent();
      String text;
      text.format("opened %s", path);
      logMessage("%s(): %s", kOpenReadName, text.chars());
      text.release();
      logUnindent();
    }
    return true;
  }
  stream = nullptr;
  if ((logMask & kLogFailedRequired) != 0 && required) {
    logIndent();
    String text;
    text.format("failed to open %s", path != nullptr ? path : "(null)");
    logMessage("ERROR: %s(): %s", kOpenReadName, text.chars());
    text.release();
    logUnindent();
  }
  return false;
}

}  // namespace win32
