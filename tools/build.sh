# Sourced by the build scripts: configures and builds one target.
# orvane_build ARCH (x64 or x86)
orvane_build() {
  local arch=$1 dir="$ORVANE_BUILD/$1"
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -G Ninja -S "$ORVANE_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ORVANE_ROOT/cmake/toolchain-$arch.cmake" >/dev/null
  fi
  echo "Building $arch"
  cmake --build "$dir" -- -k 0 >"$dir/build.log" 2>&1 || { cat "$dir/build.log" | grep -v '^\[' | tail -60; return 1; }
}
