// Keeps one named file in the data folder identical to the server's copy.
#pragma once

// True when `name` is present in the current directory and current, downloaded now if
// needed. Prints its own console lines.
bool validateFile(const char* name);
