// benchsim's command line: the table of options, the parser and --help that read it.
// Over 400 lines because the table holds every option's help text.
#include "cli.h"

#include "adapter_model.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <type_traits>

namespace sim {

namespace {

// The field an option sets, as the table spells it.
#define FIELD(member) +[](CliResult &r) { return &r.member; }
#define FIELDS(first, second) +[](CliResult &r) { return std::pair{&r.first, &r.second}; }

const BenchOption kBenchOptions[] = {
    {.name = "--link", .metavar = "PATH", .kind = ValueKind::Path, .field = FIELD(options.linkPath),
     .help = "the symlink to make for the slave side"},
    {.name = "--device", .metavar = "PATH", .kind = ValueKind::Path, .field = FIELD(options.devicePath),
     .help = "answer on this serial device instead of a pty, e.g. one\n"
             "port of a null-modem pair (the program opens the other)\n"
             "or a USB gadget port; benchsim prints PATH. The line is\n"
             "set raw at the --baud rate (default 19200), 8 data bits,\n"
             "no parity, 1 stop bit, no flow control, modem lines\n"
             "ignored. A device cannot tell when the program opens or\n"
             "closes its end, so bytes it leaves unread are not\n"
             "discarded and --once waits only until the reply has left\n"
             "this port; not with --link, --hangup-after or iss --once.\n"
             "benchsim ends when the device hangs up"},
    {.name = "--once", .field = FIELD(options.once),
     .help = "stop after one full job: scope, once the reply to\n"
             ":acquire2:memory? is sent and read (at most 10 s\n"
             "more); iss, when the program closes the port after\n"
             "at least one frame"},
    {.name = "--baud", .metavar = "N", .kind = ValueKind::Whole, .lowest = 50, .highest = 4000000,
     .field = FIELD(options.baud), .need = "a rate from 50 to 4000000",
     .help = "pace every reply at N/10 bytes per second (default: at once);\n"
             "on a --device also its line rate. The pacing is kept\n"
             "there: a UART paces the bytes anyway, a USB gadget port\n"
             "would not"},
    {.name = "--log", .metavar = "FILE", .kind = ValueKind::Path, .field = FIELD(options.logPath),
     .help = "the command log: each command received (scope: its text\n"
             "without \"\\r\"/\"\\n\"), or each frame as hex bytes and its\n"
             "events as lines starting \"# \" (iss); one line each,\n"
             "flushed per line. Without --log it goes to standard error"},
    {.name = "--quiet", .field = FIELD(quiet), .help = "no command log on standard error"},

    {.name = "--silent", .section = HelpSection::Faults, .field = FIELD(options.silent),
     .help = "never answer (commands are still logged and obeyed)"},
    {.name = "--short", .metavar = "N", .section = HelpSection::Faults, .kind = ValueKind::Whole,
     .highest = LONG_MAX / 2, .field = FIELD(options.shortBytes), .need = "a byte count",
     .help = "send only the first N bytes of each block reply (scope:\n"
             "*LRN? and the sample memories) or of every reply (iss)"},
    {.name = "--stall-after", .metavar = "N", .section = HelpSection::Faults, .kind = ValueKind::Whole,
     .highest = LONG_MAX / 2, .field = FIELD(options.stallAfter), .need = "a byte count", .with = "--stall-ms",
     .help = "with --stall-ms T: pause T ms after N bytes of each reply"},
    {.name = "--stall-ms", .metavar = "T", .section = HelpSection::Faults, .kind = ValueKind::Whole,
     .highest = 600000, .field = FIELD(options.stallMs), .need = "milliseconds from 0 to 600000",
     .with = "--stall-after", .help = "(the two go together)"},
    {.name = "--hangup-after", .metavar = "N", .section = HelpSection::Faults, .kind = ValueKind::Whole,
     .highest = LONG_MAX / 2, .field = FIELD(options.hangupAfter), .need = "a byte count",
     .help = "after N bytes of a reply at least N bytes long (and once\n"
             "the program has read them), close the line, remove the\n"
             "link and exit 0; shorter replies go out whole"},
    {.name = "--garbage", .section = HelpSection::Faults, .field = FIELD(options.garbage),
     .help = "answer text queries with \"ERR?x\\n\" and send random bytes,\n"
             "the full length, for blocks (scope) and replies (iss)"},
    {.name = "--seed", .metavar = "N", .section = HelpSection::Faults, .kind = ValueKind::Whole,
     .highest = 4294967295L, .field = FIELD(options.seed), .need = "a number from 0 to 4294967295",
     .help = "seed of the --garbage bytes (default 1; reply n from 0 uses\n"
             "seed + n)"},
    {.name = "--long", .personality = OptionFor::Scope, .section = HelpSection::Faults,
     .field = FIELD(options.longReplies),
     .help = "(scope) answer every text query with 1500 bytes: the\n"
             "normal answer, a blank, 'x' filling, \"\\n\""},
    {.name = "--nack", .personality = OptionFor::Adapter, .section = HelpSection::Faults, .field = FIELD(options.nack),
     .help = "(iss) acknowledge every write with 0x00: I2C write\n"
             "status, mode frames (00 00), 5A 10 and pin writes; the\n"
             "commands still take effect"},

    {.name = "--settings", .metavar = "FILE", .personality = OptionFor::Scope, .section = HelpSection::Scope,
     .kind = ValueKind::File, .field = FIELD(options.settings),
     .help = "the *LRN? reply, sent byte for byte (nothing added); the\n"
             "numeric queries report the values found in it"},
    {.name = "--wave1", .metavar = "WAVE", .personality = OptionFor::Scope, .section = HelpSection::Scope,
     .kind = ValueKind::Wave, .field = FIELD(options.wave1), .help = "channel 1's waveform (default sine:45:400)"},
    {.name = "--wave2", .metavar = "WAVE", .personality = OptionFor::Scope, .section = HelpSection::Scope,
     .kind = ValueKind::Wave, .field = FIELD(options.wave2),
     .help = "channel 2's waveform (default square:50:1000)\n"
             "WAVE is KIND[:AMPLITUDE[:PERIOD]], amplitude in counts\n"
             "(0..32768, samples clamped to -32768..32767), period in\n"
             "samples; kinds: sine, square, triangle (default 100:400),\n"
             "square:A:P:DUTY (+A for DUTY percent of each period, 1..99;\n"
             "default 50),\n"
             "ramp (-A up to A-1 over a period; default 128:256, i.e.\n"
             "-128..127), zero"},
    {.name = "--dump-settings", .personality = OptionFor::Scope, .section = HelpSection::Scope,
     .field = FIELD(dumpSettings), .help = "print the *LRN? reply it would send, then exit"},
    {.name = "--dump-samples", .metavar = "N", .personality = OptionFor::Scope, .section = HelpSection::Scope,
     .kind = ValueKind::Whole, .lowest = 1, .highest = 2, .field = FIELD(dumpChannel), .need = "a channel, 1 or 2",
     .help = "print channel N's 4000 samples, one per line, then\n"
             "\"interval X\" (the block's sample interval, %.9g), then exit"},

    {.name = "--keys", .metavar = "N", .personality = OptionFor::Adapter, .section = HelpSection::Adapter,
     .kind = ValueKind::Whole, .highest = 65535, .field = FIELD(options.keys),
     .need = "a keypad state from 0 to 65535",
     .help = "keypad state of the display at C6/C7 (0..65535; the low\n"
             "byte is the second byte of its 4-byte read)"},
    {.name = "--range", .metavar = "A,B", .personality = OptionFor::Adapter, .section = HelpSection::Adapter,
     .kind = ValueKind::Pair, .highest = 65535, .field = FIELDS(options.rangeFirst, options.rangeSecond),
     .need = "two distances in cm, e.g. 300,100", .help = "the SRF08's two echoes in cm (default 300,100)"},
    {.name = "--serial", .metavar = "DIGITS", .personality = OptionFor::Adapter, .section = HelpSection::Adapter,
     .kind = ValueKind::Text, .lowest = 1, .highest = 32, .field = FIELD(options.serial),
     .need = "1 to 32 printable characters, e.g. 0012345", .help = "the serial-number reply (default 0012345)"},
    {.name = "--matrix", .personality = OptionFor::Adapter, .section = HelpSection::Adapter,
     .field = FIELD(options.matrix),
     .help = "log the LED matrix after every latched row word\n"
             "(it is always logged at exit)"},
    {.name = "--mode", .metavar = "HEX", .personality = OptionFor::Adapter, .section = HelpSection::Adapter,
     .kind = ValueKind::Hex, .highest = 0x80, .field = FIELD(options.initialMode),
     .need = "a known adapter mode in hex: 00, 20, 30, 40, 50, 60, 70 or 80",
     .help = "the mode at power-up (default 00, I/O mode; 20..80 I2C)"},
    {.name = "--vcd", .metavar = "FILE", .personality = OptionFor::Adapter, .section = HelpSection::Adapter,
     .kind = ValueKind::Output, .field = FIELD(options.vcdPath),
     .help = "write the I/O pins the adapter drives (each 63 pin write\n"
             "and the pin types of each I/O mode frame) to FILE as a\n"
             "Value Change Dump: wires CLK (02), DIN (04), LOAD (08)\n"
             "and IO1 (01), time in us of the bench's clock"},

    {.name = "--help", .section = HelpSection::Other, .kind = ValueKind::Action, .field = CliAction::Help,
     .shortName = "-h", .help = "this text"},
    {.name = "--version", .section = HelpSection::Other, .kind = ValueKind::Action, .field = CliAction::Version,
     .help = "print \"benchsim\" and the version"},
};

#undef FIELD
#undef FIELDS

const char kUsage[] = "usage: benchsim scope|iss [--link PATH | --device PATH] [options]\n"
                      "\n"
                      "The virtual bench: a simulated oscilloscope (scope) or USB-ISS adapter (iss) on\n"
                      "a pseudo-terminal. benchsim makes the pty's slave side reachable at PATH (a\n"
                      "symlink, replaced if it exists, removed on exit), prints PATH (or, without\n"
                      "--link, the slave's own name) and a newline, and answers as the instrument\n"
                      "until SIGINT or SIGTERM. Point a program at it with e.g. COM9=PATH.\n";

// Each section's heading and what follows its options.
const struct {
    const char *heading;
    const char *note;
} kSections[] = {
    {"The line:", ""},
    {"Faults:", ""},
    {"Oscilloscope (scope):", "  The settings: CH1 scale 5.000e-01 V, offset -1.000e+00, probe 1; CH2 scale\n"
                              "  1.000e+00, offset 5.000e-01, probe 0; time base scale 5.000e-04 s, delay 0,\n"
                              "  sweep 0; trigger level 1.200E+00. The sample interval is the time-base scale\n"
                              "  / 400 (4000 samples over 10 divisions).\n"},
    {"Adapter (iss):", ""},
    {"", ""},
};

const char kExitStatus[] = "Exit status: 0 on a normal stop (signal, --once, --hangup-after, the device\n"
                           "hung up); 1 when the pty, link or log cannot be made or the device cannot be\n"
                           "opened as a serial line; 64 for a bad command line.\n";

// A whole number, decimal or with a 0x prefix, from lowest to highest.
bool wholeNumber(const std::string &text, long lowest, long highest, long *value, bool hex = false)
{
    std::string t = text;
    int base = hex ? 16 : 10;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        t = t.substr(2);
        base = 16;
    }
    if (t.empty() || t[0] == '+' || t[0] == ' ' || (t[0] == '-' && lowest >= 0))
        return false;
    errno = 0;
    char *end = nullptr;
    long v = std::strtol(t.c_str(), &end, base);
    if (errno != 0 || end == t.c_str() || *end != '\0' || v < lowest || v > highest)
        return false;
    *value = v;
    return true;
}

// Stores a number into whichever kind of integer field the option names.
void storeNumber(const OptionField &field, CliResult &r, long v)
{
    std::visit(
        [&](auto get) {
            if constexpr (std::is_pointer_v<decltype(get)>) {
                using Target = std::remove_pointer_t<decltype(get(r))>;
                if constexpr (std::is_integral_v<Target> && !std::is_same_v<Target, bool>)
                    *get(r) = (Target)v;
            }
        },
        field);
}

template <typename T> T *target(const OptionField &field, CliResult &r)
{
    return std::get<T *(*)(CliResult &)>(field)(r);
}

const BenchOption *findOption(const std::string &name)
{
    for (const BenchOption &o : kBenchOptions)
        if (name == o.name || (o.shortName != nullptr && name == o.shortName))
            return &o;
    return nullptr;
}

// Reads an option's value into its field: "" when it was taken, else why not.
std::string takeValue(const BenchOption &o, const std::string &value, CliResult &r)
{
    const std::string needs = std::string(o.name) + " needs " + o.need;
    long v = 0, w = 0;
    switch (o.kind) {
    case ValueKind::Flag:
    case ValueKind::Action:
        return "";
    case ValueKind::Path:
        *target<std::string>(o.field, r) = value;
        return value.empty() ? needs : "";
    case ValueKind::File: {
        if (value.empty())
            return needs;
        std::ifstream in(value, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        if (!in.is_open() || in.bad())
            return std::string(o.name) + ": cannot read " + value;
        *target<std::optional<std::string>>(o.field, r) = text.str();
        return "";
    }
    case ValueKind::Output: {
        if (value.empty())
            return needs;
        FILE *f = std::fopen(value.c_str(), "a"); // the bench empties it when it starts
        if (f == nullptr)
            return std::string(o.name) + ": cannot write " + value + ": " + std::strerror(errno);
        std::fclose(f);
        *target<std::string>(o.field, r) = value;
        return "";
    }
    case ValueKind::Whole:
    case ValueKind::Hex:
        if (!wholeNumber(value, o.lowest, o.highest, &v, o.kind == ValueKind::Hex) ||
            (o.kind == ValueKind::Hex && !isKnownMode((uint8_t)v)))
            return needs;
        storeNumber(o.field, r, v);
        return "";
    case ValueKind::Pair: {
        const size_t comma = value.find(',');
        if (comma == std::string::npos || !wholeNumber(value.substr(0, comma), o.lowest, o.highest, &v) ||
            !wholeNumber(value.substr(comma + 1), o.lowest, o.highest, &w))
            return needs;
        auto [first, second] = std::get<std::pair<int *, int *> (*)(CliResult &)>(o.field)(r);
        *first = (int)v;
        *second = (int)w;
        return "";
    }
    case ValueKind::Text:
        if (value.size() < (size_t)o.lowest || value.size() > (size_t)o.highest)
            return needs;
        for (char c : value)
            if (c <= ' ' || c >= 127)
                return needs;
        *target<std::string>(o.field, r) = value;
        return "";
    case ValueKind::Wave: {
        std::string why;
        if (!parseWaveSpec(value, target<WaveSpec>(o.field, r), &why))
            return std::string(o.name) + ": " + why;
        return "";
    }
    }
    return needs;
}

} // namespace

std::span<const BenchOption> benchOptions() { return kBenchOptions; }

bool parseWaveSpec(const std::string &text, WaveSpec *wave, std::string *error)
{
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ':'))
        parts.push_back(part);
    if (parts.empty() || parts.size() > 4 || (parts.size() == 4 && parts[0] != "square")) {
        *error = "a waveform is KIND[:AMPLITUDE[:PERIOD]] (square[:A[:P[:DUTY]]]), not \"" + text + "\"";
        return false;
    }
    WaveSpec w;
    const std::string &kind = parts[0];
    if (kind == "sine")
        w = {WaveKind::Sine, 100, 400};
    else if (kind == "square")
        w = {WaveKind::Square, 100, 400};
    else if (kind == "triangle")
        w = {WaveKind::Triangle, 100, 400};
    else if (kind == "ramp")
        w = {WaveKind::Ramp, 128, 256};
    else if (kind == "zero")
        w = {WaveKind::Zero, 0, 400};
    else {
        *error = "unknown waveform \"" + kind + "\" (sine, square, triangle, ramp, zero)";
        return false;
    }
    long v = 0;
    if (parts.size() > 1) {
        if (!wholeNumber(parts[1], 0, 32768, &v)) {
            *error = "waveform amplitude \"" + parts[1] + "\" is not 0 to 32768";
            return false;
        }
        w.amplitude = (int)v;
    }
    if (parts.size() > 2) {
        if (!wholeNumber(parts[2], 2, 1000000, &v)) {
            *error = "waveform period \"" + parts[2] + "\" is not 2 to 1000000 samples";
            return false;
        }
        w.period = (int)v;
    }
    if (parts.size() > 3) {
        if (!wholeNumber(parts[3], 1, 99, &v)) {
            *error = "square duty cycle \"" + parts[3] + "\" is not 1 to 99 percent";
            return false;
        }
        w.duty = (int)v;
    }
    *wave = w;
    return true;
}

