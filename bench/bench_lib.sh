# The steps every benchmark script here shares; sourced by them, not run:
# finding the zjig to measure, a scratch folder, one timed run, the
# wire-time model of an exchange, and the printed times.

# The link every model assumes: 921600 baud, 10 bit times a byte (start bit,
# 8 data bits, stop bit), and the bridge's 2 ms latency timer, which holds
# every answer the PC waits for.
baud=921600
bits_per_byte=10
latency_ms=2

bench_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# Sets zjig to the program to measure, as an absolute path: the script's
# first argument ($1 here), else $ZJIG, else the release build. Ends the
# script with status 2 when there is none.
bench_find_zjig() {
    zjig="${1:-${ZJIG:-$bench_dir/../build/release/zjig}}"
    if [[ ! -x "$zjig" ]]; then
        echo "zjig not found at $zjig (build first, or pass its path)" >&2
        exit 2
    fi
    zjig="$(cd "$(dirname "$zjig")" && pwd)/$(basename "$zjig")"
}

# Makes the scratch folder $work, removed when the script ends, and works there.
bench_enter_work() {
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    cd "$work"
}

# The model of an exchange of $1 bytes PC->JIG and $2 bytes JIG->PC with $3
# answers awaited and $4 ms of identify: sets wire (the bytes' time on the
# wire) and theory (that, a latency timer per answer and the identify), in
# seconds with $5 decimals (default 3).
bench_model() {
    local scale="${5:-3}"
    theory=$(echo "scale=$scale; ($1 + $2) * $bits_per_byte / $baud + $3 * $latency_ms / 1000 + $4 / 1000" | bc)
    wire=$(echo "scale=$scale; ($1 + $2) * $bits_per_byte / $baud" | bc)
}

# Runs the command after the first two arguments once, its output into the
# file $1 and its errors into the file $2 (empty: they stay on the
# terminal), and sets wall, user and sys to its times in seconds.
bench_time() {
    local out="$1"
    if [[ -n "$2" ]]; then exec 4>"$2"; else exec 4>&2; fi
    shift 2
    if [[ -x /usr/bin/time ]]; then
        /usr/bin/time -f "%e %U %S" -o times.txt "$@" >"$out" 2>&4
    else
        local TIMEFORMAT="%R %U %S"
        { time "$@" >"$out" 2>&4; } 2>times.txt
    fi
    exec 4>&-
    read -r wall user sys <times.txt
}

# Prints the timed run's wall and CPU time next to the model's time; $1
# says what the model's time is made of.
bench_report() {
    local cpu
    cpu=$(echo "scale=2; $user + $sys" | bc)
    printf 'wall time:        %8.2f s\n' "$wall"
    printf 'CPU time:         %8.2f s (user %s s, system %s s)\n' "$cpu" "$user" "$sys"
    printf 'theoretical time: %8.2f s (%s)\n' "$theory" "$1"
}
