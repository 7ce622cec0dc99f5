// File status and directory search stand-ins.
#pragma once

#include <cstdint>

#include "platform/posix/types.h"

// glibc spells st_mtime as a macro for st_mtim.tv_sec, and any header may bring it in before
// or after this one; the member has that shape so `st_mtime` reads the same in either order.
struct _stat64 {
  std::uint32_t st_mode;
  std::int64_t st_size;
  struct {
    std::int64_t tv_sec;
  } st_mtim;
};
#ifndef st_mtime
#define st_mtime st_mtim.tv_sec
#endif
int _stat64(const char* path, struct _stat64* buffer);

#define FILE_ATTRIBUTE_READONLY 0x01
#define FILE_ATTRIBUTE_DIRECTORY 0x10
#define FILE_ATTRIBUTE_NORMAL 0x80

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  char cFileName[MAX_PATH];
};
typedef WIN32_FIND_DATAA* LPWIN32_FIND_DATAA;

#define INVALID_HANDLE_VALUE ((HANDLE)(std::intptr_t)-1)

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA found);
BOOL FindNextFileA(HANDLE search, LPWIN32_FIND_DATAA found);
BOOL FindClose(HANDLE search);
