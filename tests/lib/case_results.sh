# shellcheck shell=bash
# The PASS and FAIL lines of the shell-driven test harnesses and their
# counts (sourced by tests/e2e/run_wine_e2e.sh and tests/guest/run_guest.sh).
passed=0
failed=0

result() { # name status detail
  if [ "$2" -eq 0 ]; then
    passed=$((passed + 1))
    echo "PASS $1"
  else
    failed=$((failed + 1))
    echo "FAIL $1${3:+: $3}"
  fi
}

# A case that collected what went wrong in detail: passed when nothing did.
verdict() { # name detail
  if [ -z "$2" ]; then result "$1" 0; else result "$1" 1 "$2"; fi
}
