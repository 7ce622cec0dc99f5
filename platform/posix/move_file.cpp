#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix/error_table.h"
#include "platform/posix/kernel.h"

// rename() always replaces; without MOVEFILE_REPLACE_EXISTING Windows refuses an existing
// target, so that case asks the kernel not to replace (atomically, where it can).
BOOL MoveFileExA(LPCSTR existing, LPCSTR replacement, DWORD flags) {
  if (existing == nullptr || replacement == nullptr) {
    SetLastError(87);  // ERROR_INVALID_PARAMETER
    return FALSE;
  }
  int result;
  if ((flags & MOVEFILE_REPLACE_EXISTING) != 0) {
    result = std::rename(existing, replacement);
  } else {
    result = renameat2(AT_FDCWD, existing, AT_FDCWD, replacement, RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
      // A file system without the no-replace flag: a check, then the plain rename.
      if (access(replacement, F_OK) == 0) {
        errno = EEXIST;
      } else {
        result = std::rename(existing, replacement);
      }
    }
  }
  if (result != 0) {
    SetLastError(posix_errors::toWin32(errno));
    return FALSE;
  }
  return TRUE;
}
