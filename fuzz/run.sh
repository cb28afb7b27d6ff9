#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UBSan) in
# build/fuzz, then runs each for the given number of seconds from its seed
# corpus in fuzz/corpus/<target> (new inputs it finds go to
# build/fuzz/corpus/<target>; the committed seeds are not changed).
#
# Usage: fuzz/run.sh <seconds per target>
# Exits 0 when every target ran its time without a crash, a sanitizer
# report or a broken check; 1 otherwise (the input that did it is kept in
# build/fuzz/artifacts); 2 when the build fails; 64 on a usage error.
set -uo pipefail

usage="usage: fuzz/run.sh <seconds per target>"
if [[ $# -ne 1 || ! "$1" =~ ^[1-9][0-9]*$ ]]; then
  echo "$usage" >&2
  exit 64
fi
seconds=$1
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz
targets=(catalogue line_reader profile)

if ! cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DR7700_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null ||
  ! cmake --build "$build" -j 2 --target "${targets[@]/#/fuzz_}"; then
  echo "fuzz: the build failed" >&2
  exit 2
fi

failed=()
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  log=$build/logs/$target.log
  mkdir -p "$corpus" "$build/artifacts" "$build/logs"
  echo "== fuzz_$target: $seconds s (log: $log)"
  if "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
      "$corpus" "$root/fuzz/corpus/$target" >"$log" 2>&1; then
    grep -E '^(Done|stat::(average_exec_per_sec|new_units_added))' "$log"
  else
    tail -n 40 "$log"
    failed+=("$target")
  fi
done

if ((${#failed[@]} > 0)); then
  echo "fuzz: FAILED: ${failed[*]} (inputs in $build/artifacts)" >&2
  exit 1
fi
echo "fuzz: ${#targets[@]} targets ran $seconds s each without a finding"
