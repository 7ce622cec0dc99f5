#!/usr/bin/env bash
# Measures the launcher beside curl and wget on the same files from the same nginx, on loopback
# port 80 inside a private network namespace. Prints medians of several runs and the ratios
# launcher/peer, and writes them to bench/results.md.
#
#   bench/run.sh            # 5 runs of each case
#   RUNS=7 bench/run.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-5}
big_mib=${BIG_MIB:-1024}

if [ -z "${ZELMORA_IN_NETNS:-}" ]; then
  missing=()
  for tool in nginx curl wget /usr/bin/time tc hyperfine cmake g++; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=""
    [ "$(id -u)" = 0 ] || sudo_cmd=sudo
    $sudo_cmd apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends \
      nginx-light curl wget time iproute2 hyperfine cmake g++ make
  fi
  cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=Release -DLAUNCHER_BUILD_TESTS=OFF \
    -DLAUNCHER_SERVER_HOST=127.0.0.1 >/dev/null
  cmake --build "$root/build-bench" -j"$(nproc)" --target zelmora-launcher >/dev/null
  exec "$root/scripts/in-netns.sh" "$0" "$@"
fi

launcher="$root/build-bench/zelmora-launcher"
work=$(mktemp -d /tmp/zelmora-bench.XXXXXX)
chmod 755 "$work"  # nginx workers run as nobody
nginx_started=""
cleanup() {
  [ -n "$nginx_started" ] && local_nginx_stop "$work/nginx"
  rm -rf "$work"
}
trap cleanup EXIT

# --- content: three games sharing one tiny game program ---------------------------------
site="$work/site/launcher"
mkdir -p "$site"
printf '#!/bin/sh\nexit 0\n' >"$site/game.sh"
head -c "$((big_mib * 1024 * 1024))" /dev/urandom >"$site/big.bin"
head -c $((1024 * 1024)) /dev/urandom >"$site/small.bin"
head -c $((100 * 1000 * 1000)) /dev/urandom >"$site/medium.bin"
printf '#0#\n' >"$site/versioncheck.php"
printf '#Big#\n#game.sh#\n#big.bin#\n#Small#\n#game.sh#\n#small.bin#\n#Medium#\n#game.sh#\n#medium.bin#\n' \
  >"$site/directory.php"

# --- nginx on 127.0.0.1:80 with the publisher's site configuration ------------------------
# shellcheck source=../server/nginx/local.sh
. "$root/server/nginx/local.sh"
local_nginx_start "$work/nginx" "$work/site"
nginx_started=1

url=http://127.0.0.1/launcher

# time_run NAME INPUT COMMAND...: runs COMMAND with INPUT as its standard input and appends
# "wall cpu maxrss_kib" to $work/NAME.
time_run() {
  local name=$1 input=$2
  shift 2
  /usr/bin/time -f '%e %U %S %M' -o "$work/time.out" "$@" <"$input" >/dev/null 2>"$work/last.err" || {
    echo "run failed: $*" >&2
    cat "$work/last.err" >&2
    exit 1
  }
  awk '{ printf "%s %.3f %s\n", $1, $2 + $3, $4 }' "$work/time.out" >>"$work/$name"
}

# The launcher picks game N and exits at the end of its input, once the game is started.
for n in 1 2 3; do printf '%s\n' "$n" >"$work/choice$n"; done

