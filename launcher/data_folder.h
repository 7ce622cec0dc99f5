// The per-user folder that holds the games and their side files.
#pragma once

// Size of a folder path buffer, terminator included (the Windows path limit).
constexpr int kFolderPathSize = 260;

// Fills `buffer` (kFolderPathSize characters) with the data folder's path, making the folder
// when it is missing. On any failure, including a path that does not fit, the whole buffer
// is NUL. Returns `buffer`.
char* findDataFolder(char* buffer);

// True when the folder `path` exists afterwards, made now (with every missing parent,
// outermost first) or already there. An existing file of that name counts as there.
bool createDirectories(const char* path);
