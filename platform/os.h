// The one header through which the system reaches the operating system.
//
// System code is written against the Windows names (WinSock 1.1, the shell, the kernel and
// the Microsoft C run-time). On Windows they come from the system headers; elsewhere from
// our own stand-ins under platform/posix/, which behave the way the launcher relies on.
#pragma once

#ifdef _WIN32
// winsock.h must come before windows.h, which would otherwise pick its own socket header.
// clang-format off
#include <winsock.h>
#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>
#include <io.h>
#include <direct.h>
#include <sys/types.h>
#include <sys/stat.h>
#include <time.h>
// clang-format on
// winsock.h leaves the directions of shutdown() to winsock2.h; the values are the same.
#ifndef SD_SEND
#define SD_RECEIVE 0
#define SD_SEND 1
#define SD_BOTH 2
#endif
#else
#include "platform/posix/winsock.h"
#include "platform/posix/kernel.h"
#include "platform/posix/shell.h"
#include "platform/posix/crt.h"
#include "platform/posix/files.h"
#endif
