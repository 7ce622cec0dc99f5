#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ into build-fuzz/ and runs each one for a bounded time
# (FUZZ_SECONDS, 30 by default), after replaying the inputs that once made it fail. Each run
# starts from a temporary copy of the seed corpus, so nothing is written into the tree. A
# crash, a sanitizer finding or a hang fails the run and names the file that holds the input.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
seconds=${FUZZ_SECONDS:-30}
jobs=$(nproc 2>/dev/null || echo 2)

cxx=${FUZZ_CXX:-$(command -v clang++ || command -v clang++-14 || true)}
if [ -z "$cxx" ]; then
  echo "fuzz: clang++ not found" >&2
  exit 1
fi

cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$build" -j"$jobs"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
crashes="$build/crashes"
mkdir -p "$crashes"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=()
summary=()
for source in "$root"/fuzz/*_fuzzer.cpp; do
  target=$(basename "$source" .cpp)
  binary="$build/$target"
  log="$work/$target.log"

  regressions=("$root/fuzz/regressions/$target"/*)
  if [ -e "${regressions[0]}" ]; then
    echo "== $target: replaying ${#regressions[@]} regression input(s)"
    if ! "$binary" "${regressions[@]}" >"$log" 2>&1; then
      tail -n 40 "$log"
      echo "fuzz: $target fails on a regression input from fuzz/regressions/$target/ (see above)" >&2
      failed+=("$target")
      continue
    fi
  fi

  corpus="$work/corpus/$target"
  mkdir -p "$corpus" "$crashes/$target"
  if [ -d "$root/fuzz/corpus/$target" ]; then
    cp -R "$root/fuzz/corpus/$target/." "$corpus/"
  fi
  options=(-max_total_time="$seconds" -timeout=10 -print_final_stats=1
           -artifact_prefix="$crashes/$target/")
  if [ -f "$root/fuzz/$target.dict" ]; then
    options+=(-dict="$root/fuzz/$target.dict")
  fi

  echo "== $target: fuzzing for $seconds s"
  if "$binary" "${options[@]}" "$corpus" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -n 1)
    summary+=("$target: ${runs:-?} executions in ${took:-?} s")
    echo "${summary[-1]}"
  else
    tail -n 60 "$log"
    input=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n 1)
    echo "fuzz: $target found a fault; the input is in ${input:-$crashes/$target/}" >&2
    echo "fuzz: replay it with: $binary ${input:-<input>}" >&2
    failed+=("$target")
  fi
done

echo "== fuzzing summary"
for line in "${summary[@]}"; do echo "$line"; done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]}" >&2
  exit 1
fi
