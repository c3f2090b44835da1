#!/usr/bin/env bash
# Installs korvex-<version>-x64.msi in a new Wine prefix the way a Windows administrator's
# script would (msiexec /qn), twice, then the installer of a later version over it; starts
# the installed korvex.exe on a private Xvfb under openbox to calculate and to delete the log;
# then uninstalls. The installer must make an empty C:/output.txt where there is none, never
# change one that is there, and leave it when uninstalled; no component may hold it, so that
# deleting it starts no repair. What the installer put on the disk and in the registry but
# the log must be gone again.
#
# Usage: msi.sh MSI VERSION KORVEX_EXE CMAKE MSI_DEFINITIONS LATER_VERSION UIAWALK_EXE
set -euo pipefail

readonly MSI=$1 VERSION=$2 KORVEX=$3 CMAKE=$4 MSI_DEFINITIONS=$5 LATER_VERSION=$6 UIAWALK=$7
readonly HERE=${BASH_SOURCE[0]%/*}
TEST_NAME=msi

# shellcheck source=tests/e2e/x11.sh
source "$HERE/../e2e/x11.sh"
# shellcheck source=tests/wine/uia.sh
source "$HERE/uia.sh"
trap cleanup EXIT
trap 'exit 143' INT TERM HUP

require_tools wine wineboot wineserver winepath Xvfb openbox xdotool xprop xwininfo iconv cmp \
    msiinfo

# snapshot NAME: the prefix's files and its registry, as text, in $WORK/NAME.*
snapshot() {
    (cd "$WINEPREFIX/drive_c" && find . | sort) >"$WORK/$1.files"
    for hive in HKLM HKCU; do
        wine reg export "$hive" "$WORK/$1.reg" /y >/dev/null
        # A line for each key and each value, the value's after its key.
        iconv -f UTF-16 -t UTF-8 "$WORK/$1.reg" | tr -d '\r' \
            | awk '/^\[/ { key = $0; print; next } NF { print key "\t" $0 }' | sort \
            >"$WORK/$1.$hive"
    done
}

msiexec() { wine msiexec "$@" /qn || fail "msiexec $* failed: $?"; }

# packed GUID: a GUID as Windows Installer writes it into key names, its groups reversed.
packed() {
    local hex=${1//[\{\}-]/} reversed="" i
    for i in 0:8 8:4 12:4; do reversed+=$(rev <<<"${hex:${i%:*}:${i#*:}}"); done
    echo "$reversed$(sed 's/\(.\)\(.\)/\2\1/g' <<<"${hex:16}")"
}

# installed_apps NAME: for each entry of Korvex in the installed apps, its value NAME, or with
# NAME "key" its registry key.
installed_apps() {
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null \
        | tr -d '\r' | awk -v name="$1" '
            /^HKEY/ { key = $0; next }
            { value = $0; sub(/^ *[^ ]+ +[^ ]+ +/, "", value); values[key, $1] = value }
            $1 == "DisplayName" && value == "Korvex" { keys[key] = 1 }
            END { for (key in keys) print name == "key" ? key : values[key, name] }'
}

started=$SECONDS
WORK=$(mktemp -d)
SHOTS=$WORK
step "making a new Wine prefix"
bash "$HERE/prefix.sh" "$WORK/wine"
export WINEPREFIX=$WORK/wine WINEDEBUG=-all
# Wine's desktop process, which the first program starts, shows every window on the display
# it found then.
start_xvfb "$WORK" || fail "Xvfb does not start: $(cat "$WORK/xvfb.log")"
start_wm
wineserver --persistent
readonly DRIVE_C=$WINEPREFIX/drive_c PROGRAM="$WINEPREFIX/drive_c/Program Files/Korvex/korvex.exe"
# Windows puts a per-machine installation's shortcuts into the Start menu of all users; Wine's
# Windows Installer puts them into the installing user's.
readonly SHORTCUT="$DRIVE_C/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Korvex.lnk"
readonly LOG=$DRIVE_C/output.txt
[[ ! -e $LOG ]] || fail "the new prefix has a C:/output.txt"
snapshot before

step "reading the installer's tables"
# The log is no file of a component, so no key path points at it, and the shortcut names the
# program itself rather than a feature, as an advertised one would.
msiinfo export "$MSI" File | grep -qi 'output' && fail "a component installs C:/output.txt"
shortcut_target=$(msiinfo export "$MSI" Shortcut \
    | awk -F'\t' '$1 == "StartMenuShortcut" { print $5 }')
[[ $shortcut_target == '[INSTALLDIR]korvex.exe' ]] \
    || fail "the shortcut is advertised or points elsewhere: $shortcut_target"

# run_korvex ACTIONS...: starts the installed korvex.exe, calls each action with its main window,
# and exits it.
run_korvex() {
    local korvex main action
    command wine "C:\\Program Files\\Korvex\\korvex.exe" >"$WORK/korvex.log" 2>&1 &
    korvex=$!
    main=$(wait_for_window '^Korvex $')
    for action in "$@"; do "$action" "$main"; done
    click_control "$main" "Korvex " Exit
    timeout 10 tail --pid="$korvex" -f /dev/null || fail "korvex.exe is still running after Exit"
}
delete_output() {
    local output
    click_control "$1" "Korvex " Output.txt
    output=$(wait_for_window '^Output.txt$')
    delete_log "$output"
}

step "installing $(basename "$MSI")"
msiexec /i "$(winepath -w "$MSI")"
cmp "$KORVEX" "$PROGRAM" || fail "the installed korvex.exe is not the one of the build"
[[ -f $LOG && ! -s $LOG ]] || fail "the installation made no empty C:/output.txt: $(ls -l "$LOG" 2>&1)"
[[ -f $SHORTCUT ]] || fail "no Start-menu shortcut: $(find "$DRIVE_C" -name '*.lnk')"
for value in "DisplayVersion $VERSION" "Publisher Korvex team" "NoModify 0x1"; do
    [[ $(installed_apps "${value%% *}") == "${value#* }" ]] \
        || fail "the installed apps show ${value%% *} '$(installed_apps "${value%% *}")'"
done
echo "msi: the entry in the installed apps:"
wine reg query "$(installed_apps key)" | tr -d '\r' | grep -v '^$'
product_code=$(installed_apps key)
product_code=${product_code##*\\}

step "installing it again"
msiexec /i "$(winepath -w "$MSI")"
[[ $(installed_apps DisplayVersion) == "$VERSION" ]] \
    || fail "the installed apps list Korvex as: $(installed_apps DisplayVersion)"
[[ -f $LOG && ! -s $LOG ]] || fail "installing again changed C:/output.txt: $(ls -l "$LOG" 2>&1)"

step "calculating with the installed korvex.exe"
run_korvex enter_6_7_4
printf '"Columns:",6\r\n"Rows:",7\r\n"Connection Length:",4\r\n\r\n' >"$WORK/expected.txt"
cmp "$WORK/expected.txt" "$LOG" || fail "the installed korvex.exe did not log"

step "installing a later version over it"
"$CMAKE" -DDEFINITIONS="$MSI_DEFINITIONS" -DVERSION="$LATER_VERSION" -DSTAGE="$WORK/later" \
    -DOUTPUT="$WORK/later.msi" -P "$HERE/../../packaging/msi.cmake"
msiexec /i "$(winepath -w "$WORK/later.msi")"
[[ $(installed_apps DisplayVersion) == "$LATER_VERSION" ]] \
    || fail "$LATER_VERSION did not replace $VERSION: $(installed_apps DisplayVersion)"
cmp "$WORK/expected.txt" "$LOG" || fail "installing $LATER_VERSION changed C:/output.txt"

step "deleting the log from the output-file window, then starting korvex.exe again"
run_korvex delete_output
[[ ! -e $LOG ]] || fail "C:/output.txt is still there after Delete Output"
run_korvex
[[ ! -e $LOG ]] || fail "starting korvex.exe again brought C:/output.txt back"
# As an administrator would make it again; Wine lets anyone.
run_korvex enter_6_7_4
cmp "$WORK/expected.txt" "$LOG" || fail "korvex.exe did not log to a new C:/output.txt"

step "uninstalling"
msiexec /x "$(winepath -w "$WORK/later.msi")"
snapshot after
[[ -z $(installed_apps DisplayName) ]] || fail "Korvex is still in the installed apps"
cmp "$WORK/expected.txt" "$DRIVE_C/output.txt" || fail "the uninstallation changed C:/output.txt"
# Windows Installer keeps its own folder for the packages it caches, and empty keys of its own;
# the log is the user's.
added_files=$(comm -13 "$WORK/before.files" "$WORK/after.files" \
    | grep -v -x -e './windows/Installer' -e './output.txt') || true
[[ -z $added_files ]] || fail "files left behind: $added_files"
# Outside Software, Wine keeps the state of the display it found; Software\Wine is its own.
for hive in HKLM HKCU; do
    left=$(comm -13 "$WORK/before.$hive" "$WORK/after.$hive" | grep -P '\t' \
        | grep -E '^\[HKEY_[A-Z_]+\\Software\\' | grep -v -F '\Software\Wine') || true
    [[ -z $left ]] || fail "registry values left behind in $hive: $left"
done
mentions=$(grep -i -h -E "korvex|$product_code|$(packed "$product_code")" "$WORK"/after.HK*) || true
[[ -z $mentions ]] || fail "the registry still mentions Korvex: $mentions"

echo "msi test passed in $((SECONDS - started)) s: installed twice, an empty C:/output.txt made" \
    "and kept, one entry in the installed apps, the shortcut, korvex.exe unchanged and" \
    "logging from Program Files, replaced by $LATER_VERSION, the log deleted and not" \
    "repaired, uninstalled without a trace but the log"
