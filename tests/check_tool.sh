#!/bin/sh
# orvane.exe holds no component code: it reaches the component only through
# vel_vst.dll, as the player does. Read from the build's own records (Ninja's
# build graph and dependency log) and from the executable's symbols:
# 1. no object linked into orvane.exe, directly or through a static library,
#    is one of the component's objects, and none was compiled from or with a
#    file of the component's folders (shell/ vst/ dsp/ ui/ prefs/ bridge/,
#    and sources in host/). Allowed are host/'s headers, the declarations of the
#    interfaces both sides must agree on, and Helpers/, small utilities that
#    hold no component behaviour;
# 2. no global function that the component's objects define is in orvane.exe.
ninja="$1"; build="$2"; source="$3"; nm="$4"
tool=bin/orvane.exe; dll=bin/vel_vst.dll
cd "$build" || { echo "no build folder $build"; exit 1; }
[ -f "$tool" ] && [ -f "$dll" ] || { echo "build $tool and $dll first"; exit 1; }

# The explicit and implicit inputs of a build output, one a line.
inputs() {
  "$ninja" -t query "$1" | awk '
    /^  input:/ { on = 1; next }
    /^  outputs:/ { on = 0 }
    on { if ($1 == "||") next; if ($1 == "|") print $2; else print $1 }'
}

# The objects of a build output, those of its static libraries included.
objects_of() {
  inputs "$1" | while read -r input; do
    case "$input" in
      *.obj) echo "$input" ;;
      *.a) inputs "$input" | grep '\.obj$' ;;
    esac
  done | sort -u
}
# The component's own objects: its object library and the libraries of its
# bridge side and crash guard.
component_object='(vel_vst_objects|orvane_bridge_player|orvane_bridge_common|orvane_plugin_guard)\.dir/'

objects=$(objects_of "$tool")
[ -n "$objects" ] || { echo "found no objects of $tool in the build graph"; exit 1; }

failed=0
for obj in $objects; do
  if printf '%s\n' "$obj" | grep -Eq "$component_object"; then
    echo "$tool links the component's object $obj"; failed=1; continue
  fi
  deps=$("$ninja" -t deps "$obj")
  case "$deps" in
    *"(VALID)"*) ;;
    *) echo "no dependency record for $obj"; failed=1; continue ;;
  esac
  bad=$(printf '%s\n' "$deps" | sed -n 's/^    //p' | grep -E "^$source/((shell|vst|dsp|ui|prefs|bridge)/|host/.*\.(c|cc|cpp)$)")
  if [ -n "$bad" ]; then
    echo "$obj is built from component files:"; printf '%s\n' "$bad" | sed 's/^/  /'; failed=1
  fi
done

# Global functions defined by the component's objects, less those of inline
# functions and templates (each in a section of its own, .text$NAME, where
# x86 symbols carry one more leading underscore than the section's name),
# which the interface headers legitimately give both sides.
component_objects=$(objects_of "$dll" | grep -E "$component_object")
[ -n "$component_objects" ] || { echo "found no component objects of $dll in the build graph"; exit 1; }
component_functions=$(for obj in $component_objects; do
  "$nm" "$obj" | awk '
    $2 == "T" { defined[$3] = 1 }
    $2 == "t" && index($3, ".text$") == 1 { name = substr($3, 7); inline[name] = 1; inline["_" name] = 1 }
    END { for (s in defined) if (!(s in inline)) print s }'
done | sort -u)
tool_functions=$("$nm" --defined-only "$tool" | awk '{ print $3 }' | sort -u)
printf '%s\n' "$tool_functions" | grep -qx '_*wmain' || { echo "$tool has no symbol table to check"; exit 1; }
[ -n "$component_functions" ] || { echo "found no functions in the component's objects"; exit 1; }
shared=$(printf '%s\n' "$tool_functions" | grep -Fx -e "$component_functions")
if [ -n "$shared" ]; then
  echo "$tool contains component functions:"; printf '%s\n' "$shared" | head -n 10 | sed 's/^/  /'; failed=1
fi

[ "$failed" = 0 ] || exit 1
echo "orvane.exe: $(echo $objects | wc -w) objects, none from the component; $(echo $component_functions | wc -w) component functions, none in it"
