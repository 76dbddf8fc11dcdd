#!/usr/bin/env bash
# Nuvoton JTAG read over the simulated JIG at real link speed: wall and CPU
# time of `zjig nuvjtag read` (settings, ID check, replay of the sample
# script, then the 128 KB read), next to the time the exchanged bytes need on
# a 921600-baud link whose bridge holds short answers for its 2 ms latency
# timer.
#
#   bench/nuvjtag_read_bench.sh [path/to/zjig]
#
# The read should take about the theoretical time and only a small fraction
# of it in CPU: the waits block in the link, they do not spin.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/bench_lib.sh"
bench_find_zjig "${1:-}"
firmware="$(cd "$here/../sim-firmware" && pwd)"
script="$firmware/NUVOTON.vss"

bench_enter_work

# The identity is taken as soon as its line end has come: its bytes, held by
# the bridge's default 16 ms latency timer (the 2 ms one is set only once the
# JIG is accepted).
identify_ms=16
identifies=3         # settings, check, read: one connection each
identity_bytes=17    # "M328_EPM240_v16" CR LF
pages=512
page_bytes=256

# The script's shifts: bytes out, bytes back, answers awaited.
read -r script_out script_in script_trips < <(tr -d '\r' <"$script" | awk '
    function shift(o, i) { out += o; back += i; trips++ }
    /^i/ { shift(3, 1); next }
    /^D/ { shift(6, 4); next }
    /^d/ {
        if (length($0) < 7) { shift(3, 1); next }
        if (length($0) >= 18 && substr($0, 16, 1) == " " && substr($0, 17, 2) ~ /^[0-9A-F][0-9A-F]$/) {
            shift(8, 1); next
        }
        shift(3, 1); if (length($0) > 7) shift(6, 4); next
    }
    END { print out + 0, back + 0, trips + 0 }')

# PC -> JIG: 3 x B; settings S R, J S, 13 x S W reg value; check J X, J 1,
# J D + 4; the script; 512 x J R; I; closing S R, J S.
to_jig=$((identifies + 2 + 2 + 13 * 4 + 2 + 2 + 6 + script_out + pages * 2 + 1 + 4))
# JIG -> PC: the identities; one byte per settings command; check 1 + 1 + 4;
# the script's answers; the pages; I; two closing answers.
to_pc=$((identifies * identity_bytes + 15 + 6 + script_in + pages * page_bytes + 1 + 2))
round_trips=$((15 + 3 + script_trips + pages + 1 + 2))

bench_model "$to_jig" "$to_pc" "$round_trips" "$((identifies * identify_ms))" 6
read_only=$(echo "scale=6; $pages * ((2 + $page_bytes) * $bits_per_byte / $baud + $latency_ms / 1000)" | bc)

echo "zjig: $zjig"
echo "bytes PC->JIG: $to_jig, JIG->PC: $to_pc; answers awaited: $round_trips (script: $script_trips)"

run=("$zjig" --port sim:jig3,speed=real --firmware-dir "$firmware" nuvjtag read dump.bin)
bench_time memo.txt err.txt "${run[@]}"

size=$(stat -c %s dump.bin)
echo "file: $size bytes; last memo line: $(tail -n 1 memo.txt)"
bench_report "$wire s on the wire, $latency_ms ms latency x $round_trips, $identifies x $identify_ms ms identify"
printf '  of which the read: %5.2f s (512 x (2 bytes out, 256 in, %s ms))\n' "$read_only" "$latency_ms"
