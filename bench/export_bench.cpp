// The export of one capture alone, without the line: the settings listing, the
// header lookups, decoding the two sample blocks, and writing both files (and the
// console trace, to /dev/null) in a temporary directory. Figures go to standard
// output; the export's own console output is sent to /dev/null while it runs.
#include "virtual_bench.h"
#include "learn.h"
#include "scope.h"
#include "scope_internal.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ext/stdio_filebuf.h>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Capture {
    std::string settings;
    std::vector<uint8_t> block1, block2;
};

const Capture &capture()
{
    static const Capture c = [] {
        sim::BenchOptions opts;
        return Capture{sim::scopeSettingsReply(opts), sim::waveBlockFor(opts, 1), sim::waveBlockFor(opts, 2)};
    }();
    return c;
}

void settingsListing(benchmark::State &state)
{
    FILE *sink = std::fopen("/dev/null", "w");
    for (auto _ : state)
        learnList(sink, capture().settings.c_str());
    std::fclose(sink);
}
BENCHMARK(settingsListing);

// the nine values the export looks up in the settings text
void headerLookups(benchmark::State &state)
{
    const char *s = capture().settings.c_str();
    for (auto _ : state) {
        float sum = learnValue(s, ":CHANnel1", "SCAL") + learnValue(s, ":CHANnel1", "OFFS") +
                    learnValue(s, ":CHANnel2", "SCAL") + learnValue(s, ":CHANnel2", "OFFS") +
                    learnValue(s, ":TRIG", "LEV") + learnValue(s, ":CHANnel1", "PROB") + learnValue(s, ":TIM", "SCAL") +
                    learnValue(s, ":TIM", "DEL") + learnValue(s, ":TIM", "SWE");
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(headerLookups);

void decodeSamples(benchmark::State &state)
{
    const Capture &c = capture();
    for (auto _ : state) {
        int sum = 0;
        for (int i = 0; i < 2 * kWaveSamples; i += 2)
            sum += waveBlockSample(c.block1.data(), i) - waveBlockSample(c.block2.data(), i);
        float interval = waveBlockInterval(c.block1.data()) + waveBlockInterval(c.block2.data());
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(interval);
    }
}
BENCHMARK(decodeSamples);

// the whole export: both files written and moved into place, the trace printed
void exportDual(benchmark::State &state)
{
    const Capture &c = capture();
    for (auto _ : state)
        scopeExportDual('1', c.settings.c_str(), c.block1.data(), c.block2.data(), kWaveBlockSize);
    state.counters["file_bytes"] = (double)(fs::file_size("op_scope.csv") + fs::file_size("gbookFtemp.js"));
    if (scopeProblems != 0)
        state.SkipWithError("the export reported a problem (see standard error)");
}
BENCHMARK(exportDual)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 64;

    const fs::path home = fs::current_path();
    const fs::path dir = fs::temp_directory_path() / ("export_bench." + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::current_path(dir);

    // the figures keep the real standard output; the export's console output does not
    std::fflush(stdout);
    __gnu_cxx::stdio_filebuf<char> figuresBuf(dup(1), std::ios::out);
    std::ostream figures(&figuresBuf);
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::perror("export_bench: /dev/null");
        return 1;
    }
    // colours only for a terminal (the reporter would otherwise colour a pipe too)
    int format = benchmark::ConsoleReporter::OO_Tabular;
    if (isatty(fileno(stderr)) && isatty(1))
        format |= benchmark::ConsoleReporter::OO_Color;
    benchmark::ConsoleReporter reporter((benchmark::ConsoleReporter::OutputOptions)format);
    reporter.SetOutputStream(&figures);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    figures.flush();

    fs::current_path(home);
    fs::remove_all(dir);
    return scopeProblems == 0 ? 0 : 1;
}
