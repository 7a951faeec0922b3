// The serial ports of a Windows machine: every port the registry's
// HARDWARE\DEVICEMAP\SERIALCOMM names (each serial driver writes its device and COM
// name there while the port exists), with what SetupAPI's Ports class knows of it:
// the hardware id, the driver's service and maker, the device's own description.
#include "port_list.h"
#include "winapi.h"

#include <initguid.h>

#include <devguid.h>
#include <devpkey.h>
#include <setupapi.h>
#include <stdlib.h>
#include <string.h>

namespace {

// The number of "COMn", or 0.
unsigned comNumber(const char *name)
{
    if (_strnicmp(name, "COM", 3) != 0 || name[3] < '1' || name[3] > '9')
        return 0;
    return (unsigned)strtoul(name + 3, NULL, 10);
}

int failed(const char *what, DWORD code, char *why, size_t whySize)
{
    char text[200];
    SetLastError(code);
    platformErrorText(text, sizeof text);
    snprintf(why, whySize, "%s: %s", what, text);
    return -1;
}

int fromDeviceMap(PortFacts *ports, int max, char *why, size_t whySize)
{
    HKEY key;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key);
    if (rc == ERROR_FILE_NOT_FOUND)
        return 0; // there while at least one port exists
    if (rc != ERROR_SUCCESS)
        return failed("HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM", (DWORD)rc, why, whySize);
    int count = 0;
    for (DWORD i = 0; count < max; ++i) {
        char device[128], port[16];
        DWORD deviceSize = sizeof device, portSize = sizeof port - 1, type = 0;
        rc = RegEnumValueA(key, i, device, &deviceSize, NULL, &type, (BYTE *)port, &portSize);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc == ERROR_MORE_DATA)
            continue; // too long for a device or a COM name
        if (rc != ERROR_SUCCESS) {
            RegCloseKey(key);
            return failed("HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM", (DWORD)rc, why, whySize);
        }
        port[portSize] = '\0';
        if (type != REG_SZ || comNumber(port) == 0)
            continue;
        PortFacts *p = &ports[count++];
        memset(p, 0, sizeof *p);
        snprintf(p->port, sizeof p->port, "%s", port);
        snprintf(p->device, sizeof p->device, "%s", device);
    }
    RegCloseKey(key);
    return count;
}

// A text property of the device (the first string of a list), or "".
void property(HDEVINFO set, SP_DEVINFO_DATA *dev, DWORD which, char *out, size_t size)
{
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(set, dev, which, &type, (BYTE *)out, (DWORD)size - 1, NULL) ||
        (type != REG_SZ && type != REG_MULTI_SZ))
        out[0] = '\0';
    out[size - 1] = '\0';
}

// The description the device itself gave its bus (Windows 8 and later keep it).
bool busDescription(HDEVINFO set, SP_DEVINFO_DATA *dev, char *out, size_t size)
{
    WCHAR text[128];
    DEVPROPTYPE type = 0;
    if (!SetupDiGetDevicePropertyW(set, dev, &DEVPKEY_Device_BusReportedDeviceDesc, &type, (BYTE *)text,
                                   sizeof text - sizeof text[0], NULL, 0) ||
        type != DEVPROP_TYPE_STRING)
        return false;
    text[sizeof text / sizeof text[0] - 1] = 0;
    return WideCharToMultiByte(CP_ACP, 0, text, -1, out, (int)size, NULL, NULL) > 1;
}

// "USB\VID_04D8&PID_FFEE&REV_0100" (or an FTDI driver's "FTDIBUS\VID_0403+PID_6001+...")
// gives "04d8:ffee".
void usbIdOf(const char *hardwareId, char *out, size_t size)
{
    const char *vid = strstr(hardwareId, "VID_"), *pid = strstr(hardwareId, "PID_");
    if (vid == NULL || pid == NULL || strlen(vid) < 8 || strlen(pid) < 8)
        return;
    snprintf(out, size, "%.4s:%.4s", vid + 4, pid + 4);
    for (char *c = out; *c; ++c)
        if (*c >= 'A' && *c <= 'F')
            *c = (char)(*c - 'A' + 'a');
}

