#!/usr/bin/env bash
# The publish tool: what it writes, the entity-tag-preserving times, and what it refuses.
source "$(dirname "$0")/lib.sh"

games=$work/games www=$work/www out=$work/www/launcher
mkdir -p "$games/sub" "$games/level"
printf '#!/bin/sh\necho A\n' >"$games/a.sh"
printf 'data of a\n' >"$games/a.dat"
printf 'data of b\n' >"$games/sub/b c.dat"
printf 'not listed\n' >"$games/unlisted.txt"
printf 'x' >"$games/A.dat"
printf 'x' >"$games/Level"
printf 'x' >"$games/level/one.dat"
: >"$games/empty.dat"
truncate -s 3G "$games/huge.dat"
chmod 600 "$games/a.dat"

# Comments, blank lines and CR LF line ends are all accepted.
printf '# two games\n\nGame A|a.sh|a.dat\r\n   \nGame B 100%%|a.sh|sub/b c.dat' >"$work/list"

run_publish() { # LIST -> sets rc and err
    err=$("$publish" "$games" "$1" "$out" 2>&1 >/dev/null)
    rc=$?
}

# --- What a publish writes ---
run_publish "$work/list"
expect_eq "first publish succeeds: $err" 0 "$rc"
expect_eq "directory answer" $'#Game A#\n#a.sh#\n#a.dat#\n#Game B 100%#\n#a.sh#\n#sub/b c.dat#' \
    "$(cat "$out/directory.php")"
expect_eq "version answer" "$(printf '#0#\nx')" "$(cat "$out/versioncheck.php"; echo x)"
for f in a.sh a.dat "sub/b c.dat"; do
    cmp -s "$games/$f" "$out/$f" || fail "$f is published byte for byte"
done
[ -e "$out/unlisted.txt" ] && fail "files that no game lists stay unpublished"
expect_eq "the web server may read every file and folder" "644 644 644 644 644 755 755" \
    "$(find "$www/launcher" \( -type f -o -type d \) -printf '%m\n' | sort | xargs)"

# --- Republishing unchanged content keeps every time, so every entity tag stays ---
before=$(snapshot "$www")
run_publish "$work/list"
expect_eq "unchanged republish succeeds: $err" 0 "$rc"
expect_eq "unchanged republish keeps every time" "$before" "$(snapshot "$www")"

# --- Changed content of the same size moves to a later second ---
# A published time ahead of the clock stands for a publish made earlier in this same second.
ahead=$(($(date +%s) + 100))
touch -d "@$ahead" "$out/a.dat"
printf 'DATA OF A\n' >"$games/a.dat"
before_sh=$(stat -c %Y "$out/a.sh")
run_publish "$work/list"
expect_eq "changed republish succeeds: $err" 0 "$rc"
expect_eq "changed file within the same second" "$((ahead + 1)) 10" "$(stat -c '%Y %s' "$out/a.dat")"
expect_eq "unchanged neighbour keeps its time" "$before_sh" "$(stat -c %Y "$out/a.sh")"
touch -d "@$((ahead - 1000))" "$out/a.dat"
printf 'data of A\n' >"$games/a.dat"
start=$(date +%s)
run_publish "$work/list"
(($(stat -c %Y "$out/a.dat") >= start)) || fail "a change after an old publish takes the current time"

# --- A game taken off the list takes its files with it ---
printf 'Game A|a.sh|a.dat\n' >"$work/short"
run_publish "$work/short"
[ -e "$out/sub/b c.dat" ] && fail "a file no longer listed is withdrawn"
run_publish "$work/list"

