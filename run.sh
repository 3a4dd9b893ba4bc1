#!/usr/bin/env bash
# Builds the demonstration program and runs it: in an SDL window when a display exists,
# else as a headless tour that writes a PNG snapshot of every page into tour/.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/bootstrap.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target qeldemo
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/release/shell/qeldemo --backend sdl "$@"
else
  rm -rf tour && mkdir -p tour
  build/release/shell/qeldemo --backend headless --tour tour "$@"
  echo "No display: the headless tour wrote its snapshots to $(pwd)/tour/"
fi
