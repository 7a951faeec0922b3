// The examples built as a user builds them against installed libraries (a prefix, the
// Debian package's paths, the Windows zip's sdk/), then run against the bench.
#pragma once

#include "capture_expect.h"
#include "run_program.h"

#include <functional>

struct ExampleBuild {
    std::string examples = SCOPECAP_SOURCE_DIR "/examples"; // or where a package put them
    std::string compiler = "g++", flags, exeSuffix;         // MinGW-w64: " -static", ".exe"
    std::map<std::string, std::string> env;                  // for pkg-config; none: the system's
    std::vector<std::string> cmakeArgs;                      // how find_package finds scopecap
};

// Runs COMMANDLINE in DIR with COM9 on `benchsim PERSONALITY BENCHARGS`, stopped after it.
using BenchRunner = std::function<ProgramRun(const std::string &personality, const std::vector<std::string> &benchArgs,
                                             const std::vector<std::string> &commandLine, const std::string &dir)>;
ProgramRun runOnBench(const std::string &personality, const std::vector<std::string> &benchArgs,
                      const std::vector<std::string> &commandLine, const std::string &dir);

// Both examples built in DIR with `g++ led_walk.cpp $(pkg-config --cflags --libs scopecap-iss)`
// (and scope_capture.cpp with scopecap-scope), then with their own CMakeLists.txt; each pair
// run: `led_walk 1` held to the words the adapter latched, scope_capture to its output.
void expectExamplesBuildAndDriveTheBench(const ExampleBuild &how, const std::string &dir,
                                         const BenchRunner &run = runOnBench, const RuntimeStyle &style = kGlibcStyle);
