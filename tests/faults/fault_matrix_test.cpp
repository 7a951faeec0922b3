// The fault matrix: scopecap and isscheck on a bad day. Each case runs the program
// against the virtual bench with one fault (or with no port, a busy port, an
// unusable directory, a full disk) and checks the exit status, the lines on
// standard error, that the run ends within the time-outs the serial settings
// imply, and what the files hold. The table of docs/faults.md is generated from this
// one and checked against it, so the document cannot drift from what is tested.
#include "bench_process.h"
#include "capture_expect.h"
#include "program_expect.h"
#include "run_program.h"
#include "scratch_dir.h"
#include "sim_expect.h"
#include "text.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

enum class Setup { Bench, NoPort, PortBusy, Denied, DirectoryGone, DiskFull };

struct FaultCase {
    std::string name;                 // the fault, as the document names it
    std::string how;                  // how the test makes it
    std::vector<std::string> program; // "scopecap" or "isscheck" and its arguments
    std::vector<std::string> benchArgs; // the bench's options, with Setup::Bench
    Setup setup = Setup::Bench;
    int exitStatus = 0;
    std::vector<std::string> errLines; // standard error, exactly, line by line
    std::string files;                 // what the files hold, for the document
    double maxSeconds = 0;             // the run must end within this
    // checks the files left in the working directory
    std::function<void(const std::string &dir)> checkFiles;
};

const std::string kEarlier = "an earlier good capture\n";
const std::string kDeniedHow = "a device of mode 0660 and group dialout, the program run as uid 65534";
const std::string kJoinDialout =
    "@LINK@ belongs to group dialout; add yourself with \"sudo usermod -aG dialout $USER\" and log in again";

ScopeCaptureInput defaultInput() { return benchCaptureInput(sim::BenchOptions{}); }

// A capture whose blocks stopped after `got1` and `got2` bytes.
ScopeCaptureInput shortInput(size_t got1, size_t got2)
{
    ScopeCaptureInput in = defaultInput();
    setChannelFromBlock(in, 1, sim::waveBlockFor(sim::BenchOptions{}, 1), got1);
    setChannelFromBlock(in, 2, sim::waveBlockFor(sim::BenchOptions{}, 2), got2);
    return in;
}

