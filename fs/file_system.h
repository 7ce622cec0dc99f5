// The system's one view of the local file system.
#pragma once

#include <cstdint>

#include "fs/read.h"

namespace fs {

class DirectoryNode;

struct FileStat {
  std::int64_t modified = 0;  // seconds since 1970-01-01 00:00:00 UTC
  std::int64_t size = 0;      // 64-bit, so files of 2 GiB and more are measured right
};

class IFileSystemImpl {
 public:
  virtual ~IFileSystemImpl() = default;
  virtual std::int64_t currentTime() = 0;
  virtual bool exists(const char* path) = 0;
  // Failure shows as an all-zero result.
  virtual void stat(const char* path, FileStat& result) = 0;
  // A new reader that the caller owns and deletes, or null.
  virtual IRead* openRead(const char* path, bool required) = 0;
  virtual void listDirectory(const char* path, const char* filter, DirectoryNode* node) = 0;
};

// The process-wide instance; never null.
IFileSystemImpl* actualFileSystem();

}  // namespace fs
