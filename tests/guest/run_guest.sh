#!/usr/bin/env bash
# r7700-update on real kernel serial drivers: a small QEMU guest (Debian's
# kernel and its USB serial modules, busybox, the built r7700-update) with
# three 16550 UARTs (8250 driver) and an emulated FTDI adapter (ftdi_sio on
# xHCI), each wired to an r7700-sim pseudo-terminal on this host. QEMU
# applies the guest's line settings to the pty, so the simulator sees every
# speed change. The guest's console output and exit statuses decide; each
# update's commands and region digests must equal those of the same run
# on a pty here. One boot serves every case; a boot that fails is a failure.
#
# Usage: tests/guest/run_guest.sh NATIVE_BUILD_DIR
#   NATIVE_BUILD_DIR  app/cli/r7700-update, sim/r7700-sim,
#                     tools/r7700-make-sample-data, tests/guest/exclusive_holder
# Needs qemu-system-x86_64, busybox-static, apt-get (the kernel package is
# downloaded once and unpacked, never installed). Artefacts go to
# NATIVE_BUILD_DIR/guest, the kernel to ~/.cache/r7700update/guest-kernel
# (R7700_GUEST_CACHE moves it). R7700_GUEST_ACCEL picks QEMU's accelerator
# (default tcg: KVM does not run a nested guest here). Exit status 0 when
# every case passed.
set -uo pipefail

