#include "win32/actual_file_system_impl.h"

#include <cstring>
#include <memory>

#include "core/string.h"
#include "fs/directory_node.h"
#include "win32/actual_read.h"

namespace win32 {

namespace {

// The extension is the text after the first '.'; it must occur somewhere in the filter.
bool passesFilter(const char* name, const char* filter) {
  if (filter == nullptr) return true;
  const char* dot = std::strchr(name, '.');
  if (dot == nullptr || dot[1] == '\0') return false;
  return std::strstr(filter, dot + 1) != nullptr;
}

}  // namespace

std::int64_t ActualFileSystemImpl::currentTime() { return _time64(nullptr); }

bool ActualFileSystemImpl::exists(const char* path) {
  return path != nullptr && _access(path, 0) == 0;
}

void ActualFileSystemImpl::stat(const char* path, fs::FileStat& result) {
  struct _stat64 buffer;
  if (path != nullptr && _stat64(path, &buffer) == 0) {
    result.modified = buffer.st_mtime;
    result.size = buffer.st_size;
  } else {
    result.modified = 0;
    result.size = 0;
  }
}

fs::IRead* ActualFileSystemImpl::openRead(const char* path, bool required) {
  return ActualRead::create(path, logMask, required);
}

void ActualFileSystemImpl::listDirectory(const char* path, const char* filter,
                                         fs::DirectoryNode* node) {
  // An empty path would make the pattern "/*.*" and walk the whole drive from its root.
  if (path == nullptr || path[0] == '\0' || node == nullptr) return;
  String pattern;
  pattern.format("%s/*.*", path);
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(pattern.chars(), &entry);
  if (search == INVALID_HANDLE_VALUE) {
    pattern.release();
    return;
  }
  do {
    if (passesFilter(entry.cFileName, filter)) _addEntry(path, filter, entry, node);
  } while (FindNextFileA(search, &entry) != 0);
  FindClose(search);
  pattern.release();
}

void ActualFileSystemImpl::_addEntry(const char* path, const char* filter,
                                     const WIN32_FIND_DATAA& entry, fs::DirectoryNode* node) {
  if (std::strcmp(entry.cFileName, ".") == 0 || std::strcmp(entry.cFileName, "..") == 0) return;
  String fullPath;
  fullPath.format("%s/%s", path, entry.cFileName);
  if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    node->directories.push_back(std::make_unique<fs::DirectoryNode>(fullPath.chars(), filter));
  } else {
    node->files.push_back(String(fullPath.chars()));
  }
  fullPath.release();
}

}  // namespace win32
