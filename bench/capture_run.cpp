// Times whole scopecap runs against the virtual oscilloscope paced at a baud rate,
// and sets each beside the floor the line and the sequence allow (line_floor.h).
//
//   capture_run [--runs N] [--rates 19200,115200] [--scopecap PATH]
//               [--wine-exe PATH --link PATH] [--guest-times FILE] [--keep] [--each]
//
// --wine-exe also runs that Windows build under `wine`; the Wine prefix in
// WINEPREFIX must map COM9 to --link (bench/capture sets this up). --guest-times adds
// the runs of scopecap in a guest through ftdi_sio at 19200 baud, timed by the guest's
// clock (one "STATUS SECONDS" line per run; bench/guest-job.sh). Exit status 0
// when every run completed its capture, 1 when one did not, 64 on a bad option.
// --keep keeps every run's directory (output files, log); --each prints every run's
// figures on standard error.
#include "virtual_bench.h"
#include "line_floor.h"
#include "measured_run.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#if !defined(SCOPECAP_PROGRAM) || !defined(RUN_CHILD_PROGRAM)
#error "SCOPECAP_PROGRAM and RUN_CHILD_PROGRAM must name the builds of scopecap and run_child"
#endif

namespace fs = std::filesystem;
using namespace capturebench;

namespace {

struct Program {
    std::string label;
    std::vector<std::string> argv;
    std::map<std::string, std::string> env;
};

struct Options {
    int runs = 5;
    std::vector<long> rates{19200, 115200};
    std::string scopecap = SCOPECAP_PROGRAM;
    std::string wineExe;
    std::string link;
    std::string guestTimes;
    bool keep = false;
    bool each = false; // every run's figures on standard error
};

int usage(const char *why)
{
    std::fprintf(stderr, "capture_run: %s\n", why);
    std::fprintf(stderr, "usage: capture_run [--runs N] [--rates 19200,115200] [--scopecap PATH]\n"
                         "                   [--wine-exe PATH --link PATH] [--guest-times FILE] [--keep] [--each]\n");
    return 64;
}

bool parseRates(const std::string &text, std::vector<long> *rates)
{
    rates->clear();
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        char *end = nullptr;
        long rate = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || rate < 300 || rate > 4000000)
            return false;
        rates->push_back(rate);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return !rates->empty();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Row {
    std::vector<double> wall, floor, cpuBeyond, cpu, startup;
    long peakKiB = 0;
    int failed = 0;
};

// One run of `program` against a fresh virtual oscilloscope at `baud`.
void measureOnce(const Program &program, long baud, const Options &options, const fs::path &workDir, Row *row,
                 CaptureFloor *floorOut)
{
    sim::BenchOptions bench;
    bench.baud = baud;
    bench.linkPath = options.link;
    const size_t settingsBytes = sim::scopeSettingsReply(bench).size();
    const size_t blockBytes = sim::waveBlockFor(bench, 1).size();
    const CaptureFloor floor = captureFloor(settingsBytes, blockBytes, blockBytes, baud);
    *floorOut = floor;
    sim::VirtualBench scope(bench);
    std::string why;
    if (!scope.start(&why)) {
        std::fprintf(stderr, "capture_run: cannot start the virtual oscilloscope: %s\n", why.c_str());
        row->failed++;
        return;
    }
    fs::create_directories(workDir);
    std::map<std::string, std::string> env = program.env;
    env["COM9"] = scope.portPath();
    RunFigures run = measureRun(RUN_CHILD_PROGRAM, program.argv, env, workDir.string(), scope.slavePath(), floor.waitsMs,
                                std::chrono::seconds(180));
    scope.stop();

    std::string problem;
    if (run.exitStatus > 0) {
        std::ifstream err(workDir / "stderr.txt");
        std::string firstLine;
        std::getline(err, firstLine);
        problem = "exit status " + std::to_string(run.exitStatus) + (firstLine.empty() ? "" : " (" + firstLine + ")");
    } else if (!run.problem.empty())
        problem = run.problem;
    const size_t expected = settingsBytes + 2 * blockBytes;
    if (problem.empty() && scope.bytesSent() != expected)
        problem = "the oscilloscope sent " + std::to_string(scope.bytesSent()) + " of " + std::to_string(expected) +
                  " bytes";
    if (problem.empty() && (!fs::exists(workDir / "op_scope.csv") || !fs::exists(workDir / "gbookFtemp.js")))
        problem = "no capture files";
    if (!problem.empty()) {
        std::fprintf(stderr, "capture_run: %s at %ld baud: %s (output in %s)\n", program.label.c_str(), baud,
                     problem.c_str(), workDir.c_str());
        row->failed++;
        return;
    }
    row->wall.push_back(run.wallMs);
    row->floor.push_back(floor.totalMs());
    row->cpu.push_back(run.cpuMs);
    row->cpuBeyond.push_back(run.cpuMs - run.busyWaitCpuMs);
    row->startup.push_back(run.startupMs);
    row->peakKiB = std::max(row->peakKiB, run.peakKiB);
    if (options.each)
        std::fprintf(stderr,
                     "%s at %ld baud, run %zu: wall %.1f ms, start-up %.1f ms, cpu %.1f ms, beyond the waits %.1f ms, "
                     "peak %ld KiB\n",
                     program.label.c_str(), baud, row->wall.size(), run.wallMs, run.startupMs, run.cpuMs,
                     run.cpuMs - run.busyWaitCpuMs, run.peakKiB);
}

// The guest's runs come through QEMU's FT232 from a bench on this machine with the
// default settings, paced at 19200 baud; a run counts when scopecap exited 0 (the
// settings and both whole blocks came), so its floor is that of those bytes.
constexpr long kGuestBaud = 19200;

int printGuestRow(const std::string &path)
{
    const sim::BenchOptions bench;
    const size_t blockBytes = sim::waveBlockFor(bench, 1).size();
    const CaptureFloor floor = captureFloor(sim::scopeSettingsReply(bench).size(), blockBytes, blockBytes, kGuestBaud);
    std::ifstream in(path);
    std::vector<double> wall;
    int status = 0, failed = 0;
    double seconds = 0;
    while (in >> status >> seconds) {
        if (status == 0)
            wall.push_back(seconds * 1000);
        else
            failed++;
    }
    const char *label = "scopecap (guest)";
    if (failed > 0)
        std::fprintf(stderr, "capture_run: %d guest run%s did not complete (see %s)\n", failed, failed == 1 ? "" : "s",
                     path.c_str());
    if (wall.empty()) {
        std::printf("%-20s %7ld   (no run completed)\n", label, kGuestBaud);
        return failed > 0 ? failed : 1;
    }
    double w = median(wall);
    std::printf("%-20s %7ld %9.1f %9.1f %7.4f %11s %13s %8s %13s %9s\n", label, kGuestBaud, w, floor.totalMs(),
                w / floor.totalMs(), "-", "-", "-", "-", "-");
    std::fflush(stdout);
    return failed;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> const char * { return i + 1 < argc ? argv[++i] : nullptr; };
        const char *v = nullptr;
        if (arg == "--keep")
            options.keep = true;
        else if (arg == "--each")
            options.each = true;
        else if (arg == "--runs" && (v = value()) != nullptr) {
            options.runs = std::atoi(v);
            if (options.runs < 1 || options.runs > 1000)
                return usage("--runs takes 1 to 1000");
        } else if (arg == "--rates" && (v = value()) != nullptr) {
            if (!parseRates(v, &options.rates))
                return usage("--rates takes baud rates from 300 to 4000000, separated by commas");
        } else if (arg == "--scopecap" && (v = value()) != nullptr)
            options.scopecap = v;
        else if (arg == "--wine-exe" && (v = value()) != nullptr)
            options.wineExe = v;
        else if (arg == "--link" && (v = value()) != nullptr)
            options.link = v;
        else if (arg == "--guest-times" && (v = value()) != nullptr)
            options.guestTimes = v;
        else
            return usage(("unknown option or missing value: " + arg).c_str());
    }
    if (!options.wineExe.empty() && options.link.empty())
        return usage("--wine-exe needs the --link its Wine prefix maps COM9 to");

