#!/bin/sh
# Without a display the window commands fail with one line and change
# nothing. Runs outside Wine so that DISPLAY can really be taken away.
wine="$1"; bin="$2"
profile=$(mktemp -d) || exit 1
trap 'rm -rf "$profile"' EXIT
tool() { "$wine" "$bin/orvane.exe" --profile "Z:$profile" --quiet "$@"; }
tool add "$bin/plugins/painter.dll" >/dev/null 2>&1 || { echo "cannot add the painter"; exit 1; }
tool chain add "Orvane Painter" >/dev/null 2>&1 || { echo "cannot build the chain"; exit 1; }
before=$(od -An -tx1 "$profile/velmora-state.bin")
for command in "edit 1" gui; do
  env -u DISPLAY WINEDEBUG=-all "$wine" "$bin/orvane.exe" --profile "Z:$profile" --quiet $command \
    >/dev/null 2>"$profile/err"
  code=$?
  err=$(tr -d '\r' < "$profile/err")
  expected="orvane: error: no display to show windows on (is DISPLAY set?)"
  [ "$code" = 1 ] && [ "$err" = "$expected" ] || { echo "$command exited $code and said: $err"; exit 1; }
done
after=$(od -An -tx1 "$profile/velmora-state.bin")
[ "$before" = "$after" ] || { echo "the profile changed"; exit 1; }
echo "edit and gui refuse to run without a display"
