#!/bin/bash
# Installs what is needed, builds mzk and runs every test: the suite as
# built for users, then the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer (clang), with LeakSanitizer on.
set -euo pipefail
cd "$(dirname "$0")/.."
bash .ci/install-deps
jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")
cmake -S . -B build-asan -DMZK_SANITIZE=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build build-asan -j"$jobs"
(cd build-asan && ctest --output-on-failure -j"$jobs")
