#!/usr/bin/env bash
# End-to-end test of the Windows program r7700update.exe under Wine + Xvfb,
# against the simulated instrument r7700-sim on a pseudo-terminal that Wine
# sees as COM1, driven by the cross-built e2e_driver.exe. Also compares our
# portable profile reader with the Windows profile functions, and runs the
# command line r7700-update.exe on COM1 (tests/e2e/cli_case.sh).
#
# Usage: tests/e2e/run_wine_e2e.sh WINDOWS_BUILD_DIR NATIVE_BUILD_DIR
#   WINDOWS_BUILD_DIR  mingw-w64 build: app/win32/r7700update.exe,
#                      app/cli/r7700-update.exe and
#                      tests/e2e/drivers/{e2e_driver,profile_probe}.exe
#   NATIVE_BUILD_DIR   native build: sim/r7700-sim, app/cli/r7700-update,
#                      tools/r7700-make-sample-data, tests/e2e/profile_query
# Artefacts (logs, screenshots, simulator states) go to WINDOWS_BUILD_DIR/e2e.
# Time runs R7700_TIME_SCALE times real time (default 0.05), in the program
# and in the simulator alike. R7700_E2E_CASES picks cases (default: strings
# profiles numbered full restricted abort twin twin_profile cli). Exit status 0
# when every case passed.
set -uo pipefail

