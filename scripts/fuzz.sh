#!/usr/bin/env bash
# Builds the fuzz preset and runs every fuzzer of tests/fuzz for SECONDS
# (default 20) each, one after the other, on a scratch copy of its seed corpus
# tests/fuzz/corpus/<name>/ (the committed seeds stay as they are) and with
# tests/fuzz/<name>.dict when there is one. Fails when a fuzzer finds a crash,
# a leak, undefined behaviour or a broken check; the input that did it is kept
# under build/fuzz/crashes/<name>/ and its path printed.
#
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "error: SECONDS must be a whole number above 0, not '$seconds'" >&2
    exit 2
fi

# libFuzzer's runtime comes in its own package; say so rather than fail at link time.
if ! command -v clang++ >/dev/null ||
    [ ! -f "$(clang++ -print-runtime-dir)/libclang_rt.fuzzer-x86_64.a" ]; then
    echo "error: clang++ or its libclang_rt.fuzzer-x86_64.a is missing (scripts/install-deps.sh installs clang and libclang-rt-14-dev)" >&2
    exit 2
fi

jobs="${ZJIG_JOBS:-$(nproc)}"
start=$SECONDS
echo "== fuzz build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs"
echo "fuzz build: $((SECONDS - start)) s"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
crashes="build/fuzz/crashes"
failed=()
summary=()
shopt -s nullglob
for source in tests/fuzz/*_fuzz.cpp; do
    fuzzer="$(basename "$source" .cpp)"
    name="${fuzzer%_fuzz}"
    seeds="tests/fuzz/corpus/$name"
    if [ ! -d "$seeds" ] || [ -z "$(ls -A "$seeds")" ]; then
        echo "error: $fuzzer has no seed corpus: add a few small inputs to $seeds/" >&2
        failed+=("$fuzzer")
        continue
    fi
    corpus="$scratch/$name"
    mkdir -p "$corpus" "$crashes/$name"
    cp -R "$seeds/." "$corpus/"
    options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
             -artifact_prefix="$crashes/$name/")
    [ -f "tests/fuzz/$name.dict" ] && options+=(-dict="tests/fuzz/$name.dict")
    log="$scratch/$name.log"
    echo "== $fuzzer for $seconds s"
    status=0
    "build/fuzz/fuzz/$fuzzer" "${options[@]}" "$corpus" >"$log" 2>&1 || status=$?
    rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)"
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    if [ "$status" -ne 0 ]; then
        # What the sanitizer or the check said, and the input that made it say so.
        grep -E "FUZZ_CHECK|ERROR|SUMMARY|runtime error|^==[0-9]+==" "$log" | head -20 >&2 || true
        artifact="$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)"
        echo "error: $fuzzer failed (exit $status); input kept: ${artifact:-none written, see the log above}" >&2
        failed+=("$fuzzer")
        summary+=("$fuzzer: FAILED after ${runs:-?} runs, ${rate:-?} exec/s, input ${artifact:-none}")
    else
        summary+=("$fuzzer: ok, ${runs:-?} runs, ${rate:-?} exec/s")
    fi
done

echo "== fuzz summary"
printf '%s\n' "${summary[@]}"
echo "fuzz: $((SECONDS - start)) s in all"
if [ ${#failed[@]} -ne 0 ]; then
    echo "error: fuzzers failed: ${failed[*]}" >&2
    exit 1
fi