std::vector<FaultCase> matrix()
{
    const std::string settings = sim::scopeSettingsReply(sim::BenchOptions{});
    const auto complete = [](const std::string &d) { expectCaptureFiles(d, defaultInput()); };
    const auto noCsv = [](const std::string &d) { EXPECT_EQ(access((d + "/op_scope.csv").c_str(), F_OK), -1); };
    std::vector<FaultCase> cases;
    cases.push_back({"none (control)", "virtual oscilloscope", {"scopecap"}, {}, Setup::Bench, 0, {}, "complete", 20,
                     complete});
    cases.push_back({"no such port", "COM9 names a device that does not exist", {"scopecap"}, {}, Setup::NoPort, 1,
                     {"scopecap: COM9 is /nonexistent/com9: No such file or directory"}, "none written", 10, noCsv});
    cases.push_back({"port in use", "a second scopecap while the first captures", {"scopecap"}, {}, Setup::PortBusy, 1,
                     {"scopecap: COM9 is @LINK@: already in use by another program"},
                     "none written by the second; the first completes its capture", 10, noCsv});
    cases.push_back({"port not permitted", kDeniedHow, {"scopecap"}, {}, Setup::Denied, 1,
                     {"scopecap: COM9 is @LINK@: Permission denied", "scopecap: " + kJoinDialout}, "none written", 10,
                     noCsv});
    cases.push_back({"silent instrument", "--silent", {"scopecap"}, {"--silent"}, Setup::Bench, 2,
                     {"scopecap: settings reply empty", "scopecap: channel 1 sample block short: 0 of 8014 bytes",
                      "scopecap: channel 2 sample block short: 0 of 8014 bytes"},
                     "both written, all samples 0", 45, [](const std::string &d) {
                         ScopeCaptureInput in; // nothing came: no settings text, every value and sample 0
                         setChannelFromBlock(in, 1, {}, 0);
                         setChannelFromBlock(in, 2, {}, 0);
                         expectCaptureFiles(d, in);
                     }});
    cases.push_back({"short blocks", "--short 4096", {"scopecap"}, {"--short", "4096"}, Setup::Bench, 2,
                     {"scopecap: channel 1 sample block short: 4096 of 8014 bytes",
                      "scopecap: channel 2 sample block short: 4096 of 8014 bytes"},
                     "both written, samples past byte 4096 are 0", 30,
                     [](const std::string &d) { expectCaptureFiles(d, shortInput(4096, 4096)); }});
    cases.push_back({"pause mid-reply", "--stall-after 2000 --stall-ms 300", {"scopecap"},
                     {"--stall-after", "2000", "--stall-ms", "300"}, Setup::Bench, 0, {},
                     "complete (a pause shorter than the read time-out is waited out)", 25, complete});
    cases.push_back({"cable pulled mid-block", "--hangup-after 3000", {"scopecap"}, {"--hangup-after", "3000"},
                     Setup::Bench, 2,
                     {"scopecap: COM9 was lost (the device was removed): Input/output error",
                      "scopecap: channel 1 sample block short: 3000 of 8014 bytes",
                      "scopecap: channel 2 sample block short: 0 of 8014 bytes"},
                     "both written, samples past byte 3000 of channel 1 and all of channel 2 are 0", 20,
                     [](const std::string &d) { expectCaptureFiles(d, shortInput(3000, 0)); }});
    // --garbage sends random bytes for the settings and both blocks, drawn with seeds 1, 2, 3
    std::vector<uint8_t> garbled[3] = {sim::garbageBytes(1, settings.size()), sim::garbageBytes(2, 8014),
                                       sim::garbageBytes(3, 8014)};
    std::vector<std::string> garbageErr;
    for (int ch = 1; ch <= 2; ++ch)
        if (garbled[ch][10] != ch)
            garbageErr.push_back("scopecap: channel " + std::to_string(ch) +
                                 " sample block malformed: channel byte is " + std::to_string(garbled[ch][10]));
    cases.push_back({"nonsense replies", "--garbage", {"scopecap"}, {"--garbage"}, Setup::Bench, 2, garbageErr,
                     "both written from the bytes that came", 25, [garbled](const std::string &d) {
                         ScopeCaptureInput in;
                         // the settings text ends at the first NUL among the random bytes
                         std::string text(garbled[0].begin(), garbled[0].end());
                         in.settings = text.substr(0, text.find('\0'));
                         setChannelFromBlock(in, 1, garbled[1], 8014);
                         setChannelFromBlock(in, 2, garbled[2], 8014);
                         expectCaptureFiles(d, in);
                     }});
    cases.push_back({"overlong replies", "--long", {"scopecap"}, {"--long"}, Setup::Bench, 0, {},
                     "complete (the capture asks no numeric query)", 20, complete});
    cases.push_back({"output directory unusable", "the working directory is removed", {"scopecap"}, {},
                     Setup::DirectoryGone, 2,
                     {"scopecap: cannot create ./op_scope.csv: No such file or directory",
                      "scopecap: cannot create ./gbookFtemp.js: No such file or directory"},
                     "none (the settings listing goes to the console)", 20, nullptr});
    cases.push_back({"disk full", "a 16 KiB tmpfs holding an earlier capture", {"scopecap"}, {}, Setup::DiskFull, 2,
                     {"scopecap: cannot write ./op_scope.csv: No space left on device; the earlier file is kept",
                      "scopecap: cannot write ./gbookFtemp.js: No space left on device; the earlier file is kept"},
                     "the earlier capture is kept unchanged", 20, [](const std::string &d) {
                         EXPECT_EQ(readFile(d + "/op_scope.csv"), kEarlier);
                         EXPECT_EQ(readFile(d + "/gbookFtemp.js"), kEarlier);
                         EXPECT_EQ(access((d + "/op_scope.csv.tmp").c_str(), F_OK), -1);
                     }});
    cases.push_back({"no such port", "COM9 names a device that does not exist", {"isscheck", "info"}, {}, Setup::NoPort,
                     1, {"isscheck: COM9 is /nonexistent/com9: No such file or directory", "isscheck: COM9 did not open"},
                     "-", 10, nullptr});
    cases.push_back({"port in use", "isscheck while scopecap holds the port", {"isscheck", "info"}, {},
                     Setup::PortBusy, 1,
                     {"isscheck: COM9 is @LINK@: already in use by another program", "isscheck: COM9 did not open"}, "-",
                     10, nullptr});
    cases.push_back({"port not permitted", kDeniedHow, {"isscheck", "info"}, {}, Setup::Denied, 1,
                     {"isscheck: COM9 is @LINK@: Permission denied", "isscheck: " + kJoinDialout,
                      "isscheck: COM9 did not open"},
                     "-", 10, nullptr});
    cases.push_back({"silent adapter", "--silent", {"isscheck", "info"}, {"--silent"}, Setup::Bench, 2,
                     {"isscheck: no reply from the adapter: the version reply (5A 01) was empty"}, "-", 10, nullptr});
    cases.push_back({"adapter refuses", "--nack", {"isscheck", "range"}, {"--nack"}, Setup::Bench, 2,
                     {"isscheck: no reply from the adapter: mode 60 frame not acknowledged (reply 00 00)"}, "-", 10,
                     nullptr});
    cases.push_back({"cable pulled", "--hangup-after 3", {"isscheck", "info"}, {"--hangup-after", "3"}, Setup::Bench, 2,
                     {"isscheck: COM9 was lost (the device was removed): Input/output error"}, "-", 10, nullptr});
    return cases;
}

