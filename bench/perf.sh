#!/usr/bin/env bash
# Performance figures of the real program in a real window on a virtual display of its own,
# beside a generic audio meter (jkmeter, 6 channels, from Debian's jkmeter package) as the
# yardstick:
#
# - CPU use of the program and of its X server (all threads, from their schedstat), each case
#   a fresh program on a fresh Xvfb (1920 x 1080, or 3840 x 2160 for the 4K cases), the cases
#   interleaved round by round, so that a machine that gets busier part-way spoils every case
#   alike rather than one. Live is programme-like levels on all six meters from orvane-feed on
#   a socat pty pair (100 frames a second unless the case says otherwise); idle is no frames.
#   jkmeter is fed pink noise from bench/jacknoise on a JACK server of its own with the dummy
#   backend. The medians, each case's ratio against jkmeter (program plus X server) and, with
#   a baseline, against the same case of the baseline in the same rounds;
# - latency from a frame's arrival to the repaint of its meter, and the repaints a second,
#   from the program's own trace (ORVANE_TRACE; see diagnostics/trace.h), in live runs;
# - start-up time from just before the exec to the first painted window (median of several
#   runs after a warm-up run that fills the font cache), and peak memory (VmHWM).
#
#   bench/perf.sh [build-dir]        (default: build, RelWithDebInfo as scripts/test builds)
#
# Figures are only worth having on a quiet machine: it first waits, for at most
# ORVANE_BENCH_WAIT seconds (default 1200), until the 1-minute load average is below 1.0,
# and prints the load average with the figures. Knobs:
#   ORVANE_BENCH_RUNS     rounds of the interleaved cases (default 3)
#   ORVANE_BENCH_SECONDS  the measuring window (default 20)
#   ORVANE_BENCH_STARTUPS starts timed (default 7)
#   ORVANE_BENCH_TRACED   traced live runs per traced case (default: the rounds); 0 starts and
#                         0 traced runs leave only the CPU table, for a quick comparison
#   ORVANE_BENCH_CASES    the interleaved cases (default "jk live986 idle986 live1920
#                         idle1920"). A case is "jk", or live or idle, the window's width (986,
#                         1920 or 3840, for 986 x 580, 1920 x 1080 and 3840 x 2160), then
#                         optionally r and the frames a second (live1920r720) and shm for
#                         MIT-SHM on (live1920shm). "rates" stands for live1920r25 live1920
#                         live1920r250 live1920r720, "sizes" for live986 live1920 live3840
#   ORVANE_BENCH_TRACED_CASES  the live cases traced for latency and repaints (default
#                         "live986 live1920")
#   ORVANE_BENCH_BASELINE another build folder (or a folder holding orvane-meters and
#                         bench/bench_timedexec, such as a build kept from before a change):
#                         every Orvane case, traced case and timed start runs for its program
#                         too, next to the same case of this build in the same round ("old-"
#                         cases), with the same console, and the tables say new against old
#   ORVANE_BENCH_REMOTE   1: remote access cases at 986 x 580 (unless ORVANE_BENCH_CASES says
#                         others): idle and live, off, and on at loopback with 0, 1 and 16
#                         clients streaming /api/v1/events (curl). A case's net suffix and a
#                         count (live986net16) turns remote access on with that many streams
#   ORVANE_BENCH_ENV      VAR=value words added to the program's environment in every case,
#                         to try a toolkit setting without a rebuild
# Without jackd, jkmeter or jacknoise the jk case is left out, and it says so.
# The program runs serial only, never as a server, with a settings folder of its own.
# Everything the script starts, it ends by process id.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
build=${1:-build}
baseline=${ORVANE_BENCH_BASELINE:-}
seconds=${ORVANE_BENCH_SECONDS:-20}
startups=${ORVANE_BENCH_STARTUPS:-7}
runs=${ORVANE_BENCH_RUNS:-3}
traced=${ORVANE_BENCH_TRACED:-$runs}
maxwait=${ORVANE_BENCH_WAIT:-1200}
cases=${ORVANE_BENCH_CASES:-jk live986 idle986 live1920 idle1920}
if [ -n "${ORVANE_BENCH_REMOTE:-}" ] && [ -z "${ORVANE_BENCH_CASES:-}" ]; then
    cases="idle986 idle986net0 idle986net1 idle986net16 live986 live986net0 live986net1 live986net16"
