#include "platform/posix/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/posix/error_table.h"
#include "platform/posix/kernel.h"

namespace {

constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorInvalidParameter = 87;

struct Search {
  DIR* directory;
};

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Only the two patterns that match every name are understood; like Windows, "*.*" also
// matches names without a dot.
bool matchesEverything(const char* wildcard) {
  return std::strcmp(wildcard, "*") == 0 || std::strcmp(wildcard, "*.*") == 0;
}

// Symbolic links are followed, the way Windows reports a link to a folder as a folder. An
// entry that cannot be examined (a dangling link, or one gone since it was read) is a plain
// file of no size.
void describe(Search* search, const char* name, LPWIN32_FIND_DATAA found) {
  std::memset(found, 0, sizeof(*found));
  std::strncpy(found->cFileName, name, MAX_PATH - 1);

  struct stat status;
  if (fstatat(dirfd(search->directory), name, &status, 0) != 0) {
    found->dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    return;
  }
  DWORD attributes = 0;
  if (S_ISDIR(status.st_mode)) {
    attributes |= FILE_ATTRIBUTE_DIRECTORY;
  } else {
    const std::uint64_t size = static_cast<std::uint64_t>(status.st_size);
    found->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    found->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
  }
  if ((status.st_mode & S_IWUSR) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  found->dwFileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

// False with the last error set when the directory has no further entry.
bool readNext(Search* search, LPWIN32_FIND_DATAA found, DWORD atEnd) {
  errno = 0;
  const dirent* entry = readdir(search->directory);
  if (entry == nullptr) {
    SetLastError(errno != 0 ? posix_errors::toWin32(errno) : atEnd);
    return false;
  }
  describe(search, entry->d_name, found);
  return true;
}

}  // namespace

int _stat64(const char* path, struct _stat64* buffer) {
  if (path == nullptr || buffer == nullptr) {
    errno = EINVAL;
    return -1;
  }
  struct stat status;
  if (stat(path, &status) != 0) return -1;
  // The type and owner permission bits have the same values as the Microsoft ones.
  buffer->st_mode = static_cast<std::uint32_t>(status.st_mode);
  buffer->st_size = static_cast<std::int64_t>(status.st_size);
  buffer->st_mtime = static_cast<std::int64_t>(status.st_mtime);
  return 0;
}

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA found) {
  if (pattern == nullptr || found == nullptr) {
    SetLastError(kErrorInvalidParameter);
    return INVALID_HANDLE_VALUE;
  }
  const char* wildcard = pattern;
  for (const char* p = pattern; *p != '\0'; ++p) {
    if (isSeparator(*p)) wildcard = p + 1;
  }
  if (!matchesEverything(wildcard)) {
    SetLastError(kErrorInvalidParameter);
    return INVALID_HANDLE_VALUE;
  }
  std::string folder(pattern, static_cast<std::size_t>(wildcard - pattern));
  if (folder.empty()) {
    folder = ".";
  } else if (folder.size() > 1) {
    folder.pop_back();  // the separator before the wildcard; "/" alone is the root
  }

  DIR* directory = opendir(folder.c_str());
  if (directory == nullptr) {
    // A folder that is not there is a missing path to Windows, not a missing file.
    SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : posix_errors::toWin32(errno));
    return INVALID_HANDLE_VALUE;
  }
  Search* search = new Search{directory};
  if (!readNext(search, found, ERROR_FILE_NOT_FOUND)) {
    const DWORD error = GetLastError();
    closedir(directory);
    delete search;
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  return search;
}

BOOL FindNextFileA(HANDLE handle, LPWIN32_FIND_DATAA found) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || found == nullptr) {
    SetLastError(kErrorInvalidHandle);
    return FALSE;
  }
  return readNext(static_cast<Search*>(handle), found, ERROR_NO_MORE_FILES) ? TRUE : FALSE;
}

BOOL FindClose(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
    SetLastError(kErrorInvalidHandle);
    return FALSE;
  }
  Search* search = static_cast<Search*>(handle);
  closedir(search->directory);
  delete search;
  return TRUE;
}
