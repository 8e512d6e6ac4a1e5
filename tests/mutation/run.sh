#!/bin/bash
# The mutation check: how the project checks its suite.
#
# Each line of mutations.txt plants one deliberate bug in a scratch copy of
# the tree.  The test programs that link the changed layer are rebuilt and
# run, the layer's own program first, and the first failing test is named;
# a bug that no test notices is reported NOT CAUGHT.  The working tree is
# never changed.
#
#   tests/mutation/run.sh              every mutation
#   tests/mutation/run.sh fat12 loop   those whose names contain a word given
#   tests/mutation/run.sh -l           list the mutations
#
# MZK_MUTATION_DIR (default /tmp/mzk-mutation-<uid>) holds the copy, its
# build (without the GUI) and results.txt; MZK_MUTATION_JOBS (2) is the
# build's parallelism; MZK_MUTATION_TIMEOUT (600) the seconds a test
# program may run: a program that hangs counts as having caught the bug.
# MZK_MUTATION_FILTER, a GoogleTest filter, limits the tests that may catch
# (MZK_MUTATION_FILTER='-*Log.*': caught by behaviour, not by a log line).
# Exit status: 0 when every applied mutation was caught, 1 otherwise, 2 when
# the unchanged suite fails or does not build.
set -u

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
list=$here/mutations.txt
work=${MZK_MUTATION_DIR:-/tmp/mzk-mutation-$(id -u)}
jobs=${MZK_MUTATION_JOBS:-2}
limit=${MZK_MUTATION_TIMEOUT:-600}
filter=${MZK_MUTATION_FILTER:-*}
src=$work/src
build=$work/build
results=$work/results.txt

mutations() { grep -v '^#' "$list" | grep -v '^[[:space:]]*$'; }

if [ "${1:-}" = "-l" ]; then
  mutations | cut -f1,2 | column -t -s "$(printf '\t')"
  exit 0
fi

wanted() {
  [ $# -le 1 ] && return 0
  local name=$1 word
  shift
  for word in "$@"; do
    case $name in *"$word"*) return 0 ;; esac
  done
  return 1
}

# The test programs that can see a fault in a file, its own layer first.
programs_for() {
  case $1 in
    shell/*) echo "shell media engine fat recover cli" ;;
    media/*) echo "media engine fat recover cli" ;;
    engine/*) echo "engine fat recover cli" ;;
    fat/*) echo "fat engine recover cli" ;;
    recover/*) echo "recover cli" ;;
    cli/*) echo "cli" ;;
    *) echo "shell media engine fat recover cli" ;;
  esac
}

targets_for() {
  local p out=
  for p in $1; do out="$out test_$p"; done
  echo "$out"
}

build_targets() {
  # shellcheck disable=SC2086
  cmake --build "$build" -j"$jobs" --target $1 </dev/null >"$work/build.log" 2>&1
}

# Runs the programs in order until one fails; prints "<program>: <test>" for
# the first failure, nothing when all pass.
first_failure() {
  local p log status failed
  for p in $1; do
    log=$work/test_$p.log
    (cd "$build" && timeout "$limit" "tests/test_$p" --gtest_fail_fast --gtest_brief=1 --gtest_filter="$filter" </dev/null >"$log" 2>&1)
    status=$?
    [ $status -eq 0 ] && continue
    if [ $status -eq 124 ]; then
      echo "test_$p: hung (timeout ${limit}s)"
    else
      failed=$(grep -m1 '^\[  FAILED  \]' "$log" | sed 's/^\[  FAILED  \] //; s/ (.*//')
      echo "test_$p: ${failed:-exit status $status}"
    fi
    return
  done
}

mkdir -p "$work"
# A run that was interrupted may have left a planted bug compiled in.
[ -e "$work/planted" ] && rm -rf "$build"
echo "copying the tree to $src"
rm -rf "$src" && mkdir -p "$src" &&
  tar -C "$root" --exclude='./build*' --exclude='./.git' -cf - . | tar -C "$src" -xf - || exit 2
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$src" -B "$build" -DMZK_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$work/configure.log" 2>&1 ||
    { echo "configure failed: $work/configure.log"; exit 2; }
fi

all="shell media engine fat recover cli"
echo "building and running the unchanged suite"
build_targets "$(targets_for "$all")" || { echo "the unchanged tree does not build: $work/build.log"; exit 2; }
baseline=$(first_failure "$all")
if [ -n "$baseline" ]; then
  echo "the unchanged suite fails ($baseline): every mutation would look caught"
  exit 2
fi

: >"$results"
caught=0 missed=0 skipped=0
while IFS=$'\t' read -r -u 3 name file script; do
  wanted "$name" "$@" || continue
  target=$src/$file
  saved=$work/original
  cp "$target" "$saved"
  touch "$work/planted"
  if ! sed -e "$script" "$saved" >"$target" || cmp -s "$saved" "$target"; then
    cp "$saved" "$target"
    line="not applied  $name ($file)"
    skipped=$((skipped + 1))
  else
    progs=$(programs_for "$file")
    if ! build_targets "$(targets_for "$progs")"; then
      cp "$work/build.log" "$work/build-$name.log"
      line="BUILD FAILED $name ($file): $work/build-$name.log"
      skipped=$((skipped + 1))
    else
      failure=$(first_failure "$progs")
      if [ -n "$failure" ]; then
        line="caught       $name by $failure"
        caught=$((caught + 1))
      else
        line="NOT CAUGHT   $name ($file)"
        missed=$((missed + 1))
      fi
    fi
    # A fresh copy (new time stamp), so that the next build compiles it again.
    cp "$saved" "$target"
  fi
  echo "$line" | tee -a "$results"
done 3< <(mutations)

echo "caught $caught, not caught $missed, not run $skipped (results in $results)"
# Leave the copy's build matching the tree.
build_targets "$(targets_for "$all")" >/dev/null 2>&1 && rm -f "$work/planted"
[ $missed -eq 0 ] && [ $skipped -eq 0 ]
