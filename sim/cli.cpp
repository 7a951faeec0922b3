// benchsim's command line.
#include "cli.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace sim {

namespace {

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

const char *const kScopeOnly[] = {"--long", "--settings", "--wave1", "--wave2", "--dump-settings", "--dump-samples"};
const char *const kAdapterOnly[] = {"--nack", "--keys", "--range", "--serial", "--matrix", "--mode"};

} // namespace

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
    for (const std::string &a : args)
        if (a == "--help" || a == "-h") {
            r.action = CliAction::Help;
            return r;
        } else if (a == "--version") {
            r.action = CliAction::Version;
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

    bool quiet = false, dumpSettings = false;
    bool stallAfterGiven = false, stallMsGiven = false;
    for (size_t i = 1; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool inlineValue = false;
        size_t eq = name.find('=');
        if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            inlineValue = true;
        }
        for (const char *only : o.personality == Personality::Scope ? kAdapterOnly : kScopeOnly)
            if (name == only)
                return fail(name + " is an option of benchsim " +
                            (o.personality == Personality::Scope ? "iss" : "scope"));
        auto takesValue = [&]() -> bool {
            if (inlineValue)
                return true;
            if (i + 1 >= args.size())
                return false;
            value = args[++i];
            return true;
        };
        auto flag = [&](bool *into) -> bool {
            if (inlineValue)
                return false;
            *into = true;
            return true;
        };
        long v = 0;
        auto number = [&](long lowest, long highest, long *into) -> bool {
            if (!takesValue() || !wholeNumber(value, lowest, highest, &v))
                return false;
            *into = v;
            return true;
        };
        std::string why = name + " needs a value";
        bool ok = true;
        if (name == "--link") {
            ok = takesValue() && !value.empty();
            o.linkPath = value;
        } else if (name == "--device") {
            ok = takesValue() && !value.empty();
            o.devicePath = value;
        } else if (name == "--log") {
            ok = takesValue() && !value.empty();
            o.logPath = value;
        } else if (name == "--once") {
            ok = flag(&o.once);
        } else if (name == "--quiet") {
            ok = flag(&quiet);
        } else if (name == "--baud") {
            why = "--baud needs a rate from 50 to 4000000";
            ok = number(50, 4000000, &o.baud);
        } else if (name == "--seed") {
            why = "--seed needs a number from 0 to 4294967295";
            long long s = 0;
            ok = takesValue() && !value.empty() && value[0] != '-' && value[0] != '+';
            if (ok) {
                char *end = nullptr;
                errno = 0;
                s = std::strtoll(value.c_str(), &end, 10);
                ok = errno == 0 && *end == '\0' && s >= 0 && s <= 4294967295LL;
            }
            o.seed = (uint32_t)s;
        } else if (name == "--silent") {
            ok = flag(&o.silent);
        } else if (name == "--short") {
            why = "--short needs a byte count";
            ok = number(0, LONG_MAX / 2, &o.shortBytes);
        } else if (name == "--stall-after") {
            why = "--stall-after needs a byte count";
            ok = number(0, LONG_MAX / 2, &o.stallAfter);
            stallAfterGiven = true;
        } else if (name == "--stall-ms") {
            why = "--stall-ms needs milliseconds from 0 to 600000";
            ok = number(0, 600000, &o.stallMs);
            stallMsGiven = true;
        } else if (name == "--hangup-after") {
            why = "--hangup-after needs a byte count";
            ok = number(0, LONG_MAX / 2, &o.hangupAfter);
        } else if (name == "--garbage") {
            ok = flag(&o.garbage);
        } else if (name == "--long") {
            ok = flag(&o.longReplies);
        } else if (name == "--nack") {
            ok = flag(&o.nack);
        } else if (name == "--settings") {
            ok = takesValue() && !value.empty();
            if (ok) {
                std::ifstream in(value, std::ios::binary);
                std::stringstream text;
                text << in.rdbuf();
                if (!in.is_open() || in.bad())
                    return fail("--settings: cannot read " + value);
                o.settings = text.str();
            }
        } else if (name == "--wave1" || name == "--wave2") {
            ok = takesValue();
            if (ok && !parseWaveSpec(value, name == "--wave1" ? &o.wave1 : &o.wave2, &why)) {
                why = name + ": " + why;
                ok = false;
            }
        } else if (name == "--dump-settings") {
            ok = flag(&dumpSettings);
        } else if (name == "--dump-samples") {
            why = "--dump-samples needs a channel, 1 or 2";
            long ch = 0;
            ok = number(1, 2, &ch);
            r.dumpChannel = (int)ch;
        } else if (name == "--keys") {
            why = "--keys needs a keypad state from 0 to 65535";
            long k = 0;
            ok = number(0, 65535, &k);
            o.keys = (int)k;
        } else if (name == "--range") {
            why = "--range needs two distances in cm, e.g. 300,100";
            ok = takesValue();
            size_t comma = value.find(',');
            long a = 0, b = 0;
            ok = ok && comma != std::string::npos && wholeNumber(value.substr(0, comma), 0, 65535, &a) &&
                 wholeNumber(value.substr(comma + 1), 0, 65535, &b);
            o.rangeFirst = (int)a;
            o.rangeSecond = (int)b;
        } else if (name == "--serial") {
            why = "--serial needs 1 to 32 printable characters, e.g. 0012345";
            ok = takesValue() && !value.empty() && value.size() <= 32;
            for (char c : value)
                ok = ok && c > ' ' && c < 127;
            o.serial = value;
        } else if (name == "--matrix") {
            ok = flag(&o.matrix);
        } else if (name == "--mode") {
            why = "--mode needs a known adapter mode in hex: 00, 20, 30, 40, 50, 60, 70 or 80";
            long m = 0;
            ok = takesValue() && wholeNumber(value, 0, 255, &m, true) &&
                 (m == 0 || m == 0x20 || m == 0x30 || m == 0x40 || m == 0x50 || m == 0x60 || m == 0x70 || m == 0x80);
            o.initialMode = (int)m;
        } else {
            return fail("unknown option " + args[i]);
        }
        if (!ok) {
            if (inlineValue && (name == "--once" || name == "--quiet" || name == "--silent" || name == "--garbage" ||
                                name == "--long" || name == "--nack" || name == "--matrix" || name == "--dump-settings"))
                why = name + " takes no value";
            return fail(why);
        }
    }
    if (stallAfterGiven != stallMsGiven)
        return fail("--stall-after and --stall-ms go together");
    if (dumpSettings && r.dumpChannel != 0)
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
    o.logToStderr = o.logPath.empty() && !quiet;
    r.action = dumpSettings ? CliAction::DumpSettings : r.dumpChannel != 0 ? CliAction::DumpSamples : CliAction::Run;
    return r;
}