CliResult parseBenchArgs(const std::vector<std::string> &args)
{
    CliResult r;
    BenchOptions &o = r.options;
    auto fail = [&](const std::string &why) {
        r.action = CliAction::Error;
        r.error = why;
        return r;
    };
    // --help and --version win wherever they stand, before anything is checked
    for (const std::string &a : args)
        if (const BenchOption *option = findOption(a); option != nullptr && option->kind == ValueKind::Action) {
            r.action = std::get<CliAction>(option->field);
            return r;
        }
    if (args.empty())
        return fail("say which instrument: benchsim scope ... or benchsim iss ...");
    if (args[0] == "scope")
        o.personality = Personality::Scope;
    else if (args[0] == "iss")
        o.personality = Personality::Adapter;
    else
        return fail("unknown instrument \"" + args[0] + "\" (scope or iss)");
    const OptionFor other = o.personality == Personality::Scope ? OptionFor::Adapter : OptionFor::Scope;

    std::vector<const BenchOption *> given;
    for (size_t i = 1; i < args.size(); ++i) {
        std::string name = args[i], value;
        const size_t eq = name.find('=');
        const bool inlineValue = name.rfind("--", 0) == 0 && eq != std::string::npos;
        if (inlineValue) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        const BenchOption *option = findOption(name);
        if (option == nullptr)
            return fail("unknown option " + args[i]);
        if (option->personality == other)
            return fail(name + " is an option of benchsim " + (other == OptionFor::Scope ? "scope" : "iss"));
        const bool takesValue = option->kind != ValueKind::Flag && option->kind != ValueKind::Action;
        if (!takesValue && inlineValue)
            return fail(name + " takes no value");
        if (takesValue && !inlineValue) {
            if (i + 1 >= args.size())
                return fail(name + " needs " + option->need);
            value = args[++i];
        }
        if (!takesValue)
            *target<bool>(option->field, r) = true;
        else if (std::string why = takeValue(*option, value, r); !why.empty())
            return fail(why);
        given.push_back(option);
    }
    auto wasGiven = [&](const char *name) {
        for (const BenchOption *g : given)
            if (std::strcmp(g->name, name) == 0)
                return true;
        return false;
    };
    for (const BenchOption &option : kBenchOptions)
        if (option.with != nullptr && wasGiven(option.name) != wasGiven(option.with))
            return fail(std::string(option.name) + " and " + option.with + " go together");
    if (r.dumpSettings && r.dumpChannel != 0)
        return fail("--dump-settings and --dump-samples go one at a time");
    if (!o.devicePath.empty()) {
        // what a pseudo-terminal tells the bench and a device line does not
        if (!o.linkPath.empty())
            return fail("--device and --link go one at a time: the program opens the other port of the pair");
        if (o.hangupAfter >= 0)
            return fail("--hangup-after needs a pseudo-terminal: closing a serial device does not hang up the "
                        "port at its other end");
        if (o.once && o.personality == Personality::Adapter)
            return fail("iss --once ends when the program closes the port, which a serial device "
                        "cannot tell");
    }
    o.logToStderr = o.logPath.empty() && !r.quiet;
    r.action = r.dumpSettings ? CliAction::DumpSettings : r.dumpChannel != 0 ? CliAction::DumpSamples : CliAction::Run;
    return r;
}

const char *benchHelpText()
{
    static const std::string text = [] {
        std::string out = kUsage;
        for (size_t s = 0; s < std::size(kSections); ++s) {
            out += "\n";
            if (*kSections[s].heading != '\0')
                out += std::string(kSections[s].heading) + "\n";
            for (const BenchOption &o : kBenchOptions) {
                if ((size_t)o.section != s)
                    continue;
                char head[64];
                std::snprintf(head, sizeof head, "  %-18s  ", (std::string(o.name) + (o.metavar ? " " : "") +
                                                              (o.metavar ? o.metavar : ""))
                                                                 .c_str());
                std::stringstream lines(o.help);
                std::string line;
                for (bool first = true; std::getline(lines, line); first = false)
                    out += (first ? std::string(head) : std::string(22, ' ')) + line + "\n";
            }
            out += kSections[s].note;
        }
        return out + "\n" + kExitStatus;
    }();
    return text.c_str();
}

} // namespace sim
