# The cases of the driver tier, run in the guest (busybox sh) by run-guest, with the share
# as working directory. Each case leaves CASE/stdout, CASE/stderr, CASE/status and
# CASE/seconds (the guest's own wall clock), and a capture's files in CASE/.
set -u

wait_for() {
  for _ in $(seq 150); do [ -e "$1" ] && return 0; sleep 0.2; done
  echo "no $1 after 30 s"
  return 1
}

uptime() { cut -d ' ' -f 1 /proc/uptime; }

# run CASE DEVICE PROGRAM ARGS...: the program on DEVICE as its COM9, in CASE/
run() {
  c=$1 dev=$2
  shift 2
  mkdir -p "$c"
  start=$(uptime)
  (cd "$c" && COM9=$dev "$@" >stdout 2>stderr; echo $? >status)
  echo "$start $(uptime)" | awk '{ printf "%.2f\n", $2 - $1 }' >"$c/seconds"
  echo "case $c: status $(cat "$c/status") after $(cat "$c/seconds") s"
}

for dev in /dev/ttyUSB0 /dev/ttyACM0 /dev/ttyGS0; do wait_for $dev; done

# isscheck ports, with COM12 naming the adapter. The guest runs no udev, so the job
# makes the adapter's /dev/serial/by-id link as udev's rules would name it.
listing() {
  mkdir -p "$1"
  (cd "$1" && COM12=/dev/ttyACM0 isscheck ports >stdout 2>stderr; echo $? >status)
  echo "case $1: status $(cat "$1/status")"
}
mkdir -p /dev/serial/by-id
ln -s ../../ttyACM0 /dev/serial/by-id/usb-Devantech_USB-ISS_00012345-if00
ls /sys/class/tty | grep '^ttyS' >ttyS-registered
listing ports-before

# scopecap on the 8250 UART and through the FT232 (its bench paced at 19200 baud)
run s8250 /dev/ttyS1 scopecap
run ftdi /dev/ttyUSB0 scopecap

# the adapter programs over cdc_acm, the virtual adapter serving the gadget's side;
# a bench each, so each log holds one case's frames (and the matrix it left)
adapter() {
  benchsim iss --device /dev/ttyGS0 --log "$1" --quiet >"$1.out" 2>&1 &
  bench=$!
  for _ in $(seq 100); do [ -s "$1.out" ] && break; sleep 0.1; done
}
adapter acm-info.log
run acm-info /dev/ttyACM0 isscheck info
kill $bench 2>/dev/null
wait $bench

# COM12 (opened as \\.\COM12) through its variable
adapter acm-com12.log
run acm-com12 /nonexistent/com9 env COM12=/dev/ttyACM0 isscheck --port 12 info
kill $bench 2>/dev/null
wait $bench

adapter acm-leds.log
run acm-leds /dev/ttyACM0 isscheck leds --walk-rows 1 &
leds=$!
# while the walk holds the port, a second program is refused
sleep 3
run acm-busy /dev/ttyACM0 isscheck info
wait $leds
kill $bench 2>/dev/null
wait $bench

# the FT232 pulled out 5 s into a capture paced at 19200 baud (by QEMU's monitor)
echo "5 device_del ftdi0" >monitor.request
run ftdi-pulled /dev/ttyUSB0 scopecap

# the FT232 gone: the kernel removes its tty once the disconnect is through
for _ in $(seq 50); do [ -e /sys/class/tty/ttyUSB0 ] || break; sleep 0.2; done
listing ports-after

# the CDC cable pulled during the walk: the gadget disconnects from its bus
adapter acm-pulled.log
(sleep 4 && echo disconnect >/sys/class/udc/dummy_udc.0/soft_connect && echo "cable pulled") &
run acm-pulled /dev/ttyACM0 isscheck leds
kill $bench 2>/dev/null
wait
