#!/usr/bin/env bash
# Keyboard scan over the simulated JIG at real link speed: wall and CPU time
# of a `zjig keyboard scan` left idle for a while (one key pressed twice),
# next to a model of the exchange: per scan one 'U' to the JIG, the JIG's
# scan time, its one-byte answer '&', held by the bridge's 2 ms latency timer.
#
#   bench/keyboard_scan_bench.sh [path/to/zjig] [seconds]
#
# An idle scan should cost a small fraction of its wall time in CPU: the
# worker blocks in the link between answers, it does not spin.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
zjig="${1:-${ZJIG:-$here/../build/release/zjig}}"
seconds="${2:-10}"
if [[ ! -x "$zjig" ]]; then
    echo "zjig not found at $zjig (build first, or pass its path)" >&2
    exit 2
fi
zjig="$(cd "$(dirname "$zjig")" && pwd)/$(basename "$zjig")"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

baud=921600
bits_per_byte=10   # start bit, 8 data bits, stop bit
latency_ms=2
scan_ms=2          # the simulated JIG's time to walk its 32 pins (kbd-scan-ms)
identify_ms=300    # the identity read waits out its read time-out (inside the seconds)

# One scan: 'U' out, the scan, '&' back, held until the latency timer runs past it.
per_scan=$(echo "scale=6; 2 * $bits_per_byte / $baud + ($scan_ms + $latency_ms) / 1000" | bc)
# The seconds run from the START press, connect included; STOP waits for
# the answer of the scan under way.
scans=$(echo "scale=0; ($seconds - $identify_ms / 1000) / $per_scan" | bc)
theory=$(echo "scale=3; $seconds + $per_scan" | bc)

port="sim:jig3,speed=real,kbd=_500/3-7/_500/3-7"
echo "zjig: $zjig"
echo "port: $port; scan for $seconds s"
if [[ -x /usr/bin/time ]]; then
    /usr/bin/time -f "%e %U %S" -o times.txt \
        "$zjig" --port "$port" keyboard scan --seconds "$seconds" >out.txt 2>err.txt
    read -r wall user sys <times.txt
else
    TIMEFORMAT="%R %U %S"
    { time "$zjig" --port "$port" keyboard scan --seconds "$seconds" >out.txt 2>err.txt; } 2>times.txt
    read -r wall user sys <times.txt
fi

cpu=$(echo "scale=2; $user + $sys" | bc)
echo "output: $(tr '\n' ' ' <out.txt)($(cat err.txt))"
printf 'wall time:        %8.2f s\n' "$wall"
printf 'CPU time:         %8.2f s (user %s s, system %s s)\n' "$cpu" "$user" "$sys"
printf 'theoretical time: %8.2f s (%s s from START, %s ms identify, then about %s scans of %s ms)\n' \
    "$theory" "$seconds" "$identify_ms" "$scans" "$(echo "scale=3; $per_scan * 1000" | bc)"
