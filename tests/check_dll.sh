#!/bin/sh
# The DLL exports velmora_get_interface under its plain name and imports
# nothing but system DLLs and the player's own shared library, which the
# player has loaded before any component. The windowing libraries (common
# dialogs, common controls, themes) are left out on purpose: the component
# binds what it needs from them on first use (Helpers/windowing_calls.h),
# so that loading it does not load them.
objdump="$1"; dll="$2"
dump=$("$objdump" -p "$dll") || { echo "cannot read $dll"; exit 1; }
exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^\s*\[ *[0-9]+\]' | awk '{print $NF}')
if [ "$exports" != "velmora_get_interface" ]; then
  echo "expected the single export velmora_get_interface, found: $exports"; exit 1
fi
imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
for dll_name in $imports; do
  case "$dll_name" in
    kernel32.dll|user32.dll|gdi32.dll|shlwapi.dll|msvcrt.dll|advapi32.dll|shell32.dll|ole32.dll|shared.dll) ;;
    *) echo "unexpected import: $dll_name"; exit 1 ;;
  esac
done
echo "exports: $exports; imports: $(echo $imports)"
