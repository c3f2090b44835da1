#!/bin/bash
# Installs a built tree into a temporary prefix and builds its Debian package, then checks
# that both hold the program, its desktop entry, its icons and its metainfo, that the
# desktop entry and the metainfo validate, and what the package declares about itself.
#
# usage: check_package.sh <build folder> <application id> <version>
set -euo pipefail

build=${1:?usage: check_package.sh <build folder> <application id> <version>}
id=${2:?application id missing}
version=${3:?version missing}

missing=()
for tool in cpack desktop-file-validate appstreamcli dpkg-deb dpkg-shlibdeps readelf; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if ((${#missing[@]})); then
    echo "SKIP: not installed: ${missing[*]} (scripts/setup.sh installs them)"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

files=(
    bin/korvex
    "share/applications/$id.desktop"
    "share/icons/hicolor/32x32/apps/$id.png"
    "share/icons/hicolor/48x48/apps/$id.png"
    "share/metainfo/$id.metainfo.xml"
)

echo "== cmake --install into $work/prefix"
cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" \
    || { cat "$work/install.log"; fail "cmake --install failed"; }
for f in "${files[@]}"; do
    [[ -f $work/prefix/$f ]] || fail "installed tree lacks $f"
done
[[ -x $work/prefix/bin/korvex ]] || fail "bin/korvex is not executable"
for size in 32 48; do
    icon=$work/prefix/share/icons/hicolor/${size}x$size/apps/$id.png
    file -b "$icon" | grep -q "PNG image data, $size x $size" \
        || fail "$icon is not a ${size}x$size PNG: $(file -b "$icon")"
done

# searchpath <binary>: its RUNPATH or RPATH, if it has one.
searchpath() { readelf -d "$1" | sed -n 's/.*(R\(UN\)\{0,1\}PATH).*\[\(.*\)\]$/\2/p'; }
echo "== library search paths"
# An empty entry makes the loader search the folder the program is started from.
path=$(searchpath "$build/app/korvex")
if [[ -n $path ]] && [[ $path == :* || $path == *: || $path == *::* ]]; then
    fail "the build tree's korvex has an empty library search path entry: [$path]"
fi
path=$(searchpath "$work/prefix/bin/korvex")
[[ -z $path ]] || fail "the installed korvex has a library search path: [$path]"

echo "== desktop-file-validate"
desktop-file-validate "$work/prefix/share/applications/$id.desktop" \
    || fail "desktop-file-validate rejects $id.desktop"
echo "== appstreamcli validate --no-net"
appstreamcli validate --no-net "$work/prefix/share/metainfo/$id.metainfo.xml" \
    || fail "appstreamcli rejects $id.metainfo.xml"

echo "== cpack -G DEB"
cpack -G DEB -B "$work/deb" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; fail "cpack failed"; }
debs=("$work"/deb/*.deb)
[[ -f ${debs[0]} && ${#debs[@]} -eq 1 ]] || fail "cpack did not make exactly one .deb"
deb=${debs[0]}
echo "made $(basename "$deb")"

contents=$(dpkg-deb -c "$deb" | awk '{ print $NF }')
for f in "${files[@]}"; do
    grep -qxF "./usr/$f" <<<"$contents" || fail "$(basename "$deb") lacks ./usr/$f"
done

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == korvex ]] || fail "Package is '$(field Package)', not korvex"
[[ $(field Version) == "$version" ]] || fail "Version is '$(field Version)', not $version"
depends=$(field Depends)
echo "Depends: $depends"
for lib in libc6 libqt6widgets6 libqt6gui6; do
    grep -qE "(^|, )$lib( |,|$)" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

echo "package contents are complete"
