// isscheck: checks a USB-ISS adapter and the devices behind it on the bench:
// the module itself, the LED driver on its pins, and the SRF08 ranger, the display
// with keypad and the device at 0x0A on its I2C bus. Every frame and reply is
// logged on standard output as the adapter routines print them; isscheck's own
// complaints go to standard error.
//
// Exit status: 0 checked, 1 the port did not open, 2 no reply from the adapter or
// the port was lost, 64 a bad command line. isscheck ports lists the serial ports of
// the machine: 0 listed, 2 the list could not be read.
#include "isscheck_cli.h"
#include "iss.h"
#include "port_list.h"
#include "serial.h"

#include <stdio.h>
#include <string.h>

#ifdef __MINGW32__
// the command line is split into arguments without wildcard expansion
int _dowildcard = 0;
#endif

enum {
    kExitOk = 0,
    kExitNoPort = 1,
    kExitNoReply = 2,
    kExitNoList = 2,
    kExitUsage = 64,
};

enum {
    kModeIo = 0x00,
    kModeI2c = 0x60,        // I2C, hardware, 100 kHz
    kAllOutputs = 0x00,     // I/O type byte: every pin an output, driven low
};

// The adapter acknowledges a mode frame with FF 00; anything else leaves it where it was.
static int modeAcknowledged(int port, int mode, int ioType)
{
    issSetMode(port, mode, ioType);
    DWORD got = serialState.readIoBufRead;
    if (got > 0 && serialState.ioBuf[0] == 0xFF)
        return 1;
    if (got == 0)
        fprintf(stderr, "isscheck: no reply from the adapter: mode %02X frame not acknowledged (nothing came back)\n",
                mode);
    else if (got == 1)
        fprintf(stderr, "isscheck: no reply from the adapter: mode %02X frame not acknowledged (reply %02X)\n", mode,
                serialState.ioBuf[0]);
    else
        fprintf(stderr, "isscheck: no reply from the adapter: mode %02X frame not acknowledged (reply %02X %02X)\n",
                mode, serialState.ioBuf[0], serialState.ioBuf[1]);
    return 0;
}

static int checkInfo(int port)
{
    issVersion(port, 0);
    if (serialState.readIoBufRead == 0) {
        fprintf(stderr, "isscheck: no reply from the adapter: the version reply (5A 01) was empty\n");
        return kExitNoReply;
    }
    issSerial(port, 0);
    if (serialState.readIoBufRead == 0) {
        fprintf(stderr, "isscheck: no reply from the adapter: the serial number reply (5A 03) was empty\n");
        return kExitNoReply;
    }
    return kExitOk;
}

static int checkLeds(int port, int walkRows)
{
    // driver set-up: all 8 rows scanned, raw segment bits, middle brightness,
    // display test off, out of shutdown
    static const int setup[] = {0x0B07, 0x0900, 0x0A07, 0x0F00, 0x0C01};

    if (!modeAcknowledged(port, kModeIo, kAllOutputs))
        return kExitNoReply;
    pinWalk(port);
    for (unsigned i = 0; i < sizeof setup / sizeof setup[0]; ++i)
        sendMAX2719(port, setup[i]);
    for (int row = 1; row <= 8; ++row)
        sendMAX2719(port, row * 256);
    for (int y = 0; y < walkRows; ++y)
        for (int x = 0; x < 8; ++x)
            sendMAX2719xyz(port, x, y, 0);
    return kExitOk;
}

static int checkRange(int port)
{
    if (!modeAcknowledged(port, kModeI2c, kAllOutputs))
        return kExitNoReply;
    srf08Range(port);
    return kExitOk;
}

static int checkDisplay(int port, const char *text)
{
    if (!modeAcknowledged(port, kModeI2c, kAllOutputs))
        return kExitNoReply;
    dispWrite(port, 12, text);
    return kExitOk;
}

static int checkKeys(int port)
{
    if (!modeAcknowledged(port, kModeI2c, kAllOutputs))
        return kExitNoReply;
    int keys = setModeIICpollDisp(port);
    // without the whole reply the keypad byte would be a stale frame byte
    if (serialState.readIoBufRead < 4) {
        fprintf(stderr, "isscheck: no reply from the adapter: the keypad read (54 C7 04) got %d of 4 bytes\n",
                (int)serialState.readIoBufRead);
        return kExitNoReply;
    }
    printf("keys held:");
    if (keys == 0)
        printf(" none");
    for (int key = 1; key <= 8; ++key)
        if (keys & (1 << (key - 1)))
            printf(" %d", key);
    printf("\n");
    return kExitOk;
}

static int checkPixels(int port)
{
    if (!modeAcknowledged(port, kModeI2c, kAllOutputs))
        return kExitNoReply;
    pixelBlockWrite(port);
    pixelWrite(port, 4, 4, 255, 64, 0);
    return kExitOk;
}

// One field of the ports listing: "-" for a fact not known, and no tab or line end
// (from a device's own strings) to split it.
static void printField(const char *text, const char *after)
{
    if (*text == '\0')
        putchar('-');
    for (const char *c = text; *c; ++c)
        putchar((unsigned char)*c < 0x20 || *c == 0x7f ? ' ' : *c);
    fputs(after, stdout);
}

static int listPorts(void)
{
    static PortFacts ports[256];
    char why[300];
    int count = platformListPorts(ports, 256, why, sizeof why);
    if (count < 0) {
        fprintf(stderr, "isscheck: cannot list the serial ports: %s\n", why);
        return kExitNoList;
    }
    if (count == 0)
        printf("no serial ports found\n");
    for (int i = 0; i < count; ++i) {
        const PortFacts *p = &ports[i];
        const char *fields[] = {p->port, p->device, p->setting, p->kind, p->driver, p->usbId,
                                p->maker, p->product, p->serial, p->byId};
        for (const char *field : fields)
            printField(field, "\t");
        printField(strcmp(p->usbId, "04d8:ffee") == 0 ? "USB-ISS" : "", "\n");
    }
    return kExitOk;
}

int main(int argc, char **argv)
{
    IsscheckSettings settings;
    if (isscheckParse(argc, argv, &settings, stderr) != 0)
        return kExitUsage;
    if (settings.command == kCmdHelp) {
        isscheckHelp(stdout);
        return kExitOk;
    }
    if (settings.command == kCmdVersion) {
        printf("isscheck %s\n", SCOPECAP_VERSION);
        return kExitOk;
    }
    if (settings.command == kCmdPorts)
        return listPorts();

    // a pulled adapter ends the check at the first transfer that fails
    const int port = settings.port;
    serialNameProgram("isscheck");
    serialStopWhenLost(kExitNoReply);
    if (openComPort(port, 19200, '8', 'N') == NULL) {
        fprintf(stderr, "isscheck: COM%d did not open\n", port);
        return kExitNoPort;
    }

    int status = kExitOk;
    switch (settings.command) {
    case kCmdInfo: status = checkInfo(port); break;
    case kCmdLeds: status = checkLeds(port, settings.walkRows); break;
    case kCmdRange: status = checkRange(port); break;
    case kCmdDisplay: status = checkDisplay(port, settings.text); break;
    case kCmdKeys: status = checkKeys(port); break;
    case kCmdPixels: status = checkPixels(port); break;
    }

    closeComPort(port);
    fflush(stdout);
    return status;
}
