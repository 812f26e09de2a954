#!/usr/bin/env bash
# Installs the cross compilers, Wine and the X server stand-in that the build
# and the tests need. Safe to run again: it only installs what is missing.
set -u

need=(cmake ninja-build g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
      mingw-w64-x86-64-dev mingw-w64-i686-dev binutils-mingw-w64-x86-64
      binutils-mingw-w64-i686 wine64 xvfb xauth time
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

# 32-bit Wine is optional: the 32-bit tests run only where it installs.
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  if [ ! -e /tmp/.orvane-wine32-tried ]; then
    touch /tmp/.orvane-wine32-tried
    { dpkg --add-architecture i386 && apt-get update -qq &&
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq wine32:i386; } >/dev/null 2>&1 ||
      echo "note: 32-bit Wine could not be installed here; 32-bit tests will be skipped"
  fi
fi
exit 0
