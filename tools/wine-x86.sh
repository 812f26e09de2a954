#!/usr/bin/env bash
# Runs a Windows program of the x86 build under the 32-bit Wine of the
# userland that tools/x86-root.sh makes: ctest's emulator for that build,
# and the way to run the x86 tool by hand (tools/wine-x86.sh orvane.exe ...).
#
# The userland sees this machine's /proc, /sys, /dev and /tmp (the X
# server's socket and the wineserver's live there) and the source tree at
# its own path, so every path means the same on both sides. The mounts live
# in a mount namespace of this one command and vanish with it: nothing stays
# mounted inside the build tree.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVANE_BUILD:-"$here/build"}
root=${ORVANE_X86_ROOT:-"$build/x86root"}
if [ ! -f "$root/.orvane-complete" ]; then
  echo "wine-x86: no 32-bit userland in $root (tools/test.sh makes it)" >&2
  exit 127
fi
export WINEPREFIX=${ORVANE_X86_PREFIX:-"$build/wineprefix-x86"}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
# Wine's loader name decides the architecture of a new process only for
# the first program; WoW64 Wine starts x86 and x64 programs alike.
wine=${ORVANE_X86_WINE:-/usr/lib/wine/wine}

exec unshare --mount --propagation private /bin/sh -c '
  root=$1; tree=$2; build=$3; cwd=$4; wine=$5; shift 5
  for d in proc sys dev; do mount --rbind "/$d" "$root/$d"; done
  mount --rbind /tmp "$root/tmp"
  for d in "$tree" "$build"; do
    case "$d" in "$tree"/*) continue ;; esac
    mkdir -p "$root$d"
    mount --bind "$d" "$root$d"
  done
  case "$cwd" in "$tree"|"$tree"/*|"$build"|"$build"/*|/tmp|/tmp/*) ;; *) cwd=$build ;; esac
  exec chroot "$root" /bin/sh -c "cd \"\$0\" && exec \"\$@\"" "$cwd" "$wine" "$@"
' sh "$root" "$here" "$build" "$PWD" "$wine" "$@"
