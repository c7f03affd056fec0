#!/usr/bin/env bash
# Checks the scrivane.exe that the release ships, with the cross binutils:
#   check_release_exe.sh RELEASE_DIR OBJDUMP NM ADDR2LINE
# under 1.25 MB (1 MB until live drawing, wheel zoom, the pages and the Options dialog came; a
# third of it is the splash picture, stored as a plain bitmap); no symbols and no debug sections; ASLR with high-entropy addresses and DEP; imports
# from Windows' own DLLs only; and a debug link to scrivane.debug, through which addr2line resolves
# an address in wWinMain to src/shell/main.cpp (and without which it cannot).
set -uo pipefail
dir=$1 objdump=$2 nm=$3 addr2line=$4
exe=$dir/scrivane.exe debug=$dir/scrivane.debug
failed=0
fail() { echo "FAILED: $*"; failed=1; }

size=$(stat -c %s "$exe")
echo "scrivane.exe: $size bytes, scrivane.debug: $(stat -c %s "$debug") bytes"
[ "$size" -lt 1310720 ] || fail "scrivane.exe is $size bytes, not under 1.25 MB"

sections=$("$objdump" -h "$exe" | awk '$1 ~ /^[0-9]+$/ {print $2}')
echo "sections:" $sections
if grep -q '^\.debug' <<<"$sections"; then fail "debug sections left in the exe"; fi
grep -qx '\.gnu_debuglink' <<<"$sections" || fail "no .gnu_debuglink section"
[ -z "$("$nm" "$exe" 2>/dev/null)" ] || fail "the exe still has a symbol table"
link=$("$objdump" -s -j .gnu_debuglink "$exe" | awk 'NR>4 {print $NF}' | tr -d '\n')
case "$link" in scrivane.debug*) ;; *) fail "the debug link names '$link', not scrivane.debug" ;; esac

headers=$("$objdump" -p "$exe")
flags=$(awk '$1 == "DllCharacteristics" {print $2}' <<<"$headers")
echo "DllCharacteristics: $flags"
# IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA 0x20, DYNAMIC_BASE 0x40, NX_COMPAT 0x100
(( (16#$flags & 0x160) == 0x160 )) || fail "DllCharacteristics $flags lacks HIGH_ENTROPY_VA, DYNAMIC_BASE or NX_COMPAT"

dlls=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$headers" | sort -u)
echo "imports:" $dlls
[ -n "$dlls" ] || fail "no imports found"
windows_dlls=" kernel32.dll user32.dll gdi32.dll shell32.dll advapi32.dll comdlg32.dll comctl32.dll ole32.dll oleaut32.dll windowscodecs.dll msvcrt.dll dwmapi.dll "
for d in $dlls; do
  case "$windows_dlls" in *" $d "*) ;; *) fail "imports $d, which is not one of Windows' own DLLs" ;; esac
done

address=$("$nm" "$debug" | awk '$3 == "wWinMain" {print $1}')
[ -n "$address" ] || fail "no wWinMain in scrivane.debug"
if [ -n "$address" ]; then
  # An address inside the function, as a crash report would give, not only its first byte.
  inside=$(printf '0x%x' $(( 16#$address + 8 )))
  resolved=$("$addr2line" -f -e "$exe" "$inside" | tr '\n' ' ')
  echo "addr2line -e scrivane.exe $inside: $resolved"
  [[ "$resolved" == "wWinMain "*src/shell/main.cpp:* ]] || fail "addr2line did not resolve $inside to wWinMain in src/shell/main.cpp"
  # The exe alone knows nothing: the answer came through the debug file.
  alone=$(mktemp -d)
  cp "$exe" "$alone/"
  resolved=$("$addr2line" -e "$alone/scrivane.exe" "$inside")
  rm -rf "$alone"
  [[ "$resolved" == "??:"* ]] || fail "the exe resolved $inside without its debug file: $resolved"
fi

[ $failed -eq 0 ] && echo "release exe checks passed"
exit $failed