void describe(HDEVINFO set, SP_DEVINFO_DATA *dev, PortFacts *p)
{
    char hardwareId[256], instance[256];
    property(set, dev, SPDRP_HARDWAREID, hardwareId, sizeof hardwareId);
    property(set, dev, SPDRP_SERVICE, p->driver, sizeof p->driver);
    property(set, dev, SPDRP_MFG, p->maker, sizeof p->maker);
    if (!busDescription(set, dev, p->product, sizeof p->product))
        property(set, dev, SPDRP_FRIENDLYNAME, p->product, sizeof p->product);
    if (p->device[0] == '\0')
        property(set, dev, SPDRP_PHYSICAL_DEVICE_OBJECT_NAME, p->device, sizeof p->device);
    const bool usb = _strnicmp(hardwareId, "USB\\", 4) == 0;
    if (usb || _strnicmp(hardwareId, "FTDIBUS\\", 8) == 0)
        usbIdOf(hardwareId, p->usbId, sizeof p->usbId);
    // a USB device's instance id ends in its serial number when it reports one;
    // Windows makes up one with '&' in it otherwise
    if (usb && SetupDiGetDeviceInstanceIdA(set, dev, instance, sizeof instance, NULL)) {
        const char *last = strrchr(instance, '\\');
        if (last != NULL && strchr(last, '&') == NULL)
            snprintf(p->serial, sizeof p->serial, "%s", last + 1);
    }
    const char *kind = usb && _stricmp(p->driver, "usbser") == 0 ? "cdc-acm"
                       : p->usbId[0] != '\0'                    ? "usb-serial"
                       : strstr(hardwareId, "PNP0501") != NULL || _stricmp(p->driver, "Serial") == 0 ? "uart"
                                                                                                       : "other";
    snprintf(p->kind, sizeof p->kind, "%s", kind);
}

int fromSetupApi(PortFacts *ports, int count, int max, char *why, size_t whySize)
{
    HDEVINFO set = SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, NULL, NULL, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return failed("SetupAPI, the Ports class", GetLastError(), why, whySize);
    SP_DEVINFO_DATA dev;
    dev.cbSize = sizeof dev;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &dev); ++i) {
        char port[16] = "";
        HKEY key = SetupDiOpenDevRegKey(set, &dev, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        if (key != INVALID_HANDLE_VALUE) {
            DWORD size = sizeof port - 1, type = 0;
            if (RegQueryValueExA(key, "PortName", NULL, &type, (BYTE *)port, &size) != ERROR_SUCCESS || type != REG_SZ)
                size = 0;
            port[size] = '\0';
            RegCloseKey(key);
        }
        if (comNumber(port) == 0)
            continue; // printer ports are of the class too
        PortFacts *p = NULL;
        for (int k = 0; k < count && p == NULL; ++k)
            if (_stricmp(ports[k].port, port) == 0)
                p = &ports[k];
        if (p == NULL) {
            if (count == max)
                continue;
            p = &ports[count++];
            memset(p, 0, sizeof *p);
            snprintf(p->port, sizeof p->port, "%s", port);
        }
        describe(set, &dev, p);
    }
    SetupDiDestroyDeviceInfoList(set);
    return count;
}

int byNumber(const void *a, const void *b)
{
    unsigned x = comNumber(((const PortFacts *)a)->port), y = comNumber(((const PortFacts *)b)->port);
    return x < y ? -1 : x > y;
}

} // namespace

int platformListPorts(PortFacts *ports, int max, char *why, size_t whySize)
{
    int count = fromDeviceMap(ports, max, why, whySize);
    if (count >= 0)
        count = fromSetupApi(ports, count, max, why, whySize);
    if (count > 0)
        qsort(ports, (size_t)count, sizeof *ports, byNumber);
    return count;
}
