#!/bin/sh
# Greets the player with the text of the data file that the launcher keeps beside it.
# Started without a console: the demo names the terminal to write to.
[ -n "${ZELMORA_DEMO_CONSOLE:-}" ] && exec >>"$ZELMORA_DEMO_CONSOLE" 2>&1
printf '\n*** Hello World is running in %s ***\n' "$(pwd)"
printf 'hello.dat says: %s\n' "$(cat hello.dat)"
