// isscheck's command line: one table of its commands and options. The parser, the
// rule that a command or option without a value takes none, and --help all read it.
#pragma once

#include <stddef.h>
#include <stdio.h>

enum IsscheckCommand {
    kCmdNone,
    kCmdInfo,
    kCmdLeds,
    kCmdRange,
    kCmdDisplay,
    kCmdKeys,
    kCmdPixels,
    kCmdPorts,
    kCmdHelp,
    kCmdVersion,
};

// What a command line asks for.
struct IsscheckSettings {
    int command = kCmdNone;
    int port = 9;
    int walkRows = 8;
    const char *text = NULL; // display TEXT
};

enum IsscheckValue { kNoValue, kNumber, kText };

struct IsscheckEntry {
    const char *name;       // "info", "--port"; a name starting "--" is an option
    const char *alias;      // another spelling, or NULL
    int command;            // the command it runs; kCmdNone for an option that sets a number
    IsscheckValue value;    // what follows it: nothing, a number or a text
    const char *valueName;  // the value as --help shows it: "N", "TEXT"
    int lowest, highest;    // a number's range; a text's greatest length in highest
    int IsscheckSettings::*number;        // the field a number sets
    const char *IsscheckSettings::*text;  // the field a text sets
    const char *help;       // --help's text; each line end starts an indented line
};

extern const IsscheckEntry kIsscheckEntries[];
extern const size_t kIsscheckEntryCount;

// Fills `settings` from the arguments. Returns 0, or 64 after one line on `complaints`
// saying what is wrong.
int isscheckParse(int argc, char **argv, IsscheckSettings *settings, FILE *complaints);

// The --help text.
void isscheckHelp(FILE *out);
