# shellcheck shell=bash
# Reads the final state that r7700-sim writes with --state FILE and says in
# plain words what the simulated instrument holds. Sourced by scripts/run and
# scripts/demo-windows; needs nothing beyond grep and sed, because r7700-sim
# writes one key a line (see sim/README.md).

# The value of a key whose value fits on its line: true, false or a number.
state_value() { # file key
  sed -n "s/^ *\"$2\": *\([^,]*\),\{0,1\}$/\1/p" "$1" | head -n 1
}

# The language names, one a line, in the order of the instrument's directory.
state_languages() { # file
  sed -n 's/^ *"languages": *\[\(.*\)\],\{0,1\}$/\1/p' "$1" | head -n 1 |
    sed 's/", "/\n/g; s/^"//; s/"$//' | sed '/^$/d'
}

# Prints what the instrument holds. Returns 0 when it rebooted with valid
# firmware and valid languages, and, when names are given, holds exactly
# those languages in that order; 1 otherwise (with the reason printed).
describe_instrument() { # state-file [language...]
  local file=$1
  shift
  if [[ ! -s "$file" ]]; then
    echo "The simulated instrument left no state file ($file)."
    return 1
  fi
  local rebooted firmware languages_valid programmed link_baud
  rebooted=$(state_value "$file" rebooted)
  firmware=$(state_value "$file" firmware_valid)
  languages_valid=$(state_value "$file" languages_valid)
  programmed=$(state_value "$file" firmware_bytes_programmed)
  link_baud=$(state_value "$file" baud)
  local -a held
  mapfile -t held < <(state_languages "$file")

  local ok=0
  echo "The simulated instrument now holds:"
  if [[ "$firmware" == true ]]; then
    echo "  firmware:  valid (${programmed:-0} bytes programmed, marker and checksum agree)"
  else
    echo "  firmware:  NOT valid (${programmed:-0} bytes programmed; its marker does not match)"
    ok=1
  fi
  if [[ "$languages_valid" == true ]]; then
    local list
    list=$(printf '%s, ' "${held[@]}")
    echo "  languages: valid, installed: ${list%, }"
  else
    echo "  languages: NOT valid (the language area's marker does not match)"
    ok=1
  fi
  if [[ "$rebooted" == true ]]; then
    echo "  reboot:    done, last link speed ${link_baud:-?} baud"
  else
    echo "  reboot:    NOT done (the update never sent the reboot command)"
    ok=1
  fi
  if (($# > 0)) && [[ "${held[*]}" != "$*" ]]; then
    echo "  expected the languages $*, found: ${held[*]:-none}"
    ok=1
  fi
  return "$ok"
}
