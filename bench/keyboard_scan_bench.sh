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
source "$here/bench_lib.sh"
bench_find_zjig "${1:-}"
seconds="${2:-10}"

bench_enter_work

scan_ms=2          # the simulated JIG's time to walk its 32 pins (kbd-scan-ms)
# The keyboard window sets the 2 ms latency timer before it asks for the
# identity, which is taken as soon as its line end has come (inside the seconds).
identify_ms=2

# One scan: 'U' out, the scan, '&' back, held until the latency timer runs past it.
per_scan=$(echo "scale=6; 2 * $bits_per_byte / $baud + ($scan_ms + $latency_ms) / 1000" | bc)
# The seconds run from the START press, connect included; STOP waits for
# the answer of the scan under way.
scans=$(echo "scale=0; ($seconds - $identify_ms / 1000) / $per_scan" | bc)
theory=$(echo "scale=3; $seconds + $per_scan" | bc)

port="sim:jig3,speed=real,kbd=_500/3-7/_500/3-7"
echo "zjig: $zjig"
echo "port: $port; scan for $seconds s"
bench_time out.txt err.txt "$zjig" --port "$port" keyboard scan --seconds "$seconds"

echo "output: $(tr '\n' ' ' <out.txt)($(cat err.txt))"
bench_report "$seconds s from START, $identify_ms ms identify, then about $scans scans of $(echo "scale=3; $per_scan * 1000" | bc) ms"
