# What the scripts that run the real programs share: a work folder that goes at the end with
# every process started into it, a virtual display, a pty pair for a serial cable, a settings
# file that keeps the program to that cable, the stand-in console playing on it, and the
# program's window once it shows. Sourced by the scripts (bash) and by tests/*.sh (sh), so it
# keeps to what dash understands:
#
#   . "$(dirname "$0")/../scripts/lib.sh"
#
# Everything is ended by its process id, never by name: other programs of the same name may
# run on the machine.

orvane_pids=
orvane_name=${orvane_name:-$(basename "$0")}

# orvane_fail MESSAGE...: says what went wrong, under the script's name, and ends it.
orvane_fail() {
    echo "$orvane_name: $*" >&2
    exit 1
}

# orvane_work NAME: a fresh folder $work, removed at the end together with every process
# registered with orvane_started. Ctrl+C and SIGTERM end the script the same way.
orvane_work() {
    orvane_name=$1
    work=$(mktemp -d "${TMPDIR:-/tmp}/orvane-$1.XXXXXX")
    trap orvane_cleanup EXIT
    trap 'exit 130' INT TERM
}

orvane_cleanup() {
    orvane_stop_all
    [ -z "${work:-}" ] || rm -rf "$work"
}

# orvane_started PID: ended at the end unless stopped before.
orvane_started() {
    orvane_pids="$1 $orvane_pids"
}

# orvane_forget PID: a process already waited for. Its number may be given to another process,
# which the clean-up must not end.
orvane_forget() {
    local kept= pid
    for pid in $orvane_pids; do
        [ "$pid" = "$1" ] || kept="$kept $pid"
    done
    orvane_pids=$kept
}

# orvane_stop PID: ends one process and waits for it.
orvane_stop() {
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
    orvane_forget "$1"
}

# Last started, first ended: the program before its console, the console before the cable.
orvane_stop_all() {
    local pid
    for pid in $orvane_pids; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    orvane_pids=
}

# orvane_wait_for SECONDS COMMAND...: polls COMMAND until it succeeds; fails after SECONDS.
orvane_wait_for() {
    local tries=$(($1 * 20))
    shift
    while ! "$@"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.05
    done
}

# orvane_xvfb SCREEN [LOG]: an X server of the script's own with one screen of SCREEN (e.g.
# 1280x800x24), its output appended to LOG; sets xvfb_pid, display (its number) and DISPLAY.
# Xvfb picks a free number and writes it to descriptor 3. Without -noreset it would reset
# whenever its last client leaves, which is after every start of the program.
orvane_xvfb() {
    rm -f "$work/display"
    Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -noreset 3>"$work/display" \
        >>"${2:-/dev/null}" 2>&1 &
    xvfb_pid=$!
    orvane_started "$xvfb_pid"
    orvane_wait_for 60 test -s "$work/display" || orvane_fail "Xvfb did not start"
    display=$(head -n 1 "$work/display")
    export DISPLAY=":$display"
}

# orvane_pty_pair FOLDER: the serial cable, two ptys joined by socat: FOLDER/console is the
# console's end, FOLDER/meters the program's. Sets pty_pid.
orvane_pty_pair() {
    mkdir -p "$1"
    socat pty,raw,echo=0,link="$1/console" pty,raw,echo=0,link="$1/meters" &
    pty_pid=$!
    orvane_started "$pty_pid"
    # socat makes the links a few tens of milliseconds after it starts.
    orvane_wait_for 5 test -e "$1/console" -a -e "$1/meters" || orvane_fail "socat made no pty pair"
}

# orvane_settings FOLDER PORT [MORE]: a settings folder for XDG_CONFIG_HOME whose program reads
# the serial port PORT, without UDP and never in the server role, so that it sends nothing
# anywhere. MORE (with printf's %b escapes) follows the [General] group: further groups.
orvane_settings() {
    mkdir -p "$1/Vexo"
    printf '[General]\nserialport=%s\nuse_udp=false\nis_server=false\n%b' "$2" "${3:-}" \
        >"$1/Vexo/Unknown.conf"
}

# orvane_play FEED CONSOLE [OPTIONS...]: the stand-in console (the program FEED) playing on the
# serial port CONSOLE with OPTIONS, or else talk and music on the programme pair, music on the
# sub pair and a presenter's microphone on the control room pair. Sets feed_pid.
orvane_play() {
    local feed=$1 console=$2
    shift 2
    [ $# -gt 0 ] || set -- --channel prog=programme:mix:-2 --channel sub=programme:music:-6 \
        --channel crm=programme:speech:-4
    "$feed" --serial "$console" --quiet "$@" &
    feed_pid=$!
    orvane_started "$feed_pid"
}

# orvane_window: prints the id of the program's window once the X server shows it (its title
# is "Unknown - (port)"); fails after 20 s.
orvane_window() {
    local id= tries=200
    while [ "$tries" -gt 0 ]; do
        id=$(xwininfo -root -tree 2>/dev/null | awk '/"Unknown - \(/ {print $1; exit}')
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        tries=$((tries - 1))
        sleep 0.1
    done
    return 1
}
