#!/usr/bin/env bash
# EDID EEPROM read over the simulated JIG at real link speed: wall and CPU
# time of `zjig edid read` (median of 10 runs), next to the time the
# exchanged bytes need on a 921600-baud link whose bridge holds each awaited
# answer for its 2 ms latency timer, plus the identify.
#
#   bench/edid_read_bench.sh [path/to/zjig] [runs]
#
# The read is short: most of it is the identify and the latency timers, and
# the CPU time should stay a small fraction of the wall time (the waits block).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/bench_lib.sh"
bench_find_zjig "${1:-}"
runs="${2:-10}"

bench_enter_work

# --- the exchange of a third-generation read ---
# The identity is taken as soon as its line end has come: its bytes, held by
# the bridge's default 16 ms latency timer (the 2 ms one is set only once the
# JIG is accepted).
identify_ms=16
identity_bytes=17    # "M328_EPM240_v16" CR LF

# PC -> JIG: B; E r; I.  JIG -> PC: identity; 256 data + "OK"; the answer to I.
to_jig=$((1 + 2 + 1))
to_pc=$((identity_bytes + 258 + 1))
# Answers the PC waits for, each held by the latency timer: the 258 bytes, the I answer.
round_trips=2

bench_model "$to_jig" "$to_pc" "$round_trips" "$identify_ms" 4

echo "zjig: $zjig"
echo "bytes PC->JIG: $to_jig, JIG->PC: $to_pc; answers awaited: $round_trips; runs: $runs"

: >runs.txt
for ((i = 0; i < runs; i++)); do
    rm -f panel.bin
    bench_time memo.txt "" "$zjig" --port sim:jig3,speed=real edid read panel.bin
    echo "$wall $user $sys" >>runs.txt
    [[ $(stat -c %s panel.bin) -eq 256 ]] || { echo "run $i: no 256-byte dump" >&2; exit 1; }
done

median() { sort -n | awk '{ v[NR] = $1 } END { m = int((NR + 1) / 2); print (NR % 2) ? v[m] : (v[m] + v[m + 1]) / 2 }'; }
wall=$(awk '{ print $1 }' runs.txt | median)
cpu=$(awk '{ print $2 + $3 }' runs.txt | median)

echo "last memo line: $(tail -n 1 memo.txt)"
printf 'wall time (median):  %8.3f s\n' "$wall"
printf 'CPU time (median):   %8.3f s (user + system)\n' "$cpu"
printf 'theoretical time:    %8.3f s (%s s on the wire, %s ms latency x %s, %s ms identify)\n' \
    "$theory" "$wire" "$latency_ms" "$round_trips" "$identify_ms"
