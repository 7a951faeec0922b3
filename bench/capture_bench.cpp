// Prints figures for a capture: how long the export of two 4000-sample blocks takes
// (CSV, script and console trace), and how a whole capture over the serial layer
// compares with the time the line rate needs, against the virtual oscilloscope.
//
//   capture_bench [EXPORTS] [BAUD]     defaults: 50 exports, 19200 baud
#include "bench.h"
#include "scope.h"
#include "serial.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// Runs `work` with standard output sent to /dev/null.
template <typename Work> void quietly(Work work)
{
    fflush(stdout);
    int saved = dup(1);
    if (freopen("/dev/null", "w", stdout) == nullptr)
        return;
    work();
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
}

} // namespace

int main(int argc, char **argv)
{
    int exports = argc > 1 ? std::atoi(argv[1]) : 50;
    long baud = argc > 2 ? std::atol(argv[2]) : 19200;
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("capture_bench." + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::path home = fs::current_path();
    fs::current_path(dir);

    sim::BenchOptions opts;
    std::string settings = sim::scopeSettingsReply(opts);
    std::vector<uint8_t> b1 = sim::waveBlockFor(opts, 1), b2 = sim::waveBlockFor(opts, 2);
    auto start = Clock::now();
    quietly([&] {
        for (int i = 0; i < exports; ++i)
            scopeExportDual('1', settings.c_str(), b1.data(), b2.data(), 8014);
    });
    double exportSeconds = secondsSince(start) / exports;
    std::printf("export of one capture (files and console trace): %.2f ms, %ju + %ju bytes written\n",
                exportSeconds * 1000, (uintmax_t)fs::file_size("op_scope.csv"), (uintmax_t)fs::file_size("gbookFtemp.js"));

    opts.baud = baud;
    sim::VirtualBench bench(opts);
    std::string why;
    if (!bench.start(&why)) {
        std::fprintf(stderr, "capture_bench: cannot start the virtual oscilloscope: %s\n", why.c_str());
        return 1;
    }
    setenv("COM9", bench.portPath().c_str(), 1);
    double captureSeconds = 0;
    quietly([&] {
        if (openComPort(9, 19200, '8', 'N') == NULL)
            return;
        start = Clock::now();
        scopePoll(9);
        captureSeconds = secondsSince(start);
    });
    bench.stop();
    double lineSeconds = (double)(settings.size() + 2 * 8014) * 10 / (double)baud;
    std::printf("capture at %ld baud: %.2f s (its %zu bytes take %.2f s at the line rate)\n", baud, captureSeconds,
                settings.size() + 2 * 8014, lineSeconds);
    fs::current_path(home);
    fs::remove_all(dir);
    return scopeProblems > 0 ? 2 : 0;
}
