#!/usr/bin/env bash
# Makes a new Wine prefix in PREFIX for the Windows tests, as a Windows would have it:
# with the fonts of Windows (MS Sans Serif among them) in C:\windows\Fonts. Each NAME=VALUE
# argument becomes a variable of the Windows environment; Wine passes none whose name begins
# with QT_ from the Linux one. With --offscreen-fonts, the fonts that Qt's offscreen platform
# reads (QT_QPA_FONTDIR), the same as the Linux tests use, go to C:\fonts. A new prefix's first
# program waits for the prefix to be made, hence the bounds.
#
# usage: prefix.sh PREFIX [--offscreen-fonts] [NAME=VALUE]...
set -euo pipefail
export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=
shift

rm -rf "$WINEPREFIX"
echo "prefix: making $WINEPREFIX"
timeout 180 wineboot --init
# The installer's shortcuts must not become entries of the Linux desktop's menu.
timeout 60 wine reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /d '' /f \
    >/dev/null
# Debian's Wine looks for its own fonts in /usr/share/fonts rather than where fonts-wine puts
# them, so a new prefix lacks them.
cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
if [[ ${1:-} == --offscreen-fonts ]]; then
    shift
    mkdir -p "$WINEPREFIX/drive_c/fonts"
    cp /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf \
        /usr/share/fonts/truetype/crosextra/Carlito-Regular.ttf "$WINEPREFIX/drive_c/fonts/"
    set -- 'QT_QPA_FONTDIR=C:\fonts' "$@"
fi
for setting in "$@"; do
    timeout 60 wine reg add 'HKCU\Environment' /v "${setting%%=*}" /d "${setting#*=}" /f \
        >/dev/null
done
timeout 60 wineserver --wait
