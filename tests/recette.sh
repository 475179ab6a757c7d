#!/usr/bin/env bash
# tests/recette.sh WINDOWS_BUILD WINE PREFIX CASE: the acceptance kit of WINDOWS_BUILD under wine, on
# the emulated box, driven through a pipe as a tester answers it. Beside it, the test build of the
# program stands as chg_4917.exe; its pause is recorded and lasts half its seconds, more than the
# 0.4 s a second that the kit's test build, recette_test.exe, expects.
set -euo pipefail
build=$1 wine=$2
export WINEPREFIX=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
folder=$dir  # the kit's
cp "$build/recette_test.exe" "$dir/recette.exe"
cp "$build/chg_4917_test.exe" "$dir/chg_4917.exe"
unset FTEMU_DEVICES FTEMU_EEPROM FTEMU_STRINGS FTEMU_FAIL FTEMU_TRACE FTEMU_FLIP CHG4917_LF_ONLY \
  CHG4917_CRASH_IN_CONSOLE
win=Z:${dir//\//\\}
export WINEPATH="Z:$build/emulator" FTEMU_SETTINGS="$win\\settings" FTEMU_IMAGE="$win\\box.eeprom" \
  CHG4917_PAUSE_LOG="$win\\pauses" CHG4917_PAUSE_MS=500
: >"$dir/settings"

fail() { echo "FAIL: $*"; cat "$dir/out"; [ -z "${report:-}" ] || echo "$report"; exit 1; }

# kit ANSWER...: runs the kit and answers each prompt with the next ANSWER. An answer NAME=value...
# writes the emulator's settings file, a line a setting (the box unplugged, a device plugged in), and
# answers Enter; an answer @FUNCTION ANSWER runs the shell function, then answers ANSWER. Standard
# input ends after the last answer. Sets status, verdicts (the verdict column of the kit's table),
# last (its last line) and report (the report's text).
kit() {
  local line answer action pid
  # As on a French PC. Wine's own messages go to a file: the services it may start keep them open.
  coproc KIT { cd "$dir" && exec env LC_ALL=fr_FR.UTF-8 timeout 600 "$wine" "$folder/recette.exe" 2>>"$dir/err"; }
  pid=$KIT_PID
  exec 3<&"${KIT[0]}" 4>&"${KIT[1]}"
  eval "exec ${KIT[0]}<&- ${KIT[1]}>&-"  # only 3 and 4 stay open, so that closing 4 ends the kit's input
  [ $# -gt 0 ] || exec 4>&-
  while IFS= read -r line <&3; do
    printf '%s\n' "${line%$'\r'}" >>"$dir/out"
    [[ $line == '> '* && $# -gt 0 ]] || continue
    answer=$1
    shift
    if [[ $answer == @* ]]; then
      read -r action answer <<<"${answer#@}"
      "$action"
    elif [[ $answer == *=* ]]; then
      tr ' ' '\n' <<<"$answer" >"$dir/settings"
      answer=
    fi
    echo "$answer" >&4
    [ $# -gt 0 ] || exec 4>&-
  done
  exec 3<&-
  status=0
  wait "$pid" || status=$?
  verdicts=$(sed -nE 's/^ ?[0-9]+\. .*  (conforme|différent|échec|non testé)$/\1/p' "$dir/out" | paste -sd,)
  last=$(grep '^Recette : ' "$dir/out" || true)
  report=$(cat "$folder"/recette-*-????-??-??-??????.txt 2>/dev/null || true)
}
# expect STATUS VERDICTS LAST [PAUSES]: the kit's status, its verdicts (a verdict followed by *N stands
# for N of them), its last line and, where given, the number of pauses of 5 s the program made.
expect() {
  local item items want=
  IFS=, read -ra items <<<"$2"
  for item in "${items[@]}"; do
    [[ $item == *\** ]] || item+="*1"
    for _ in $(seq "${item##*\*}"); do want+=${item%%\**},; done
  done
  want=${want%,}
  [ "$status" = "$1" ] || fail "status $status, not $1"
  [ "$verdicts" = "$want" ] || fail "verdicts $verdicts, not $want"
  [ "$last" = "Recette : $3" ] || fail "last line: $last"
  [ $# -lt 4 ] || [ "$(grep -cx $'pause 5\r' "$dir/pauses")" = "$4" ] || fail "$(cat "$dir/pauses") for $4 pauses"
}
has() {  # each LINE stands whole in the report
  local line
  for line; do grep -qxF -- "$line"$'\r' <<<"$report" || fail "the report lacks: $line"; done
}
# No erase and no programming since the trace began.
wrote_nothing() { ! grep -E '^FT_(EraseEE|EE_Program)' "$dir/trace" || fail "written: $(cat "$dir/trace")"; }
TRACE="FTEMU_TRACE=$win\\trace"
# made_box IMAGE [COMMAND]: the program updates the box of IMAGE, as it leaves the factory, or runs
# COMMAND on it, outside the kit.
made_box() {
  (cd "$dir" && FTEMU_IMAGE="$win\\$1" "$wine" chg_4917.exe ${2:-} >/dev/null 2>&1) && rm "$dir/pauses"
}

case $4 in
# Every step, the tester's included, from the factory box. The DLL stands in the user's profile.
factory_box)
  profile="$WINEPREFIX/drive_c/users/$(id -un)"
  mkdir -p "$profile/${dir##*/}" && trap 'rm -rf "$dir" "$profile/${dir##*/}"' EXIT
  cp "$build/emulator/FTD2XX.dll" "$profile/${dir##*/}/"
  WINEPATH="C:\\users\\$(id -un)\\${dir##*/}" kit "" o FTEMU_DEVICES=0 FTEMU_DEVICES=2 "" o o FTEMU_DEVICES=1 o
  expect 0 'conforme*16' conforme 16
  grep -qxF '  Description     : Coffret 4917 non configure' "$dir/out" || fail "the box is not shown"
  [ "$(grep -A1 -xF "Le périphérique resté branché porte l'identité écrite par la recette :" "$dir/out" |
    tail -1)" = "  Manufacturer    : TALUP" ] || fail "step 15's read is not shown before step 16"
  version=$(sed -n '1s/^.*Rapport de recette de chg_4917 //p' <<<"$report")
  emulated="Emulated device library of the chg_4917 tests, never for a technician, chg_4917 tests"
  kit_sum=$(sha256sum "$dir/recette.exe") sum=$(sha256sum "$dir/chg_4917.exe")
  has "recette.exe : version ${version%$'\r'}" "recette.exe SHA-256 : ${kit_sum%% *}" \
    "chg_4917.exe SHA-256 : ${sum%% *}" "FTD2XX.dll : %USERPROFILE%\\${dir##*/}\\FTD2XX.dll" \
    "Version de FTD2XX.dll : 1.0.0.0, $emulated, 32 bits" "  Coffret à effacer : o" "  Coffret resté branché : o" \
    "  Dans son message, les lettres é et à s'affichaient-elles correctement ? o" "  Parcours attendu : read"
  [ "$(head -c3 "$dir"/recette-*.txt)" = $'\xef\xbb\xbf' ] && ! grep -qv $'\r$' "$dir"/recette-*.txt ||
    fail "not UTF-8 with CR LF" ;;
# A blank box takes the blank roads, at steps 1 and 2. The window did not close by itself: every step
# ran, one differs, and the kit is not conforme.
blank_box)
  made_box box.eeprom ERASE
  kit "" o FTEMU_DEVICES=0 FTEMU_DEVICES=2 "" o n FTEMU_DEVICES=1 o
  expect 1 'conforme*13,différent,conforme*2' différent 16
  grep -qF 'La mémoire de sa puce est vierge' "$dir/out" || fail "the blank box is not shown"
  has "  Parcours attendu : read_blank_box" "  Parcours attendu : auto_blank_box" \
    "  Verdict : différent (la fenêtre ne s'est pas fermée seule au bout d'environ 5 s)" ;;
# A blank device left plugged in at step 12, whose blank memory after step 11's programmed box is no
# fault of step 11's, a step skipped, one device in its own window and the accents said wrong, then a
# second box, updated already, left in the kit's box's place: the tester says it is not the kit's box,
# and none of them is written to.
careless_tester)
  made_box second.eeprom && made_box blank.eeprom ERASE
  kit "" o "FTEMU_DEVICES=1 FTEMU_IMAGE=$win\\blank.eeprom $TRACE" p "" n o "FTEMU_IMAGE=$win\\second.eeprom $TRACE" n
  expect 1 'conforme*11,différent,non testé,différent,conforme,non testé' 'différent ; 2 étapes non testées'
  wrote_nothing
  refused="le testeur n'a pas confirmé que le périphérique branché était le coffret de la recette"
  has "  Coffret resté branché : n" "  Verdict : non testé ($refused : rien n'y a été écrit)" \
    "  Verdict : non testé (étape sautée)" \
    "  Verdict : différent (les lettres é et à ne s'affichaient pas correctement)" ;;
# Enter, where the kit asks whether the box may be erased: nothing is written, and the kit is incomplete.
box_refused)
  echo "$TRACE" >"$dir/settings"
  kit "" ""
  expect 1 'conforme,non testé*15' 'incomplète ; 15 étapes non testées'
  wrote_nothing
  has "Recette arrêtée : le testeur n'a pas confirmé que ce coffret pouvait être effacé : rien n'a été écrit." \
    "  Coffret à effacer : Entrée" ;;
# The kit's folder, reached through a link, is gone when the report is written: the kit says so and
# is not conforme.
report_not_written)
  mkdir "$dir/kit" && mv "$dir"/*.exe "$dir/kit" && ln -s kit "$dir/link" && folder=$dir/link
  unlink_folder() { rm "$dir/link"; }
  kit "" "@unlink_folder n"
  expect 1 'conforme,non testé*15' 'incomplète ; 15 étapes non testées'
  grep -qxF "Le rapport n'a pas pu être écrit dans $win\\link." "$dir/out" &&
    [ -z "$(ls "$dir"/kit/*.txt 2>/dev/null)" ] || fail "a report, or no word of its absence" ;;
# A program that ends before its pause, its lines ended by LF alone: the reads differ, and the kit
# misses the lines that say how the box ends. No answer to the second question of step 14.
short_pause)
  CHG4917_PAUSE_MS=0 CHG4917_LF_ONLY=1 kit "" o FTEMU_DEVICES=0 FTEMU_DEVICES=2 "" o
  expect 1 'différent,échec*4,différent,échec*4,différent*3,non testé*3' 'échec ; 3 étapes non testées'
  has "  Verdict : différent (chg_4917.exe s'est fermé avant la fin de sa pause de 5 s)" \
    "  La fenêtre s'est-elle fermée seule, au bout d'environ 5 s ? pas de réponse" \
    "           octets   : 52 65 61 64 69 6e 67 20 46 54 20 6d 65 6d 6d 6f 72 79 20 6f 6e 6c 79 20 2e 2e 2e 0d 0a" \
    "           octets   : 52 65 61 64 69 6e 67 20 46 54 20 6d 65 6d 6d 6f 72 79 20 6f 6e 6c 79 20 2e 2e 2e 0a" ;;
# Two bits written wrong, a program that takes Read for write, a run that hangs, one that crashes,
# one that crashes only in a console of its own whatever the tester says, another device with another
# identity plugged in again: échec, with the bytes and the reasons, and that device is not written to.
faults)
  echo FTEMU_FLIP=32,47 >"$dir/settings"
  sed -i 's/\x00write\x00/\x00Read\x00\x00/' "$dir/chg_4917.exe"
  CHG4917_CRASH_IN_CONSOLE=1 kit "" o "FTEMU_DEVICES=0 FTEMU_FAIL=FT_ListDevices=hang" \
    "FTEMU_DEVICES=2 FTEMU_FAIL=FT_ListDevices=crash" FTEMU_DEVICES=2 o o "FTEMU_IMAGE=$win\\other.eeprom $TRACE" o
  expect 1 'conforme,échec*3,conforme*2,échec*9,non testé' 'échec ; 1 étape non testée'
  wrote_nothing
  said="chg_4917.exe dit avoir modifié le coffret" erased="La memoire n est pas vierge -> effacement ok "
  crash="  Verdict : échec (chg_4917.exe s'est terminé avec le code de sortie 0xc0000005)"
  has "  Octet 32 de l'enregistrement : attendu 00, obtenu 01" \
    "  Octet 47 de l'enregistrement : attendu 00, obtenu 01" \
    "  Verdict : échec ($said : « Mise a jour correctement effectuee. » ; $said : « $erased »)" \
    "  Verdict : échec (chg_4917.exe a été arrêté au bout de 30 s, sans code de sortie)" \
    "  Verdict : échec (il manque « Manufacturer    : TALUP » ; 8 octets de l'enregistrement diffèrent)"
  [ "$(grep -cxF "$crash"$'\r' <<<"$report")" = 2 ] || fail "not two crashes"
  seconds=$(grep -A4 '^Étape 13 ' <<<"$report" | sed -nE 's/^  Durée : ([0-9]+),.*/\1/p')
  [ "$seconds" -lt 5 ] || fail "the crash held the run $seconds s"
  ! grep -A3 '^Étape 12 ' <<<"$report" | grep -q 'Code de sortie' || fail "a killed run with a code" ;;
# Releases whose READ changes the box and says nothing of it, before its read-back (the READ of the
# blank box shows it) or after it: the next run finds the box changed, and that READ is an échec that
# names its step, in the console and the report.
read_writes)
  bytes="4 octets de l'enregistrement diffèrent ; " six='conforme*5,échec,différent,conforme*4,non testé*5'
  while IFS='|' read -r release step verdicts before was then; do
    rm -f "$dir/box.eeprom" "$dir/out" "$dir"/recette-*.txt
    cp "$build/chg_4917_$release.exe" "$dir/chg_4917.exe"
    kit "" o
    expect 1 "$verdicts" 'échec ; 5 étapes non testées'
    why="à l'étape $step, chg_4917.exe READ a modifié le coffret : il était $was au début de l'étape $step et"
    why+=" $then au début de l'étape $((step + 1))"
    grep -qxF "  L'étape $step est un échec : $why" "$dir/out" || fail "$release: no word of step $step's échec"
    has "  Verdict : échec ($before$why)"
  done <<EOF
read_writes|6|$six|$bytes|vierge|programmé
read_programs|6|$six||vierge|programmé
read_erases|1|échec*3,différent,conforme*3,échec,différent,échec,différent,non testé*5||programmé|vierge
EOF
  ;;
# Without FTD2XX.dll the kit says so and runs nothing.
no_library)
  unset WINEPATH
  kit
  grep -q "^FTD2XX.dll est introuvable" "$dir/out" || fail "no word of the missing FTD2XX.dll"
  [ "$status" = 2 ] && [ ! -e "$dir/pauses" ] && [ -z "$report" ] || fail "it went on" ;;
# A 64-bit FTD2XX.dll beside the program comes before the one on the path: the kit names it and stops.
library_64_bit)
  { printf 'MZ%058d\x40\0\0\0PE\0\0\x64\x86' 0; head -c 64 /dev/zero; } >"$dir/FTD2XX.dll"
  kit
  grep -q "^Le FTD2XX.dll que Windows chargerait, Z:.*\\FTD2XX.dll, est la version 64 bits" "$dir/out" &&
    [ "$status" = 2 ] && [ ! -e "$dir/pauses" ] || fail "status $status" ;;
*) echo "recette.sh: no case $4" >&2; exit 2 ;;
esac
