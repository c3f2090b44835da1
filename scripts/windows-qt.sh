#!/usr/bin/env bash
# Builds the Qt that the Windows build links, once, and prints the folder it is installed in.
#
# It is Debian's own qt6-base source, the same version and patches as the Qt of the Linux
# build, cross-compiled with mingw-w64 as static libraries, so that korvex.exe needs no Qt DLL.
# Its tools (moc, rcc, uic) are the host's, and the patches in scripts/qt-patches/ are applied
# on top of Debian's. The result is kept in the cache folder
# ${KORVEX_CACHE:-${XDG_CACHE_HOME:-~/.cache}/korvex}, under a name made of the Qt version and
# a hash of everything that decides its build: the source version, the compiler, the options
# below, the toolchain file and the patches. A later run with the same ones reuses it at once; a change of
# any of them builds a new one beside it.
#
# When it builds, it adds a line with its build steps, seconds and CPU seconds to the file
# KORVEX_TIMES names, if any (scripts/test.sh's table of stages).
#
# usage: windows-qt.sh      (the packages it needs come from setup.sh --windows)
set -euo pipefail
cd "$(dirname "$0")/.."

toolchain=$PWD/cmake/mingw-w64-x86_64.cmake
patches=("$PWD"/scripts/qt-patches/*.patch)
cache=${KORVEX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/korvex}
# The machine's own Qt: the arm64 one of the arm64 build may be installed beside it.
source_version=$(dpkg-query -W -f='${Version}' "qt6-base-dev:$(dpkg --print-architecture)")
upstream_version=${source_version%%+*}

options=(
    -DBUILD_SHARED_LIBS=OFF
    -DCMAKE_BUILD_TYPE=Release
    -DFEATURE_optimize_size=ON
    -DQT_BUILD_EXAMPLES=OFF
    -DQT_BUILD_TESTS=OFF
    # Core, Gui, Widgets and Test are all Korvex uses.
    -DFEATURE_concurrent=OFF -DFEATURE_dbus=OFF -DFEATURE_network=OFF
    -DFEATURE_printsupport=OFF -DFEATURE_sql=OFF -DFEATURE_xml=OFF
    -DINPUT_opengl=no -DFEATURE_vulkan=OFF
    -DFEATURE_icu=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF
    # Debian's source leaves out the Wintab headers that tablet input needs.
    -DFEATURE_tabletevent=OFF
    # Korvex's windows are labels, line edits, push buttons, a group box and message boxes
    # (which need check boxes, dialogs, dialog button boxes, labels and push buttons), drawn in
    # its own Fusion style, on the Windows platform plugin and, for the tests, the offscreen
    # one. None of what follows is used, by Korvex or by Qt Test; each takes what depends on it
    # along (item views take the combo box, the completer and the file, font and input
    # dialogs). The Direct2D platform plugin goes with direct2d1_1: 6.8's DirectWrite font
    # database needs direct2d itself to compile. Without item views, the style sheet style
    # and the Windows Vista and 11 styles (which Korvex never draws with) do not compile.
    -DFEATURE_direct2d1_1=OFF
    -DFEATURE_itemviews=OFF -DFEATURE_graphicsview=OFF -DFEATURE_textedit=OFF
    -DFEATURE_style_stylesheet=OFF -DFEATURE_style_windowsvista=OFF
    -DFEATURE_style_windows11=OFF
    -DFEATURE_mainwindow=OFF -DFEATURE_mdiarea=OFF -DFEATURE_calendarwidget=OFF
    -DFEATURE_colordialog=OFF -DFEATURE_progressdialog=OFF -DFEATURE_wizard=OFF
    -DFEATURE_pdf=OFF -DFEATURE_textodfwriter=OFF -DFEATURE_textmarkdownreader=OFF
    -DFEATURE_textmarkdownwriter=OFF -DFEATURE_systemtrayicon=OFF
    # The accessibility layer names every widget class, so a static build links each one that
    # is built, with its drawing code in the styles; these are widgets Korvex never shows.
    -DFEATURE_tabbar=OFF -DFEATURE_menubar=OFF -DFEATURE_splitter=OFF -DFEATURE_lcdnumber=OFF
    -DFEATURE_spinbox=OFF -DFEATURE_stackedwidget=OFF -DFEATURE_toolbox=OFF -DFEATURE_dial=OFF
    -DFEATURE_keysequenceedit=OFF -DFEATURE_commandlinkbutton=OFF -DFEATURE_radiobutton=OFF
    -DFEATURE_formlayout=OFF -DFEATURE_splashscreen=OFF -DFEATURE_rubberband=OFF
    -DFEATURE_sizegrip=OFF -DFEATURE_progressbar=OFF -DFEATURE_scroller=OFF
    -DFEATURE_gestures=OFF -DFEATURE_movie=OFF
    # Nor does it parse style sheets, regular expressions or dates, model files, sort or
    # proxy models, or count in the Islamic and Jalali calendars; the SHA-3 of its hash class
    # is built for size.
    -DFEATURE_cssparser=OFF -DFEATURE_regularexpression=OFF -DFEATURE_datetimeparser=OFF
    -DFEATURE_filesystemmodel=OFF
    -DFEATURE_proxymodel=OFF -DFEATURE_hijricalendar=OFF -DFEATURE_islamiccivilcalendar=OFF
    -DFEATURE_jalalicalendar=OFF -DFEATURE_sha3_fast=OFF
    # Korvex's captions, texts and numbers are Latin script, which the fonts' own glyph tables
    # and advances lay out whole: no text shaping engine (HarfBuzz) is needed.
    -DFEATURE_harfbuzz=OFF
    # One compiler run for many sources, and no bill of materials, which Korvex ships none of.
    -DQT_UNITY_BUILD=ON -DQT_GENERATE_SBOM=OFF
    # Windows has none of these libraries; Qt's own copies are linked in.
    -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_pcre2=OFF
    -DFEATURE_system_freetype=OFF
    -DFEATURE_system_doubleconversion=OFF
)

compiler=$(x86_64-w64-mingw32-g++-posix --version | head -n 1)
key=$(printf '%s\n' "$source_version" "$compiler" "${options[@]}" \
    | cat - "$toolchain" "${patches[@]}" | sha256sum | cut -c 1-12)
prefix=$cache/qt-$upstream_version-windows-$key

if [[ -f $prefix/.complete ]]; then
    echo "$prefix"
    exit 0
fi

work=$cache/work-$key
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix"

# The source comes through a private apt configuration with deb-src entries only, so that the
# machine's own sources stay as they are.
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
cat >"$work/deb-src.sources" <<EOF
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: $codename-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
mkdir -p "$work/lists/partial"
apt_options=(-o Dir::Etc::SourceList="$work/deb-src.sources" -o Dir::Etc::SourceParts=/dev/null
    -o Dir::State::Lists="$work/lists" -o APT::Sandbox::User=root -qq)
apt-get "${apt_options[@]}" update >&2
(cd "$work" && apt-get "${apt_options[@]}" source --download-only "qt6-base=$source_version" >&2)
(cd "$work" && dpkg-source -x ./*.dsc qtbase >&2)
for patch in "${patches[@]}"; do
    patch -d "$work/qtbase" -p1 --forward <"$patch" >&2
done

# The toolchain file is kept with the Qt: its CMake files load it from there.
cp "$toolchain" "$prefix/"
cmake -S "$work/qtbase" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$prefix/$(basename "$toolchain")" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    "${options[@]}" >&2
# shellcheck source=scripts/stages.sh
source scripts/stages.sh
steps=$(ninja -C "$work/build" -n | sed -n 's|^\[[0-9]*/\([0-9]*\)\].*|\1|p' | tail -n 1)
build_and_install() { cmake --build "$work/build" >&2 && cmake --install "$work/build" >&2; }
timed "Qt for Windows ($steps build steps)" build_and_install
echo "Qt for Windows: $steps build steps; $(tail -n 1 "${KORVEX_TIMES:-/dev/null}")" >&2
touch "$prefix/.complete"
rm -rf "$work"
echo "$prefix"
