// Asks the server whether this launcher may still be used.
#pragma once

constexpr unsigned LAUNCHER_VERSION = 0u;

// True when the server's number equals LAUNCHER_VERSION. False when it differs or cannot be
// had; a failed exchange prints its own line first.
bool checkLauncherVersion();

// True when a whole answer (status line and headers included) names LAUNCHER_VERSION as the
// token after its first '#'.
bool isCurrentVersionAnswer(const char* answer);
