#!/usr/bin/env bash
# Installs the cross compilers, Wine and the X server stand-in that the build
# and the tests need. Safe to run again: it only installs what is missing.
set -u

need=(cmake ninja-build g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
      mingw-w64-x86-64-dev mingw-w64-i686-dev binutils-mingw-w64-x86-64
      binutils-mingw-w64-i686 wine64 fonts-wine xvfb xauth time
      debootstrap  # the 32-bit userland whose Wine runs the x86 tests (tools/x86-root.sh)
      clang-14 libclang-rt-14-dev)  # the native fuzzing harnesses; time for the benchmark's memory figure

missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ -e /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # One stale package index must not stop the set-up; the install below says
  # whether what we need is really there.
  apt-get update -qq || echo "apt-get update reported a problem; trying the install anyway"
  apt-get install -y -qq --no-install-recommends "${missing[@]}" || {
    echo "error: could not install: ${missing[*]}" >&2
    exit 1
  }
fi

exit 0
