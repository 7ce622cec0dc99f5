#!/usr/bin/env bash
# The launcher against a real nginx that serves what the publish tool wrote, through the site
# config of server/nginx. Needs a network namespace of its own (nginx takes 127.0.0.1:80).
#
#   nginx_test.sh LAUNCHER
source "$(dirname "$0")/lib.sh"
source "$repo/server/nginx/local.sh"

launcher=${1:-${ZELMORA_LAUNCHER:-}}
[ -x "$launcher" ] || { echo "usage: $0 LAUNCHER (the built zelmora-launcher)" >&2; exit 2; }
command -v nginx >/dev/null || { echo "nginx is not installed" >&2; exit 1; }

games=$work/games www=$work/www out=$work/www/launcher prefix=$work/nginx
data_home=$work/data
mkdir -p "$games" "$data_home" "$work/home"
# The games leave a marker in the folder they run in, from the data file beside them.
printf 'hello from nginx\n' >"$games/hello world.dat"
printf '#!/bin/sh\ncat "hello world.dat" >hello.part && mv hello.part hello.marker\n' >"$games/hello.sh"
head -c 100M /dev/urandom >"$games/big.dat"
printf '#!/bin/sh\nwc -c <big.dat >big.part && mv big.part big.marker\n' >"$games/big.sh"
printf 'Hello|hello.sh|hello world.dat\nBig|big.sh|big.dat\n' >"$work/list"
"$publish" "$games" "$work/list" "$out" 2>/dev/null || { echo "publish failed" >&2; exit 1; }
# A published time ahead of the clock stands for a publish made earlier in the same second
# as the republish below.
ahead=$(($(date +%s) + 100))
touch -d "@$ahead" "$out/hello world.dat"

# Global settings a publisher's nginx.conf may carry; the site must hold its answers against
# them.
hostile='gzip on; gzip_types *; gzip_min_length 1; gzip_vary on; etag off;
    chunked_transfer_encoding on; open_file_cache max=64 inactive=60s; open_file_cache_valid 60s;'
start_nginx() {
    local_nginx_start "$prefix" "$www" "$hostile" && return
    cat "$prefix/error.log" >&2
    exit 1
}
start_nginx
cleanup_steps+=('local_nginx_stop "$prefix"')

# --- Answers as the launcher's own requests get them ---

tag_of() { stat -c '%Y %s' "$out/$1" | { read -r t s; printf '%x-%x' "$t" "$s"; }; }

# raw METHOD PATH: sends the launcher's request shape (plus an offer to take gzip), its spare
# CR LF in a write of its own, and prints the answer; fails when the server does not close.
trap '' PIPE
raw() {
    exec 3<>/dev/tcp/127.0.0.1/80 || return 1
    printf '%s http://127.0.0.1%s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nAccept: text/*\r\nAccept-Encoding: gzip\r\n\r\n' \
        "$1" "$2" >&3
    printf '\r\n' >&3
    timeout 10 cat <&3
    local rc=$?
    exec 3<&-
    return $rc
}

