#!/usr/bin/env bash
# Builds the program (Release) and starts the desktop window with the given
# arguments, e.g. `--port sim` when no JIG is attached. With no display it
# runs under Xvfb so the program still starts.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting under Xvfb."
    exec xvfb-run -a build/release/zentravox-jig "$@"
fi
exec build/release/zentravox-jig "$@"