if [ $# -ne 1 ]; then
  sed -n '11,19p' "$0" >&2
  exit 64
fi
NATIVE=$(realpath "$1")
HERE=$(dirname "$(realpath "$0")")
UPDATE=$NATIVE/app/cli/r7700-update
SIM=$NATIVE/sim/r7700-sim
SAMPLE=$NATIVE/tools/r7700-make-sample-data
HOLDER=$NATIVE/tests/guest/exclusive_holder
OUT=$NATIVE/guest
# Kept across build trees and clones: the kernel package is 70 MB.
KERNEL_CACHE=${R7700_GUEST_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/r7700update/guest-kernel}
# Below 0.1 the emulated 16550 (about 120 kB/s), not the tool, sets the pace.
SCALE=0.1
ACCEL=${R7700_GUEST_ACCEL:-tcg}
GUEST_LIMIT_S=180
CASE_LIMIT_S=60
MODULES="usb-common usbcore xhci-hcd xhci-pci usbserial ftdi_sio"
# The guest's instruments and the pty runs they are compared with.
GUEST_SIMS="info uart-115200 uart-19200 usb-115200"
LANGUAGES=(--lang English --lang Deutsch --no-firmware --yes)

for tool in qemu-system-x86_64 busybox apt-get dpkg-deb; do
  command -v "$tool" >/dev/null || { echo "run_guest: $tool is not installed" >&2; exit 2; }
done
for file in "$UPDATE" "$SIM" "$SAMPLE" "$HOLDER"; do
  [ -x "$file" ] || { echo "run_guest: missing $file (build the native tree first)" >&2; exit 2; }
done

# shellcheck source=tests/lib/case_results.sh
source "$HERE/../lib/case_results.sh"
# shellcheck source=tests/lib/sim_runs.sh
source "$HERE/../lib/sim_runs.sh"
declare -A SIM_PIDS PTYS
QEMU_PID=""

cleanup() {
  [ -n "$QEMU_PID" ] && kill "$QEMU_PID" 2>/dev/null
  local pid
  for pid in "${SIM_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
}
trap cleanup EXIT

# The kernel and the USB serial modules of linux-image-amd64's current
# package, unpacked once into the cache.
kernel_package() {
  apt-cache depends linux-image-amd64 2>/dev/null |
    awk '/Depends: linux-image-[0-9]/ { print $2; exit }'
}

# Unpacks the kernel and the modules of the current package into
# KERNEL_DIR, unless they are there already. Runs at the same time each
# unpack their own copy; the first one moved into place is kept.
unpack_kernel() {
  local package
  package=$(kernel_package)
  [ -n "$package" ] || { echo "run_guest: apt-cache knows no linux-image-amd64" >&2; return 1; }
  KERNEL_DIR=$KERNEL_CACHE/$package
  [ -f "$KERNEL_DIR/vmlinuz" ] && return 0
  mkdir -p "$KERNEL_CACHE"
  local work
  work=$(mktemp -d "$KERNEL_CACHE/download.XXXXXX")
  mkdir -p "$work/unpacked" "$work/kernel"
  (cd "$work" && apt-get -q -o APT::Sandbox::User=root download "$package") \
    >"$OUT/apt-download.log" 2>&1 || { cat "$OUT/apt-download.log" >&2; rm -rf "$work"; return 1; }
  local patterns=(./boot/vmlinuz-* ./lib/modules/*/kernel/drivers/usb/common/usb-common.ko
    ./lib/modules/*/kernel/drivers/usb/core/usbcore.ko ./lib/modules/*/kernel/drivers/usb/host/xhci-*.ko
    ./lib/modules/*/kernel/drivers/usb/serial/usbserial.ko ./lib/modules/*/kernel/drivers/usb/serial/ftdi_sio.ko)
  dpkg-deb --fsys-tarfile "$work"/*.deb | tar -x -C "$work/unpacked" --wildcards "${patterns[@]}" ||
    { rm -rf "$work"; return 1; }
  cp "$work"/unpacked/boot/vmlinuz-* "$work/kernel/vmlinuz"
  find "$work/unpacked/lib/modules" -name '*.ko' -exec cp {} "$work/kernel/" \;
  local module
  for module in $MODULES; do
    [ -f "$work/kernel/$module.ko" ] ||
      { echo "run_guest: $package has no $module.ko" >&2; rm -rf "$work"; return 1; }
  done
  mv -T "$work/kernel" "$KERNEL_DIR" 2>/dev/null
  rm -rf "$work"
  # Only the current kernel is kept.
  find "$KERNEL_CACHE" -mindepth 1 -maxdepth 1 -name 'linux-image-*' ! -name "$package" \
    -exec rm -rf {} +
  [ -f "$KERNEL_DIR/vmlinuz" ]
}

# Package lists that are missing or name a version no longer served are
# renewed once.
fetch_kernel() {
  unpack_kernel && return 0
  echo "run_guest: renewing the package lists" >&2
  apt-get update -q >"$OUT/apt-update.log" 2>&1
  unpack_kernel
}

# A program and the shared libraries it loads, at their own paths.
copy_program() { # program root
  cp "$1" "$2/opt/r7700/"
  local library
  for library in $(ldd "$1" | grep -oE '/[^ ]+'); do
    cp -L --parents "$library" "$2/"
  done
}

make_initramfs() {
  local root=$OUT/root
  rm -rf "$root"
  mkdir -p "$root"/{bin,modules,opt/r7700,homes,proc,sys,dev,tmp}
  file -b /bin/busybox | grep -q 'statically linked' ||
    { echo "run_guest: /bin/busybox is not the static one (busybox-static)" >&2; return 1; }
  cp /bin/busybox "$root/bin/"
  install -m 755 "$HERE/guest_init.sh" "$root/init"
  local module name
  for module in $MODULES; do cp "$KERNEL_DIR/$module.ko" "$root/modules/"; done
  copy_program "$UPDATE" "$root"
  copy_program "$HOLDER" "$root"
  for name in $GUEST_SIMS; do cp -r "$OUT/home" "$root/homes/$name"; done
  printf 'CASE_LIMIT_S=%s\nexport R7700_TIME_SCALE=%s\n' "$CASE_LIMIT_S" "$SCALE" >"$root/cases.conf"
  (cd "$root" && find . | busybox cpio -o -H newc 2>/dev/null) | gzip -1 >"$OUT/initrd.gz"
}

start_sim() { # name
  local dir=$OUT/$1 _
  rm -rf "$dir"
  mkdir -p "$dir"
  "$SIM" --time-scale "$SCALE" --state "$dir/state.json" >"$dir/sim.out" 2>"$dir/sim.log" &
  SIM_PIDS[$1]=$!
  for _ in $(seq 100); do
    [ -s "$dir/sim.out" ] && break
    sleep 0.1
  done
  PTYS[$1]=$(head -n 1 "$dir/sim.out")
  [ -n "${PTYS[$1]}" ]
}

stop_sim() { # name
  [ -n "${SIM_PIDS[$1]:-}" ] || return 0
  end_sim "${SIM_PIDS[$1]}"
  unset "SIM_PIDS[$1]"
}

# The same update on a pty, to compare the guest's with; "second" also
# starts a second copy on the port while the update holds it.
pty_run() { # name baud [second]
  local dir=$OUT/$1 _
  start_sim "$1" || return 1
  cp -r "$OUT/home" "$dir/home"
  R7700_TIME_SCALE=$SCALE "$UPDATE" --port "${PTYS[$1]}" --baud "$2" --home "$dir/home" \
    "${LANGUAGES[@]}" >"$dir/update.log" 2>&1 &
  local update=$!
  if [ "${3:-}" = second ]; then
    for _ in $(seq 100); do
      grep -q "Connecting to target" "$dir/update.log" && break
      sleep 0.1
    done
    R7700_TIME_SCALE=$SCALE "$UPDATE" --info --port "${PTYS[$1]}" --home "$dir/home" \
      </dev/null >"$dir/second.log" 2>&1
    echo "$?" >"$dir/second.status"
  fi
  wait "$update"
  echo "$?" >"$dir/status"
  stop_sim "$1"
}

boot_guest() {
  local -a wiring=()
  local index=1 name
  for name in uart-115200 uart-19200 info; do
    wiring+=(-chardev "serial,id=uart$index,path=${PTYS[$name]}"
      -device "isa-serial,chardev=uart$index,index=$index")
    index=$((index + 1))
  done
  wiring+=(-device qemu-xhci,id=xhci -chardev "serial,id=usb0,path=${PTYS[usb-115200]}"
    -device "usb-serial,bus=xhci.0,chardev=usb0")
  timeout "$GUEST_LIMIT_S" qemu-system-x86_64 -accel "$ACCEL" -m 256 -nodefaults -no-reboot \
    -display none -kernel "$KERNEL_DIR/vmlinuz" -initrd "$OUT/initrd.gz" \
    -append "console=ttyS0 rdinit=/init panic=-1 quiet" \
    -chardev "file,id=console,path=$OUT/console.log" -device isa-serial,chardev=console,index=0 \
    "${wiring[@]}" >"$OUT/qemu.log" 2>&1 &
  QEMU_PID=$!
}

# The lines of one case in the guest's console output.
section() { # name
  tr -d '\r' <"$OUT/console.log" | awk -v name="$1" '
    $0 == "@@@ begin " name { inside = 1; next }
    index($0, "@@@ end " name " status=") == 1 { inside = 0 }
    inside'
}
case_status() { # name
  tr -d '\r' <"$OUT/console.log" | sed -n "s/^@@@ end $1 status=\([0-9]*\) in .*/\1/p"
}

check_update() { # guest-name pty-name
  local status detail=""
  status=$(case_status "$1")
  [ "$status" = 0 ] || detail+=" exit status ${status:-none};"
  [ "$(cat "$OUT/$2/status")" = 0 ] || detail+=" the pty run failed too;"
  grep -q '"languages": \["English", "Deutsch"\]' "$OUT/$1/state.json" ||
    detail+=" languages not installed;"
  echo "    $1: $(nudges "$OUT/$1/state.json") nudges, on the pty $(nudges "$OUT/$2/state.json")"
  if ! same_run "$OUT/$2/state.json" "$OUT/$1/state.json" >"$OUT/$1/differs.txt"; then
    detail+=" commands or digests differ from the pty run (see $OUT/$1/differs.txt);"
  fi
  [ -n "$detail" ] && section "$1" | tail -n 15 | sed 's/^/    | /'
  verdict "update $1 agrees with the pty run" "$detail"
}

# Why an open failed, without the port's name.
open_reason() { sed -n 's/^r7700-update: cannot open [^:]*: //p'; }

# A refusal: exit status and reason as for the second copy on a pty.
check_refused() { # name description
  local status detail="" expected reason
  status=$(case_status "$1")
  expected=$(cat "$OUT/pty-115200/second.status")
  [ "$status" = "$expected" ] || detail+=" exit status ${status:-none}, on a pty $expected;"
  reason=$(open_reason <"$OUT/pty-115200/second.log")
  [ -n "$reason" ] && [ "$(section "$1" | open_reason)" = "$reason" ] ||
    detail+=" not refused as on a pty ($reason);"
  [ -n "$detail" ] && section "$1" | sed 's/^/    | /'
  verdict "$2" "$detail"
}

# A program that set TIOCEXCL keeps its port to itself, and its flag.
check_held() { # name description
  local detail=""
  section "$1" | grep -qxF "exclusive_holder: /dev/ttyS3 exclusive flag still set" ||
    detail+=" the holder's exclusive flag was cleared;"
  [ -n "$detail" ] && section "$1" | sed 's/^/    | /'
  verdict "$2" "$detail"
}

check_list() {
  local detail="" by_id listing
  by_id=$(section by-id)
  listing=$(section list)
  [ "$(case_status list)" = 0 ] || detail+=" exit status $(case_status list);"
  grep -qE '^/dev/ttyUSB0  free  USB 0403:6001, .*, driver ftdi_sio$' <<<"$listing" ||
    detail+=" no FTDI adapter with its ids and driver;"
  [ -n "$by_id" ] && grep -qxF "    /dev/serial/by-id/$by_id" <<<"$listing" ||
    detail+=" no by-id name ($by_id);"
  local uart
  for uart in 1 2 3; do
    grep -qxF "/dev/ttyS$uart  free  on-board, driver serial" <<<"$listing" ||
      detail+=" no free ttyS$uart;"
  done
  [ -n "$detail" ] && sed 's/^/    | /' <<<"$listing"
  verdict "--list-ports shows the UARTs and the adapter with its by-id name" "$detail"
}

check_info() {
  local detail=""
  [ "$(case_status info)" = 0 ] || detail+=" exit status $(case_status info);"
  section info | grep -qxF "identity    VQ R7700C Reflectometer, firmware 4.20" ||
    detail+=" no identity;"
  section info | grep -qxF "monitor     Ver 4.20 C R7700C boot monitor" || detail+=" no monitor;"
  [ -n "$detail" ] && section info | sed 's/^/    | /'
  verdict "--info on a 16550" "$detail"
}

mkdir -p "$OUT"
start=$(date +%s)
fetch_kernel || { result "guest kernel from linux-image-amd64" 1; exit 1; }
rm -rf "${OUT:?}/home"
"$SAMPLE" "$OUT/home" --small >"$OUT/sample.log" 2>&1 || { result "sample data" 1; exit 1; }
# Languages only: the firmware image would only make the initramfs larger.
rm -f "$OUT/home/data/vqvesk.bin"
make_initramfs || { result "guest initramfs" 1; exit 1; }
for name in $GUEST_SIMS; do
  start_sim "$name" || { result "simulator $name" 1; exit 1; }
done
rm -f "$OUT/console.log"
boot_guest
boot_start=$(date +%s)
echo "run_guest: guest booting ($ACCEL) after $((boot_start - start)) s of preparation"
pty_run pty-115200 115200 second
pty_run pty-19200 19200
wait "$QEMU_PID"
qemu_status=$?
QEMU_PID=""
for name in $GUEST_SIMS; do stop_sim "$name"; done
echo "run_guest: guest ran $(($(date +%s) - boot_start)) s"
tr -d '\r' <"$OUT/console.log" | sed -n 's/^@@@ end \([^ ]*\) status=\([0-9]*\) in \(.*\)$/    \1: exit \2 in \3/p'

if ! tr -d '\r' <"$OUT/console.log" | grep -q '^@@@ guest done$'; then
  result "guest booted and ran every case" 1 "qemu exit $qemu_status"
  tail -n 30 "$OUT/console.log" "$OUT/qemu.log" | sed 's/^/    | /'
  exit 1
fi
grep -h '^@@@ booted' <(tr -d '\r' <"$OUT/console.log") | sed 's/^@@@ /    /'
result "guest booted and ran every case" 0
check_list
check_info
check_update uart-115200 pty-115200
check_update uart-19200 pty-19200
check_update usb-115200 pty-115200
check_refused second-copy "a second copy on the adapter in use is refused"
check_refused held-open "a port held with TIOCEXCL alone is refused"
check_held held-open "the holder's exclusive flag survives the refused open"
check_held held-list "the holder's exclusive flag survives --list-ports"
grep -qE '^/dev/ttyS3  busy  ' <(section held-list)
result "--list-ports shows the held port as busy" $?
echo "run_guest: $passed passed, $failed failed in $(($(date +%s) - start)) s (artefacts in $OUT)"
[ "$failed" -eq 0 ]
