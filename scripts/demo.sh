#!/usr/bin/env bash
# Installs what is missing, builds the launcher and the demo game, and runs it.
# Without a display it runs headless for a few seconds (dummy video driver).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DORVAN_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: running the demo headless for 120 frames."
  SDL_VIDEODRIVER=dummy build/OrvanDemo.app/Contents/MacOS/OrvanDemo -frames 120 "$@"
  log="$HOME/Library/Application Support/Brambleford/Orvan Demo/OrvanDemo.txt"
  echo "Launcher log ($log):"
  cat "$log"
else
  build/OrvanDemo.app/Contents/MacOS/OrvanDemo "$@"
fi
