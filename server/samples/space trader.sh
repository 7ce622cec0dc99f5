#!/bin/sh
# A game whose file names hold spaces: the launcher asks for them with %20 in the URL.
# Started without a console: the demo names the terminal to write to.
[ -n "${ZELMORA_DEMO_CONSOLE:-}" ] && exec >>"$ZELMORA_DEMO_CONSOLE" 2>&1
printf '\n*** Space Trader is running in %s ***\n' "$(pwd)"
printf 'Prices today, from "space trader.dat":\n'
cat "space trader.dat"
