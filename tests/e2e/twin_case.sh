# The cases "twin" and "twin_profile" of run_wine_e2e.sh (sourced by it).
# twin: two copies of the program at once from one folder, one settings
# file and one TMP, the first on COM1, the second on COM2, each with its own
# simulated instrument. Both must succeed, leave no temporary image, and
# write a sound settings file when both leave by Exit at about the same time.

case_twin() {
  local dir=$OUT/twin name="two copies at once on COM1 and COM2"
  mkdir -p "$dir"
  make_program_folder "$dir" full || { result "$name" 1 "sample data"; return 1; }
  local settings=$dir/prog/product.ini
  add_access_code "$settings"
  rm -f "$TEMP_FOLDER"/lng*
  local -a links=("$COM_LINK" "$COM2_LINK") sims=()
  local i _
  for i in 0 1; do
    rm -f "${links[$i]}" "$dir/state$i.json"
    "$SIM" --link "${links[$i]}" --time-scale "$SCALE" --state "$dir/state$i.json" \
      >"$dir/sim$i.log" 2>&1 &
    sims+=($!)
  done
  for _ in $(seq 100); do
    [ -L "$COM_LINK" ] && [ -L "$COM2_LINK" ] && break
    sleep 0.1
  done
  timeout "$RUN_LIMIT_S" wine "$TWIN_DRIVER" "$(winepath -w "$dir/prog/r7700update.exe")" \
    >"$dir/driver.log" 2>&1
  local status=$? detail=""
  sed 's/^/    /' "$dir/driver.log"
  # The instruments end by themselves after their reboot.
  for i in 0 1; do
    for _ in $(seq 50); do
      kill -0 "${sims[$i]}" 2>/dev/null || break
      sleep 0.1
    done
    kill "${sims[$i]}" 2>/dev/null
    wait "${sims[$i]}" 2>/dev/null
    if ! { json_true "$dir/state$i.json" firmware_valid &&
           json_true "$dir/state$i.json" languages_valid &&
           grep -q '"languages": \["English", "Deutsch"\]' "$dir/state$i.json"; }; then
      status=1
      detail+=" instrument on COM$((i + 1)): $(tr -d '\n' <"$dir/state$i.json" 2>/dev/null | cut -c1-160);"
    fi
  done
  [ "$(temp_images)" -eq 0 ] || { status=1; detail+=" temporary language image left behind;"; }
  local key
  for key in Language1=English Language2=Deutsch DownloadFirmware=TRUE DownloadTo=FLASH; do
    [ "$(tr -d '\r' <"$settings" | grep -c "^$key\$")" -eq 1 ] ||
      { status=1; detail+=" settings file lacks one $key;"; }
  done
  [ "$(tr -d '\r' <"$settings" | grep -c '^\[')" -eq 2 ] ||
    { status=1; detail+=" settings file sections: $(grep -c '^\[' "$settings");"; }
  result "$name" "$status" "$detail"
}

# Two copies writing one settings file at the very same time, key after key,
# through the program's profile store: every key of both must be there.
case_twin_profile() {
  local dir=$OUT/twin-profile count=150 name="two copies write one settings file at once"
  rm -rf "$dir"
  mkdir -p "$dir"
  printf '[LanguageDefaults]\r\nLanguage1=English\r\n' >"$dir/product.ini"
  local file
  file=$(winepath -w "$dir/product.ini")
  wine "$TWIN_DRIVER" profile-writes "$file" A "$count" >"$dir/a.log" 2>&1 &
  local first=$!
  wine "$TWIN_DRIVER" profile-writes "$file" B "$count" >"$dir/b.log" 2>&1
  local status=$?
  wait "$first" || status=1
  local keys
  keys=$(tr -d '\r' <"$dir/product.ini" | grep -c '^[AB][0-9]*=written$')
  [ "$keys" -eq $((2 * count)) ] || status=1
  grep -q '^Language1=English' "$dir/product.ini" || status=1
  result "$name" "$status" "$keys of $((2 * count)) keys kept"
}