std::string replaced(std::string text, const std::string &what, const std::string &with)
{
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

// A case as gtest's list shows it (the test name is caseName's).
void PrintTo(const FaultCase &c, std::ostream *os) { *os << c.program[0] << ": " << c.name; }

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultMatrix, EndsAsDocumented)
{
    const FaultCase &c = GetParam();
    std::string root = makeTempDir("fault");
    // with DirectoryGone, the program starts in a directory that is then removed under it
    std::string work = root + (c.setup == Setup::DirectoryGone ? "/gone" : "/work");
    ASSERT_EQ(mkdir(work.c_str(), 0700), 0);
    std::string link = root + "/com9";

    // a busy port is held by a scopecap capturing from the oscilloscope; isscheck meets the adapter
    std::unique_ptr<BenchProcess> bench;
    if (c.setup == Setup::PortBusy)
        bench = std::make_unique<BenchProcess>("scope", link, std::vector<std::string>{"--baud", "19200"});
    else if (c.setup != Setup::NoPort)
        bench = std::make_unique<BenchProcess>(c.program[0] == "isscheck" ? "iss" : "scope", link, c.benchArgs);
    if (c.setup == Setup::DiskFull) {
        if (mount("tmpfs", work.c_str(), "tmpfs", 0, "size=16k") != 0) {
            removeTree(root);
            GTEST_SKIP() << "cannot mount a tmpfs here (" << strerror(errno) << "): needs root";
        }
        writeFile(work + "/op_scope.csv", kEarlier);
        writeFile(work + "/gbookFtemp.js", kEarlier);
    }

    // a port its user may not open: the program drops to nobody, outside the device's group
    std::string program = appProgram(c.program[0]);
    std::vector<std::string> args(c.program.begin() + 1, c.program.end());
    if (c.setup == Setup::Denied) {
        const group *dialout = getgrnam("dialout");
        const std::string device = std::filesystem::canonical(link);
        // only the device refuses: the directory of its link is open to all
        if (dialout == nullptr || chown(device.c_str(), 0, dialout->gr_gid) != 0 || chmod(device.c_str(), 0660) != 0 ||
            chmod(root.c_str(), 0755) != 0 ||
            access("/usr/bin/setpriv", X_OK) != 0) {
            removeTree(root);
            GTEST_SKIP() << "needs root, the group dialout and setpriv";
        }
        args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", program});
        program = "/usr/bin/setpriv";
    }

    // the first program, holding the port, for the busy case
    std::thread holder;
    ProgramRun first;
    if (c.setup == Setup::PortBusy) {
        std::string firstDir = root + "/first";
        ASSERT_EQ(mkdir(firstDir.c_str(), 0700), 0);
        holder = std::thread([&] { first = runProgram(appProgram("scopecap"), {}, {{"COM9", link}}, firstDir); });
        // it opens at 1.2 s and holds the port through a capture of about 9 s at 19200 baud
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    }

    std::thread remover([&] {
        if (c.setup != Setup::DirectoryGone)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        removeTree(work);
    });
    std::string port = c.setup == Setup::NoPort ? "/nonexistent/com9" : link;
    ProgramRun run = runProgram(program, args, {{"COM9", port}}, work, std::chrono::seconds(120));
    remover.join();
    if (holder.joinable())
        holder.join();

    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitStatus, c.exitStatus) << run.err;
    EXPECT_LT(run.seconds, c.maxSeconds) << "ends within the time-outs the serial settings imply";
    EXPECT_EQ(splitLines(replaced(run.err, link, "@LINK@")), c.errLines);
    if (c.program[0] == "scopecap") {
        EXPECT_EQ(run.out.rfind(expectedSelfTestAndBanner(), 0), 0u) << "the log starts as always";
    }
    if (c.setup == Setup::PortBusy || c.setup == Setup::Denied) {
        const std::string refused = "serial port COM9 connect fail COM9 error 5\n\r";
        EXPECT_EQ(run.out, c.program[0] == "scopecap" ? expectedSelfTestAndBanner() + refused + "Opening Port Failed"
                                                      : refused);
    }
    if (c.setup == Setup::PortBusy) {
        EXPECT_EQ(first.exitStatus, 0) << "the program holding the port is unharmed: " << first.err;
        expectCaptureFiles(root + "/first", defaultInput());
    }
    if (c.setup == Setup::DirectoryGone) {
        EXPECT_NE(run.out.find(expectedSettingsListing(defaultInput().settings)), std::string::npos);
    }
    if (c.checkFiles)
        c.checkFiles(work);
    if (c.setup == Setup::DiskFull)
        umount(work.c_str());
    bench.reset();
    removeTree(root);
}