fi
traced_cases=${ORVANE_BENCH_TRACED_CASES:-live986 live1920}
hz=$(getconf CLK_TCK)

cases=$(sed 's/\brates\b/live1920r25 live1920 live1920r250 live1920r720/g;
             s/\bsizes\b/live986 live1920 live3840/g' <<<"$cases")

# parse_case CASE: sets c_old (yes for the baseline's program), c_kind (live or idle), c_w and
# c_h (the window), c_rate (frames a second), c_shm (yes for MIT-SHM on) and c_streams (remote
# access on with that many streams, empty for off); fails for a case that is none of these.
parse_case() {
    local c=$1
    c_old= c_shm= c_rate=100 c_streams=
    case $c in old-*) c_old=yes c=${c#old-} ;; esac
    case $c in *shm) c_shm=yes c=${c%shm} ;; esac
    case $c in *net[0-9]*) c_streams=${c##*net} c=${c%net*} ;; esac
    case $c_streams in *[!0-9]*) return 1 ;; esac
    case $c in *r[0-9]*) c_rate=${c##*r} c=${c%r*} ;; esac
    case $c_rate in '' | *[!0-9]*) return 1 ;; esac
    case $c in
        live*) c_kind=live c=${c#live} ;;
        idle*) c_kind=idle c=${c#idle} ;;
        *) return 1 ;;
    esac
    case $c in
        986) c_w=986 c_h=580 ;;
        1920) c_w=1920 c_h=1080 ;;
        3840) c_w=3840 c_h=2160 ;;
        *) return 1 ;;
    esac
}

# With a baseline, every case of ours gets its twin from the baseline right after it.
with_twins() {
    local c out=
    for c in $1; do
        out="$out $c"
        if [ -n "$baseline" ] && [ "$c" != jk ] && [ "${c#old-}" = "$c" ]; then
            out="$out old-$c"
        fi
    done
    echo "${out# }"
}
cases=$(with_twins "$cases")
traced_cases=$(with_twins "$traced_cases")
for c in $cases $traced_cases; do
    [ "$c" = jk ] || parse_case "$c" || orvane_fail "unknown case $c"
done
for c in $traced_cases; do
    parse_case "$c"
    [ "$c_kind" = live ] || orvane_fail "a traced case is live: $c"
done

# The programs of a case: sets prog and launcher.
programs() {
    local dir=$build
    [ -n "${1:-}" ] && dir=$baseline
    prog=$dir/orvane-meters
    launcher=$dir/bench/bench_timedexec
    # A kept build may lack the launcher; this build's does the same.
    [ -x "$launcher" ] || launcher=$build/bench/bench_timedexec
}

feed=$build/orvane-feed
for dir in "$build" ${baseline:+"$baseline"}; do
    [ -x "$dir/orvane-meters" ] || orvane_fail "$dir/orvane-meters is missing; build first"
done
for f in "$feed" "$build/bench/bench_timedexec"; do
    [ -x "$f" ] || orvane_fail "$f is missing; build first (ninja -C $build)"
done
for tool in Xvfb xdotool xwininfo socat; do
    command -v "$tool" >/dev/null || orvane_fail "$tool is not installed"
done
noise=$build/bench/jacknoise
peer=yes
for f in jackd jkmeter; do
    command -v "$f" >/dev/null || { echo "perf: $f is not installed; no peer" >&2; peer=; }
done
[ -x "$noise" ] || { echo "perf: $noise is missing (no JACK headers?); no peer" >&2; peer=; }
[ -n "$peer" ] || cases=$(tr ' ' '\n' <<<"$cases" | grep -vx jk | paste -sd' ')