answers=(
    HEAD /launcher/hello%20world.dat "hello world.dat"
    GET  /launcher/hello%20world.dat "hello world.dat"
    GET  /launcher/big.dat           big.dat
    GET  /launcher/directory.php     directory.php
    GET  /launcher/versioncheck.php  versioncheck.php
)
for ((i = 0; i < ${#answers[@]}; i += 3)); do
    method=${answers[i]} path=${answers[i + 1]} file=${answers[i + 2]}
    case="$method $path"
    raw "$method" "$path" >"$work/answer" || fail "$case: the server closes the connection"
    head=$(sed -n '1,/^\r$/p' "$work/answer")
    expect_contains "$case" "$head" $'HTTP/1.1 200 OK\r\n'
    expect_contains "$case" "$head" "ETag: \"$(tag_of "$file")\""$'\r\n'
    expect_contains "$case" "$head" "Content-Length: $(stat -c %s "$out/$file")"$'\r\n'
    expect_contains "$case" "$head" $'Connection: close\r\n'
    [[ $head == *Content-Encoding* || $head == *Transfer-Encoding* ]] && fail "$case: answer is sent as stored"
    [[ $head == *'#'* ]] && fail "$case: no '#' in the status line or headers"
    if [ "$method" = GET ]; then
        tail -c "$(stat -c %s "$out/$file")" "$work/answer" | cmp -s - "$out/$file" ||
            fail "$case: body is the file"
        expect_eq "$case: nothing but headers and file" \
            $(($(stat -c %s "$out/$file") + ${#head} + 1)) "$(stat -c %s "$work/answer")"
    fi
    [[ $file == *.php ]] && expect_contains "$case" "$head" $'Content-Type: text/plain\r\n'
done

# A spare CR LF that arrives after nginx has answered must not reset the connection: that
# would throw away the answer. Each request gives the race one chance.
lost=0
for ((i = 0; i < 100; i++)); do
    [ "$(raw GET /launcher/versioncheck.php 2>/dev/null | tail -c 4)" = '#0#' ] || lost=$((lost + 1))
done
expect_eq "answers lost to a reset, of 100" 0 "$lost"

# --- The launcher ---

data=$data_home/zelmora/launcher
menu=$'\n- - - - Available games - - - -\n[1] Hello\n[2] Big\n- - - - Available games - - - -\n\nPlease type a NUMBER followed by ENTER, or just ENTER to exit:'

miss() { printf '[NETWORK] checking %s...\n[NETWORK] cache miss for %s...\n\n[NETWORK] downloaded %s [%s]...' \
    "$1" "$(tag_of "$1")" "$(tag_of "$1")" "$(stat -c %s "$out/$1")"; }
hit() { printf '[NETWORK] checking %s...' "$1"; }
requests() {
    printf 'GET /launcher/versioncheck.php 200\nGET /launcher/directory.php 200'
    printf '\n%s' "$@"
}

# nginx logs a request once its connection is over, which may be after the client has seen the
# answer: a stop makes the log whole.
logged_since() {
    local_nginx_stop "$prefix"
    tail -n +$(($1 + 1)) "$prefix/access.log"
    start_nginx
}

logged_since 0 >/dev/null
runs=0
# play CHOICE FILE_LINES EXE REQUESTS MARKER MARKER_TEXT: one launcher run that picks a game
# and then leaves.
play() {
    runs=$((runs + 1))
    local case="run $runs (choice $1)" rc expected err i=0 lines
    lines=$(wc -l <"$prefix/access.log")
    rm -f "$data/$5"
    printf '%s\n\n' "$1" | XDG_DATA_HOME=$data_home HOME=$work/home \
        timeout 300 "$launcher" >"$work/stdout" 2>"$work/stderr"
    rc=$?
    expect_eq "$case: exit status" 0 "$rc"
    expected=$(printf '[NETWORK] checking launcher version...\n[NETWORK] launcher version 0 OK...\n[LOCAL DIRECTORY] %s\n[NETWORK] checking for available games...\n%s%s\nlaunching %s...\n%s\nExiting...\nx' \
        "$(cd "$data" 2>/dev/null && pwd -P || echo "$data")" "$menu" "$2" "$3" "$menu")
    # Progress lines overwrite each other with a carriage return; their figures depend on how
    # the answer was cut into receives. The banner is the launcher's own business.
    err=$(sed -e $'s/\\[NETWORK\\] downloading [^\r]*\r//g' -e '1,/^$/d' "$work/stderr"; echo x)
    expect_eq "$case: console" "$expected" "$err"
    expect_eq "$case: requests" "$4" "$(logged_since "$lines")"
    while [ ! -e "$data/$5" ] && [ $i -lt 200 ]; do
        sleep 0.1
        i=$((i + 1))
    done
    expect_eq "$case: the game ran on its data" "$6" "$(cat "$data/$5" 2>/dev/null)"
}

# First choice: both files downloaded, the game started.
play 1 "$(miss "hello world.dat")"$'\n'"$(miss hello.sh)" hello.sh \
    "$(requests 'HEAD /launcher/hello world.dat 200' 'GET /launcher/hello world.dat 200' \
        'HEAD /launcher/hello.sh 200' 'GET /launcher/hello.sh 200')" \
    hello.marker "hello from nginx"

# Second run: the copies are current, one HEAD each.
play 1 "$(hit "hello world.dat")"$'\n'"$(hit hello.sh)" hello.sh \
    "$(requests 'HEAD /launcher/hello world.dat 200' 'HEAD /launcher/hello.sh 200')" \
    hello.marker "hello from nginx"

# A changed data file of the same size, republished: only that file comes again.
printf 'HELLO FROM NGINX\n' >"$games/hello world.dat"
"$publish" "$games" "$work/list" "$out" 2>/dev/null || fail "republish"
expect_eq "the republished file's tag" "$(printf '%x-%x' $((ahead + 1)) 17)" "$(tag_of "hello world.dat")"
play 1 "$(miss "hello world.dat")"$'\n'"$(hit hello.sh)" hello.sh \
    "$(requests 'HEAD /launcher/hello world.dat 200' 'GET /launcher/hello world.dat 200' \
        'HEAD /launcher/hello.sh 200')" \
    hello.marker "HELLO FROM NGINX"

# 100 MB arrive byte for byte.
play 2 "$(miss big.dat)"$'\n'"$(miss big.sh)" big.sh \
    "$(requests 'HEAD /launcher/big.dat 200' 'GET /launcher/big.dat 200' \
        'HEAD /launcher/big.sh 200' 'GET /launcher/big.sh 200')" \
    big.marker 104857600
cmp -s "$games/big.dat" "$data/big.dat" || fail "the 100 MB file arrives byte for byte"
grep -q $'\\[NETWORK\\] downloading [^\r]*\r' "$work/stderr" || fail "a large download shows progress"

finish
