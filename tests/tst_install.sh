#!/bin/sh
# Installs the build into a staging folder as a package would, checks that the programs, the
# desktop entry, the theme icons and the AppStream metainfo land where a desktop looks for
# them and pass the desktop's own validators, then builds the Debian package and reads it back.
# Usage: tst_install.sh BUILD_DIR CMAKE CPACK
set -eu
build=$1
cmake=$2
cpack=$3
id=nl.vexo.OrvaneMeters

stage=$(mktemp -d "${TMPDIR:-/tmp}/orvane-install.XXXXXX")
trap 'rm -rf "$stage"' EXIT
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
    check "appstreamcli validate" appstreamcli validate --no-net "$metainfo"
else
    fail "appstreamcli is missing (scripts/install-deps installs appstream)"
fi

# The Debian package: the same files under /usr, and the Qt runtime as its dependencies.
check "cpack builds the Debian package" \
    "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$stage/package"
deb=$(ls "$stage"/package/*.deb 2>/dev/null | head -n 1)
check "the package is a .deb" test -n "$deb"
if [ -n "$deb" ]; then
    dpkg-deb -c "$deb" | awk '{print $6}' >"$stage/contents"
    for path in ./usr/bin/orvane-meters ./usr/bin/orvane-feed \
        ./usr/share/applications/$id.desktop ./usr/share/metainfo/$id.metainfo.xml \
        ./usr/share/icons/hicolor/256x256/apps/$id.png; do
        check "the package holds $path" grep -qx "$path" "$stage/contents"
    done
    depends=$(dpkg-deb -f "$deb" Depends)
    for runtime in libqt5core5a libqt5gui5 libqt5widgets5 libqt5network5 libqt5serialport5; do
        check "the package depends on $runtime" \
            sh -c 'echo "$1" | tr "," "\n" | grep -q "^ *$2 "' depends "$depends" "$runtime"
    done
    check "the package is named orvane-meters" test "$(dpkg-deb -f "$deb" Package)" = orvane-meters
fi

echo "Totals: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