const char *benchHelpText()
{
    return "usage: benchsim scope|iss [--link PATH | --device PATH] [options]\n"
           "\n"
           "The virtual bench: a simulated oscilloscope (scope) or USB-ISS adapter (iss) on\n"
           "a pseudo-terminal. benchsim makes the pty's slave side reachable at PATH (a\n"
           "symlink, replaced if it exists, removed on exit), prints PATH (or, without\n"
           "--link, the slave's own name) and a newline, and answers as the instrument\n"
           "until SIGINT or SIGTERM. Point a program at it with e.g. COM9=PATH.\n"
           "\n"
           "The line:\n"
           "  --link PATH         the symlink to make for the slave side\n"
           "  --device PATH       answer on this serial device instead of a pty, e.g. one\n"
           "                      port of a null-modem pair (the program opens the other)\n"
           "                      or a USB gadget port; benchsim prints PATH. The line is\n"
           "                      set raw at the --baud rate (default 19200), 8 data bits,\n"
           "                      no parity, 1 stop bit, no flow control, modem lines\n"
           "                      ignored. A device cannot tell when the program opens or\n"
           "                      closes its end, so bytes it leaves unread are not\n"
           "                      discarded and --once waits only until the reply has left\n"
           "                      this port; not with --link, --hangup-after or iss --once.\n"
           "                      benchsim ends when the device hangs up\n"
           "  --once              stop after one full job: scope, once the reply to\n"
           "                      :acquire2:memory? is sent and read (at most 10 s\n"
           "                      more); iss, when the program closes the port after\n"
           "                      at least one frame\n"
           "  --baud N            pace every reply at N/10 bytes per second (default: at once);\n"
           "                      on a --device also its line rate. The pacing is kept\n"
           "                      there: a UART paces the bytes anyway, a USB gadget port\n"
           "                      would not\n"
           "  --log FILE          the command log: each command received (scope: its text\n"
           "                      without \"\\r\"/\"\\n\"), or each frame as hex bytes and its\n"
           "                      events as lines starting \"# \" (iss); one line each,\n"
           "                      flushed per line. Without --log it goes to standard error\n"
           "  --quiet             no command log on standard error\n"
           "\n"
           "Faults:\n"
           "  --silent            never answer (commands are still logged and obeyed)\n"
           "  --short N           send only the first N bytes of each block reply (scope:\n"
           "                      *LRN? and the sample memories) or of every reply (iss)\n"
           "  --stall-after N     with --stall-ms T: pause T ms after N bytes of each reply\n"
           "  --stall-ms T        (the two go together)\n"
           "  --hangup-after N    after N bytes of a reply at least N bytes long (and once\n"
           "                      the program has read them), close the line, remove the\n"
           "                      link and exit 0; shorter replies go out whole\n"
           "  --garbage           answer text queries with \"ERR?x\\n\" and send random bytes,\n"
           "                      the full length, for blocks (scope) and replies (iss)\n"
           "  --seed N            seed of the --garbage bytes (default 1; reply n from 0 uses\n"
           "                      seed + n)\n"
           "  --long              (scope) answer every text query with 1500 bytes: the\n"
           "                      normal answer, a blank, 'x' filling, \"\\n\"\n"
           "  --nack              (iss) acknowledge every write with 0x00: I2C write\n"
           "                      status, mode frames (00 00), 5A 10 and pin writes; the\n"
           "                      commands still take effect\n"
           "\n"
           "Oscilloscope (scope):\n"
           "  --settings FILE     the *LRN? reply, sent byte for byte (nothing added); the\n"
           "                      numeric queries report the values found in it\n"
           "  --wave1 WAVE        channel 1's waveform (default sine:45:400)\n"
           "  --wave2 WAVE        channel 2's waveform (default square:50:1000)\n"
           "                      WAVE is KIND[:AMPLITUDE[:PERIOD]], amplitude in counts\n"
           "                      (0..32768, samples clamped to -32768..32767), period in\n"
           "                      samples; kinds: sine, square, triangle (default 100:400),\n"
           "                      square:A:P:DUTY (+A for DUTY percent of each period, 1..99;\n"
           "                      default 50),\n"
           "                      ramp (-A up to A-1 over a period; default 128:256, i.e.\n"
           "                      -128..127), zero\n"
           "  --dump-settings     print the *LRN? reply it would send, then exit\n"
           "  --dump-samples N    print channel N's 4000 samples, one per line, then\n"
           "                      \"interval X\" (the block's sample interval, %.9g), then exit\n"
           "  The settings: CH1 scale 5.000e-01 V, offset -1.000e+00, probe 1; CH2 scale\n"
           "  1.000e+00, offset 5.000e-01, probe 0; time base scale 5.000e-04 s, delay 0,\n"
           "  sweep 0; trigger level 1.200E+00. The sample interval is the time-base scale\n"
           "  / 400 (4000 samples over 10 divisions).\n"
           "\n"
           "Adapter (iss):\n"
           "  --keys N            keypad state of the display at C6/C7 (0..65535; the low\n"
           "                      byte is the second byte of its 4-byte read)\n"
           "  --range A,B         the SRF08's two echoes in cm (default 300,100)\n"
           "  --serial DIGITS     the serial-number reply (default 0012345)\n"
           "  --matrix            log the LED matrix after every latched row word\n"
           "                      (it is always logged at exit)\n"
           "  --mode HEX          the mode at power-up (default 00, I/O mode; 20..80 I2C)\n"
           "\n"
           "  --help              this text\n"
           "  --version           print \"benchsim\" and the version\n"
           "\n"
           "Exit status: 0 on a normal stop (signal, --once, --hangup-after, the device\n"
           "hung up); 1 when the pty, link or log cannot be made or the device cannot be\n"
           "opened as a serial line; 64 for a bad command line.\n";
}

} // namespace sim
