# The benchmark's job in the guest (tests/drivers/run-guest): scopecap through the FT232
# on ftdi_sio, its bench on the host paced at 19200 baud, as many times as the file
# "runs" says. Each run's "STATUS SECONDS" (the guest's own wall clock) goes to "times".
set -u
uptime() { cut -d ' ' -f 1 /proc/uptime; }
for _ in $(seq 150); do [ -e /dev/ttyUSB0 ] && break; sleep 0.2; done
: >times
for i in $(seq "$(cat runs)"); do
  mkdir -p "run-$i"
  start=$(uptime)
  (cd "run-$i" && COM9=/dev/ttyUSB0 scopecap >stdout 2>stderr)
  status=$?
  echo "$status $start $(uptime)" | awk '{ printf "%d %.2f\n", $1, $3 - $2 }' >>times
done
