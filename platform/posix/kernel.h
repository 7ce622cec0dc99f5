// Kernel stand-ins: directories and the thread's last error.
#pragma once

#include "platform/posix/types.h"

#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_PATH_NOT_FOUND 3
#define ERROR_ACCESS_DENIED 5
#define ERROR_NO_MORE_FILES 18
#define ERROR_ALREADY_EXISTS 183

DWORD GetLastError();
void SetLastError(DWORD error);

BOOL CreateDirectoryA(LPCSTR path, void* securityAttributes);

#define MOVEFILE_REPLACE_EXISTING 0x1
#define MOVEFILE_WRITE_THROUGH 0x8
BOOL MoveFileExA(LPCSTR existing, LPCSTR replacement, DWORD flags);