orvane_work perf

load1() { cut -d' ' -f1 /proc/loadavg; }
quiet() { awk -v l="$(load1)" 'BEGIN { exit !(l < 1.0) }'; }

waited=0
until quiet || [ "$waited" -ge "$maxwait" ]; do
    [ "$waited" -eq 0 ] && echo "perf: waiting for a quiet machine (load $(load1))..." >&2
    sleep 15
    waited=$((waited + 15))
done
quiet || echo "perf: the machine is still busy (load $(load1)); measuring anyway" >&2
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

# start_x [WIDTH]: a display of its own, 1920 x 1080 as a studio screen, or 3840 x 2160 for a
# window that wide; sets $xvfb and DISPLAY.
start_x() {
    if [ "${1:-0}" -gt 1920 ]; then
        orvane_xvfb 3840x2160x24 "$work/xvfb.log"
    else
        orvane_xvfb 1920x1080x24 "$work/xvfb.log"
    fi
    xvfb=$xvfb_pid
}
start_x

# The serial cable: the console writes one end, the program reads the other.
orvane_pty_pair "$work"

# Serial only, no server role; written before every start, so that each one begins at the
# design size and no run inherits the geometry that the last one stored.
export XDG_CONFIG_HOME="$work/config"
remote_group=
write_settings() {
    orvane_settings "$XDG_CONFIG_HOME" "$work/meters" "$remote_group"
}

# Remote access for a case with a net suffix: on at loopback, with N clients that stream the
# events, each from a loopback address of its own four (the server takes four per address).
remote_port=$((20000 + $$ % 20000))
remote_on() {
    remote_group="\n[remote]\nenabled=true\nlisten=loopback\nport=$remote_port\ntoken=$(head -c 24 /dev/urandom | base64 | tr '+/' '-_')\n"
}
start_streams() {
    streams=()
    [ "$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$remote_port/api/v1/status")" = 200 ] \
        || orvane_fail "remote access is not listening on port $remote_port"
    for i in $(seq 1 "$1"); do
        curl -sN --interface "127.0.0.$(((i - 1) / 4 + 1))" -o /dev/null \
            "http://127.0.0.1:$remote_port/api/v1/events" &
        streams+=($!)
        orvane_started $!
    done
    sleep 1
}

# What a case adds to the program's environment (MIT-SHM on: the program turns it off unless
# QT_XCB_NO_MITSHM is set, and Qt uses it when that is empty).
read -r -a meters_env <<<"${ORVANE_BENCH_ENV:-}"

# start_meters TRACEFILE [old]: starts this build's program, or the baseline's (traced when
# TRACEFILE is not empty); sets $app.
start_meters() {
    programs "${2:-}"
    write_settings
    rm -f "$work/t0"
    local trace_env=()
    [ -n "$1" ] && trace_env=(ORVANE_TRACE="$1")
    env "${meters_env[@]}" "${trace_env[@]}" "$launcher" "$work/t0" "$prog" >/dev/null \
        2>>"$work/meters.log" &
    app=$!
    orvane_started "$app"
}

# Waits until the program's window is mapped; sets $win.
find_window() {
    win=
    for _ in $(seq 1 600); do
        if [ -n "${1:-}" ]; then
            win=$(xdotool search --onlyvisible --classname "$1" 2>/dev/null | head -n1 || true)
        else
            win=$(xdotool search --onlyvisible --pid "$app" 2>/dev/null | head -n1 || true)
        fi
        [ -n "$win" ] && return 0
        kill -0 "$app" 2>/dev/null || break
        sleep 0.1
    done
    echo "perf: the program's window did not appear; its output:" >&2
    cat "$work/meters.log" "$work/jack.log" >&2 2>/dev/null || true
    kill -0 "$xvfb" 2>/dev/null || echo "perf: Xvfb is gone; its output:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
}

