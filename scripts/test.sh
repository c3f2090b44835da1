#!/usr/bin/env bash
# Runs every check of Korvex without a display of your own, on each system it is built for:
#   1. the Linux checks on this machine (scripts/linux-checks.sh; Debian 12 here);
#   2. the same checks in a clean Debian 13 system (scripts/debian13.sh);
#   3. the two releases side by side: the windows' screenshots and the places of their
#      controls (tests/releases/compare.sh), and the package built here installed and started
#      there (packaging/check_package.sh --install-only);
#   4. the Windows build with its tests under Wine, in the Debian 13 system
#      (scripts/windows.sh), right after that system's Linux checks.
# With --linux, everything but the Windows build. To check one release alone, run
# scripts/linux-checks.sh here, or scripts/debian13.sh scripts/linux-checks.sh.
#
# usage: test.sh [--linux]
set -euo pipefail
cd "$(dirname "$0")/.."
here=$(. /etc/os-release && echo "$VERSION_CODENAME")
# stage NAME: announces the next stage with the seconds gone since the start.
stage() { echo "=== $1 (at $SECONDS s)"; }

stage "the Linux checks on this machine ($here)"
scripts/linux-checks.sh

# One Debian 13 system for its Linux checks and the Windows build, so that what both need is
# installed once.
debian13=(scripts/linux-checks.sh)
if [[ ${1:-} != --linux ]]; then debian13+=("&&" scripts/windows.sh); fi
stage "the Linux checks on Debian 13${debian13[2]:+, then the Windows build there}"
scripts/debian13.sh bash -c "${debian13[*]}"

stage "$here and Debian 13 side by side"
tests/releases/compare.sh "build-releases/$here" build-releases/trixie
scripts/debian13.sh packaging/check_package.sh --install-only \
    "build-releases/$here/korvex_1.1.1-1_amd64.deb"
stage "all checks passed"
