// The one translation from POSIX errno values to Windows error codes.
#pragma once

#include "platform/posix/types.h"

namespace posix_errors {

// The WinSock code (WSAE...) for an errno value from a socket call.
int toWinsock(int error);
// The Win32 code (ERROR_...) for an errno value from a file or process call.
DWORD toWin32(int error);

}  // namespace posix_errors
