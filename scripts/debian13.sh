#!/usr/bin/env bash
# Runs a command in a clean Debian 13 ("trixie") system with this tree bound in at /korvex, as
# Debian's own packagers build for a release: a minimal system made from Debian's archive with
# mmdebstrap, entered with chroot in a mount namespace of its own.
#
# The system is kept as a tarball in the cache folder ${KORVEX_CACHE:-${XDG_CACHE_HOME:-~/.cache}/korvex}
# and made again when it is older than a week. Each run unpacks a fresh copy, so every run
# starts from the bare system and the tree's scripts install what they need themselves; the
# packages they download are kept in the cache too. The tree's build folders are covered by
# empty ones inside, so that neither release's builds disturb the other's. The cache folder is
# bound in at the same path, for what is slow to make once (the Qt of the Windows build).
#
# With KORVEX_SYSTEM_ARCH set (arm64, say), the system is one of that architecture, kept apart
# from the machine's own; the kernel must be able to run its programs (scripts/arm64.sh
# gives it a binfmt_misc handler for qemu-user).
#
# usage: debian13.sh COMMAND [ARGUMENT...]    (run from anywhere; COMMAND runs in /korvex)
set -euo pipefail
tree=$(cd "$(dirname "$0")/.." && pwd)
cache=${KORVEX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/korvex}
arch=${KORVEX_SYSTEM_ARCH:-}
system=debian13${arch:+-$arch}
tarball=$cache/$system-minbase.tar
mirror=http://deb.debian.org

if ((EUID != 0)); then
    exec sudo KORVEX_CACHE="$cache" KORVEX_SYSTEM_ARCH="$arch" "$0" "$@"
fi
"$tree"/scripts/setup.sh --debian13

mkdir -p "$cache"
# Two systems may start at once (scripts/test.sh starts two): one makes the tarball, the other
# waits for it.
exec {lock}>"$tarball.lock"
flock --wait 1800 "$lock"
if [[ -z $(find "$tarball" -mtime -7 2>/dev/null) ]]; then
    echo "Making the Debian 13 system: $tarball"
    mmdebstrap --quiet --variant=minbase --mode=root ${arch:+"--arch=$arch"} --format=tar \
        trixie "$tarball.new" \
        "deb $mirror/debian trixie main" \
        "deb $mirror/debian trixie-updates main" \
        "deb $mirror/debian-security trixie-security main"
    mv "$tarball.new" "$tarball"
fi
exec {lock}>&-

root=$(mktemp -d "${TMPDIR:-/var/tmp}/korvex-$system.XXXXXX")
cleanup() {
    # The binds were made in a mount namespace of their own: out here the system is plain
    # files and empty folders.
    rm -rf --one-file-system "$root"
}
trap cleanup EXIT
tar -xf "$tarball" -C "$root"

archives=$cache/$system-apt-archives
mkdir -p "$archives/partial"
builds=(build build-run build-asan build-coverage build-fuzz build-package build-windows
    build-arm64)
for build in "${builds[@]}"; do mkdir -p "$tree/$build"; done

# The environment inside: a clean one, with the settings of Korvex's scripts passed on.
environment=(HOME=/root "TERM=${TERM:-dumb}" LANG=C.UTF-8 "KORVEX_CACHE=$cache"
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin)
for name in CI SOURCE_DATE_EPOCH KORVEX_FUZZ_SECONDS KORVEX_SANITIZE_SKIP_E2E; do
    if [[ -n ${!name:-} ]]; then environment+=("$name=${!name}"); fi
done
# The table of stages, when kept in the tree, is written to from inside too.
if [[ ${KORVEX_TIMES:-} == "$tree"/* ]]; then
    environment+=("KORVEX_TIMES=/korvex/${KORVEX_TIMES#"$tree"/}")
fi

# A script for new mount and process namespaces: bind what the system needs, then chroot.
# The binds exist only inside, and nothing started inside outlives the command.
unshare --mount --propagation private --pid --fork -- bash -euo pipefail -s -- "$@" <<EOF
root='$root'
# The system's root is a mount point of its own, as a root is, for the tools that remount it
# (mmdebstrap, say).
mount --bind "\$root" "\$root"
mount -t proc proc "\$root/proc"
mount --rbind /sys "\$root/sys"
mount -t tmpfs tmpfs "\$root/tmp"
# A /dev of its own with the machine's devices bound in, so that nothing inside can remove or
# replace one of the machine's (a bound node cannot be unlinked or renamed over).
mount -t tmpfs -o mode=755,nosuid tmpfs "\$root/dev"
for node in null zero full random urandom tty; do
    touch "\$root/dev/\$node"
    mount --bind "/dev/\$node" "\$root/dev/\$node"
done
mkdir "\$root/dev/pts" "\$root/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts "\$root/dev/pts"
mount -t tmpfs tmpfs "\$root/dev/shm"
ln -s pts/ptmx "\$root/dev/ptmx"
ln -s /proc/self/fd "\$root/dev/fd"
ln -s /proc/self/fd/0 "\$root/dev/stdin"
ln -s /proc/self/fd/1 "\$root/dev/stdout"
ln -s /proc/self/fd/2 "\$root/dev/stderr"
cp /etc/resolv.conf "\$root/etc/resolv.conf"
mkdir -p "\$root/korvex" "\$root$cache"
mount --bind '$tree' "\$root/korvex"
mount --bind '$archives' "\$root/var/cache/apt/archives"
mount --bind '$cache' "\$root$cache"
for build in ${builds[*]@Q}; do
    mkdir -p "\$root/var/tmp/builds/\$build"
    mount --bind "\$root/var/tmp/builds/\$build" "\$root/korvex/\$build"
done
# apt keeps what it downloaded, for the next run.
echo 'Binary::apt::APT::Keep-Downloaded-Packages "true";' >"\$root/etc/apt/apt.conf.d/keep-cache"
exec chroot "\$root" /usr/bin/env -i ${environment[*]@Q} \
    bash -c 'cd /korvex && exec "\$@"' bash "\$@"
EOF
