#!/bin/sh
# Installs the build into a staging folder as the Debian package does, checks that the
# programs, the manual pages, the desktop entry, the theme icons and the AppStream metainfo
# land where a desktop looks for them and pass the desktop's own validators, and that every
# version they show is the changelog's. (scripts/test-package builds and installs the package.)
# Usage: tst_install.sh BUILD_DIR CMAKE SOURCE_DIR
set -eu
build=$1
cmake=$2
source=$3
id=nl.vexo.OrvaneMeters

. "$(dirname "$0")/../scripts/lib.sh"
orvane_work install
stage=$work
failures=0
passes=0
pass() { passes=$((passes + 1)); echo "PASS   : $1"; }
fail() { failures=$((failures + 1)); echo "FAIL!  : $1"; }
check() {
    what=$1
    shift
    if "$@" >"$stage/out" 2>&1; then
        pass "$what"
    else
        fail "$what"
        sed 's/^/    /' "$stage/out"
    fi
}

# The width and height in a PNG's header, as "WxH".
png_size() {
    [ "$(od -An -tx1 -N8 "$1" | tr -d ' \n')" = 89504e470d0a1a0a ] || return 1
    w=$(od -An -tu1 -j16 -N4 "$1" | awk '{print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4}')
    h=$(od -An -tu1 -j20 -N4 "$1" | awk '{print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4}')
    echo "${w}x${h}"
}

prefix=$stage/usr
check "cmake --install into a staging folder" "$cmake" --install "$build" --prefix "$prefix"

for program in orvane-meters orvane-feed; do
    check "bin/$program is installed and executable" test -x "$prefix/bin/$program"
done
check "the installed orvane-feed runs" "$prefix/bin/orvane-feed" --help

desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
check "desktop entry in share/applications" test -f "$desktop"
check "metainfo in share/metainfo" test -f "$metainfo"

for size in 16 32 48 64 128 256; do
    icon=$prefix/share/icons/hicolor/${size}x$size/apps/$id.png
    check "icon ${size}x$size is a PNG of that size" \
        test "$(png_size "$icon" 2>/dev/null)" = "${size}x$size"
done

# The entry starts an installed program and names an installed icon.
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
check "Exec= names an installed program ($exec_name)" test -x "$prefix/bin/$exec_name"
check "Icon= names the installed theme icon ($icon_name)" \
    test -f "$prefix/share/icons/hicolor/48x48/apps/$icon_name.png"
check "the metainfo launches this desktop entry" \
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo"

if command -v desktop-file-validate >/dev/null; then
    check "desktop-file-validate" desktop-file-validate "$desktop"
else
    fail "desktop-file-validate is missing (scripts/install-deps installs desktop-file-utils)"
fi
if command -v appstreamcli >/dev/null; then
    check "appstreamcli validate" appstreamcli validate --pedantic --no-net "$metainfo"
else
    fail "appstreamcli is missing (scripts/install-deps installs appstream)"
fi

for page in orvane-meters orvane-feed; do
    check "manual page $page(1) in share/man/man1" test -f "$prefix/share/man/man1/$page.1"
done

# The wall display: the user unit supervises the installed program, and the autostart entry
# is valid and off.
unit=$prefix/lib/systemd/user/orvane-meters.service
autostart=$prefix/etc/xdg/autostart/$id-autostart.desktop
check "user unit in lib/systemd/user" test -f "$unit"
for line in Type=notify WatchdogSec=10 Restart=on-failure PartOf=graphical-session.target \
    After=graphical-session.target WantedBy=graphical-session.target; do
    check "the unit has $line" grep -qx "$line" "$unit"
done
# Configured for the build's own prefix (/usr in the package).
unit_exec=$(sed -n 's/^ExecStart=//p' "$unit")
check "the unit starts the program in full screen ($unit_exec)" \
    test "$unit_exec" = "$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")/bin/orvane-meters --fullscreen"
check "autostart entry in etc/xdg/autostart" test -f "$autostart"
check "the autostart entry is off (Hidden=true)" grep -qx 'Hidden=true' "$autostart"
check "the autostart entry starts the program in full screen" \
    grep -qx 'Exec=orvane-meters --fullscreen' "$autostart"
if command -v desktop-file-validate >/dev/null; then
    check "desktop-file-validate the autostart entry" desktop-file-validate "$autostart"
fi

# One version everywhere: the changelog's newest entry.
version=$(sed -n '1s/^[^ ]* (\([^)]*\)).*/\1/p' "$source/debian/changelog")
day=$(date -u -d "$(sed -n 's/^ -- .*>  //p' "$source/debian/changelog" | head -n 1)" +%Y-%m-%d)
check "the changelog names a version ($version) and a day ($day)" test -n "$version"
check "orvane-feed --version is the changelog's" \
    test "$("$prefix/bin/orvane-feed" --version)" = "orvane-feed $version"
check "orvane-meters --version is the changelog's" \
    test "$("$prefix/bin/orvane-meters" --version)" = "orvane-meters $version"
check "the metainfo's release is the changelog's" \
    grep -q "<release version=\"$version\" date=\"$day\"/>" "$metainfo"
for page in orvane-meters orvane-feed; do
    check "$page(1) is of the changelog's version and day" \
        grep -q "^\.TH [^ ]* 1 $day \"$page $version\"" "$prefix/share/man/man1/$page.1"
done

echo "Totals: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
