# shellcheck shell=bash
# Runs of the simulated instrument r7700-sim in the shell harnesses
# (sourced by tests/guest/run_guest.sh and tests/e2e/cli_case.sh).

# How long a simulator may take to end by itself after the reboot.
SIM_END_GRACE_TENTHS=50

# Waits for a simulator to end after the instrument's reboot; stops it when
# it does not.
end_sim() { # pid
  local _
  for _ in $(seq "$SIM_END_GRACE_TENTHS"); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  kill "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}

# What the instrument received and holds, from its --state file (one key a
# line): every command line, the link speed, the markers' verdicts and every
# region digest. Two runs agree when their records do. Left out are the
# nudges (empty command lines), and a query asked again straight after
# itself counts once: the dialogue nudges whenever a read times out and asks
# a query (the power supply, the identity) until its answer comes, so those
# numbers follow the timing of the replies, which an emulated UART or a
# loaded machine shifts.
run_record() { # state.json
  grep -E '"(commands|firmware_valid|languages_valid|languages|baud)"|"sha256":' "$1" |
    sed -e '/"commands":/s/"", //g' -e '/"commands":/s/, ""\]/]/' |
    sed -E '/"commands":/s/("[^"]*[?]")(, \1)+/\1/g'
}

# How many nudges the instrument received.
nudges() { # state.json
  grep -o '"commands": .*' "$1" | grep -o '""' | wc -l
}

# Prints nothing and succeeds when both runs agree; else the difference.
same_run() { # expected-state.json state.json
  diff <(run_record "$1") <(run_record "$2")
}