    const fs::path top = fs::temp_directory_path() / ("capture_run." + std::to_string(getpid()));
    if (options.link.empty())
        options.link = (top / "com9").string();
    fs::create_directories(top);

    std::vector<Program> programs{{"scopecap", {options.scopecap}, {}}};
    if (!options.wineExe.empty())
        programs.push_back({"scopecap.exe (Wine)", {"wine", options.wineExe}, {{"WINEDEBUG", "-all"}}});

    std::printf("scopecap against the virtual oscilloscope, %d run%s per row (medians)\n\n", options.runs,
                options.runs == 1 ? "" : "s");
    std::printf("%-20s %7s %9s %9s %7s %11s %13s %8s %13s %9s\n", "program", "baud", "wall ms", "floor ms", "ratio",
                "start-up ms", "ratio w/o s-u", "cpu ms", "cpu beyond ms", "peak KiB");
    int failures = 0;
    std::vector<std::string> floorLines;
    for (long baud : options.rates) {
        CaptureFloor floor;
        for (const Program &program : programs) {
            Row row;
            for (int i = 0; i < options.runs; ++i) {
                std::string dirName = (program.argv[0] == "wine" ? "wine-" : "native-") + std::to_string(baud) + "-" +
                                      std::to_string(i + 1);
                measureOnce(program, baud, options, top / dirName, &row, &floor);
            }
            failures += row.failed;
            if (row.wall.empty()) {
                std::printf("%-20s %7ld   (no run completed)\n", program.label.c_str(), baud);
                continue;
            }
            double wall = median(row.wall), floorMs = median(row.floor), startup = median(row.startup);
            std::printf("%-20s %7ld %9.1f %9.1f %7.4f %11.1f %13.4f %8.1f %13.1f %9ld\n", program.label.c_str(), baud,
                        wall, floorMs, wall / floorMs, startup, (wall - startup) / floorMs, median(row.cpu),
                        median(row.cpuBeyond), row.peakKiB);
            std::fflush(stdout);
        }
        char line[256];
        std::snprintf(line, sizeof line,
                      "floor at %ld baud: %.1f ms of waits + %.1f ms of reply bytes at the line rate + %.1f ms of "
                      "read time-outs = %.1f ms",
                      baud, floor.waitsMs, floor.lineMs, floor.timeoutsMs, floor.totalMs());
        floorLines.push_back(line);
    }
    if (!options.guestTimes.empty())
        failures += printGuestRow(options.guestTimes);
    std::printf("\n");
    for (const std::string &line : floorLines)
        std::printf("%s\n", line.c_str());
    std::printf("start-up: from the start of the process to its port's open, less the waits; ratio w/o s-u: the\n"
                "ratio with the start-up taken off the wall time. cpu: user + system time; cpu beyond: less what\n"
                "the busy waits before the open took. peak: the largest resident memory of any run.\n");
    if (!options.guestTimes.empty())
        std::printf("guest: scopecap in a QEMU guest (software emulation) on ttyUSB0 through ftdi_sio, the bench on\n"
                    "this machine paced at 19200 baud; wall time by the guest's clock (10 ms steps).\n");
    if (options.keep || failures > 0)
        std::printf("runs kept in %s\n", top.c_str());
    else
        fs::remove_all(top);
    return failures == 0 ? 0 : 1;
}