# --- Refusals: each writes nothing and says why ---
long=$(printf 'n%.0s' {1..256})
refusals=(
    "'#' in a name"          'A#1|a.sh|a.dat'                   "display name 'A#1' contains '#'"
    "'#' in a file name"     'A|a#.sh|a.dat'                    "executable 'a#.sh' contains '#'"
    "empty name"             '|a.sh|a.dat'                      "display name is empty"
    "empty data file"        'A|a.sh|'                          "data file is empty"
    "256-character name"     "$long|a.sh|a.dat"                 "256 characters long, over 255"
    "256-character file"     "A|a.sh|$long"                     "256 characters long, over 255"
    "two fields"             'A|a.sh'                           "found 1 '|'"
    "four fields"            'A|a.sh|a.dat|x'                   "found 3 '|'"
    "absolute path"          'A|/etc/passwd|a.dat'              "is an absolute path"
    "drive"                  'A|C:a.sh|a.dat'                   "contains ':'"
    "backslash"              'A|sub\b c.dat|a.dat'              "contains a backslash"
    "leading '..'"           'A|../games/a.sh|a.dat'            "has a '..' component"
    "inner '..'"             'A|sub/../a.sh|a.dat'              "has a '..' component"
    "empty component"        'A|sub//b c.dat|a.dat'             "empty folder or file name"
    "device name"            'A|con|a.dat'                      "reserved device name 'con'"
    "device name, extension" 'A|a.sh|sub/LPT9.dat'              "reserved device name 'LPT9.dat'"
    "device name, folder"    'A|COM1/a.sh|a.dat'                "reserved device name 'COM1'"
    "trailing dot"           'A|a.sh.|a.dat'                    "ending in '.' or ' '"
    "trailing blank"         'A|a.sh |a.dat'                    "ending in '.' or ' '"
    "folder trailing dot"    'A|sub./b c.dat|a.dat'             "ending in '.' or ' '"
    "percent"                'A|100%.sh|a.dat'                  "contains one of"
    "question mark"          'A|a.sh?x|a.dat'                   "contains one of"
    "control character"      $'A\tB|a.sh|a.dat'                 "contains a control character"
    "missing file"           'A|missing.sh|a.dat'               "'missing.sh' does not exist"
    "folder as file"         'A|sub|a.dat'                      "'sub' is a folder"
    "empty file"             'A|a.sh|empty.dat'                 "refuses files of 0 bytes"
    "file over 2 GiB"        'A|a.sh|huge.dat'                  "over the launcher's 2147483647"
    "letter case twins"      'A|A.dat|a.dat'                    "differ only in letter case"
    "file and folder"        'A|Level|level/one.dat'            "needs 'Level' to be a folder"
    "token answer name"      'A|directory.php|a.dat'            "would replace a token answer"
    "side file name"         'A|a.sh|a.dat.entity'              "ends in '.entity'"
    "one bad line of two"    $'A|a.sh|a.dat\nB|b#.sh|a.dat'     "'b#.sh' contains '#'"
)
before=$(snapshot "$www")
for ((i = 0; i < ${#refusals[@]}; i += 3)); do
    case=${refusals[i]}
    printf '%s\n' "${refusals[i + 1]}" >"$work/bad"
    run_publish "$work/bad"
    expect_eq "$case: exit status" 1 "$rc"
    expect_contains "$case" "$err" "${refusals[i + 2]}"
    expect_contains "$case" "$err" "refused; nothing was written"
done
expect_eq "refusals leave the published folder alone" "$before" "$(snapshot "$www")"

# Names close to the refused ones that Windows and the URL both take as they are.
accepted=(
    "$(printf 'n%.0s' {1..255})|a.sh|a.dat"
    'Game: 100% "fun" & more|a.sh|a.dat'
)
mkdir -p "$games/ok"
for name in CONSOLE.dat COM10.dat nul-free.dat "x .dat" ".hidden" "sub.d/x.dat"; do
    mkdir -p "$(dirname "$games/ok/$name")"
    printf 'x' >"$games/ok/$name"
    accepted+=("A|a.sh|ok/$name")
done
for line in "${accepted[@]}"; do
    printf '%s\n' "$line" >"$work/fine"
    run_publish "$work/fine"
    expect_eq "accepted: $line: $err" 0 "$rc"
done
run_publish "$work/list"

# --- A run that fails half-way leaves the published folder whole ---
printf 'changed!!\n' >"$games/a.dat"
printf 'boom\n' >"$games/boom.dat"
printf 'Game A|a.sh|a.dat\nBoom|a.sh|boom.dat\n' >"$work/boom"
mkdir "$work/shim"
cat >"$work/shim/cp" <<'SHIM'
#!/bin/sh
case "$*" in *boom.dat*) echo "cp: no space left on device" >&2; exit 1 ;; esac
exec /bin/cp "$@"
SHIM
chmod +x "$work/shim/cp"
before=$(snapshot "$www")
err=$(PATH=$work/shim:$PATH "$publish" "$games" "$work/boom" "$out" 2>&1)
rc=$?
expect_eq "failed copy: exit status" 1 "$rc"
expect_contains "failed copy" "$err" "the published folder is unchanged"
expect_eq "failed copy leaves the folder and no debris" "$before" "$(snapshot "$www")"

finish
