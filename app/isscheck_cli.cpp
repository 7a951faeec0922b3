// isscheck's commands and options, and the parser and help text made from them.
#include "isscheck_cli.h"

#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

const IsscheckEntry kIsscheckEntries[] = {
    {"info", NULL, kCmdInfo, kNoValue, NULL, 0, 0, NULL, NULL,
     "module version (5A 01) and serial number (5A 03)"},
    {"leds", NULL, kCmdLeds, kNoValue, NULL, 0, 0, NULL, NULL,
     "I/O mode with every pin an output (5A 02 00 00), the pin walk,\n"
     "the LED driver set-up (scan limit 7: 0B07, no decode: 0900,\n"
     "intensity 7 of 15: 0A07, display test off: 0F00, normal\n"
     "operation: 0C01), all eight rows cleared (0100 to 0800), then a\n"
     "dot walk: each LED of the 8x8 matrix lit in turn, row by row,\n"
     "column 0 to 7; every row ends with its column 7 lit. Each of\n"
     "the 77 words is 53 pin commands and a 0.6 s wait: about a\n"
     "minute in all"},
    {"range", NULL, kCmdRange, kNoValue, NULL, 0, 0, NULL, NULL,
     "I2C mode (5A 02 60 00), one ranging cycle of the SRF08 at E0"},
    // the adapter takes at most 60 bytes in one I2C write: the command byte and 59
    {"display", NULL, kCmdDisplay, kText, "TEXT", 0, 59, NULL, &IsscheckSettings::text,
     "I2C mode, clears the display at C6 and writes TEXT (at most 59\n"
     "characters)"},
    {"keys", NULL, kCmdKeys, kNoValue, NULL, 0, 0, NULL, NULL,
     "I2C mode, reads the keypad of the display at C7 and prints the\n"
     "keys held, e.g. \"keys held: 1 3\" (or \"keys held: none\")"},
    {"pixels", NULL, kCmdPixels, kNoValue, NULL, 0, 0, NULL, NULL,
     "I2C mode, the 33-byte block record and the pixel record\n"
     "00 04 04 FF 40 00 20 to the device at 0A"},
    {"ports", NULL, kCmdPorts, kNoValue, NULL, 0, 0, NULL, NULL,
     "lists the serial ports of this machine, one a line (the fields\n"
     "are below); opens none of them"},
    {"--port", NULL, kCmdNone, kNumber, "N", 0, 255, &IsscheckSettings::port, NULL,
     "use COMN instead of COM9 (N from 0 to 255)"},
    {"--walk-rows", NULL, kCmdNone, kNumber, "N", 1, 8, &IsscheckSettings::walkRows, NULL,
     "leds: walk only rows 0 to N-1 (N from 1 to 8, default 8)"},
    {"--help", "-h", kCmdHelp, kNoValue, NULL, 0, 0, NULL, NULL, "this text"},
    {"--version", NULL, kCmdVersion, kNoValue, NULL, 0, 0, NULL, NULL, "print \"isscheck\" and the version"},
};
const size_t kIsscheckEntryCount = sizeof kIsscheckEntries / sizeof kIsscheckEntries[0];

static const char kAbout[] =
    "Checks a USB-ISS adapter and the devices behind it on COM9 (19200 baud, 8 data\n"
    "bits, no parity), logging every frame and reply on standard output.\n";

static const char kAfterOptions[] =
    "Exit status: 0 checked; 1 the port did not open; 2 no reply from the adapter\n"
    "(an empty version, serial or keypad reply, or a mode frame not acknowledged)\n"
    "or the port was lost (the adapter pulled out: the check stops there); 64 a bad\n"
    "command line. ports: 0 listed (also none), 2 the list could not be read.\n"
    "\n"
    "ports prints one port a line, eleven fields separated by a tab, \"-\" for a fact\n"
    "not known (no ports: the one line \"no serial ports found\"):\n"
    "  PORT     the COMn to give, e.g. COM12; outside Windows the COMn whose\n"
    "           variable names the device, or COMn for /dev/ttyS<n-1>\n"
    "  DEVICE   /dev/ttyUSB0; on Windows the driver's device, \\Device\\Serial0\n"
    "  SETTING  outside Windows the variable that selects it, COMn=BY-ID or\n"
    "           COMn=DEVICE, n the PORT's number or else 9, the port scopecap opens\n"
    "  KIND     uart (on the board), usb-serial (a converter), cdc-acm (a USB\n"
    "           device that is a serial port itself) or other\n"
    "  DRIVER   its driver, e.g. ftdi_sio or cdc_acm; on Windows its service\n"
    "  USB      the USB vendor and product id, e.g. 0403:6001\n"
    "  MAKER    the maker the device reports; on Windows its driver's maker\n"
    "  PRODUCT  the product the device reports; on Windows its own description\n"
    "           where Windows keeps one, else its friendly name\n"
    "  SERIAL   the serial number the device reports\n"
    "  BY-ID    the stable /dev/serial/by-id/ path\n"
    "  ADAPTER  USB-ISS for the adapter's id 04d8:ffee\n"
    "\n"
    "Outside Windows the environment variable COMn names the device behind COMn,\n"
    "e.g. COM9=/dev/ttyACM0.\n";