median() {  # median of column $2 of file $1
  awk -v c="$2" '{ print $c }' "$1" | sort -g | awk '{ v[NR] = $1 } END {
    if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo "cold download of ${big_mib} MiB, $runs runs each, taking turns" >&2
for i in $(seq "$runs"); do
  rm -rf "$work/data" "$work/out" && mkdir -p "$work/data" "$work/out"
  time_run cold_launcher "$work/choice1" env XDG_DATA_HOME="$work/data" "$launcher"
  time_run cold_curl /dev/null curl -s -o "$work/out/big.curl" "$url/big.bin"
  time_run cold_wget /dev/null wget -q -O "$work/out/big.wget" "$url/big.bin"
  rm -rf "$work/small" && mkdir -p "$work/small"
  time_run small_launcher "$work/choice2" env XDG_DATA_HOME="$work/small" "$launcher"
done
cmp "$work/data/zelmora/launcher/big.bin" "$site/big.bin"

echo "warm start, taking turns" >&2
# Too short for /usr/bin/time's 10 ms steps: hyperfine times it, with its shell start-up
# subtracted, and alternates the two commands.
hyperfine -w 3 -r $((runs * 6)) --export-csv "$work/warm.csv" \
  "XDG_DATA_HOME=$work/small $launcher <$work/choice2 >/dev/null 2>&1" \
  "curl -s -o /dev/null $url/versioncheck.php --next -s -o /dev/null $url/directory.php --next -s -I -o /dev/null $url/small.bin --next -s -I -o /dev/null $url/game.sh" \
  >/dev/null
warm_launcher_ms=$(awk -F, 'NR == 2 { printf "%.2f", $4 * 1000 }' "$work/warm.csv")
warm_curl_ms=$(awk -F, 'NR == 3 { printf "%.2f", $4 * 1000 }' "$work/warm.csv")

echo "slow link (100 Mbit/s), $runs runs each" >&2
ip link set lo mtu 1500
tc qdisc add dev lo root tbf rate 100mbit burst 32kb latency 400ms
for i in $(seq "$runs"); do
  rm -rf "$work/medium" "$work/out" && mkdir -p "$work/medium" "$work/out"
  time_run slow_launcher "$work/choice3" env XDG_DATA_HOME="$work/medium" "$launcher"
  time_run slow_curl /dev/null curl -s -o "$work/out/medium.curl" "$url/medium.bin"
done
tc qdisc del dev lo root
cmp "$work/medium/zelmora/launcher/medium.bin" "$site/medium.bin"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
row() {  # row LABEL LAUNCHER_FILE PEER_FILE PEER_NAME
  local lw lc lm pw pc pm
  lw=$(median "$work/$2" 1); lc=$(median "$work/$2" 2); lm=$(median "$work/$2" 3)
  pw=$(median "$work/$3" 1); pc=$(median "$work/$3" 2); pm=$(median "$work/$3" 3)
  printf '| %s | %s | %s s / %s s = %s | %s s / %s s = %s | %s / %s KiB = %s |\n' \
    "$1" "$4" "$lw" "$pw" "$(ratio "$lw" "$pw")" "$lc" "$pc" "$(ratio "$lc" "$pc")" \
    "$lm" "$pm" "$(ratio "$lm" "$pm")"
}

{
  echo "# Benchmark: launcher against curl and wget"
  echo
  echo "Medians of $runs runs, launcher / peer. $(nproc) cores, $(uname -r), $(date -u +%Y-%m-%d)."
  echo
  echo "| case | peer | wall | CPU (user+sys) | peak RSS |"
  echo "|---|---|---|---|---|"
  row "cold download ${big_mib} MiB" cold_launcher cold_curl curl
  row "cold download ${big_mib} MiB" cold_launcher cold_wget wget
  row "slow link 100 Mbit/s, 100 MB" slow_launcher slow_curl curl
  echo "| warm start (4 requests) | curl | $warm_launcher_ms ms / $warm_curl_ms ms = $(ratio "$warm_launcher_ms" "$warm_curl_ms") | | |"
  echo
  small_rss=$(median "$work/small_launcher" 3)
  big_rss=$(median "$work/cold_launcher" 3)
  echo "Memory against size: peak RSS ${small_rss} KiB for 1 MiB, ${big_rss} KiB for ${big_mib} MiB" \
    "(difference $(awk -v a="$big_rss" -v b="$small_rss" 'BEGIN { printf "%d", a - b }') KiB)."
  slow_wall=$(median "$work/slow_launcher" 1)
  slow_cpu=$(median "$work/slow_launcher" 2)
  echo "Slow link: launcher CPU is $(awk -v c="$slow_cpu" -v w="$slow_wall" 'BEGIN { printf "%.1f", 100 * c / w }') % of its wall time."
} | tee "$root/bench/results.md"