std::string caseName(const ::testing::TestParamInfo<FaultCase> &info)
{
    std::string name = info.param.program[0] + "_";
    for (char ch : info.param.name)
        name += std::isalnum((unsigned char)ch) ? ch : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, FaultMatrix, ::testing::ValuesIn(matrix()), caseName);

// The table of docs/faults.md, made from the matrix; the prose around it is the page's own.
std::string faultsTable()
{
    std::string table = "| program | fault | how it is made | exit | standard error | files |\n"
                        "|---|---|---|---|---|---|\n";
    for (const FaultCase &c : matrix()) {
        std::string program;
        for (const std::string &p : c.program)
            program += (program.empty() ? "" : " ") + p;
        std::string err;
        for (const std::string &line : c.errLines)
            err += (err.empty() ? "" : "<br>") + ("`" + replaced(line, "@LINK@", "<device>") + "`");
        if (err.empty())
            err = "nothing";
        table += "| " + program + " | " + c.name + " | " + c.how + " | " + std::to_string(c.exitStatus) + " | " +
                 err + " | " + c.files + " |\n";
    }
    return table;
}

TEST(FaultDocument, MatchesTheMatrix)
{
    std::string path = std::string(SCOPECAP_SOURCE_DIR) + "/docs/faults.md";
    std::string doc = readFile(path);
    // the page's first table, up to the blank line that ends it
    size_t from = doc.find("| program |");
    ASSERT_NE(from, std::string::npos) << path << " has no table";
    size_t to = std::min(doc.find("\n\n", from), doc.size() - 1) + 1;
    std::string table = faultsTable(), written = doc.substr(from, to - from);
    if (getenv("SCOPECAP_WRITE_FAULTS_DOC") != nullptr) {
        writeFile(path, doc.replace(from, to - from, table));
        written = table;
    }
    EXPECT_EQ(written, table) << "docs/faults.md is out of date: run the test with SCOPECAP_WRITE_FAULTS_DOC=1";
}

} // namespace