# resize W H: resizes the window and waits until the X server reports the size, then lets the
# relayout and its repaint pass.
resize() {
    xdotool windowsize "$win" "$1" "$2"
    for _ in $(seq 1 100); do
        geometry=$(xwininfo -id "$win")
        grep -q "Width: $1\$" <<<"$geometry" && grep -q "Height: $2\$" <<<"$geometry" && break
        sleep 0.05
    done
    sleep 2
}

# CPU time of all of a process's threads in nanoseconds, from the scheduler's own account
# (schedstat), which has none of the 10 ms steps of the clock ticks in /proc/PID/stat: an
# idle figure of 0.1 % is 20 ms in 20 s, two of those steps.
cpu_ns() {
    if [ -r "/proc/$1/schedstat" ]; then
        cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d", s }'
    else
        awk -v hz="$hz" '{ printf "%d", ($14 + $15) / hz * 1e9 }' "/proc/$1/stat"
    fi
}
now_ns() { date +%s%N; }

# Times a process's main thread went to sleep and was woken, or was taken off the processor:
# wake-ups of its event loop, fine to compare on a machine too busy for CPU figures.
switches() {
    awk '/^(non)?voluntary_ctxt_switches:/ { s += $2 } END { printf "%d", s }' "/proc/$1/status"
}

# cpu_over PID...: percent of one core that each process used over $seconds, and then the
# first one's wake-ups a second, on one line.
cpu_over() {
    local before=() after=() t0 t1 p i w0 w1
    w0=$(switches "$1")
    for p in "$@"; do before+=("$(cpu_ns "$p")"); done
    t0=$(now_ns)
    sleep "$seconds"
    t1=$(now_ns)
    for p in "$@"; do after+=("$(cpu_ns "$p")"); done
    w1=$(switches "$1")
    for i in "${!before[@]}"; do
        awk -v a="${before[i]}" -v b="${after[i]}" -v ns=$((t1 - t0)) \
            'BEGIN { printf "%.2f ", (b - a) / ns * 100 }'
    done
    awk -v a="$w0" -v b="$w1" -v ns=$((t1 - t0)) 'BEGIN { printf "%.0f\n", (b - a) / (ns / 1e9) }'
}

# start_feed [RATE]: the console playing at RATE frames a second (default 100).
start_feed() {
    orvane_play "$feed" "$work/console" --rate "${1:-100}" \
        --channel prog=programme:mix --channel sub=programme:music \
        --channel crm=programme:speech
    feeder=$feed_pid
    sleep 1
}

hwm_mb() { awk '/^VmHWM:/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }

# percentile P FILE: the P-th percentile (nearest rank) of the numbers in FILE, one a line.
percentile() {
    sort -n "$2" | awk -v p="$1" '{ v[NR] = $1 }
        END { if (NR == 0) { print "n/a"; exit } r = int(p / 100 * NR + 0.999999);
              if (r < 1) r = 1; printf "%.2f", v[r] }'
}

# The first start on a machine builds the font cache: not counted.
start_meters "$work/warmup.trace"
find_window
orvane_stop "$app"

# Start-up: from the exec to the first paint flushed, and where the time goes. Per start, in
# ms: the total, then exec to main, main to the window built, to the first paint, to that
# paint flushed; with a baseline its starts take turns with ours.
: >"$work/startup.ms"
: >"$work/startup.old.ms"
for run in $(seq 1 "$startups"); do
    for which in new ${baseline:+old}; do
        trace="$work/start$run.$which.trace"
        out=$work/startup.ms
        [ "$which" = old ] && out=$work/startup.old.ms
        start_meters "$trace" "${which#new}"
        for _ in $(seq 1 300); do
            grep -q '^firstshown ' "$trace" 2>/dev/null && break
            sleep 0.05
        done
        orvane_stop "$app"
        awk -v t0="$(cat "$work/t0")" '
            { at[$1] = $2 }
            END {
                printf "%.1f %.1f %.1f %.1f %.1f\n", (at["firstshown"] - t0) / 1e6,
                    (at["main"] - t0) / 1e6, (at["window"] - at["main"]) / 1e6,
                    (at["firstpaint"] - at["window"]) / 1e6,
                    (at["firstshown"] - at["firstpaint"]) / 1e6
            }' "$trace" >>"$out"
    done
done
# startup_line FILE: the median start and where its time went.
startup_line() {
    local n
    n=$(wc -l <"$1")
    [ "$n" -gt 0 ] || return 0
    printf 'median %s ms of %s starts (all: %s); ' "$(percentile 50 "$1")" "$n" \
        "$(cut -d' ' -f1 "$1" | sort -n | paste -sd' ')"
    sort -n "$1" | awk -v n="$n" 'NR == int((n + 1) / 2) {
        printf "exec to main %s ms, main to window built %s ms, to first paint %s ms, " \
            "to that paint flushed %s ms", $2, $3, $4, $5 }'
}

