#!/usr/bin/env bash
# A DLL planted beside the Windows programs never runs. For each program: the DLLs it loads
# (its imports and what a run under wine loads, +loaddll), then a folder with the program
# and a copy of tests/windows/planted.dll under each of those names, run again with native
# DLLs preferred for all of them (WINEDLLOVERRIDES=name=n,b): the planted DLL writes a
# marker file from DllMain the moment it is loaded, and no marker may appear.
#
# Windows' known DLLs are left out, and what they import in turn: Windows maps those from the
# system folder (its \KnownDlls object directory) whatever lies beside the program, and the
# imports check of scripts/package.sh allows no other import. Wine has no known DLLs (a
# planted user32.dll does run under wine), so planting them would test wine, not the
# programs. The import closure is what wine loads for tests/windows/known_dll_closure.exe,
# which imports the same known DLLs and does nothing.
#   scripts/windows-planted-dlls.sh BUILD_DIR
set -euo pipefail
build=$1
wine=${WINE:-/usr/lib/wine/wine64}
[ -x "$wine" ] || wine=$(command -v wine64)
planted=$build/tests/windows/planted.dll
closure_probe=$build/tests/windows/known_dll_closure.exe
[ -f "$planted" ] && [ -f "$closure_probe" ] || { echo "planted-dlls: $planted or $closure_probe was not built" >&2; exit 1; }
# The known DLLs, and the DLLs Windows maps beside them in its \KnownDlls object directory
# because the known ones import them (kernelbase, win32u).
known=" kernelbase win32u advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32 kernel32 msctf msvcrt \
normaliz nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 wldap32 ws2_32 ntdll "
# Loaded by no program today, but the usual suspects of DLL planting: they are planted too.
suspects="winmm comctl32 cfgmgr32 version uxtheme dwmapi ucrtbase cryptbase dbghelp propsys wininet winhttp \
textinputframework profapi userenv msimg32 powrprof"
work=$(mktemp -d /tmp/quenfall-planted.XXXXXX)
# Wine's services start before the first program runs, so that the trace below holds the
# program's own loads only.
"${WINESERVER:-wineserver}" -p 2>/dev/null || true
"$wine" cmd /c exit >/dev/null 2>&1 || true
trap 'rm -rf "$work"' EXIT

loaded_by() {
  WINEDEBUG=+loaddll timeout 120 "$wine" "$@" 2>&1 >/dev/null |
    sed -n 's/.*Loaded L"\([^"]*\)".*/\1/p' | sed 's/.*\\//' | tr 'A-Z' 'a-z' | sed 's/\.dll$//'
}
closure=" $(loaded_by "$closure_probe" | sort -u | tr '\n' ' ') "
echo "planted-dlls: left out as known DLLs and their imports:$known$closure" | tr -s ' '

# run NAME EXE ARGS...: the program's run, its stdout in $work/NAME.out.
run() {
  local name=$1 exe=$2
  shift 2
  timeout 120 "$wine" "$exe" "$@" >"$work/$name.out" 2>>"$work/$name.err" || true
}

check() {
  local name=$1 exe=$2
  shift 2
  local dir=$work/$name
  mkdir -p "$dir"
  cp "$exe" "$dir/"
  local copy=$dir/$(basename "$exe")
  # What it imports and what a run loads.
  local loaded
  loaded=$( { x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p'
              loaded_by "$copy" "$@"
              tr ' ' '\n' <<<"$suspects"; } | tr 'A-Z' 'a-z' | sed 's/\.dll$//' | grep -v '^$' | sort -u)
  local names=() overrides=() dll
  for dll in $loaded; do
    [[ "$known" == *" $dll "* || "$closure" == *" $dll "* ]] && continue
    [[ "$dll" == *.exe || "$dll" == *.drv || "$dll" == *.so ]] && continue
    cp "$planted" "$dir/$dll.dll"
    names+=("$dll")
    overrides+=("$dll=n,b")
  done
  # Now and then wine ends a program at start, before it prints a line: such a run is
  # repeated (up to three runs), and every run is checked for the marker.
  local attempt
  for attempt in 1 2 3; do
    rm -f "$work/marker" "$work/$name.out"
    QUENFALL_PLANTED_MARKER="$(winepath -w "$work/marker" 2>/dev/null || echo "Z:${work//\//\\}\\marker")" \
      WINEDLLOVERRIDES="$(IFS=';'; echo "${overrides[*]}")" run "$name" "$copy" "$@"
    if [ -s "$work/marker" ]; then
      echo "planted-dlls: a DLL planted beside $(basename "$exe") ran:" >&2
      cat "$work/marker" >&2
      exit 1
    fi
    [ -s "$work/$name.out" ] && break
    echo "planted-dlls: $(basename "$exe") $* printed nothing (run $attempt)"
  done
  echo "planted-dlls: $(basename "$exe") $*: ${#names[@]} DLLs planted (${names[*]})"
  # The program must have run for the check to mean anything.
  [ -s "$work/$name.out" ] || { echo "planted-dlls: $(basename "$exe") $* printed nothing" >&2; cat "$work/$name.err" >&2; exit 1; }
}

check cli-version "$build/src/cli/quenfall-cli.exe" --version
check cli-devices "$build/src/cli/quenfall-cli.exe" devices
if [ -n "${DISPLAY:-}" ]; then
  check window "$build/src/ui/quenfall.exe" --emulate --exit-when-shown
else
  echo "planted-dlls: no X server: quenfall.exe not checked"
fi
check helper "$build/src/ui/quenfall-radio-helper.exe" --self-check
echo "planted-dlls: no planted DLL ran"
