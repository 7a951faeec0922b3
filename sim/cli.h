// benchsim's command line: parsing into BenchOptions and the --help text.
#pragma once

#include "options.h"

#include <string>
#include <vector>

namespace sim {

enum class CliAction { Run, Help, Version, DumpSettings, DumpSamples, Error };

struct CliResult {
    CliAction action = CliAction::Error;
    BenchOptions options;
    int dumpChannel = 0;  // --dump-samples N
    std::string error;    // one line, for CliAction::Error
};

// args excludes the program name: {"scope", "--link", "/tmp/x", ...}.
CliResult parseBenchArgs(const std::vector<std::string> &args);

// "sine:100:400" etc.; false with a reason when it is not a waveform.
bool parseWaveSpec(const std::string &text, WaveSpec *wave, std::string *error);

const char *benchHelpText();

// Exit status for a bad command line.
inline constexpr int kUsageExit = 64;

} // namespace sim
