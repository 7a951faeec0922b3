// benchsim's command line: one table of options (kBenchOptions, in cli.cpp), from
// which parseBenchArgs parses into BenchOptions and benchHelpText writes --help.
#pragma once

#include "options.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace sim {

enum class CliAction { Run, Help, Version, DumpSettings, DumpSamples, Error };

struct CliResult {
    CliAction action = CliAction::Error;
    BenchOptions options;
    int dumpChannel = 0;       // --dump-samples N
    bool dumpSettings = false; // --dump-settings
    bool quiet = false;        // --quiet (options.logToStderr follows from it)
    std::string error;         // one line, for CliAction::Error
};

// The sort of value an option takes, and what its lowest and highest bound.
enum class ValueKind {
    Flag,   // none ("--once=yes" is refused)
    Action, // none: --help, --version, whatever else is given
    Path,   // a path, not empty
    File,   // a file that is read now, byte for byte
    Output, // a file the bench will write: refused now if it cannot be (made, never emptied, here)
    Whole,  // a whole number from lowest to highest, decimal or 0x-prefixed
    Hex,    // a known adapter mode, in hex, from lowest to highest
    Pair,   // A,B: two whole numbers, each from lowest to highest
    Text,   // from lowest to highest printable characters, no blank
    Wave,   // a waveform, KIND[:AMPLITUDE[:PERIOD]] (parseWaveSpec)
};

enum class OptionFor { Both, Scope, Adapter };
enum class HelpSection { Line, Faults, Scope, Adapter, Other };

// Where an option's value goes: a field of CliResult, or the action it asks for.
using OptionField =
    std::variant<CliAction, bool *(*)(CliResult &), long *(*)(CliResult &), int *(*)(CliResult &),
                 uint32_t *(*)(CliResult &), std::string *(*)(CliResult &), std::optional<std::string> *(*)(CliResult &),
                 WaveSpec *(*)(CliResult &), std::pair<int *, int *> (*)(CliResult &)>;

struct BenchOption {
    const char *name;                 // "--baud"
    const char *metavar = nullptr;    // "N" in --help; none for a Flag or an Action
    OptionFor personality = OptionFor::Both;
    HelpSection section = HelpSection::Line;
    ValueKind kind = ValueKind::Flag;
    long lowest = 0, highest = 0;
    OptionField field{};
    const char *need = "a value";     // "--baud needs a rate from 50 to 4000000"
    const char *with = nullptr;       // an option that must be given with this one
    const char *shortName = nullptr;  // "-h"
    const char *help = "";            // its --help text, lines split by "\n"
};

std::span<const BenchOption> benchOptions();

// args excludes the program name: {"scope", "--link", "/tmp/x", ...}.
CliResult parseBenchArgs(const std::vector<std::string> &args);

// "sine:100:400" etc.; false with a reason when it is not a waveform.
bool parseWaveSpec(const std::string &text, WaveSpec *wave, std::string *error);

const char *benchHelpText();

// Exit status for a bad command line.
inline constexpr int kUsageExit = 64;

} // namespace sim
