#!/usr/bin/env bash
# How late the clocks show each new second: the real program, idle, in a real window on a
# virtual display of its own, traced (ORVANE_TRACE) for a while. For every second, the wall
# clock's time at the start of the first paint that shows it; its part below the second is
# the lag behind the true second.
#
#   bench/secondlag.sh [build-dir] [seconds]      (defaults: build, 30)
#
# Prints the median and the maximum lag of each clock, how many seconds were painted, how many
# were skipped or painted twice, and the largest gap between the two clocks' paints of one
# second. The program runs with a settings
# folder of its own and no input; everything the script starts, it ends by process id.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-30}
meters=$build/orvane-meters
[ -x "$meters" ] || { echo "secondlag: $meters is missing; build first" >&2; exit 1; }

work=$(mktemp -d /tmp/orvane-secondlag.XXXXXX)
pids=()
cleanup() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" \
    2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 1 100); do
    [ -s "$work/display" ] && break
    sleep 0.05
done
[ -s "$work/display" ] || { echo "secondlag: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME/Vexo"
printf '[General]\nserialport=%s\nuse_udp=false\nis_server=false\n' "$work/none" \
    >"$XDG_CONFIG_HOME/Vexo/Unknown.conf"
ORVANE_TRACE=$work/trace "$meters" >"$work/meters.log" 2>&1 &
app=$!
pids+=("$app")
sleep "$seconds"
kill "$app"
wait "$app" 2>/dev/null || true
pids=("${pids[@]:0:1}")

# The first seconds go to the start-up and the fonts: skipped.
awk '$1 == "secondpaint" { n[$3]++; if (n[$3] <= 3) next
        s = int($4 / 1e9); lag = ($4 - s * 1e9) / 1e6
        print $3, lag, s, $2 }' "$work/trace" >"$work/lags"
for clock in analog digital; do
    awk -v c="$clock" '$1 == c { print $2 }' "$work/lags" | sort -n >"$work/$clock"
    awk -v c="$clock" '{ v[NR] = $1 }
        END { if (NR == 0) { print c ": no seconds painted"; exit 1 }
              printf "%-8s seconds %3d  lag median %7.2f ms  max %7.2f ms\n", c, NR,
                     v[int((NR + 1) / 2)], v[NR] }' "$work/$clock"
done
# In normal running every second is painted once: none skipped, none twice.
for clock in analog digital; do
    awk -v c="$clock" '$1 == c { if (n++ && $3 != last + 1) { if ($3 <= last) r++; else k += $3 - last - 1 }
            last = $3 }
        END { printf "%-8s skipped %d, repeated %d seconds\n", c, k, r }' "$work/lags"
done
# Both clocks' paints of one wall second, apart by at most this much.
awk '{ at[$3, $1] = $4 } END { for (k in at) { split(k, p, SUBSEP)
        if (p[2] == "analog" && ((p[1], "digital") in at)) {
            d = at[k] - at[p[1], "digital"]; if (d < 0) d = -d; if (d > m) m = d } }
        printf "apart    at most %.2f ms between the two clocks of one second\n", m / 1e6 }' \
    "$work/lags"
