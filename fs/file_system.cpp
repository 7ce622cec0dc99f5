#include "fs/file_system.h"

#include "win32/actual_file_system_impl.h"
#include "win32/actual_read.h"

namespace fs {

IFileSystemImpl* actualFileSystem() {
  // Only failed opens that the caller needs are worth a log line.
  static win32::ActualFileSystemImpl instance(win32::ActualRead::kLogFailedRequired);
  return &instance;
}

}  // namespace fs
