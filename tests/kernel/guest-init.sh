#!/bin/sh
# The guest's /init: loads the USB stack from the kernel's own modules, waits for the virtual
# instrument, runs harmoload-cli for the case named on the kernel command line
# (harmoload.case=...) and powers off. Each run ends with a line the host reads:
#   harmoload-result NAME exit=CODE seconds=SECONDS
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /tmp

# Dependency order: usb-common, usbcore (which brings usbfs and /dev/bus/usb), the xhci driver.
for module in usb-common usbcore xhci-hcd xhci-pci; do
    insmod "/modules/$module.ko" || echo "harmoload-guest: insmod $module failed"
done

instruments=$(sed -n 's/.*harmoload\.instruments=\([0-9]*\).*/\1/p' /proc/cmdline)
instrument_present() {
    [ "$(grep -ls 0a67 /sys/bus/usb/devices/*/idVendor | wc -l)" -ge "${instruments:-1}" ]
}

# Up to 20 s for the instruments to be enumerated and its device node to appear.
tries=0
until instrument_present && [ -n "$(ls /dev/bus/usb/*/* 2>/dev/null)" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 200 ]; then
        echo "harmoload-guest: the instrument did not appear"
        break
    fi
    sleep 0.1
done

case_name=$(sed -n 's/.*harmoload\.case=\([a-z0-9-]*\).*/\1/p' /proc/cmdline)
cli=/app/harmoload-cli

# run NAME COMMAND...: runs the command with a time limit, shows its output and its result.
run() {
    name=$1
    shift
    start=$(cut -d' ' -f1 /proc/uptime)
    timeout "${limit:-90}" "$@" >/tmp/output 2>&1
    code=$?
    end=$(cut -d' ' -f1 /proc/uptime)
    sed 's/^/  | /' /tmp/output
    echo "harmoload-result $name exit=$code seconds=$(awk "BEGIN { print $end - $start }")"
}

echo "harmoload-guest: case $case_name"
case "$case_name" in
    update)
        run probe "$cli" probe
        run update "$cli" update /app/Sample.DAT --yes
        ;;
    bench)
        limit=300  # three updates at once on one emulated processor
        run probe-all "$cli" probe --all --json
        ids() { grep -o '"device":"[^"]*"' /tmp/output | cut -d'"' -f4; }
        for id in $(ids); do echo "harmoload-guest: listed $id"; done
        run update-all "$cli" update /app/Sample.DAT --all --yes --json
        # The unplugged instrument has left the bus: the first of those left.
        run probe-left "$cli" probe --all --json
        run update-device "$cli" update /app/Sample.DAT --yes --device "$(ids | head -n 1)"
        ;;
    *)
        run "$case_name" "$cli" update /app/Sample.DAT --yes --trace /tmp/trace
        # What libusb reported for the transfers that moved fewer bytes than asked: the first
        # ones, then how many of each direction and result.
        echo "harmoload-guest: short or failed transfers"
        awk '($2 == "IN" || $2 == "OUT") && $8 != $6 ":"' /tmp/trace >/tmp/short
        head -n 3 /tmp/short | cut -c 1-90 | sed 's/^/  | /'
        awk '{ sub(":", "", $8); print $2, "len", $6, "result", $8 }' /tmp/short | sort |
            uniq -c | sed 's/^/  | /'
        ;;
esac
echo "harmoload-guest: kernel messages about USB"
dmesg | grep -iE 'usb|xhci' | tail -n 15 | sed 's/^/  | /'
poweroff -f
