// The file system on the run-time library and the Win32 directory search.
#pragma once

#include <cstdint>

#include "fs/file_system.h"
#include "platform/os.h"

namespace win32 {

class ActualFileSystemImpl : public fs::IFileSystemImpl {
 public:
  explicit ActualFileSystemImpl(std::uint8_t logMask) : logMask(logMask) {}

  std::int64_t currentTime() override;
  bool exists(const char* path) override;
  void stat(const char* path, fs::FileStat& result) override;
  fs::IRead* openRead(const char* path, bool required) override;
  void listDirectory(const char* path, const char* filter, fs::DirectoryNode* node) override;

  std::uint8_t logMask;

 private:
  static void _addEntry(const char* path, const char* filter, const WIN32_FIND_DATAA& entry,
                        fs::DirectoryNode* node);
};

}  // namespace win32
