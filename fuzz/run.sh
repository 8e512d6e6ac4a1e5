#!/bin/bash
# Runs every fuzz target for a given time each, one after the other, from
# its seed corpus (fuzz/corpus/<name>/ when there is one) and a working
# corpus in the build folder that grows from run to run.
#   fuzz/run.sh [seconds per target, default 60] [target name pattern]
# Builds the targets with clang first (build-fuzz/).  Exits non-zero when a
# target finds a crash; the reproducer is left in build-fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
pattern=${2:-}
cmake -S . -B build-fuzz -DMZK_FUZZ=ON -DMZK_GUI=OFF -DMZK_TESTS=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null
mkdir -p build-fuzz/corpus build-fuzz/crashes
status=0
for target in build-fuzz/fuzz/fuzz_*; do
  name=$(basename "$target")
  [[ -n "$pattern" && "$name" != *$pattern* ]] && continue
  work=build-fuzz/corpus/$name
  mkdir -p "$work"
  seeds=()
  [ -d "fuzz/corpus/${name#fuzz_}" ] && seeds+=("fuzz/corpus/${name#fuzz_}")
  log=build-fuzz/$name.log
  if "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -artifact_prefix=build-fuzz/crashes/"$name"- \
       "$work" "${seeds[@]}" >"$log" 2>&1; then
    echo "$name: $(grep -E '^Done' "$log" | tail -1)"
  else
    echo "$name: FAILED, see $log"
    status=1
  fi
done
exit $status