static int isOption(const IsscheckEntry *e) { return e->name[0] == '-'; }

static const IsscheckEntry *entryNamed(const char *name)
{
    for (size_t i = 0; i < kIsscheckEntryCount; ++i) {
        const IsscheckEntry *e = &kIsscheckEntries[i];
        if (strcmp(name, e->name) == 0 || (e->alias != NULL && strcmp(name, e->alias) == 0))
            return e;
    }
    return NULL;
}

// A whole decimal number from lowest to highest, or -1 (every range starts at 0 or above).
static int numberIn(const char *text, int lowest, int highest)
{
    char *end = NULL;
    long value = strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < lowest || value > highest)
        return -1;
    return (int)value;
}

// The one line a bad command line gets.
__attribute__((format(printf, 2, 3))) static int refuse(FILE *complaints, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    fputs("isscheck: ", complaints);
    vfprintf(complaints, format, args);
    fputs(" (isscheck --help lists the commands)\n", complaints);
    va_end(args);
    return 64;
}

int isscheckParse(int argc, char **argv, IsscheckSettings *settings, FILE *complaints)
{
    // --help and --version anywhere before "--" win over everything else on the line
    for (int i = 1; i < argc && strcmp(argv[i], "--") != 0; ++i) {
        const IsscheckEntry *e = entryNamed(argv[i]);
        if (e != NULL && isOption(e) && e->command != kCmdNone) {
            settings->command = e->command;
            return 0;
        }
    }

    const IsscheckEntry *command = NULL;
    const char *commandName = NULL;
    int valueGiven = 0;
    int optionsEnded = 0; // after "--" a display TEXT may itself start with "--"
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (optionsEnded || arg[0] != '-' || arg[1] != '-') {
            if (commandName == NULL) {
                commandName = arg;
                command = entryNamed(arg);
                if (command != NULL && isOption(command))
                    command = NULL;
            } else if (command != NULL && command->value == kText && !valueGiven) {
                settings->*(command->text) = arg;
                valueGiven = 1;
            } else {
                return refuse(complaints, "unexpected argument %s", arg);
            }
            continue;
        }
        if (strcmp(arg, "--") == 0) {
            optionsEnded = 1;
            continue;
        }
        const IsscheckEntry *option = entryNamed(arg);
        if (option == NULL || !isOption(option) || option->value != kNumber)
            return refuse(complaints, "unknown option %s", arg);
        if (i + 1 >= argc)
            return refuse(complaints, "%s needs a number", arg);
        const char *value = argv[++i];
        int number = numberIn(value, option->lowest, option->highest);
        if (number < 0)
            return refuse(complaints, "%s takes a number from %d to %d, not %s", arg, option->lowest,
                          option->highest, value);
        settings->*(option->number) = number;
    }

    if (commandName == NULL)
        return refuse(complaints, "no command given");
    if (command == NULL)
        return refuse(complaints, "unknown command %s", commandName);
    if (command->value == kText) {
        const char *text = settings->*(command->text);
        if (text == NULL)
            return refuse(complaints, "%s needs the %s to show", command->name, command->valueName);
        if (strlen(text) > (size_t)command->highest)
            return refuse(complaints, "%s %s is longer than %d characters: %s", command->name, command->valueName,
                          command->highest, text);
    }
    settings->command = command->command;
    return 0;
}

// One entry: its name (and value) in a column `width` wide, then its text, every
// further line indented to that column.
static void helpEntry(FILE *out, const IsscheckEntry *e, int width)
{
    char label[32];
    snprintf(label, sizeof label, "%s%s%s", e->name, e->valueName != NULL ? " " : "",
             e->valueName != NULL ? e->valueName : "");
    fprintf(out, "  %-*s", width, label);
    for (const char *c = e->help; *c != '\0'; ++c) {
        fputc(*c, out);
        if (*c == '\n')
            fprintf(out, "  %*s", width, "");
    }
    fputc('\n', out);
}

void isscheckHelp(FILE *out)
{
    fputs("usage: isscheck", out);
    for (size_t i = 0; i < kIsscheckEntryCount; ++i)
        if (kIsscheckEntries[i].value == kNumber)
            fprintf(out, " [%s %s]", kIsscheckEntries[i].name, kIsscheckEntries[i].valueName);
    fprintf(out, " COMMAND\n\n%s\nCommands:\n", kAbout);
    for (size_t i = 0; i < kIsscheckEntryCount; ++i)
        if (!isOption(&kIsscheckEntries[i]))
            helpEntry(out, &kIsscheckEntries[i], 14);
    fputs("\nOptions:\n", out);
    for (size_t i = 0; i < kIsscheckEntryCount; ++i)
        if (isOption(&kIsscheckEntries[i]))
            helpEntry(out, &kIsscheckEntries[i], 15);
    fprintf(out, "\n%s", kAfterOptions);
}
