#include "platform/posix/error_table.h"

#include <cerrno>

#include "platform/posix/kernel.h"

namespace posix_errors {

namespace {

struct Row {
  int posix;
  int winsock;
  DWORD win32;
};

// Windows reports a non-blocking connect under way as would-block, not as "in progress".
constexpr Row kTable[] = {
    {EINTR, 10004, 104},  // WSAEINTR
    // A descriptor that is not open is, to WinSock, a handle that is not a socket.
    {EBADF, 10038, 6},  // WSAENOTSOCK, ERROR_INVALID_HANDLE
    {EACCES, 10013, ERROR_ACCESS_DENIED},
    {EPERM, 10013, ERROR_ACCESS_DENIED},
    {EFAULT, 10014, 487},  // ERROR_INVALID_ADDRESS
    {EINVAL, 10022, 87},   // ERROR_INVALID_PARAMETER
    {EMFILE, 10024, 4},    // ERROR_TOO_MANY_OPEN_FILES
    {EAGAIN, 10035, 0},
    {EINPROGRESS, 10035, 0},
    {EALREADY, 10037, 0},
    {ENOTSOCK, 10038, 0},
    {EDESTADDRREQ, 10039, 0},
    {EMSGSIZE, 10040, 0},
    {EPROTOTYPE, 10041, 0},
    {ENOPROTOOPT, 10042, 0},
    {EPROTONOSUPPORT, 10043, 0},
    {EOPNOTSUPP, 10045, 50},  // ERROR_NOT_SUPPORTED
    {EAFNOSUPPORT, 10047, 0},
    {EADDRINUSE, 10048, 0},
    {EADDRNOTAVAIL, 10049, 0},
    {ENETDOWN, 10050, 0},
    {ENETUNREACH, 10051, 0},
    {ENETRESET, 10052, 0},
    {ECONNABORTED, 10053, 0},
    {ECONNRESET, 10054, 0},
    {EPIPE, 10054, 109},  // a send to a peer that has gone: WSAECONNRESET, ERROR_BROKEN_PIPE
    {ENOBUFS, 10055, 8},  // ERROR_NOT_ENOUGH_MEMORY
    {EISCONN, 10056, 0},
    {ENOTCONN, 10057, 0},
    {ESHUTDOWN, 10058, 0},
    {ETIMEDOUT, 10060, 1460},  // ERROR_TIMEOUT
    {ECONNREFUSED, 10061, 0},
    {EHOSTUNREACH, 10065, 0},
    {ENOENT, 0, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, 0, ERROR_PATH_NOT_FOUND},
    {EEXIST, 0, ERROR_ALREADY_EXISTS},
    {ENOSPC, 0, 112},        // ERROR_DISK_FULL
    {EROFS, 0, 19},          // ERROR_WRITE_PROTECT
    {ENAMETOOLONG, 0, 206},  // ERROR_FILENAME_EXCED_RANGE
    {EISDIR, 0, ERROR_ACCESS_DENIED},
    {ENOMEM, 10055, 8},  // WSAENOBUFS, ERROR_NOT_ENOUGH_MEMORY
    {EBUSY, 0, 32},      // ERROR_SHARING_VIOLATION
    {ENOEXEC, 0, 193},   // ERROR_BAD_EXE_FORMAT
};

}  // namespace

int toWinsock(int error) {
  for (const Row& row : kTable) {
    if (row.posix == error && row.winsock != 0) return row.winsock;
  }
  return 10022;  // WSAEINVAL for anything without a closer match
}

DWORD toWin32(int error) {
  if (error == 0) return ERROR_SUCCESS;
  for (const Row& row : kTable) {
    if (row.posix == error && row.win32 != 0) return row.win32;
  }
  return 31;  // ERROR_GEN_FAILURE
}

}  // namespace posix_errors
