#!/usr/bin/env bash
# Nuvoton SPI read over the simulated JIG at real link speed: wall and CPU time
# of `zjig npce read`, next to the time the exchanged bytes need on a
# 921600-baud link whose bridge holds short answers for its 2 ms latency timer.
#
#   bench/npce_read_bench.sh [path/to/zjig]
#
# The read should take about the theoretical time and only a small fraction
# of it in CPU: the waits block in the link, they do not spin.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/bench_lib.sh"
bench_find_zjig "${1:-}"

bench_enter_work

# --- the exchange of a third-generation read ---
# The identity is taken as soon as its line end has come: its bytes, held by
# the bridge's default 16 ms latency timer (the 2 ms one is set only once the
# JIG is accepted).
identify_ms=16
blocks=256
block_bytes=512
identity_bytes=17    # "M328_EPM240_v16" CR LF

# PC -> JIG: B; N Z; I; N r; 255 x r; -; I
to_jig=$((1 + 2 + 1 + 2 + (blocks - 1) + 1 + 1))
# JIG -> PC: identity; flash ID (4); I answer; the blocks; '-' answer (2); closing I answer
to_pc=$((identity_bytes + 4 + 1 + blocks * block_bytes + 2 + 1))
# Answers the PC waits for, each held by the latency timer: the flash ID, its
# I, every block, the '-' answer and the closing I.
round_trips=$((1 + 1 + blocks + 1 + 1))

bench_model "$to_jig" "$to_pc" "$round_trips" "$identify_ms"

echo "zjig: $zjig"
echo "bytes PC->JIG: $to_jig, JIG->PC: $to_pc; answers awaited: $round_trips"

bench_time memo.txt "" "$zjig" --port sim:jig3,speed=real npce read dump.bin

size=$(stat -c %s dump.bin)
echo "file: $size bytes; last memo line: $(tail -n 2 memo.txt | head -n 1)"
bench_report "$wire s on the wire, $latency_ms ms latency x $round_trips, $identify_ms ms identify"
