// Shell stand-ins: the per-user data folder and starting a program.
#pragma once

#include "platform/posix/types.h"

#define CSIDL_APPDATA 0x001A
#define CSIDL_FLAG_CREATE 0x8000
#define SHGFP_TYPE_CURRENT 0

#define SW_SHOW 5
#define SE_ERR_FNF 2
#define SE_ERR_NOASSOC 31

// Answers $XDG_DATA_HOME (when absolute), else $HOME/.local/share; 0 on success.
HRESULT SHGetFolderPathA(HWND window, int folder, HANDLE token, DWORD flags, LPSTR path);

// Starts a program (a "#!" script or an ELF binary) detached, or hands any other file to
// xdg-open. Answers a value above 32 on success.
HINSTANCE ShellExecuteA(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                        LPCSTR directory, int show);
