# Sourced by the build scripts: a throwaway Wine prefix under the build tree,
# a persistent wineserver so each test process starts fast, and an X server
# for windows when none is set.
ORVANE_BUILD=${ORVANE_BUILD:-"$ORVANE_ROOT/build"}
export WINEPREFIX="$ORVANE_BUILD/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

# An X server for windows: reuse one that is running, else start one.
if [ -z "${DISPLAY:-}" ]; then
  for n in 91 92 93 94 95 96 97 98; do
    # The error redirection comes first: a missing lock file is no news.
    pid=$(tr -d ' ' 2>/dev/null <"/tmp/.X$n-lock" || true)
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
      export DISPLAY=":$n"
      break
    fi
  done
fi
if [ -z "${DISPLAY:-}" ]; then
  for n in 91 92 93 94 95 96 97 98; do
    rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n" 2>/dev/null
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    if [ -e "/tmp/.X11-unix/X$n" ]; then
      export DISPLAY=":$n"
      break
    fi
  done
fi

# Wine's own fonts (its symbol font draws the caption buttons of the windows
# it frames) into a prefix's font folder: the system's Wine finds them only
# there, and its prefix set-up does not copy them.
orvane_wine_fonts() {
  local fonts="$1/drive_c/windows/Fonts"
  [ -d /usr/share/wine/fonts ] && [ -d "$fonts" ] || return 0
  for f in /usr/share/wine/fonts/*.ttf; do
    [ -e "$fonts/$(basename "$f")" ] || cp "$f" "$fonts/" 2>/dev/null || true
  done
}

mkdir -p "$ORVANE_BUILD"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Preparing a Wine prefix in $WINEPREFIX"
  "$WINE64" wineboot -i >/dev/null 2>&1 || true
fi
orvane_wine_fonts "$WINEPREFIX"
"$WINESERVER" -p >/dev/null 2>&1 || true
# A program that crashes prints its backtrace and ends, rather than wait
# for someone to close Wine's crash dialog on a screen nobody sees.
if [ ! -f "$WINEPREFIX/.orvane-no-crash-dialog" ]; then
  "$WINE64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null &&
    touch "$WINEPREFIX/.orvane-no-crash-dialog"
fi
# The first program after the server starts brings up Wine's own service
# processes, and they keep whatever output handles that program had. Start
# them here, on /dev/null, so that no test runner later waits on a pipe one
# of them still holds.
"$WINE64" cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
