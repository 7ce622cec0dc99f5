#include "launcher/data_folder.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/text_buffer.h"
#include "platform/os.h"

namespace {

bool createDirectory(const char* path) {
  return CreateDirectoryA(path, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

char* findDataFolder(char* buffer) {
  char folder[kFolderPathSize] = {};
  if (SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                       folder) != 0) {
    std::memset(buffer, 0, kFolderPathSize);
    return buffer;
  }
  // A cut path would name some other folder.
  int written = std::snprintf(buffer, kFolderPathSize, "%s/%s", folder, "zelmora/launcher");
  if (written < 0 || written >= kFolderPathSize || !createDirectories(buffer)) {
    std::memset(buffer, 0, kFolderPathSize);
  }
  return buffer;
}

bool createDirectories(const char* path) {
  if (createDirectory(path)) return true;
  TextBuffer parent;
  parent.assign(path);
  if (parent.data == nullptr) return false;
  for (char* c = parent.data; *c != '\0'; ++c) {
    if (*c == '\\') *c = '/';
  }
  char* cut = std::strrchr(parent.data, '/');
  if (cut == nullptr || cut == parent.data) return false;
  parent.assign(parent.data, static_cast<std::uint32_t>(cut - parent.data));
  if (!createDirectories(parent.data)) return false;
  return createDirectory(path);
}
