#!/bin/busybox sh
# /init of the test guest (tests/guest/run_guest.sh builds the initramfs).
# Loads the USB serial drivers, makes the /dev/serial/by-id name that udev
# would make, runs the cases against the simulated instruments the host
# wired to the UARTs and the USB adapter, and powers off. Each case's output
# is framed on the console by "@@@ begin NAME" and "@@@ end NAME status=N".
/bin/busybox --install -s /bin
export PATH=/bin:/opt/r7700
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs dev /dev
mount -t tmpfs tmp /tmp
export TMPDIR=/tmp
. /cases.conf

# No depmod in the guest: the modules in the order they depend on each other.
for module in usb-common usbcore xhci-hcd xhci-pci usbserial ftdi_sio; do
  insmod "/modules/$module.ko" || echo "guest: insmod $module failed"
done

# The adapter enumerates a moment after its drivers are in.
waited=0
while [ ! -e /sys/class/tty/ttyUSB0 ] && [ "$waited" -lt 200 ]; do
  sleep 0.1
  waited=$((waited + 1))
done

# udev's name: usb-<maker>_<product>_<serial>-if<interface>-port<port>, each
# part with blanks folded to one underscore and unsafe characters replaced.
udev_safe() {
  echo "$1" | sed -e 's/^ *//' -e 's/ *$//' -e 's/  */_/g' -e 's/[^0-9A-Za-z#+.:=@_-]/_/g'
}
by_id_link() { # tty
  local port interface device serial
  port=$(readlink -f "/sys/class/tty/$1/device")
  interface=${port%/*}
  device=${interface%/*}
  serial=$(udev_safe "$(cat "$device/manufacturer")")_$(udev_safe "$(cat "$device/product")")
  [ -f "$device/serial" ] && serial=${serial}_$(udev_safe "$(cat "$device/serial")")
  echo "usb-${serial}-if$(cat "$interface/bInterfaceNumber")-port$(cat "$port/port_number")"
}
mkdir -p /dev/serial/by-id
for tty in /sys/class/tty/ttyUSB*; do
  [ -e "$tty" ] || continue
  name=${tty##*/}
  ln -s "../../$name" "/dev/serial/by-id/$(by_id_link "$name")"
done

uptime_s() { cut -d' ' -f1 /proc/uptime; }

# Output to a file first: no progress bar, as in the pty runs on the host.
run() { # name command...
  local name=$1 status begin
  shift
  begin=$(uptime_s)
  timeout "$CASE_LIMIT_S" "$@" </dev/null >/tmp/case.log 2>&1
  status=$?
  echo "@@@ begin $name"
  cat /tmp/case.log
  echo "@@@ end $name status=$status in $(awk "BEGIN { print $(uptime_s) - $begin }") s"
}

# Languages only, as in the same run on a pty on the host.
languages="--lang English --lang Deutsch --no-firmware --yes"

echo "@@@ booted after $(uptime_s) s"
echo "@@@ begin by-id"
ls /dev/serial/by-id
echo "@@@ end by-id status=0 in 0 s"
run list r7700-update --list-ports
run info r7700-update --info --port /dev/ttyS3 --home /homes/info
run uart-115200 r7700-update --port /dev/ttyS1 --baud 115200 --home /homes/uart-115200 $languages
run uart-19200 r7700-update --port /dev/ttyS2 --baud 19200 --home /homes/uart-19200 $languages

# A second copy while the first holds the adapter: it must be refused.
begin=$(uptime_s)
timeout "$CASE_LIMIT_S" r7700-update --port /dev/ttyUSB0 --baud 115200 --home /homes/usb-115200 \
  $languages </dev/null >/tmp/usb.log 2>&1 &
first=$!
waited=0
while ! grep -q "Connecting to target" /tmp/usb.log && [ "$waited" -lt 100 ]; do
  sleep 0.1
  waited=$((waited + 1))
done
run second-copy r7700-update --info --port /dev/ttyUSB0 --home /homes/info
wait "$first"
status=$?
echo "@@@ begin usb-115200"
cat /tmp/usb.log
echo "@@@ end usb-115200 status=$status in $(awk "BEGIN { print $(uptime_s) - $begin }") s"

# Another program holds a port with TIOCEXCL alone.
run held-list exclusive_holder /dev/ttyS3 r7700-update --list-ports
run held-open exclusive_holder /dev/ttyS3 r7700-update --info --port /dev/ttyS3 --home /homes/info

echo "@@@ guest done"
poweroff -f
