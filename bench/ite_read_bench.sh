#!/usr/bin/env bash
# ITE flash read over the simulated JIG at real link speed: wall and CPU time
# of `zjig ite read`, next to the time the exchanged bytes need on a
# 921600-baud link whose bridge holds short answers for its 2 ms latency timer.
#
#   bench/ite_read_bench.sh [path/to/zjig]
#
# The pin mapping is sent first in a run of its own (not timed) and kept by
# the simulated JIG in a state folder, as a technician's APPLY stays in the
# JIG between presses. The read should take about the theoretical time and
# only a small fraction of it in CPU: the waits block in the link.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/bench_lib.sh"
bench_find_zjig "${1:-}"

bench_enter_work
cp "$here/../sim-data/MB connection ITE.txt" .
port="sim:jig3,state=$work/jig"
"$zjig" --port "$port" ite apply --mb ZTI-100 >/dev/null

# --- the exchange of a third-generation read ---
# The identity is taken as soon as its line end has come: its bytes, held by
# the bridge's default 16 ms latency timer (the 2 ms one is set only once the
# JIG is accepted).
identify_ms=16
blocks=512
registers=13         # the read preparation, each an address and a data command
identity_bytes=17    # "M328_EPM240_v16" CR LF

# PC -> JIG: B; T T; 13 x (T A reg, T D value); 512 x (T r); I
to_jig=$((1 + 2 + registers * 6 + blocks * 2 + 1))
# JIG -> PC: identity; connect answer; 26 register answers; 512 x (256 + 'o'); the answer to I
to_pc=$((identity_bytes + 1 + registers * 2 + blocks * 257 + 1))
# Answers the PC waits for, each held by the latency timer.
round_trips=$((1 + registers * 2 + blocks + 1))

bench_model "$to_jig" "$to_pc" "$round_trips" "$identify_ms"

echo "zjig: $zjig"
echo "bytes PC->JIG: $to_jig, JIG->PC: $to_pc; answers awaited: $round_trips"

bench_time memo.txt "" "$zjig" --port "$port,speed=real" ite read dump.bin

size=$(stat -c %s dump.bin)
echo "file: $size bytes; last memo line: $(tail -n 2 memo.txt | head -n 1)"
bench_report "$wire s on the wire, $latency_ms ms latency x $round_trips, $identify_ms ms identify"
