#include "platform/posix/crt.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

int _chdir(const char* path) {
  if (path == nullptr) {
    errno = EINVAL;
    return -1;
  }
  return chdir(path) == 0 ? 0 : -1;
}

char* _getcwd(char* buffer, int size) {
  if (size < 0 || (buffer != nullptr && size == 0)) {
    errno = EINVAL;
    return nullptr;
  }
  if (buffer != nullptr) return getcwd(buffer, static_cast<size_t>(size));
  // Without a buffer the caller gets malloc'd memory of at least `size` bytes.
  char* path = getcwd(nullptr, 0);
  if (path == nullptr) return nullptr;
  size_t needed = std::strlen(path) + 1;
  if (static_cast<size_t>(size) > needed) {
    char* grown = static_cast<char*>(std::realloc(path, static_cast<size_t>(size)));
    if (grown == nullptr) {
      std::free(path);
      errno = ENOMEM;
      return nullptr;
    }
    path = grown;
  }
  return path;
}

int _access(const char* path, int mode) {
  // 0 existence, 2 write, 4 read, 6 both; anything else is not a mode the run-time knows.
  if (path == nullptr || (mode & ~6) != 0) {
    errno = EINVAL;
    return -1;
  }
  int how = F_OK;
  if (mode & 2) how |= W_OK;
  if (mode & 4) how |= R_OK;
  return access(path, how) == 0 ? 0 : -1;
}

__time64_t _time64(__time64_t* destination) {
  __time64_t now = static_cast<__time64_t>(std::time(nullptr));
  if (destination != nullptr) *destination = now;
  return now;
}

errno_t fopen_s(FILE** stream, const char* path, const char* mode) {
  if (stream == nullptr) return EINVAL;
  *stream = nullptr;
  if (path == nullptr || mode == nullptr) return EINVAL;
  errno = 0;
  FILE* opened = std::fopen(path, mode);
  if (opened == nullptr) return errno != 0 ? errno : EINVAL;
  // The Microsoft run-time refuses to open a directory as a file stream; glibc does not.
  struct stat status;
  if (fstat(fileno(opened), &status) == 0 && S_ISDIR(status.st_mode)) {
    std::fclose(opened);
    return EACCES;
  }
  *stream = opened;
  return 0;
}

std::int64_t _ftelli64(FILE* stream) {
  if (stream == nullptr) {
    errno = EINVAL;
    return -1;
  }
  return static_cast<std::int64_t>(ftello(stream));
}
