#!/usr/bin/env bash
# The launcher's whole journey on one machine: installs what is missing, builds the launcher
# for 127.0.0.1, publishes the sample games of server/samples, serves them with nginx on
# 127.0.0.1:80 and runs the launcher in this terminal. nginx stops when the launcher ends.
#
#   scripts/demo.sh
#
# Everything it makes lives in a temporary folder that is removed at the end, the launcher's
# data folder included (XDG_DATA_HOME points there), so your own data folder is not touched.
# The build stays in build-demo/. Without root, or when port 80 is taken, nginx and the
# launcher run in a private network namespace of their own.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$repo/build-demo

# Second stage, possibly inside the network namespace: serve and play.
if [ "${1:-}" = --serve ]; then
    work=$2
    source "$repo/server/nginx/local.sh"
    trap 'local_nginx_stop "$work/nginx"' EXIT
    local_nginx_start "$work/nginx" "$work/www" || {
        cat "$work/nginx/error.log" >&2
        exit 1
    }
    # The launcher starts games detached, without a console; the sample games write to the one
    # named here.
    if [ -t 2 ]; then
        ZELMORA_DEMO_CONSOLE=$(readlink /proc/self/fd/2)
    else
        ZELMORA_DEMO_CONSOLE=$work/games.log
    fi
    export ZELMORA_DEMO_CONSOLE
    status=0
    XDG_DATA_HOME=$work/data "$build/zelmora-launcher" || status=$?
    if [ ! -t 2 ]; then
        sleep 1 # the last game may still be starting
        echo "== what the games printed:"
        cat "$work/games.log" 2>/dev/null
    fi
    echo "(the launcher ended with status $status; stopping nginx)"
    exit $status
fi

say() { printf '\n== %s\n' "$*"; }

as_root() {
    if [ "$(id -u)" = 0 ]; then
        "$@"
    elif command -v sudo >/dev/null; then
        sudo "$@"
    else
        echo "demo: need root to run: $*" >&2
        exit 1
    fi
}

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v make >/dev/null || missing+=(make)
command -v g++ >/dev/null || missing+=(g++)
command -v nginx >/dev/null || [ -x /usr/sbin/nginx ] || missing+=(nginx-light)
command -v ip >/dev/null || [ -x /usr/sbin/ip ] || [ -x /sbin/ip ] || missing+=(iproute2)
command -v unshare >/dev/null || missing+=(util-linux)
if [ ${#missing[@]} -gt 0 ]; then
    say "installing ${missing[*]}"
    as_root apt-get update
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
export PATH=$PATH:/usr/sbin:/sbin

say "building the launcher for 127.0.0.1 in $build"
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLAUNCHER_SERVER_HOST=127.0.0.1 \
    -DLAUNCHER_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target zelmora-launcher

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# nginx's workers read the published files as another user.
chmod 755 "$work"

say "publishing the sample games"
"$repo/server/publish" "$repo/server/samples" "$repo/server/samples/games.txt" "$work/www/launcher"

port80_taken() { (exec 3<>/dev/tcp/127.0.0.1/80) 2>/dev/null; }
if [ "$(id -u)" = 0 ] && ! port80_taken; then
    say "serving on 127.0.0.1:80"
    runner=()
else
    say "serving on 127.0.0.1:80 of a private network namespace"
    runner=("$repo/scripts/in-netns.sh")
fi
cat <<EOF
   launcher data folder: $work/data/zelmora/launcher (removed at the end)
   Pick a game by its number: the first time its files are downloaded, the next time only
   their entity tags are checked. Just ENTER ends the launcher.
EOF
status=0
"${runner[@]}" bash "$repo/scripts/demo.sh" --serve "$work" || status=$?
exit $status
