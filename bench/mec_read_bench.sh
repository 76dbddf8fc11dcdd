#!/usr/bin/env bash
# MEC16xx main-flash read over the simulated JIG at real link speed: wall and
# CPU time of `zjig mec read`, next to the time the exchanged bytes need on a
# 921600-baud link whose bridge holds short answers for its 2 ms latency timer.
#
#   bench/mec_read_bench.sh [path/to/zjig]
#
# The read should take about the theoretical time and only a small fraction
# of it in CPU: the waits block in the link, they do not spin.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/bench_lib.sh"
bench_find_zjig "${1:-}"

bench_enter_work

# --- the exchange of a third-generation read of the main area ---
# The identity is taken as soon as its line end has come: its bytes, held by
# the bridge's default 16 ms latency timer (the 2 ms one is set only once the
# JIG is accepted).
identify_ms=16
blocks=192
block_bytes=1025     # 1024 data bytes and the status byte
identity_bytes=17    # "M328_EPM240_v16" CR LF
reg_write=16         # M w, six address and eight value characters

# PC -> JIG: B; S R, J X, J 1, M j; two register writes; M R 000000;
# 191 x N; X; three register writes; I; J 1, J S
to_jig=$((1 + 4 * 2 + 2 * reg_write + 8 + (blocks - 1) + 1 + 3 * reg_write + 1 + 2 * 2))
# JIG -> PC: identity; three step answers; the ID; two write answers; the
# blocks; three write answers; the I answer; two step answers
to_pc=$((identity_bytes + 3 + 4 + 2 + blocks * block_bytes + 3 + 1 + 2))
# Answers the PC waits for, each held by the latency timer.
round_trips=$((3 + 1 + 2 + blocks + 3 + 1 + 2))

bench_model "$to_jig" "$to_pc" "$round_trips" "$identify_ms"

echo "zjig: $zjig"
echo "bytes PC->JIG: $to_jig, JIG->PC: $to_pc; answers awaited: $round_trips"

bench_time memo.txt "" "$zjig" --port sim:jig3,speed=real mec read dump.bin

size=$(stat -c %s dump.bin)
echo "file: $size bytes; line: $(grep -m1 'Read FLASH complete.' memo.txt || echo 'no completion line')"
bench_report "$wire s on the wire, $latency_ms ms latency x $round_trips, $identify_ms ms identify"
