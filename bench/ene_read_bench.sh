#!/usr/bin/env bash
# ENE KB90XX read over the simulated JIG at real link speed: wall and CPU time
# of `zjig ene read`, next to the time the exchanged bytes need on a
# 921600-baud link whose bridge holds short answers for its 2 ms latency timer.
#
#   bench/ene_read_bench.sh [path/to/zjig]
#
# The read should take about the theoretical time and only a small fraction
# of it in CPU: the waits block in the link, they do not spin.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/bench_lib.sh"
bench_find_zjig "${1:-}"

bench_enter_work

# --- the exchange of a third-generation read with the routing left clear ---
# The identity is taken as soon as its line end has come: its bytes, held by
# the bridge's default latency timer (the 2 ms timer is set only once the JIG
# is accepted). It used to cost one full 300 ms read time-out.
identify_ms=16
blocks=512
block_bytes=256
identity_bytes=17    # "M328_EPM240_v16" CR LF

# PC -> JIG: B; S R; K V; I; K R; 511 x (? N); ? X I
to_jig=$((1 + 2 + 2 + 1 + 2 + (blocks - 1) * 2 + 3))
# JIG -> PC: identity; S R answer; version; I answer; the blocks; a G per block; closing I answer
to_pc=$((identity_bytes + 1 + 1 + 1 + blocks * block_bytes + blocks + 1))
# Answers the PC waits for, each held by the latency timer: S R, K V, I,
# every block and every '?', the closing I.
round_trips=$((3 + 2 * blocks + 1))

bench_model "$to_jig" "$to_pc" "$round_trips" "$identify_ms"

echo "zjig: $zjig"
echo "bytes PC->JIG: $to_jig, JIG->PC: $to_pc; answers awaited: $round_trips"

bench_time memo.txt "" "$zjig" --port sim:jig3,speed=real ene read dump.bin

size=$(stat -c %s dump.bin)
echo "file: $size bytes; last memo line: $(tail -n 2 memo.txt | head -n 1)"
bench_report "$wire s on the wire, $latency_ms ms latency x $round_trips, $identify_ms ms identify"
