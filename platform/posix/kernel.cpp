#include "platform/posix/kernel.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/posix/error_table.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

}  // namespace

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD error) { lastError = error; }

BOOL CreateDirectoryA(LPCSTR path, void* /*securityAttributes*/) {
  if (path == nullptr) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (mkdir(path, 0777) == 0) return TRUE;
  int error = errno;
  // What is missing when a folder cannot be made is always a parent folder, which Windows
  // reports as a path, not as a file.
  SetLastError(error == ENOENT ? ERROR_PATH_NOT_FOUND : posix_errors::toWin32(error));
  return FALSE;
}
