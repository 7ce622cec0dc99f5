// File status and directory search stand-ins.
#pragma once

#include <cstdint>

#include "platform/posix/types.h"

struct _stat64 {
  std::uint32_t st_mode;
  std::int64_t st_size;
  std::int64_t st_mtime;
};
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
