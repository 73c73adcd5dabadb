#!/bin/sh
# The manual pages against the programs: the options in each page's OPTIONS section (one
# .TP item each, grouped by .SS subsections) are exactly those that the program's --help
# lists (grouped by its "... options:" headings), with the same value names. A program that
# does not answer --help (it goes on to open its window) must list none; orvane-meters' page
# must also document the Qt options it takes and every key of the settings file it writes.
# Usage: tst_manpages.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1
source=$2

. "$(dirname "$0")/../scripts/lib.sh"
orvane_work manpages
failures=0
passes=0
pass() { passes=$((passes + 1)); echo "PASS   : $1"; }
fail() { failures=$((failures + 1)); echo "FAIL!  : $1"; }

# Runs PROGRAM --help with settings and a trace file of its own. Writes its output to
# $work/help and says "help" when it printed its help and exited 0, "window" when it ignored
# the option and began to build its window (it writes "window" to its trace then), or what
# else happened. It runs in a command substitution, a shell of its own: it ends what it
# starts itself.
run_help() {
    program=$1
    rm -f "$work/help" "$work/trace"
    mkdir -p "$work/config"
    env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" ORVANE_TRACE="$work/trace" \
        "$program" --help >"$work/help" 2>"$work/help.err" &
    pid=$!
    deadline=$(($(date +%s) + 60))
    while [ "$(date +%s)" -lt "$deadline" ]; do
        if ! kill -0 "$pid" 2>/dev/null; then
            status=0
            wait "$pid" || status=$?
            if [ "$status" -eq 0 ] && [ -s "$work/help" ]; then
                echo help
            else
                echo "exited with status $status"
            fi
            return
        fi
        if [ -f "$work/trace" ] && grep -q '^window ' "$work/trace"; then
            orvane_stop "$pid"
            echo window
            return
        fi
        sleep 0.1
    done
    orvane_stop "$pid"
    echo "neither printed its help nor opened its window in 60 s"
}

# "section|options" for each option line of a --help text: a heading "Send options:" opens
# section "send", a plain "Options:" the unnamed section. Value names lose Qt's <>.
help_options() {
    awk '
        /^[A-Za-z].*:$/ {
            section = tolower($0)
            sub(/:$/, "", section)
            sub(/ ?options$/, "", section)
            next
        }
        # Option lines are indented a little, wrapped descriptions far more.
        match($0, /^ +-/) && RLENGTH <= 5 {
            line = $0
            sub(/^ +/, "", line)
            sub(/  .*/, "", line)
            gsub(/[<>]/, "", line)
            print section "|" line
        }' "$1" | sort
}

# The same for the .TP items of a manual page's OPTIONS section.
page_options() {
    awk '
        /^\.SH / { in_options = ($0 == ".SH OPTIONS"); section = ""; next }
        !in_options { next }
        /^\.SS / {
            section = tolower($0)
            sub(/^\.ss /, "", section)
            gsub(/"/, "", section)
            sub(/ ?options$/, "", section)
            next
        }
        /^\.TP/ { item = 1; next }
        item {
            item = 0
            line = $0
            sub(/^\.[A-Z]+ /, "", line)
            gsub(/\\f[BIRP]/, "", line)
            gsub(/\\-/, "-", line)
            gsub(/"/, "", line)
            gsub(/  +/, " ", line)
            if (line ~ /^-/)
                print section "|" line
        }' "$1" | sort
}

# The text of one section of a page.
page_section() {
    awk -v name="$2" '
        /^\.SH / { inside = ($0 == ".SH " name || $0 == ".SH \"" name "\""); next }
        inside' "$1"
}

for program in orvane-meters orvane-feed; do
    page=$build/packaging/$program.1
    if [ ! -f "$page" ]; then
        fail "$program: no manual page at $page"
        continue
    fi
    page_options "$page" >"$work/page-options"
    answer=$(run_help "$build/$program")
    case $answer in
    help)
        help_options "$work/help" >"$work/help-options"
        if [ ! -s "$work/help-options" ]; then
            fail "$program --help lists no options"
        elif diff -u "$work/help-options" "$work/page-options" >"$work/diff"; then
            pass "$program: the page's options are those of --help ($(wc -l <"$work/help-options"))"
        else
            fail "$program: the page's options differ from --help (- help, + page)"
            sed 's/^/    /' "$work/diff"
        fi
        ;;
    window)
        if [ -s "$work/page-options" ]; then
            fail "$program has no --help, but its page lists options of its own"
            sed 's/^/    /' "$work/page-options"
        else
            pass "$program: no --help, and its page lists no options of its own"
        fi
        ;;
    *)
        fail "$program --help: $answer"
        sed 's/^/    /' "$work/help.err"
        ;;
    esac
done

# What orvane-meters takes and keeps beyond options of its own.
page=$build/packaging/orvane-meters.1
if [ -f "$page" ]; then
    page_section "$page" "QT OPTIONS" >"$work/qt"
    for option in platform display style; do
        if grep -q "^\\\\fB\\\\-$option\\\\fR" "$work/qt"; then
            pass "orvane-meters(1) documents the Qt option -$option"
        else
            fail "orvane-meters(1) does not document the Qt option -$option under QT OPTIONS"
        fi
    done
    page_section "$page" FILES >"$work/files"
    if grep -q 'Vexo/Unknown\.conf' "$work/files" && grep -q XDG_CONFIG_HOME "$work/files"; then
        pass "orvane-meters(1) names the settings file"
    else
        fail "orvane-meters(1) does not name \$XDG_CONFIG_HOME/Vexo/Unknown.conf under FILES"
    fi
    # Every key that the program stores.
    keys=$(sed -n 's/.*settings\.setValue(QStringLiteral("\([^"]*\)").*/\1/p' \
        "$source/app/settings.cpp")
    if [ -z "$keys" ]; then
        fail "no settings keys found in app/settings.cpp"
    fi
    for key in $keys; do
        if grep '^\.BR\? ' "$work/files" | grep -qw -- "$key"; then
            pass "orvane-meters(1) documents the settings key $key"
        else
            fail "orvane-meters(1) does not document the settings key $key under FILES"
        fi
    done
fi

echo "Totals: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
