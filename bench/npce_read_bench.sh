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
zjig="${1:-${ZJIG:-$here/../build/release/zjig}}"
if [[ ! -x "$zjig" ]]; then
    echo "zjig not found at $zjig (build first, or pass its path)" >&2
    exit 2
fi
zjig="$(cd "$(dirname "$zjig")" && pwd)/$(basename "$zjig")"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

# --- the exchange of a third-generation read ---
baud=921600
bits_per_byte=10     # start bit, 8 data bits, stop bit
latency_ms=2
identify_ms=500      # the identity is shorter than 32 bytes: one full read time-out of this window
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

theory=$(echo "scale=3; ($to_jig + $to_pc) * $bits_per_byte / $baud + $round_trips * $latency_ms / 1000 + $identify_ms / 1000" | bc)
wire=$(echo "scale=3; ($to_jig + $to_pc) * $bits_per_byte / $baud" | bc)

echo "zjig: $zjig"
echo "bytes PC->JIG: $to_jig, JIG->PC: $to_pc; answers awaited: $round_trips"

if [[ -x /usr/bin/time ]]; then
    /usr/bin/time -f "%e %U %S" -o times.txt \
        "$zjig" --port sim:jig3,speed=real npce read dump.bin >memo.txt
    read -r wall user sys <times.txt
else
    TIMEFORMAT="%R %U %S"
    { time "$zjig" --port sim:jig3,speed=real npce read dump.bin >memo.txt; } 2>times.txt
    read -r wall user sys <times.txt
fi

size=$(stat -c %s dump.bin)
cpu=$(echo "scale=2; $user + $sys" | bc)
echo "file: $size bytes; last memo line: $(tail -n 2 memo.txt | head -n 1)"
printf 'wall time:        %8.2f s\n' "$wall"
printf 'CPU time:         %8.2f s (user %s s, system %s s)\n' "$cpu" "$user" "$sys"
printf 'theoretical time: %8.2f s (%s s on the wire, %s ms latency x %s, %s ms identify)\n' \
    "$theory" "$wire" "$latency_ms" "$round_trips" "$identify_ms"
