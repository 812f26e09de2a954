# Sourced by tools/test.sh: a 32-bit Debian userland under the build tree
# whose Wine runs the x86 build. The 64-bit system cannot take 32-bit Wine
# beside its own packages (its two architectures' package indexes are at
# different point releases), but inside one index they match, and the
# kernel runs 32-bit programs. The Wine in there is a WoW64 one: a prefix
# it makes runs x86 and x64 programs side by side.
#
# orvane_x86_root: makes the userland on first use (about a minute), reuses
# it after that and makes it anew when it is damaged. Answers 1, having
# said why in one line, where this machine cannot have it.
ORVANE_X86_ROOT=${ORVANE_X86_ROOT:-"$ORVANE_BUILD/x86root"}
export ORVANE_X86_ROOT

orvane_x86_packages=(wine wine32 wine64:amd64 libx11-6 libxext6 libxrender1 libxrandr2 libxi6
  libxcursor1 libxinerama1 libxcomposite1 libxfixes3 libfreetype6 libfontconfig1 fonts-wine)

# The Debian archive this machine's own apt sources name (one-line and
# deb822 forms), so the userland comes from where the system's packages do.
orvane_debian_mirror() {
  local files=(/etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources)
  cat "${files[@]}" 2>/dev/null |
    awk '/^deb /{for(i=2;i<=NF;i++) if($i ~ /^[a-z]+:\/\//){print $i; break}}
         /^URIs:/{for(i=2;i<=NF;i++) print $i}' |
    grep -v -- '-security' | head -n 1
}

orvane_x86_root_works() {
  local root=$ORVANE_X86_ROOT
  [ -f "$root/.orvane-complete" ] && [ -x "$root/usr/lib/wine/wine" ] && [ -x "$root/usr/lib/wine/wine64" ] || return 1
  chroot "$root" /bin/sh -c '
    for p in "$@"; do
      dpkg-query -W -f="\${Status}\n" "$p" 2>/dev/null | grep -q "install ok installed" || exit 1
    done' sh "${orvane_x86_packages[@]}" 2>/dev/null
}

# Whether anything is mounted inside the userland in this namespace (a
# hand-made bind mount): then it must not be removed.
orvane_x86_root_has_mounts() {
  # mountinfo writes a space in a path as \040, a tab as \011, and so on.
  awk -v root="$ORVANE_X86_ROOT/" '
    { p = $5; while (match(p, /\\[0-7][0-7][0-7]/)) {
        c = sprintf("%c", (substr(p, RSTART + 1, 1) * 64) + (substr(p, RSTART + 2, 1) * 8) + substr(p, RSTART + 3, 1))
        p = substr(p, 1, RSTART - 1) c substr(p, RSTART + 4) }
      if (index(p "/", root) == 1) found = 1 }
    END { exit !found }' /proc/self/mountinfo
}

orvane_x86_root() {
  orvane_x86_root_works && return 0
  [ "$(id -u)" = 0 ] || { echo "x86 tests skipped: making the 32-bit userland needs root"; return 1; }
  command -v debootstrap >/dev/null || { echo "x86 tests skipped: debootstrap is not installed"; return 1; }
  local mirror suite log="$ORVANE_BUILD/x86root.log"
  mirror=$(orvane_debian_mirror)
  suite=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
  [ -n "$mirror" ] && [ -n "$suite" ] || { echo "x86 tests skipped: no Debian archive in this machine's apt sources"; return 1; }
  echo "Making the 32-bit userland for the x86 tests in $ORVANE_X86_ROOT (once; about a minute)"
  # Nothing is ever mounted there for longer than one command (see
  # tools/wine-x86.sh), so removing it cannot reach outside the tree.
  # Only ever a folder inside the build tree is made anew.
  case "$ORVANE_X86_ROOT" in
    "$ORVANE_BUILD"/?*) ;;
    *) echo "x86 tests skipped: the 32-bit userland $ORVANE_X86_ROOT is not inside $ORVANE_BUILD"; return 1 ;;
  esac
  if orvane_x86_root_has_mounts; then
    echo "x86 tests skipped: something is mounted inside $ORVANE_X86_ROOT; unmount it first"
    return 1
  fi
  rm -rf --one-file-system "$ORVANE_X86_ROOT"
  mkdir -p "$ORVANE_BUILD"
  if ! debootstrap --arch=i386 --variant=minbase "$suite" "$ORVANE_X86_ROOT" "$mirror" >"$log" 2>&1; then
    if [ -x "$ORVANE_X86_ROOT/bin/true" ] && ! chroot "$ORVANE_X86_ROOT" /bin/true 2>/dev/null; then
      echo "x86 tests skipped: this kernel cannot run 32-bit programs"
    else
      echo "x86 tests skipped: the 32-bit userland could not be made (see $log)"
    fi
    return 1
  fi
  if ! unshare --mount --propagation private sh -c '
      root=$1; shift
      for d in proc sys dev; do mount --rbind "/$d" "$root/$d"; done
      cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null
      chroot "$root" sh -c "dpkg --add-architecture amd64 &&
        { apt-get update -qq || echo apt-get update reported a problem, trying the install anyway; } &&
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $*"
    ' sh "$ORVANE_X86_ROOT" "${orvane_x86_packages[@]}" >>"$log" 2>&1; then
    echo "x86 tests skipped: Wine could not be installed in the 32-bit userland (see $log)"
    return 1
  fi
  touch "$ORVANE_X86_ROOT/.orvane-complete"
  orvane_x86_root_works || { echo "x86 tests skipped: the 32-bit userland does not work (see $log)"; return 1; }
}
