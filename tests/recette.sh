#!/usr/bin/env bash
# tests/recette.sh WINDOWS_BUILD WINE PREFIX CASE: the acceptance kit of WINDOWS_BUILD under wine, on
# the emulated box, driven through a pipe as a tester answers it. Beside it, the test build of the
# program stands as chg_4917.exe: each pause is recorded, not waited.
set -euo pipefail
build=$1 wine=$2
export WINEPREFIX=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$build/recette.exe" "$dir"
cp "$build/chg_4917_test.exe" "$dir/chg_4917.exe"
unset FTEMU_DEVICES FTEMU_EEPROM FTEMU_STRINGS FTEMU_FAIL FTEMU_TRACE
export WINEPATH="Z:$build/emulator" FTEMU_SETTINGS="Z:$dir/settings" \
  FTEMU_IMAGE="Z:$dir/box.eeprom" CHG4917_PAUSE_LOG="Z:$dir/pauses"
: >"$dir/settings"

fail() { echo "FAIL: $*"; cat "$dir/out"; exit 1; }

# kit ANSWER...: runs the kit and answers each prompt with the next ANSWER. An answer NAME=value writes
# the emulator's settings file (the box unplugged, a device plugged in) and answers Enter. Standard
# input ends after the last answer. Sets status and verdicts, the verdict column of the kit's table.
kit() {
  local line answer pid
  # As on a French PC. Wine's own messages go to a file: the services it may start keep them open.
  coproc KIT { cd "$dir" && exec env LC_ALL=fr_FR.UTF-8 "$wine" recette.exe 2>>"$dir/err"; }
  pid=$KIT_PID
  exec 3<&"${KIT[0]}" 4>&"${KIT[1]}"
  eval "exec ${KIT[0]}<&- ${KIT[1]}>&-"  # only 3 and 4 stay open, so that closing 4 ends the kit's input
  [ $# -gt 0 ] || exec 4>&-
  while IFS= read -r line <&3; do
    printf '%s\n' "${line%$'\r'}" >>"$dir/out"
    [[ $line == '> '* && $# -gt 0 ]] || continue
    answer=$1
    shift
    if [[ $answer == *=* ]]; then
      echo "$answer" >"$dir/settings"
      answer=
    fi
    echo "$answer" >&4
    [ $# -gt 0 ] || exec 4>&-
  done
  exec 3<&-
  status=0
  wait "$pid" || status=$?
  verdicts=$(sed -nE 's/^ ?[0-9]+\. .*  (conforme|différent|échec|non testé)$/\1/p' "$dir/out" | paste -sd,)
}
expect() {  # STATUS VERDICTS, then the number of recorded pauses of 5 s
  [ "$status" = "$1" ] || fail "status $status, not $1"
  [ "$verdicts" = "$2" ] || fail "verdicts $verdicts"
  [ "$(grep -cx $'pause 5\r' "$dir/pauses")" = "$3" ] || fail "$(cat "$dir/pauses") for $3 pauses of 5 s"
}
PASSED=$(printf ',non testé%.0s' 1 2 3 4 5)

case $4 in
# Every step, the tester's included, from the factory box; the report names the exe and the DLL.
factory_box)
  kit "" FTEMU_DEVICES=0 FTEMU_DEVICES=2 "" o o FTEMU_DEVICES=1
  expect 0 "$(printf 'conforme%.0s,' {1..13})conforme" 14
  report=$(ls "$dir"/recette-*-????-??-??-??????.txt)
  sum=$(sha256sum "$dir/chg_4917.exe")
  for line in "chg_4917.exe SHA-256 : ${sum%% *}" "FTD2XX.dll : ${WINEPATH//\//\\}\\FTD2XX.dll" \
    "FTD2XX.dll version : 1.0.0.0, Emulated device library of the chg_4917 tests, never for a technician, chg_4917 tests, 32 bits" \
    "Recette : conforme" "  Dans son message, é et à se lisaient-ils bien ? o"; do
    grep -qxF "$line"$'\r' "$report" || fail "no line: $line"
  done
  [ "$(head -c3 "$report")" = $'\xef\xbb\xbf' ] && ! grep -qv $'\r$' "$report" || fail "not UTF-8 with CR LF" ;;
# Programming fails: every step that writes is an échec, and so is the kit.
programming_fails)
  echo FTEMU_FAIL=FT_EE_Program=12 >"$dir/settings"
  kit ""
  expect 1 "conforme,échec,échec,différent,échec,échec,échec,échec,différent$PASSED" 9
  grep -qx 'Recette : échec' "$dir/out" || fail "the kit is not an échec" ;;
# A program whose success message differs by one letter is never conforme where it writes.
one_letter_off)
  sed -i 's/correctement effectuee\./correctement effectuea./' "$dir/chg_4917.exe"
  kit ""
  expect 1 "conforme,échec,conforme,conforme,échec,conforme,échec,conforme,conforme$PASSED" 9 ;;
# Without FTD2XX.dll the kit says so and runs nothing.
no_library)
  unset WINEPATH
  kit
  grep -q "^FTD2XX.dll est introuvable" "$dir/out" || fail "no word of the missing FTD2XX.dll"
  [ "$status" = 2 ] && [ ! -e "$dir/pauses" ] && ! ls "$dir"/recette-*.txt 2>/dev/null || fail "it went on" ;;
# A 64-bit FTD2XX.dll beside the program comes before the one on the path: the kit names it and stops.
library_64_bit)
  { printf 'MZ%058d\x40\0\0\0PE\0\0\x64\x86' 0; head -c 64 /dev/zero; } >"$dir/FTD2XX.dll"
  kit
  grep -q "^Le FTD2XX.dll que Windows chargerait, Z:.*\\FTD2XX.dll, est la version 64 bits" "$dir/out" &&
    [ "$status" = 2 ] && [ ! -e "$dir/pauses" ] || fail "status $status" ;;
*) echo "recette.sh: no case $4" >&2; exit 2 ;;
esac
