#!/usr/bin/env bash
# Runs a command in a clean Debian 13 ("trixie") system with this tree bound in at /korvex, as
# Debian's own packagers build for a release: a minimal system made from Debian's archive with
# mmdebstrap, entered with chroot in mount and process namespaces of its own.
#
# The system is prepared once with everything the Debian 13 checks install (scripts/setup.sh
# --test --windows --arm64), and kept, unpacked, in the cache folder
# ${KORVEX_CACHE:-${XDG_CACHE_HOME:-~/.cache}/korvex}. It is made again when it is older than a
# week or when what it is prepared with changes (scripts/setup.sh, debian/control). Each run
# sees it through an overlay of its own: the run starts from the prepared system, its changes go
# to a scratch folder that is removed when it ends, and the prepared system never changes. The
# packages apt downloads are kept in the cache too. The tree's build folders are covered by
# empty ones inside, so that neither release's builds disturb the other's. The cache folder is
# bound in at the same path, for what is slow to make once (the Qt of the Windows build).
#
# usage: debian13.sh COMMAND [ARGUMENT...]
#   (run from anywhere; COMMAND runs in /korvex)
set -euo pipefail
tree=$(cd "$(dirname "$0")/.." && pwd)
cache=${KORVEX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/korvex}
mirror=http://deb.debian.org

if ((EUID != 0)); then
    exec sudo KORVEX_CACHE="$cache" "$0" "$@"
fi

setup=(--test --windows --arm64)
system=debian13
"$tree"/scripts/setup.sh --debian13

key=$(printf '%s\n' "$system" "${setup[@]}" \
    | cat - "$tree/scripts/setup.sh" "$tree/debian/control" | sha256sum | cut -c 1-12)
prepared=$cache/$system-$key

archives=$cache/$system-apt-archives
builds=(build build-run build-asan build-fuzz build-package build-windows build-arm64)
mkdir -p "$archives/partial"
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

# enter ROOT LOWER COMMAND...: runs the command in the system at ROOT, in new mount and process
# namespaces: binds what the system needs, then chroots. With LOWER, ROOT is first made an
# overlay of the prepared system LOWER, its changes going to ROOT's side folders; without, ROOT
# itself is changed (the system being prepared). The mounts exist only inside, and nothing
# started inside outlives the command.
enter() {
    local root=$1 lower=$2
    shift 2
    unshare --mount --propagation private --pid --fork -- bash -euo pipefail -s -- "$@" <<EOF
root='$root'
if [[ -n '$lower' ]]; then
    mount -t overlay overlay -o "lowerdir=$lower,upperdir=\$root.upper,workdir=\$root.work" \
        "\$root"
else
    # The system's root is a mount point of its own, as a root is, for the tools that remount
    # it (mmdebstrap, say).
    mount --bind "\$root" "\$root"
fi
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
}

# The prepared system is made by one run while the others wait for it, and used by any number
# at once: each run holds its lock shared for as long as it uses it, and making it anew waits
# until no run does. A second lock lets one run at a time look whether it needs making.
mkdir -p "$cache"
exec {making}>"$prepared.making"
if ! flock --nonblock "$making"; then
    echo "Waiting for another run to make or look at the Debian 13 system $prepared"
    flock --wait 3600 "$making"
fi
exec {using}>"$prepared.lock"
prepare() {
    flock --wait 3600 "$using"
    echo "Making the Debian 13 system $prepared, with setup.sh ${setup[*]}"
    rm -rf --one-file-system "$prepared" "$prepared.new"
    mmdebstrap --quiet --variant=minbase --mode=root --format=directory trixie "$prepared.new" \
        "deb $mirror/debian trixie main" \
        "deb $mirror/debian trixie-updates main" \
        "deb $mirror/debian-security trixie-security main"
    enter "$prepared.new" "" scripts/setup.sh "${setup[@]}"
    touch "$prepared.new/.complete"
    mv "$prepared.new" "$prepared"
}
if [[ -z $(find "$prepared/.complete" -mtime -7 2>/dev/null) ]]; then
    # shellcheck source=scripts/stages.sh
    source "$tree/scripts/stages.sh"
    timed "$system system prepared (setup.sh ${setup[*]})" prepare
fi
flock --shared "$using"
exec {making}>&-

# Systems prepared with what this tree no longer asks for, that no run uses now, and the
# tarball that earlier versions of this script kept.
rm -f "$cache/$system-minbase.tar"
for other in "$cache/$system"-*.lock; do
    other=${other%.lock}
    [[ $other != "$prepared" && ${other#"$cache/$system"-} != *-* ]] || continue
    if flock --nonblock "$other.lock" rm -rf --one-file-system "$other" "$other.new"; then
        rm -f "$other.lock" "$other.making"
    fi
done

scratch=$(mktemp -d "$cache/run-$system.XXXXXX")
cleanup() {
    # The overlay was mounted in a mount namespace of its own: out here its folders are plain.
    rm -rf --one-file-system "$scratch"
}
trap cleanup EXIT
mkdir "$scratch/root" "$scratch/root.upper" "$scratch/root.work"
enter "$scratch/root" "$prepared" "$@"
