// Whether a file name that the server hands out may be used as a path in the data folder.
#pragma once

// True for a relative name that stays inside the current directory on every platform:
// components split by '/', none empty, "..", a device name or ending in '.' or ' ', and no
// ':', backslash, control character or one of < > " | ? * % anywhere.
bool isSafeFileName(const char* name);
