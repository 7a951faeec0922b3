// The serial ports of a Linux machine, from sysfs: every tty in /sys/class/tty with a
// device behind it. The 8250 driver registers a fixed number of ttyS ports whether or
// not a UART answers at their address; those report the UART type 0 (PORT_UNKNOWN)
// and are left out. The USB facts are the attributes of the USB device above the tty.
#include "port_list.h"

#include <dirent.h>
#include <errno.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

extern char **environ;

namespace {

// snprintf for the fixed fields and paths here: what does not fit is cut off.
__attribute__((format(printf, 3, 4))) void put(char *out, size_t size, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(out, size, format, args);
    va_end(args);
}

// A sysfs attribute without its line end; "" when there is none.
void readAttribute(const char *dir, const char *name, char *out, size_t size)
{
    char path[PATH_MAX];
    put(path, sizeof path, "%s/%s", dir, name);
    out[0] = '\0';
    FILE *f = fopen(path, "r");
    if (f == nullptr)
        return;
    size_t n = fread(out, 1, size - 1, f);
    fclose(f);
    out[n] = '\0';
    while (n > 0 && (out[n - 1] == '\n' || out[n - 1] == ' '))
        out[--n] = '\0';
}

// The last part of the path a link in `dir` points to ("ftdi_sio" for driver), or "".
void linkName(const char *dir, const char *link, char *out, size_t size)
{
    char path[PATH_MAX], target[PATH_MAX];
    put(path, sizeof path, "%s/%s", dir, link);
    ssize_t n = readlink(path, target, sizeof target - 1);
    out[0] = '\0';
    if (n <= 0)
        return;
    target[n] = '\0';
    const char *slash = strrchr(target, '/');
    put(out, size, "%s", slash ? slash + 1 : target);
}

bool exists(const char *dir, const char *name)
{
    char path[PATH_MAX];
    put(path, sizeof path, "%s/%s", dir, name);
    return access(path, F_OK) == 0;
}

// Cuts the last part off a /sys/devices path; false at the top.
bool up(char *path)
{
    char *slash = strrchr(path, '/');
    if (slash == nullptr || slash - path <= (ptrdiff_t)strlen("/sys/devices"))
        return false;
    *slash = '\0';
    return true;
}

bool sameFile(const char *path, const char *device)
{
    char real[PATH_MAX];
    return realpath(path, real) != nullptr && strcmp(real, device) == 0;
}

// The COMn the serial layer opens `device` as: the one whose variable names it, else
// COMn for /dev/ttyS<n-1> when COMn is not set. 0 for none.
unsigned portNumberOf(const char *device)
{
    unsigned found = 0;
    for (char **env = environ; *env != nullptr; ++env) {
        const char *e = *env;
        if (strncmp(e, "COM", 3) != 0 || e[3] < '1' || e[3] > '9')
            continue;
        char *end = nullptr;
        unsigned long n = strtoul(e + 3, &end, 10);
        if (*end == '=' && end[1] != '\0' && n <= 100000 && (found == 0 || n < found) && sameFile(end + 1, device))
            found = (unsigned)n;
    }
    unsigned m = 0;
    char rest = 0;
    if (found == 0 && sscanf(device, "/dev/ttyS%u%c", &m, &rest) == 1) {
        char name[16];
        put(name, sizeof name, "COM%u", m + 1);
        const char *value = getenv(name);
        if (value == nullptr || *value == '\0')
            found = m + 1;
    }
    return found;
}

void findById(const char *device, char *out, size_t size)
{
    out[0] = '\0';
    DIR *dir = opendir("/dev/serial/by-id");
    if (dir == nullptr)
        return;
    while (const dirent *e = readdir(dir)) {
        char path[PATH_MAX];
        put(path, sizeof path, "/dev/serial/by-id/%s", e->d_name);
        if (e->d_name[0] != '.' && sameFile(path, device)) {
            put(out, size, "%s", path);
            break;
        }
    }
    closedir(dir);
}

void describe(const char *name, PortFacts *p)
{
    char tty[PATH_MAX], hw[PATH_MAX], path[PATH_MAX + 16], subsystem[32];
    put(tty, sizeof tty, "/sys/class/tty/%s", name);
    put(path, sizeof path, "%s/device", tty);
    if (realpath(path, hw) == nullptr)
        hw[0] = '\0';
    // since Linux 6.5 a UART's tty hangs off serial-base port and controller devices
    // of the serial core; the hardware and its driver sit above them
    linkName(hw, "subsystem", subsystem, sizeof subsystem);
    while (strcmp(subsystem, "serial-base") == 0 && up(hw))
        linkName(hw, "subsystem", subsystem, sizeof subsystem);
    linkName(hw, "driver", p->driver, sizeof p->driver);

    char usb[PATH_MAX];
    put(usb, sizeof usb, "%s", hw);
    bool isUsb = false;
    do
        isUsb = exists(usb, "idVendor");
    while (!isUsb && up(usb));
    if (isUsb) {
        char vendor[8], product[8];
        readAttribute(usb, "idVendor", vendor, sizeof vendor);
        readAttribute(usb, "idProduct", product, sizeof product);
        put(p->usbId, sizeof p->usbId, "%.4s:%.4s", vendor, product);
        readAttribute(usb, "manufacturer", p->maker, sizeof p->maker);
        readAttribute(usb, "product", p->product, sizeof p->product);
        readAttribute(usb, "serial", p->serial, sizeof p->serial);
    }
    const char *kind = strcmp(subsystem, "usb-serial") == 0 ? "usb-serial"
                       : strcmp(p->driver, "cdc_acm") == 0  ? "cdc-acm"
                       : !isUsb && exists(tty, "type")      ? "uart" // a UART of the serial core
                                                            : "other";
    put(p->kind, sizeof p->kind, "%s", kind);

    findById(p->device, p->byId, sizeof p->byId);
    unsigned n = portNumberOf(p->device);
    if (n > 0)
        put(p->port, sizeof p->port, "COM%u", n);
    put(p->setting, sizeof p->setting, "COM%u=%s", n > 0 ? n : 9, p->byId[0] ? p->byId : p->device);
}

int byName(const void *a, const void *b)
{
    return strverscmp(((const PortFacts *)a)->device, ((const PortFacts *)b)->device);
}

} // namespace

int platformListPorts(PortFacts *ports, int max, char *why, size_t whySize)
{
    DIR *dir = opendir("/sys/class/tty");
    if (dir == nullptr) {
        put(why, whySize, "/sys/class/tty: %s", strerror(errno));
        return -1;
    }
    int count = 0;
    while (const dirent *e = readdir(dir)) {
        char tty[PATH_MAX], type[16];
        put(tty, sizeof tty, "/sys/class/tty/%s", e->d_name);
        if (e->d_name[0] == '.' || !exists(tty, "device") || count == max)
            continue;
        readAttribute(tty, "type", type, sizeof type);
        if (strcmp(type, "0") == 0)
            continue; // a ttyS the 8250 driver registered with no UART behind it
        PortFacts *p = &ports[count++];
        memset(p, 0, sizeof *p);
        // a name with '!' stands for a device in a subdirectory of /dev
        put(p->device, sizeof p->device, "/dev/%s", e->d_name);
        for (char *c = p->device; *c; ++c)
            if (*c == '!')
                *c = '/';
        describe(e->d_name, p);
    }
    closedir(dir);
    qsort(ports, (size_t)count, sizeof *ports, byName);
    return count;
}
