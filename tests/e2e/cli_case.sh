# shellcheck shell=bash
# The case "cli" of run_wine_e2e.sh (sourced by it): the command line
# r7700-update.exe under Wine, on COM1 through Wine's serial layer to the
# simulated instrument. --list-ports lists the COM ports Wine provides,
# --info reads the instrument, a languages update gives the instrument the
# commands and the memory that the same run of the Linux r7700-update gives
# it on a pty, and a missing COM port, a usage error and the update end with
# the exit statuses of the Linux program.

# shellcheck source=tests/lib/sim_runs.sh
source "$HERE/../lib/sim_runs.sh"

CLI_EXE=$WIN_BUILD/app/cli/r7700-update.exe
CLI_NATIVE=$NATIVE_BUILD/app/cli/r7700-update
CLI_LANGUAGES=(--lang English --lang Deutsch --no-firmware --yes)

# Runs r7700-update.exe; its output (CR LF made LF) in dir/name.out, its
# exit status in CLI_STATUS.
cli_run() { # dir name arguments...
  local dir=$1 name=$2
  shift 2
  timeout "$RUN_LIMIT_S" wine "$CLI_EXE" "$@" </dev/null 2>&1 | tr -d '\r' >"$dir/$name.out"
  CLI_STATUS=${PIPESTATUS[0]}
}

# The same on Linux, for the exit status and the texts to agree with.
native_run() { # dir name arguments...
  local dir=$1 name=$2
  shift 2
  "$CLI_NATIVE" "$@" </dev/null >"$dir/$name.native" 2>&1
  NATIVE_STATUS=$?
}

# The next step of an open failure (the part in parentheses), which both
# systems give alike; the system's own reason before it differs.
next_step() { sed -n 's/^r7700-update: cannot open .*(\(.*\))$/\1/p' "$1"; }

# The reference: the Linux program's update of a simulator on a pty.
cli_pty_update() { # dir home
  local dir=$1/pty _
  mkdir -p "$dir"
  "$SIM" --time-scale "$SCALE" --state "$dir/state.json" >"$dir/sim.out" 2>"$dir/sim.log" &
  local sim=$!
  for _ in $(seq 100); do
    [ -s "$dir/sim.out" ] && break
    sleep 0.1
  done
  "$CLI_NATIVE" --port "$(head -n 1 "$dir/sim.out")" --baud 115200 --home "$2" \
    "${CLI_LANGUAGES[@]}" >"$dir/update.out" 2>&1
  echo "$?" >"$dir/status"
  end_sim "$sim"
}

case_cli() {
  local dir=$OUT/cli detail home
  rm -rf "$dir"
  mkdir -p "$dir"
  "$SAMPLE" "$dir/home" --small >"$dir/sample.log" 2>&1 || { result "cli" 1 "sample data"; return 1; }
  rm -f "$dir/home/data/vqvesk.bin"
  home=$(winepath -w "$dir/home")
  rm -f "$COM2_LINK"

  start_sim "$dir" || { result "cli" 1 "simulator did not start"; return 1; }
  detail=""
  cli_run "$dir" list --list-ports
  [ "$CLI_STATUS" -eq 0 ] || detail+=" exit status $CLI_STATUS;"
  grep -qE '^COM1  free  ' "$dir/list.out" || detail+=" COM1 not free;"
  grep -qE '^COM2  ' "$dir/list.out" || detail+=" no COM2;"
  [ -n "$detail" ] && sed 's/^/    | /' "$dir/list.out"
  verdict "r7700-update.exe --list-ports lists Wine's COM ports" "$detail"

  detail=""
  cli_run "$dir" info --info --port COM1 --home "$home"
  stop_sim
  [ "$CLI_STATUS" -eq 0 ] || detail+=" exit status $CLI_STATUS;"
  grep -qxF "identity    VQ R7700C Reflectometer, firmware 4.20" "$dir/info.out" ||
    detail+=" no identity;"
  [ -n "$detail" ] && sed 's/^/    | /' "$dir/info.out"
  verdict "r7700-update.exe --info on COM1" "$detail"

  detail=""
  cli_pty_update "$dir" "$dir/home"
  start_sim "$dir" || { result "cli" 1 "simulator did not start"; return 1; }
  cli_run "$dir" update --port COM1 --baud 115200 --home "$home" "${CLI_LANGUAGES[@]}"
  stop_sim
  [ "$CLI_STATUS" = "$(cat "$dir/pty/status")" ] ||
    detail+=" exit status $CLI_STATUS, on Linux $(cat "$dir/pty/status");"
  grep -q '"languages": \["English", "Deutsch"\]' "$dir/state.json" ||
    detail+=" languages not installed;"
  same_run "$dir/pty/state.json" "$dir/state.json" >"$dir/differs.txt" ||
    detail+=" commands or digests differ from the Linux run on a pty (see $dir/differs.txt);"
  [ -n "$detail" ] && tail -n 15 "$dir/update.out" | sed 's/^/    | /'
  verdict "r7700-update.exe languages update on COM1 agrees with Linux" "$detail"

  detail=""
  cli_run "$dir" missing --info --port COM9 --home "$home"
  native_run "$dir" missing --info --port "$dir/no-such-port" --home "$dir/home"
  [ "$CLI_STATUS" = "$NATIVE_STATUS" ] ||
    detail+=" exit status $CLI_STATUS, on Linux $NATIVE_STATUS;"
  grep -q '^r7700-update: cannot open COM9: ' "$dir/missing.out" || detail+=" COM9 not named;"
  [ -n "$(next_step "$dir/missing.native")" ] &&
    [ "$(next_step "$dir/missing.out")" = "$(next_step "$dir/missing.native")" ] ||
    detail+=" reason not as on Linux;"
  [ -n "$detail" ] && sed 's/^/    | /' "$dir/missing.out"
  verdict "r7700-update.exe on a missing COM port says why" "$detail"

  detail=""
  cli_run "$dir" usage --baud 12345 --home "$home"
  native_run "$dir" usage --baud 12345 --home "$dir/home"
  [ "$CLI_STATUS" = "$NATIVE_STATUS" ] && [ "$CLI_STATUS" -eq 64 ] ||
    detail+=" exit status $CLI_STATUS, on Linux $NATIVE_STATUS;"
  verdict "r7700-update.exe usage error exits as on Linux" "$detail"
}
