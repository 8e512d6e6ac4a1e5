#!/bin/bash
# Installs what is needed, builds mzk and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash .ci/install-deps
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
cd build && ctest --output-on-failure -j"$(nproc)"
