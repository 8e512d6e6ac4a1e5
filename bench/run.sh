#!/bin/bash
# Speed of mzk-recover on media built from real files, side by side with cat
# (the ceiling for reading), cp (the ceiling for reading and writing),
# PhotoRec and foremost (when installed).  One command:
#
#   bash bench/run.sh [WORK]
#
# WORK (default /var/tmp/mzk-bench) receives the images (about 8 GiB, made
# once by bench/make_images.py and kept) and the recovered files (up to
# 4 GiB at a time, removed after each run); BUILD (default: build) is the
# build folder, configured and built here.  Every image is read once before
# it is measured (warm), each figure is the best of RUNS runs (default 3;
# PhotoRec and foremost run once), and `sync` runs before every run so that
# the writing of one run is not charged to the next.
#
# Columns: wall-clock seconds, CPU seconds (user + system, the figure to
# trust on a busy machine), MB/s of medium (10^6 bytes) by wall clock, the
# speed as a fraction of cat's by wall clock and by CPU time, the bytes read
# from the medium per byte of medium (mzk-recover --stats), the peak memory
# (resident, /usr/bin/time) and the files found or recovered.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
work=${1:-/var/tmp/mzk-bench}
build=${BUILD:-build}
runs=${RUNS:-3}
# IMAGES="mixed-1g noise-1g" measures only these.
mkdir -p "$work"
work=$(cd "$work" && pwd)

for tool in /usr/bin/time python3 convert ffmpeg sox lame zip mkfs.vfat mcopy; do
  command -v "$tool" >/dev/null || { echo "bench/run.sh: $tool is missing (bash .ci/install-deps installs it)" >&2; exit 1; }
done

echo "building mzk-recover and the sample writer in $build ..."
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target mzk-recover mzk_data bench_samples >/dev/null
recover=$(cd "$build/app" && pwd)/mzk-recover

echo "making the images in $work (kept for later runs) ..."
python3 bench/make_images.py "$work" "$(cd "$build" && pwd)"

out=$work/out
calc() { awk "BEGIN { print $* }"; }
declare -A catWall catCpu hashing
# One run of a command: "wall cpu peak-kB" into $measured; stdout to $1.
measure() {
  local stdout=$1
  shift
  sync
  /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$@" >"$stdout" 2>"$work/stderr.txt" || true
  read -r wall user sys peak <"$work/time.txt"
  measured="$wall $(calc "$user + $sys") $peak"
}
# The best (by wall clock) of $runs runs; `prepare` runs before each one.
best() {
  local times=$1 prepare=$2 stdout=$3
  shift 3
  bestLine=""
  for _ in $(seq "$times"); do
    eval "$prepare"
    measure "$stdout" "$@"
    if [ -z "$bestLine" ] || (($(calc "${measured%% *} < ${bestLine%% *}"))); then
      bestLine=$measured
      cp "$work/stderr.txt" "$work/best-stderr.txt"
    fi
  done
}
# One row of the table.
row() {
  local image=$1 what=$2 wall=$3 cpu=$4 peak=$5 ratio=$6 files=$7 bytes=$8
  local mbs ofWall ofCpu
  mbs=$(calc "$bytes / 1000000 / $wall")
  ofWall=$(calc "100 * ${catWall[$image]} / $wall")
  ofCpu=$(calc "100 * ${catCpu[$image]} / $cpu")
  printf "| %-9s | %-34s | %7.2f | %6.2f | %6.0f | %5.0f%% | %5.0f%% | %6s | %6.1f | %6s |\n" \
    "$image" "$what" "$wall" "$cpu" "$mbs" "$ofWall" "$ofCpu" "$ratio" "$(calc "$peak / 1024")" "$files"
}
statsRatio() { sed -n 's/.*(\([0-9.]*\) times its size).*/\1/p' "$work/best-stderr.txt" | tail -1; }

echo
echo "machine: $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1), $(nproc) cores," \
  "$(free -g | awk '/^Mem/ {print $2}') GiB memory; load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "images and output folder on: $(df -T "$work" | awk 'NR==2 {print $2 " (" $1 ")"}'); best of $runs runs"
echo
echo "| image     | run                                |  wall s |  CPU s |   MB/s | of cat | of cat | read/  |   peak | files  |"
echo "|           |                                    |         |        | (wall) | (wall) |  (CPU) | medium |     MB |        |"
echo "|-----------|------------------------------------|---------|--------|--------|--------|--------|--------|--------|--------|"
for image in ${IMAGES:-mixed-1g fat32-1g zeros-1g noise-1g mixed-4g}; do
  img=$work/$image.img
  bytes=$(stat -c %s "$img")
  cat "$img" >/dev/null
  best "$runs" ":" /dev/null cat "$img"
  read -r w c p <<<"$bestLine"
  catWall[$image]=$w catCpu[$image]=$c
  row "$image" "cat (warm)" "$w" "$c" "$p" "-" "-" "$bytes"

  best "$runs" "rm -f '$out.img'" /dev/null cp "$img" "$out.img"
  read -r w c p <<<"$bestLine"
  row "$image" "cp (a copy of the image)" "$w" "$c" "$p" "-" "-" "$bytes"
  rm -f "$out.img"

  best "$runs" ":" "$work/list.txt" "$recover" --stats --list "$img"
  read -r w c p <<<"$bestLine"
  row "$image" "mzk-recover --list" "$w" "$c" "$p" "$(statsRatio)" "$(wc -l <"$work/list.txt")" "$bytes"

  best "$runs" "rm -rf '$out'" /dev/null "$recover" --stats -o "$out" "$img"
  read -r w c p <<<"$bestLine"
  plainWall=$w
  row "$image" "mzk-recover (recovery)" "$w" "$c" "$p" "$(statsRatio)" "$(find "$out" -type f | wc -l)" "$bytes"

  if [ "$image" != mixed-4g ]; then
    best "$runs" "rm -rf '$out' '$work/report.xml'" /dev/null "$recover" --stats -o "$out" --report "$work/report.xml" "$img"
    read -r w c p <<<"$bestLine"
    row "$image" "mzk-recover --report (MD5+SHA-256)" "$w" "$c" "$p" "$(statsRatio)" "$(find "$out" -type f | wc -l)" "$bytes"
    hashing[$image]=$(calc "100 * ($w - $plainWall) / $plainWall")
    rm -f "$work/report.xml"

    if command -v photorec >/dev/null; then
      rm -rf "$out" && mkdir -p "$out"
      measure /dev/null sh -c "cd '$out' && photorec /log /d '$out/recup' /cmd '$img' partition_none,options,mode_ext2,fileopt,everything,enable,search"
      read -r w c p <<<"$measured"
      row "$image" "PhotoRec 7.1 (all file types)" "$w" "$c" "$p" "-" "$(find "$out" -path "*recup*" -type f ! -name report.xml | wc -l)" "$bytes"
    fi
    if command -v foremost >/dev/null; then
      rm -rf "$out"
      measure /dev/null foremost -q -t all -i "$img" -o "$out"
      read -r w c p <<<"$measured"
      row "$image" "foremost -q (sector starts)" "$w" "$c" "$p" "-" "$(find "$out" -type f ! -name audit.txt | wc -l)" "$bytes"
    fi
  fi
  rm -rf "$out"
done
echo
for image in "${!hashing[@]}"; do
  printf "hashing (MD5 and SHA-256 for --report) adds %.0f%% to the recovery of %s\n" "${hashing[$image]}" "$image"
done
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
