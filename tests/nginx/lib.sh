# shellcheck shell=bash
# Helpers shared by the publish and nginx tests: checks that count failures, and a scratch
# folder that the web server's workers may read.
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
publish=$repo/server/publish
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# expect_eq WHAT EXPECTED ACTUAL
expect_eq() {
    [ "$2" == "$3" ] && return 0
    fail "$1"
    diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") | sed 's/^/    /' >&2
    return 1
}

# expect_contains WHAT TEXT FRAGMENT
expect_contains() {
    [[ $2 == *"$3"* ]] && return 0
    fail "$1: no '$3' in:"
    printf '%s\n' "$2" | sed 's/^/    /' >&2
    return 1
}

finish() {
    if [ $failures -gt 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
}

# Every file under a folder with its size, modification time and mode; folders by name.
snapshot() {
    (cd "$1" && find . \( -type d -printf '%p/ %m\n' \) -o -printf '%p %s %T@ %m\n' | sort)
}

work=$(mktemp -d)
chmod 755 "$work"
cleanup_steps=()
trap 'for step in "${cleanup_steps[@]}"; do eval "$step"; done; rm -rf "$work"' EXIT