if [ $# -ne 2 ]; then
  sed -n '8,18p' "$0" >&2
  exit 64
fi
WIN_BUILD=$(realpath "$1")
NATIVE_BUILD=$(realpath "$2")
HERE=$(dirname "$(realpath "$0")")

EXE=$WIN_BUILD/app/win32/r7700update.exe
HELP_PAGE=$WIN_BUILD/app/win32/update-help.html
DRIVER=$WIN_BUILD/tests/e2e/drivers/e2e_driver.exe
TWIN_DRIVER=$WIN_BUILD/tests/e2e/drivers/twin_driver.exe
PROBE=$WIN_BUILD/tests/e2e/drivers/profile_probe.exe
SIM=$NATIVE_BUILD/sim/r7700-sim
SAMPLE=$NATIVE_BUILD/tools/r7700-make-sample-data
QUERY=$NATIVE_BUILD/tests/e2e/profile_query
OUT=$WIN_BUILD/e2e
COM_LINK=$OUT/com1
COM2_LINK=$OUT/com2
SCALE=${R7700_TIME_SCALE:-0.05}
RUN_LIMIT_S=900
# How long the program may take to end after its driver has finished.
END_GRACE_S=30
CASES=${R7700_E2E_CASES:-strings profiles numbered full restricted abort twin twin_profile cli}
# What the prefix's handler of .html files was asked to open, one a line.
HELP_OPENED=$OUT/help-opened.txt

for tool in Xvfb wine wineserver winepath; do
  command -v "$tool" >/dev/null || { echo "run_wine_e2e: $tool is not installed" >&2; exit 2; }
done
for file in "$EXE" "$HELP_PAGE" "$DRIVER" "$TWIN_DRIVER" "$PROBE" "$SIM" "$SAMPLE" "$QUERY" \
  "$WIN_BUILD/app/cli/r7700-update.exe" "$NATIVE_BUILD/app/cli/r7700-update"; do
  [ -e "$file" ] || { echo "run_wine_e2e: missing $file (build both trees first)" >&2; exit 2; }
done

mkdir -p "$OUT"
export WINEPREFIX=$OUT/wineprefix
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and their installers would ask.
export WINEDLLOVERRIDES="mscoree,mshtml="
export R7700_TIME_SCALE=$SCALE

# shellcheck source=tests/lib/case_results.sh
source "$HERE/../lib/case_results.sh"
XVFB_PID=""
SIM_PID=""

cleanup() {
  [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null
  wineserver -k 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
}
trap cleanup EXIT

start_display() {
  rm -f "$OUT/xvfb.display"
  Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>"$OUT/xvfb.display" \
    >"$OUT/xvfb.log" 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$OUT/xvfb.display" ] && break
    sleep 0.1
  done
  export DISPLAY=:$(head -n1 "$OUT/xvfb.display")
}

# A private prefix, made once. COM1 is our link to the simulator's terminal
# (Wine's mount manager makes dosdevices/com1 from this key at its start);
# COM2 the second one's, for two copies of the program at once.
# Xvfb has no window manager to draw captions and frames, and to activate
# windows, so every program runs in one Wine virtual desktop, which does.
prepare_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >"$OUT/wineboot.log" 2>&1
  fi
  wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$COM_LINK" /f >/dev/null 2>&1
  wine reg add 'HKLM\Software\Wine\Ports' /v COM2 /d "$COM2_LINK" /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d E2E /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v E2E /d 1024x768 /f >/dev/null 2>&1
  # Help pages "open" by being written down, so a case can see what opened.
  wine reg add 'HKLM\Software\Classes\.html' /ve /d r7700.help /f >/dev/null 2>&1
  wine reg add 'HKLM\Software\Classes\r7700.help\shell\open\command' /ve \
    /d "\"$(winepath -w "$DRIVER")\" opened \"$(winepath -w "$HELP_OPENED")\" \"%1\"" \
    /f >/dev/null 2>&1
  wineserver -w
  # One server for all cases, its diagnostics in a log of their own.
  wineserver -p >"$OUT/wineserver.log" 2>&1
  TEMP_FOLDER=$(winepath -u "$(wine cmd /c 'echo %TMP%' 2>/dev/null | tr -d '\r')")
}

# The temporary language images ("lng" and a number) in the program's TMP.
temp_images() {
  find "$TEMP_FOLDER" -maxdepth 1 -name 'lng*' 2>/dev/null | wc -l
}

# Waits for the program to end by itself; ends it (and fails) otherwise.
await_program() {  # pid
  local _
  for _ in $(seq $((END_GRACE_S * 10))); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$1" 2>/dev/null; then
    echo "    program still running after its driver ended: stopped" >&2
    wineserver -k 2>/dev/null
  fi
  wait "$1"
}

start_sim() {  # case-folder [sim options...]
  local dir=$1
  shift
  rm -f "$COM_LINK" "$dir/state.json"
  "$SIM" --link "$COM_LINK" --time-scale "$SCALE" --state "$dir/state.json" "$@" \
    >"$dir/sim.log" 2>&1 &
  SIM_PID=$!
  for _ in $(seq 100); do
    [ -L "$COM_LINK" ] && return 0
    sleep 0.1
  done
  return 1
}

stop_sim() {
  [ -n "$SIM_PID" ] || return 0
  for _ in $(seq 50); do
    kill -0 "$SIM_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill "$SIM_PID" 2>/dev/null
  wait "$SIM_PID" 2>/dev/null
  SIM_PID=""
}

# The program's folder: the program, its help page and sample data.
make_program_folder() {  # case-folder mode
  local prog=$1/prog
  rm -rf "$prog"
  mkdir -p "$prog"
  cp "$EXE" "$HELP_PAGE" "$prog/"
  "$SAMPLE" "$prog" --small --mode "$2" >"$1/sample.log" 2>&1
}

catalogue_names() {  # lang.cfg
  tr -d '\r' <"$1" | sed -e '/^#/d' -e '/^[[:space:]]*$/d' -e 's/^[ ,]*//' -e 's/[ ,\t].*//'
}

# Gives the program's settings file the access code in its third slot, so
# that Exit writes the choices back (and an abort observably does not).
add_access_code() {  # settings-file
  sed -i 's/^Language3=.*/Language3=R7700-SERVICE/' "$1"
}

to_png() {  # bmp files: converted when ImageMagick is at hand, kept either way
  local bmp
  for bmp in "$@"; do
    [ -f "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" 2>/dev/null
  done
  return 0
}

json_true() {  # state.json key
  grep -q "\"$2\": true" "$1"
}

# Starts the program in its folder and the driver beside it; waits for both.
run_case() {  # name mode scenario [sim options...]
  local name=$1 mode=$2 scenario=$3
  shift 3
  local dir=$OUT/$name
  mkdir -p "$dir"
  rm -f "$dir"/*.bmp "$dir"/*.png
  make_program_folder "$dir" "$mode" || { result "$name" 1 "sample data"; return 1; }
  local settings=$dir/prog/product.ini
  [ "$mode" = restricted ] && settings=$dir/prog/veskotdr.ini
  add_access_code "$settings"
  cp "$settings" "$dir/settings.before"
  rm -f "$TEMP_FOLDER"/lng*
  start_sim "$dir" "$@" || { result "$name" 1 "simulator did not start"; return 1; }
  local -a names
  mapfile -t names < <(catalogue_names "$dir/prog/data/lang.cfg")
  (cd "$dir/prog" && exec timeout "$RUN_LIMIT_S" wine r7700update.exe) >"$dir/program.log" 2>&1 &
  local program=$!
  timeout "$RUN_LIMIT_S" wine "$DRIVER" "$scenario" "$(winepath -w "$dir")" "${names[@]}" \
    >"$dir/driver.log" 2>&1
  local driver_status=$?
  await_program "$program"
  local program_status=$?
  stop_sim
  to_png "$dir"/*.bmp
  sed 's/^/    /' "$dir/driver.log"
  CASE_DIR=$dir CASE_SETTINGS=$settings DRIVER_STATUS=$driver_status PROGRAM_STATUS=$program_status
}

case_full() {
  run_case full full full
  local status=$DRIVER_STATUS detail=""
  [ "$PROGRAM_STATUS" -eq 0 ] || { status=1; detail+=" program exit $PROGRAM_STATUS;"; }
  if ! { json_true "$CASE_DIR/state.json" firmware_valid &&
         json_true "$CASE_DIR/state.json" languages_valid &&
         grep -q '"languages": \["Deutsch", "English"\]' "$CASE_DIR/state.json"; }; then
    status=1
    detail+=" instrument state: $(tr -d '\n' <"$CASE_DIR/state.json" 2>/dev/null | cut -c1-200);"
  fi
  [ "$(temp_images)" -eq 0 ] || { status=1; detail+=" temporary language image left behind;"; }
  # Exit saved the choices: Deutsch as boot language, English forced second.
  if ! { grep -q '^Language1=Deutsch' "$CASE_SETTINGS" &&
         grep -q '^Language2=English' "$CASE_SETTINGS"; }; then
    status=1
    detail+=" settings not saved on Exit;"
  fi
  result "full mode run" "$status" "$detail"
}

case_restricted() {
  rm -f "$HELP_OPENED"
  run_case restricted restricted restricted
  local status=$DRIVER_STATUS detail=""
  [ "$PROGRAM_STATUS" -eq 0 ] || { status=1; detail+=" program exit $PROGRAM_STATUS;"; }
  # Without update.hlp the start opens our help page instead of topic 1.
  local page
  page=$(winepath -w "$CASE_DIR/prog/update-help.html")
  if ! tr -d '\r' <"$HELP_OPENED" 2>/dev/null | grep -qixF "$page"; then
    status=1
    detail+=" help page not opened at start (opened: $(tr '\n' ' ' <"$HELP_OPENED" 2>/dev/null));"
  fi
  result "restricted mode window" "$status" "$detail"
}

case_abort() {
  run_case abort full abort
  local status=$DRIVER_STATUS detail=""
  [ "$PROGRAM_STATUS" -eq 0 ] || { status=1; detail+=" program exit $PROGRAM_STATUS;"; }
  cmp -s "$CASE_DIR/settings.before" "$CASE_SETTINGS" || { status=1; detail+=" settings written;"; }
  # The process ends at once: its temporary language image stays behind.
  echo "    temporary language images left by the abort: $(temp_images)"
  result "abort during a run" "$status" "$detail"
}

# The program's string table holds the texts the core shows its numbered
# messages from.
case_strings() {
  wine "$DRIVER" strings "$(winepath -w "$EXE")" >"$OUT/strings.log" 2>&1
  local status=$?
  sed 's/^/    /' "$OUT/strings.log"
  result "string table of the program" "$status"
}

# A copy of the program with entry 3 of its string table rewritten, whose
# product.ini exists but is held open without sharing by the driver: the
# program finds no settings file it can open and says so in the words of
# its own string table.
case_numbered() {
  local dir=$OUT/numbered
  mkdir -p "$dir"
  make_program_folder "$dir" full || { result numbered 1 "sample data"; return 1; }
  wine "$DRIVER" numbered "$(winepath -w "$dir/prog")" >"$dir/driver.log" 2>&1
  local status=$?
  sed 's/^/    /' "$dir/driver.log"
  result "numbered message from the program's string table" "$status"
}

# The same queries on the same files through GetPrivateProfileStringA /
# WritePrivateProfileStringA and through our reader and writer.
case_profiles() {
  local dir=$OUT/profiles
  rm -rf "$dir"
  mkdir -p "$dir/files"
  local fixture base
  for fixture in "$HERE"/profiles/*.ini; do
    base=$(basename "$fixture" .ini)
    cp "$fixture" "$dir/files/$base.ini"
    sed 's/$/\r/' "$fixture" >"$dir/files/$base-crlf.ini"
  done
  printf '\xef\xbb\xbf' | cat - "$HERE/profiles/duplicates.ini" >"$dir/files/bom.ini"
  local file name status=0 detail=""
  for file in "$dir"/files/*.ini; do
    name=$(basename "$file" .ini)
    mkdir -p "$dir/$name"
    cp "$file" "$dir/$name/win.ini"
    cp "$file" "$dir/$name/native.ini"
    wine "$PROBE" "$(winepath -w "$dir/$name/win.ini")" \
      "$(winepath -w "$HERE/profiles/queries.txt")" 2>&1 | tr -d '\r' >"$dir/$name/windows.out"
    "$QUERY" "$dir/$name/native.ini" "$HERE/profiles/queries.txt" >"$dir/$name/ours.out" 2>&1
    if ! diff -u "$dir/$name/windows.out" "$dir/$name/ours.out" >"$dir/$name/diff"; then
      status=1
      detail+=" $name"
      sed 's/^/    /' "$dir/$name/diff"
    fi
  done
  result "profile reader agrees with the Windows profile functions" "$status" \
    "${detail:+differs on$detail}"
}

# shellcheck source=tests/e2e/twin_case.sh
source "$HERE/twin_case.sh"
# shellcheck source=tests/e2e/cli_case.sh
source "$HERE/cli_case.sh"

start_display
prepare_prefix
for name in $CASES; do
  "case_$name"
done
echo "run_wine_e2e: $passed passed, $failed failed (artefacts in $OUT)"
[ "$failed" -eq 0 ]
