// Starts a game's executable from the data folder through the shell.
#pragma once

// Prints the launching line and hands `exe` to the shell's default action in the current
// directory. True when the shell reports success; the game is not waited for.
bool launchGame(const char* exe);
