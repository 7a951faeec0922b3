// benchsim's option table walked entry by entry, and the options landing in their fields.
#include "cli.h"
#include "scratch_dir.h"
#include "text.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using sim::ValueKind;
using Args = std::vector<std::string>;

// In and out of range for each kind of value, from the entry's bounds.
struct Values {
    std::vector<Args> good, bad; // what follows the option's name
};

Values valuesFor(const sim::BenchOption &o, const std::string &dir)
{
    const std::string lo = std::to_string(o.lowest), hi = std::to_string(o.highest);
    const std::string under = std::to_string(o.lowest - 1), over = std::to_string(o.highest + 1);
    char hexHi[16], hexOver[16];
    std::snprintf(hexHi, sizeof hexHi, "%02lX", o.highest);
    std::snprintf(hexOver, sizeof hexOver, "%02lX", o.highest + 1);
    switch (o.kind) {
    case ValueKind::Flag:
    case ValueKind::Action: return {{{}}, {{"=1"}}};
    case ValueKind::Path: return {{{dir + "/x"}}, {{""}, {}}};
    case ValueKind::File: return {{{dir + "/settings"}}, {{dir + "/none"}, {}}};
    case ValueKind::Output: return {{{dir + "/pins.vcd"}}, {{dir + "/none/pins.vcd"}, {""}, {}}};
    case ValueKind::Whole: return {{{lo}, {hi}}, {{under}, {over}, {"x"}, {}}};
    case ValueKind::Hex: return {{{"00"}, {hexHi}}, {{hexOver}, {}}};
    case ValueKind::Pair: return {{{lo + "," + hi}}, {{over + "," + lo}, {lo + "," + over}, {lo}, {}}};
    case ValueKind::Text:
        return {{{std::string((size_t)o.highest, '7')}}, {{std::string((size_t)o.highest + 1, '7')}, {""}, {"7 7"}}};
    case ValueKind::Wave: return {{{"sine"}}, {{"saw"}, {}}};
    }
    return {};
}

TEST(BenchOptionTable, EachEntryParsesIsRefusedOutOfRangeAndIsDocumented)
{
    const ScratchDir dir("simtest-options-");
    writeFile(dir / "settings", "x");
    const std::string help = sim::benchHelpText();
    const std::string man = readFile(SCOPECAP_SOURCE_DIR "/docs/man/benchsim.1.in");
    for (const sim::BenchOption &o : sim::benchOptions()) {
        const std::string name = o.name;
        SCOPED_TRACE(name);
        EXPECT_NE(help.find("\n  " + name + (o.metavar ? std::string(" ") + o.metavar : "") + " "), std::string::npos);
        std::string manName = name; // man escapes each '-'
        for (size_t at = 0; (at = manName.find('-', at)) != std::string::npos; at += 2)
            manName.insert(at, "\\");
        EXPECT_NE(man.find(manName), std::string::npos);

        const std::string who = o.personality == sim::OptionFor::Adapter ? "iss" : "scope";
        Args partner;
        if (o.with != nullptr)
            partner = {o.with, "0"};
        const Values values = valuesFor(o, dir.path());
        for (const Args &value : values.good) {
            Args args = {who, name};
            args.insert(args.end(), value.begin(), value.end());
            args.insert(args.end(), partner.begin(), partner.end());
            sim::CliResult r = sim::parseBenchArgs(args);
            EXPECT_NE(r.action, sim::CliAction::Error) << testing::PrintToString(args) << r.error;
            if (o.kind == ValueKind::Action) {
                EXPECT_EQ(r.action, std::get<sim::CliAction>(o.field));
            }
            if (o.personality != sim::OptionFor::Both) {
                args[0] = who == "iss" ? "scope" : "iss";
                EXPECT_EQ(sim::parseBenchArgs(args).error, name + " is an option of benchsim " + who);
            }
        }
        for (const Args &value : values.bad) {
            // a value given with '=' or as the next argument; none at all at the end
            Args args = {who, value.size() == 1 && value[0] == "=1" ? name + "=1" : name};
            if (value.size() == 1 && value[0] != "=1")
                args.push_back(value[0]);
            sim::CliResult r = sim::parseBenchArgs(args);
            EXPECT_EQ(r.action, sim::CliAction::Error) << testing::PrintToString(args);
            EXPECT_EQ(r.error.rfind(name, 0), 0u) << testing::PrintToString(args) << r.error;
        }
        if (o.with != nullptr) { // alone
            EXPECT_NE(sim::parseBenchArgs({who, name, "0"}).error.find(" go together"), std::string::npos);
        }
    }
}

TEST(BenchOptionTable, OptionsLandInTheirFields)
{
    sim::CliResult r = sim::parseBenchArgs({"iss", "--link=/tmp/x", "--baud", "19200", "--keys", "0x05", "--range",
                                            "250,40", "--serial", "7654321", "--matrix", "--mode", "60", "--nack",
                                            "--short", "3", "--stall-after", "1", "--stall-ms", "20",
                                            "--hangup-after", "9", "--seed", "4000000000", "--silent", "--garbage"});
    ASSERT_EQ(r.action, sim::CliAction::Run) << r.error;
    const sim::BenchOptions &o = r.options;
    EXPECT_EQ(o.personality, sim::Personality::Adapter);
    EXPECT_EQ(std::tie(o.linkPath, o.baud, o.keys, o.rangeFirst, o.rangeSecond, o.serial, o.initialMode),
              std::make_tuple("/tmp/x", 19200, 5, 250, 40, "7654321", 0x60));
    EXPECT_EQ(std::tie(o.shortBytes, o.stallAfter, o.stallMs, o.hangupAfter, o.seed),
              std::make_tuple(3, 1, 20, 9, 4000000000u));
    // matrix, nack, silent, garbage, logToStderr, once
    EXPECT_EQ(std::tie(o.matrix, o.nack, o.silent, o.garbage, o.logToStderr, o.once),
              std::make_tuple(true, true, true, true, true, false));

    r = sim::parseBenchArgs({"scope", "--wave1", "triangle:60", "--wave2", "zero", "--log", "f", "--long", "--once"});
    ASSERT_EQ(r.action, sim::CliAction::Run) << r.error;
    EXPECT_EQ(std::tie(r.options.wave1.kind, r.options.wave1.amplitude, r.options.wave1.period, r.options.wave2.kind),
              std::make_tuple(sim::WaveKind::Triangle, 60, 400, sim::WaveKind::Zero));
    // logToStderr (the log goes to the file), longReplies, once
    EXPECT_EQ(std::tie(r.options.logToStderr, r.options.longReplies, r.options.once),
              std::make_tuple(false, true, true));
    EXPECT_FALSE(sim::parseBenchArgs({"scope", "--quiet"}).options.logToStderr);
    EXPECT_EQ(sim::parseBenchArgs({"scope", "--dump-samples", "1"}).action, sim::CliAction::DumpSamples);
    EXPECT_EQ(sim::parseBenchArgs({"scope", "--dump-settings"}).action, sim::CliAction::DumpSettings);
}

} // namespace
