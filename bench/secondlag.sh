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
. scripts/lib.sh
build=${1:-build}
seconds=${2:-30}
meters=$build/orvane-meters
[ -x "$meters" ] || orvane_fail "$meters is missing; build first"

orvane_work secondlag
orvane_xvfb 1280x800x24 "$work/xvfb.log"

# No port to read: the clocks alone.
export XDG_CONFIG_HOME="$work/config"
orvane_settings "$XDG_CONFIG_HOME" "$work/none"
ORVANE_TRACE=$work/trace "$meters" >"$work/meters.log" 2>&1 &
app=$!
orvane_started "$app"
sleep "$seconds"
orvane_stop "$app"

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
