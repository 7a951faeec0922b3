// A kept capture, seen from outside scopecap against the bench on a pty: strace shows
// each temporary file synced before its rename and the directory synced after; a
// capture killed part-way leaves the earlier capture as it was, and a SIGKILL's stale
// temporary files are replaced by the next capture.
#include "bench_process.h"
#include "program_expect.h"
#include "run_program.h"
#include "scratch_dir.h"
#include "text.h"
#include "sim_expect.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <sys/stat.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

const std::string kEarlier = "the earlier capture\n";

class KeptCapture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(mkdir(work.c_str(), 0700), 0);
        for (const char *name : {"/op_scope.csv", "/gbookFtemp.js"})
            writeFile(work + name, kEarlier);
    }
    void TearDown() override
    {
        bench.reset();
        removeTree(root);
    }
    // The working directory's files, each named with what it holds: the earlier
    // capture, the new one, or how many bytes of something else.
    std::vector<std::string> files() const
    {
        ScopeCaptureInput in = benchCaptureInput(sim::BenchOptions{});
        std::map<std::string, std::string> captured = {{"gbookFtemp.js", expectedScript(in)},
                                                       {"op_scope.csv", expectedCsv(in)}};
        std::vector<std::string> found;
        for (const auto &entry : std::filesystem::directory_iterator(work)) {
            std::string name = entry.path().filename(), text = readFile(entry.path());
            found.push_back(name + (text == kEarlier            ? ": earlier"
                                    : text == captured[name]    ? ": new"
                                                                : ": " + std::to_string(text.size()) + " bytes"));
        }
        std::sort(found.begin(), found.end());
        return found;
    }
    const std::vector<std::string> earlier{"gbookFtemp.js: earlier", "op_scope.csv: earlier"};
    const std::vector<std::string> captured{"gbookFtemp.js: new", "op_scope.csv: new"};

    std::string root = makeTempDir("kept");
    std::string work = root + "/work";
    std::unique_ptr<BenchProcess> bench = std::make_unique<BenchProcess>("scope", root + "/com9");
};

TEST_F(KeptCapture, EachFileIsSyncedBeforeItsRenameAndTheDirectoryAfter)
{
    std::string trace = root + "/trace";
    // in the sanitizer build: LeakSanitizer cannot work under ptrace
    const char *asan = getenv("ASAN_OPTIONS");
    ProgramRun run = runProgram("/usr/bin/strace",
                                {"-f", "-y", "-qq", "-o", trace, "-e", "trace=fsync,fdatasync,rename,renameat,renameat2",
                                 appProgram("scopecap")},
                                {{"COM9", bench->link()}, {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":detect_leaks=0"}},
                                work);
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(files(), captured);
    // "1234  fsync(4</tmp/kept.../work/op_scope.csv.tmp>) = 0", "1234  rename("./op_scope.csv.tmp", ...) = 0"
    std::vector<std::string> calls;
    std::regex call(R"re(^\d+ +(\w+)\((?:\d+<([^>]*)>|"([^"]*)", "([^"]*)")\) += 0$)re");
    for (const std::string &line : splitLines(readFile(trace))) {
        std::smatch m;
        if (std::regex_match(line, m, call))
            calls.push_back(m[1].str() + " " + (m[2].matched ? m[2].str() : m[3].str() + " " + m[4].str()));
        else
            ADD_FAILURE() << "an unexpected line: " << line;
    }
    std::string dir = std::filesystem::canonical(work);
    EXPECT_EQ(calls, (std::vector<std::string>{"fsync " + dir + "/op_scope.csv.tmp", "fsync " + dir + "/gbookFtemp.js.tmp",
                                               "rename ./op_scope.csv.tmp ./op_scope.csv",
                                               "rename ./gbookFtemp.js.tmp ./gbookFtemp.js", "fsync " + dir,
                                               "fsync " + dir}));
}

// Where a capture is stopped: a time after its start (the self-test's waits, the
// settings read), or the bytes of its log read before the test stops reading, so the
// program blocks on its full standard output in the middle of writing the files.
struct KillPoint {
    std::chrono::milliseconds after{0};
    size_t logRead = 0;
};

void PrintTo(const KillPoint &p, std::ostream *os)
{
    *os << (p.after.count() > 0 ? std::to_string(p.after.count()) + " ms" : std::to_string(p.logRead) + " bytes of log");
}

class KilledCapture : public KeptCapture, public ::testing::WithParamInterface<std::tuple<KillPoint, int>> {};

TEST_P(KilledCapture, KeepsTheEarlierCapture)
{
    auto [point, sig] = GetParam();
    {
        ChildProcess capture(appProgram("scopecap"), {}, {{"COM9", bench->link()}}, work, root + "/stderr");
        if (point.after.count() > 0) {
            std::this_thread::sleep_for(point.after);
        } else {
            ASSERT_EQ(capture.read(point.logRead, 30s).size(), point.logRead);
            std::this_thread::sleep_for(300ms); // until its standard output is full
        }
        ASSERT_TRUE(capture.running()) << "the capture ended before it was stopped";
        capture.signal(sig);
        capture.wait(10s);
        EXPECT_EQ(capture.endedBy(), sig) << readFile(root + "/stderr");
    }
    if (sig != SIGKILL) {
        EXPECT_EQ(files(), earlier) << "the earlier capture, and no temporary file";
        return;
    }
    // a SIGKILL cannot be caught: the files are as they were, perhaps with temporary files beside them
    for (const std::string &file : files())
        EXPECT_TRUE(file.ends_with(": earlier") || file.find(".tmp: ") != std::string::npos) << file;
    ProgramRun next = runProgram(appProgram("scopecap"), {}, {{"COM9", bench->link()}}, work);
    EXPECT_EQ(next.exitStatus, 0) << next.err;
    EXPECT_EQ(files(), captured) << "the next capture, and no temporary file";
}

// the log is about 320 KB, nearly all of it the trace printed as the files are written
INSTANTIATE_TEST_SUITE_P(Points, KilledCapture,
                         ::testing::Combine(::testing::Values(KillPoint{300ms}, KillPoint{900ms}, KillPoint{1400ms},
                                                              KillPoint{0ms, 1}, KillPoint{0ms, 40000},
                                                              KillPoint{0ms, 80000}, KillPoint{0ms, 120000},
                                                              KillPoint{0ms, 160000}, KillPoint{0ms, 200000},
                                                              KillPoint{0ms, 230000}),
                                            ::testing::Values(SIGINT, SIGTERM, SIGKILL)),
                         [](const auto &info) {
                             const KillPoint &p = std::get<0>(info.param);
                             int sig = std::get<1>(info.param);
                             return (p.after.count() > 0 ? std::to_string(p.after.count()) + "ms"
                                                         : "log" + std::to_string(p.logRead)) +
                                    (sig == SIGINT ? "_SIGINT" : sig == SIGTERM ? "_SIGTERM" : "_SIGKILL");
                         });

} // namespace
