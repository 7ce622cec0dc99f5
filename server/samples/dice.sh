#!/bin/sh
# Rolls one die whose faces are the lines of its data file.
# Started without a console: the demo names the terminal to write to.
[ -n "${ZELMORA_DEMO_CONSOLE:-}" ] && exec >>"$ZELMORA_DEMO_CONSOLE" 2>&1
faces=$(wc -l <dice.dat)
roll=$(od -An -N2 -tu2 /dev/urandom | tr -d ' ')
face=$(sed -n "$((roll % faces + 1))p" dice.dat)
printf '\n*** Dice Tower is running in %s ***\n' "$(pwd)"
printf 'You rolled: %s (one of the %s faces in dice.dat)\n' "$face" "$faces"