# The peer: a JACK server of its own on the dummy backend (no sound card, no real-time
# scheduling needed), jkmeter with six inputs, and pink noise into each. Sets $app (jkmeter)
# and $jack_pids (the server and the noise, which are the console here and not counted).
start_peer() {
    export JACK_DEFAULT_SERVER="orvane-perf-$$-$1"
    jackd --no-realtime -d dummy -r 48000 -p 1024 >>"$work/jack.log" 2>&1 &
    local jackd_pid=$!
    orvane_started "$jackd_pid"
    for _ in $(seq 1 100); do
        jack_lsp >/dev/null 2>&1 && break
        sleep 0.1
    done
    jkmeter -chan 6 -name jkmeter >>"$work/jack.log" 2>&1 &
    app=$!
    orvane_started "$app"
    for _ in $(seq 1 100); do
        [ "$(jack_lsp 2>/dev/null | grep -c '^jkmeter:in-')" -ge 6 ] && break
        sleep 0.1
    done
    "$noise" 6 jkmeter:in-1 jkmeter:in-2 jkmeter:in-3 jkmeter:in-4 jkmeter:in-5 jkmeter:in-6 \
        >>"$work/jack.log" 2>&1 &
    local noise_pid=$!
    orvane_started "$noise_pid"
    jack_pids=("$noise_pid" "$jackd_pid")
    find_window jkmeter
    sleep 2
    jack_lsp -c 2>/dev/null | grep -q '^ *jacknoise:out_6' \
        || { echo "perf: the noise is not connected to jkmeter" >&2; cat "$work/jack.log" >&2; exit 1; }
    unset JACK_DEFAULT_SERVER
}

orvane_stop "$xvfb"
# Interleaved CPU figures: round after round, each case a fresh X server and a fresh program.
# One line per case and round in $work/cases: case, program %, X server %, VmHWM MB, the
# program's wake-ups a second, the round.
: >"$work/cases"
for round in $(seq 1 "$runs"); do
    for c in $cases; do
        read -r -a meters_env <<<"${ORVANE_BENCH_ENV:-}"
        if [ "$c" = jk ]; then
            start_x
            start_peer "$round"
            read -r app_cpu x_cpu wakes < <(cpu_over "$app" "$xvfb")
            hwm=$(hwm_mb "$app")
            orvane_stop "$app"
            for p in "${jack_pids[@]}"; do orvane_stop "$p"; done
        else
            parse_case "$c"
            [ -n "$c_shm" ] && meters_env+=(QT_XCB_NO_MITSHM=)
            remote_group=
            [ -n "$c_streams" ] && remote_on
            start_x "$c_w"
            start_meters "" "${c_old:+old}"
            find_window
            resize "$c_w" "$c_h"
            [ "$c_kind" = live ] && start_feed "$c_rate"
            [ -n "$c_streams" ] && start_streams "$c_streams"
            read -r app_cpu x_cpu wakes < <(cpu_over "$app" "$xvfb")
            hwm=$(hwm_mb "$app")
            [ "$c_kind" = live ] && orvane_stop "$feeder"
            for p in ${c_streams:+"${streams[@]}"}; do orvane_stop "$p"; done
            orvane_stop "$app"
            remote_group=
        fi
        orvane_stop "$xvfb"
        echo "$c $app_cpu $x_cpu $hwm $wakes $round" >>"$work/cases"
        echo "perf: round $round $c: program $app_cpu %, X server $x_cpu %, $wakes wake-ups/s" \
            "(load $(load1))" >&2
    done
