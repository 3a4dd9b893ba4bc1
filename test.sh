#!/usr/bin/env bash
# Builds every test (sanitized debug build) and runs them; thread tests also run under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/bootstrap.sh
jobs=$(nproc)
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$jobs"
ctest --preset dev -j "$jobs"
cmake --preset tsan -DQEL_BUILD_BENCH=OFF >/dev/null
threads=$(cd build/tsan && ctest -N -L threads | sed -n 's/^ *Test *#[0-9]*: *//p')
if [ -n "$threads" ]; then
  cmake --build --preset tsan -j "$jobs" --target $threads
  ctest --preset tsan -j "$jobs"
fi
