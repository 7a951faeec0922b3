// isscheck: checks a USB-ISS adapter and the devices behind it on the bench:
// the module itself, the LED driver on its pins, and the SRF08 ranger, the display
// with keypad and the device at 0x0A on its I2C bus. Every frame and reply is
// logged on standard output as the adapter routines print them; isscheck's own
// complaints go to standard error.
//
// Exit status: 0 checked, 1 the port did not open, 2 no reply from the adapter or
// the port was lost, 64 a bad command line.
#include "iss.h"
#include "serial.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef __MINGW32__
// the command line is split into arguments without wildcard expansion
int _dowildcard = 0;
#endif

enum {
    kExitOk = 0,
    kExitNoPort = 1,
    kExitNoReply = 2,
    kExitUsage = 64,
};

enum {
    kModeIo = 0x00,
    kModeI2c = 0x60,        // I2C, hardware, 100 kHz
    kAllOutputs = 0x00,     // I/O type byte: every pin an output, driven low
    kMaxText = 59,          // the adapter takes at most 60 bytes in one I2C write
};

static const char kHelp[] =
    "usage: isscheck [--port N] [--walk-rows N] COMMAND\n"
    "\n"
    "Checks a USB-ISS adapter and the devices behind it on COM9 (19200 baud, 8 data\n"
    "bits, no parity), logging every frame and reply on standard output.\n"
    "\n"
    "Commands:\n"
    "  info          module version (5A 01) and serial number (5A 03)\n"
    "  leds          I/O mode with every pin an output (5A 02 00 00), the pin walk,\n"
    "                the LED driver set-up (scan limit 7: 0B07, no decode: 0900,\n"
    "                intensity 7 of 15: 0A07, display test off: 0F00, normal\n"
    "                operation: 0C01), all eight rows cleared (0100 to 0800), then a\n"
    "                dot walk: each LED of the 8x8 matrix lit in turn, row by row,\n"
    "                column 0 to 7; every row ends with its column 7 lit. Each of\n"
    "                the 77 words is 53 pin commands and a 0.6 s wait: about a\n"
    "                minute in all\n"
    "  range         I2C mode (5A 02 60 00), one ranging cycle of the SRF08 at E0\n"
    "  display TEXT  I2C mode, clears the display at C6 and writes TEXT (at most 59\n"
    "                characters)\n"
    "  keys          I2C mode, reads the keypad of the display at C7 and prints the\n"
    "                keys held, e.g. \"keys held: 1 3\" (or \"keys held: none\")\n"
    "  pixels        I2C mode, the 33-byte block record and the pixel record\n"
    "                00 04 04 FF 40 00 20 to the device at 0A\n"
    "\n"
    "Options:\n"
    "  --port N       use COMN instead of COM9 (N from 0 to 9)\n"
    "  --walk-rows N  leds: walk only rows 0 to N-1 (N from 1 to 8, default 8)\n"
    "  --help         this text\n"
    "  --version      print \"isscheck\" and the version\n"
    "\n"
    "Exit status: 0 checked; 1 the port did not open; 2 no reply from the adapter\n"
    "(an empty version, serial or keypad reply, or a mode frame not acknowledged)\n"
    "or the port was lost (the adapter pulled out: the check stops there); 64 a bad\n"
    "command line.\n"
    "\n"
    "Outside Windows the environment variable COMn names the device behind COMn,\n"
    "e.g. COM9=/dev/ttyACM0.\n";

// A whole decimal number from lowest to highest, or -1.
static int numberIn(const char *text, int lowest, int highest)
{
    char *end = NULL;
    long value = strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < lowest || value > highest)
        return -1;
    return (int)value;
}

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

static int usage(const char *problem, const char *what)
{
    fprintf(stderr, "isscheck: %s%s (isscheck --help lists the commands)\n", problem, what);
    return kExitUsage;
}

int main(int argc, char **argv)
{
    int port = 9;
    int walkRows = 8;
    const char *command = NULL;
    const char *text = NULL;

    for (int i = 1; i < argc && strcmp(argv[i], "--") != 0; ++i)
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            fputs(kHelp, stdout);
            return kExitOk;
        } else if (strcmp(argv[i], "--version") == 0) {
            printf("isscheck %s\n", SCOPECAP_VERSION);
            return kExitOk;
        }

    int optionsEnded = 0; // after "--" a display TEXT may itself start with "--"
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (optionsEnded || arg[0] != '-' || arg[1] != '-') {
            if (command == NULL)
                command = arg;
            else if (strcmp(command, "display") == 0 && text == NULL)
                text = arg;
            else
                return usage("unexpected argument ", arg);
        } else if (strcmp(arg, "--") == 0) {
            optionsEnded = 1;
        } else if (strcmp(arg, "--port") == 0 || strcmp(arg, "--walk-rows") == 0) {
            if (i + 1 >= argc)
                return usage(arg, " needs a number");
            const char *value = argv[++i];
            if (strcmp(arg, "--port") == 0) {
                port = numberIn(value, 0, 9);
                if (port < 0)
                    return usage("--port takes a number from 0 to 9, not ", value);
            } else {
                walkRows = numberIn(value, 1, 8);
                if (walkRows < 0)
                    return usage("--walk-rows takes a number from 1 to 8, not ", value);
            }
        } else {
            return usage("unknown option ", arg);
        }
    }

    if (command == NULL)
        return usage("no command given", "");
    int known = strcmp(command, "info") == 0 || strcmp(command, "leds") == 0 || strcmp(command, "range") == 0 ||
                strcmp(command, "display") == 0 || strcmp(command, "keys") == 0 || strcmp(command, "pixels") == 0;
    if (!known)
        return usage("unknown command ", command);
    if (strcmp(command, "display") == 0) {
        if (text == NULL)
            return usage("display needs the TEXT to show", "");
        if (strlen(text) > kMaxText)
            return usage("display TEXT is longer than 59 characters: ", text);
    }

    // a pulled adapter ends the check at the first transfer that fails
    serialNameProgram("isscheck");
    serialStopWhenLost(kExitNoReply);
    if (openComPort(port, 19200, '8', 'N') == NULL) {
        fprintf(stderr, "isscheck: COM%d did not open\n", port);
        return kExitNoPort;
    }

    int status;
    if (strcmp(command, "info") == 0)
        status = checkInfo(port);
    else if (strcmp(command, "leds") == 0)
        status = checkLeds(port, walkRows);
    else if (strcmp(command, "range") == 0)
        status = checkRange(port);
    else if (strcmp(command, "display") == 0)
        status = checkDisplay(port, text);
    else if (strcmp(command, "keys") == 0)
        status = checkKeys(port);
    else
        status = checkPixels(port);

    closeComPort(port);
    fflush(stdout);
    return status;
}