done

# median FIELD CASE: the median of a field over the rounds of one case.
median_of() {
    awk -v c="$2" -v f="$1" '$1 == c { print (f == "sum" ? $2 + $3 : $f) }' "$work/cases" \
        | sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "n/a";
            else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
# against_old CASE: the median over the rounds of the case's sum divided by its baseline
# twin's sum in the same round.
against_old() {
    awk -v c="$1" -v o="old-$1" '
        $1 == c { s[$6] = $2 + $3 } $1 == o { b[$6] = $2 + $3 }
        END { for (r in s) if ((r in b) && b[r] > 0) print s[r] / b[r] }' "$work/cases" \
        | sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "";
            else if (NR % 2) printf "%.2f×", v[(NR + 1) / 2];
            else printf "%.2f×", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
# label CASE: what a table row calls the case.
label() {
    [ "$1" = jk ] && { echo "jkmeter -chan 6, pink noise, live"; return; }
    parse_case "$1"
    local text="Orvane $c_w × $c_h $c_kind"
    [ "$c_kind" = live ] && [ "$c_rate" != 100 ] && text="$text, $c_rate frames/s"
    [ -n "$c_shm" ] && text="$text, MIT-SHM"
    [ -n "$c_streams" ] && text="$text, remote access on, $c_streams streams"
    [ -n "$c_old" ] && text="$text (baseline)"
    echo "$text"
}
peer_sum=$(median_of sum jk)
case_rows=()
for c in $cases; do
    prog_cpu=$(median_of 2 "$c")
    xs=$(median_of 3 "$c")
    sum=$(median_of sum "$c")
    spread_sum=$(awk -v c="$c" '$1 == c { printf "%.2f\n", $2 + $3 }' "$work/cases" | sort -n \
        | paste -sd' ')
    ratio=$(awk -v a="$sum" -v b="$peer_sum" 'BEGIN { if (b + 0 > 0) printf "%.2f×", a / b;
        else print "n/a" }')
    old=
    [ -n "$baseline" ] && [ "${c#old-}" = "$c" ] && [ "$c" != jk ] && old=$(against_old "$c")
    case_rows+=("$(printf '| %s | %.2f | %.2f | **%.2f** | %s | %s | %s | %s | %s MB |' \
        "$(label "$c")" "$prog_cpu" "$xs" "$sum" "$ratio" "${old:-}" "$spread_sum" \
        "$(median_of 5 "$c")" "$(median_of 4 "$c")")")
done
load_cases=$(cut -d' ' -f1-3 /proc/loadavg)
read -r -a meters_env <<<"${ORVANE_BENCH_ENV:-}"

# Traced live runs, the traced cases taking turns. Per case: $work/<case>.latency.ms,
# .aftertick.ms, .gaps, .repaints.
for c in $traced_cases; do
    for f in latency.ms aftertick.ms gaps repaints; do : >"$work/$c.$f"; done
done
for run in $(seq 1 "$traced"); do
    for c in $traced_cases; do
        parse_case "$c"
        start_x "$c_w"
        # Each run is a new start: how the console's frames, the release ticks and the clocks'
        # ticks fall together differs from start to start, and so does the cost of waking up.
        trace="$work/$c.$run.trace"
        start_meters "$trace" "${c_old:+old}"
        find_window
        resize "$c_w" "$c_h"
        start_feed "$c_rate"
        sleep "$seconds"
        orvane_stop "$feeder"
        orvane_stop "$app"
        orvane_stop "$xvfb"
        awk '$1 == "latency" { print $4 / 1e6 }' "$trace" >>"$work/$c.latency.ms"
        # The part of each latency after the release tick that moved the bar: the rest is
        # the wait for that tick, at most one tick interval by design.
        awk '$1 == "release" { tick = $2 } $1 == "latency" { print ($2 - tick) / 1e6 }' \
            "$trace" >>"$work/$c.aftertick.ms"
        # Longest wait between release ticks, and between clock ticks (a polling clock's, or
        # a driven clock's paints of a new second), while frames came in.
        awk '
            $1 == "frame" && !live { live = 1 }
            live && $1 == "release" { if (r && $2 - r > mr) mr = $2 - r; r = $2 }
            live && ($1 == "clock" || $1 == "secondpaint") {
                if (c[$3] && $2 - c[$3] > mc) mc = $2 - c[$3]; c[$3] = $2 }
            END { printf "%.1f %.1f\n", mr / 1e6, mc / 1e6 }' "$trace" >>"$work/$c.gaps"
        # Repaints of the meters a second while frames came in: meter paints less than a
        # millisecond apart are one repaint of the window.
        awk '
            $1 == "frame" { if (!first) first = $2; last = $2 }
            $1 == "meterpaint" { if ($2 - p > 1e6) n[++k] = $2; p = $2 }
            END { c = 0; for (i = 1; i <= k; i++) if (n[i] >= first && n[i] <= last) c++;
                  if (last > first) printf "%.1f\n", c / ((last - first) / 1e9) }' \
            "$trace" >>"$work/$c.repaints"
    done
done
rows=()
for c in $traced_cases; do
    [ "$traced" -gt 0 ] || break
    row='| %s | %s / %s / %s ms (%s) | %s / %s ms | %s / %s ms | %s |'
    rows+=("$(printf "$row" "$(label "$c")" \
        "$(percentile 50 "$work/$c.latency.ms")" "$(percentile 99 "$work/$c.latency.ms")" \
        "$(percentile 100 "$work/$c.latency.ms")" "$(wc -l <"$work/$c.latency.ms")" \
        "$(percentile 50 "$work/$c.aftertick.ms")" "$(percentile 99 "$work/$c.aftertick.ms")" \
        "$(percentile 100 <(cut -d' ' -f1 "$work/$c.gaps"))" \
        "$(percentile 100 <(cut -d' ' -f2 "$work/$c.gaps"))" \
        "$(percentile 50 "$work/$c.repaints")")")
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

echo
echo "Interleaved, $(nproc) cores, $runs rounds of ${seconds} s, each case a fresh program on a" \
    "fresh Xvfb; CPU % of one core, medians; load average $load_before before," \
    "$load_cases after${baseline:+; baseline: $baseline}"
echo
echo "| Case | program | X server | sum | sum / jkmeter | sum / baseline (rounds' median) |" \
    "sums of the rounds | wake-ups/s | Peak memory (VmHWM) |"
echo "|---|---|---|---|---|---|---|---|---|"
printf '%s\n' "${case_rows[@]}"
if [ "$traced" -gt 0 ]; then
    echo
    echo "Live runs with the trace, $traced of ${seconds} s per case (latencies of all runs" \
        "together); load average $load_after after"
    echo
    echo "| Case | Latency p50 / p99 / max (samples) | of it after the tick, p50 / p99 |" \
        "Longest release / clock tick gap, live | Repaints a second, live (median) |"
    echo "|---|---|---|---|---|"
    printf '%s\n' "${rows[@]}"
fi
if [ "$startups" -gt 0 ]; then
    echo
    echo "Start-up to the first painted window: $(startup_line "$work/startup.ms")"
    [ -n "$baseline" ] && echo "Baseline: $(startup_line "$work/startup.old.ms")"
fi
