// The serial ports of this machine, with what the system knows of each: from sysfs
// on Linux (posix_port_list.cpp), from the registry and SetupAPI on Windows
// (win_port_list.cpp). An empty field is a fact not known.
#pragma once

#include <stddef.h>

struct PortFacts {
    char port[12];      // "COM12": the name a program opens it by; on Linux the COMn whose
                        // variable names the device, or COMn for /dev/ttyS<n-1>
    char device[128];   // "/dev/ttyUSB0"; on Windows the driver's device, "\Device\Serial0"
    char setting[400];  // outside Windows, what selects it: "COM9=/dev/serial/by-id/..."
    char kind[12];      // "uart", "usb-serial", "cdc-acm" or "other"
    char driver[48];    // "ftdi_sio"; on Windows the driver's service, "usbser"
    char usbId[10];     // "04d8:ffee"
    char maker[128];
    char product[128];
    char serial[128];
    char byId[256];     // the stable /dev/serial/by-id/ path
};

// Fills at most `max` entries, in the order of their names. Returns how many, or -1
// with the reason in `why` when the list could not be read.
int platformListPorts(PortFacts *ports, int max, char *why, size_t whySize);
