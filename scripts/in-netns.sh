#!/bin/sh
# Runs a command in a private network namespace with only loopback up, so that tests can
# listen on port 80 without needing or disturbing the machine's own.
if [ -n "${ZELMORA_IN_NETNS:-}" ]; then
  exec "$@"
fi
if [ "$(id -u)" = 0 ]; then
  flags=-n
else
  flags=-rn
fi
exec unshare $flags sh -c 'ip link set lo up && ZELMORA_IN_NETNS=1 exec "$@"' in-netns "$@"
