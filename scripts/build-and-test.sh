#!/usr/bin/env bash
# Checks the folder layers and control names, builds in Release and runs
# every test, runs each fuzzer for a short while (ZJIG_FUZZ=0 skips it, and
# ZJIG_FUZZ_SECONDS sets the time per fuzzer), then runs the tests again under
# AddressSanitizer+UBSan and under ThreadSanitizer. ZJIG_SANITIZERS=0 skips
# the sanitizer passes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)

echo "== Layers and control names"
python3 scripts/check_layers_test.py
python3 scripts/check_layers.py

echo "== Release build and tests"
cmake --preset release >/dev/null
cmake --build --preset release -j"$jobs"
ctest --preset release -j"$jobs"

echo "== Install into a scratch prefix and build the Debian package"
scripts/check-install.sh build/release

if [ "${ZJIG_FUZZ:-1}" != "0" ]; then
    scripts/fuzz.sh "${ZJIG_FUZZ_SECONDS:-20}"
fi

if [ "${ZJIG_SANITIZERS:-1}" != "0" ]; then
    # The desktop windows stay out of the sanitizer passes: Qt's own
    # libraries are not built with the sanitizers and only add noise.
    for preset in asan tsan; do
        echo "== $preset build and tests"
        cmake --preset "$preset" -DZJIG_BUILD_GUI=OFF >/dev/null
        cmake --build --preset "$preset" -j"$jobs"
        ctest --preset "$preset" -j"$jobs"
    done
fi
