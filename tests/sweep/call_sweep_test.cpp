// The call sweep. Each program run is made once as it is (the control), counting every
// call it makes to the platform: the serial API and the capture files' calls. Then it
// is made again, and just before each counted call it forks two runs: one in which that
// call fails, one in which it and every later call of its kind fail (the device gone,
// the disk full from there on); a file's writes, which repeat, are failed at the first,
// a middle and the last write of each file. The runs are forks of this test with the
// program's own main, against the in-memory port with the virtual instrument behind it,
// on virtual time, and each is held to the same rules (see checkRun). docs/faults.md
// shows the counts; the test fails when the page and the runs differ.
#include "fake_port.h"
#include "program_expect.h"
#include "run_program.h"
#include "scratch_dir.h"
#include "text.h"
#include "sim_expect.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

int scopecapMain(int argc, char **argv, char **envp);
int isscheckMain(int argc, char **argv);

namespace {

using fakePort::FailMode;

struct SweptProgram {
    std::string name; // as the page names the run
    std::vector<std::string> argv;
    sim::Personality device;
};

std::ostream &operator<<(std::ostream &os, const SweptProgram &p) { return os << p.name; }

struct SweptRun {
    int status = -1; // the exit status, 128 + n when ended by signal n
    std::string out, err, deviceLog;
    std::map<std::string, std::string> files; // what the working directory holds afterwards
    unsigned long calls = 0;
    int32_t virtualMs = 0;
    std::vector<fakePort::CallRecord> list;
};

const char *const kFiles[] = {"op_scope.csv", "gbookFtemp.js"};
const FailMode kModes[] = {FailMode::Once, FailMode::FromThereOn};
const std::string kEarlier = "the earlier capture\n";

// The instrument's replies as they come off the line: a pty passes at most 4 KiB a read.
void queueInPieces(const std::vector<uint8_t> &reply)
{
    for (size_t at = 0; at < reply.size(); at += 4096)
        fakePort::queue(std::vector<unsigned char>(reply.begin() + (long)at,
                                                   reply.begin() + (long)std::min(reply.size(), at + 4096)));
}

// The program run in a fork of this test: its working directory holds the earlier
// capture, the in-memory port has the virtual instrument behind it. Each run's
// standard output and error, the device's log and the working directory lie in a
// directory of its own.
class Sweeper {
public:
    explicit Sweeper(const SweptProgram &program) : program_(program), root_(makeTempDir("sweep"))
    {
        void *shared = mmap(nullptr, 3 * sizeof(fakePort::SweepLog), PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (shared != MAP_FAILED)
            logs_ = (fakePort::SweepLog *)shared;
    }
    ~Sweeper()
    {
        if (logs_ != nullptr)
            munmap(logs_, 3 * sizeof *logs_);
        removeTree(root_);
    }
    bool ready() const { return logs_ != nullptr; }
    std::string work() const { return root_ + "/work"; }

    // The program as it is, every call counted and listed.
    SweptRun control()
    {
        int status = waitFor(start([this] { fakePort::sweep(&logs_[0], -1, FailMode::Once); }), 30);
        SweptRun r;
        collect(r, root_, logs_[0], status);
        r.list.assign(logs_[0].list, logs_[0].list + logs_[0].listed);
        return r;
    }

    // One run that, before each call numbered in `at`, forks the two runs that fail it
    // (once, and from there on); `check` sees each as it ends. False if the runs did not
    // all come to an end.
    bool sweep(const std::vector<long> &at, const std::function<void(long, FailMode, const SweptRun &)> &check)
    {
        pid_t driver = start([&] {
            fakePort::sweepBranching(&logs_[0], at, [&](long n) {
                fflush(stdout); // what the run printed so far is in the driver's file
                pid_t pids[2];
                for (int i = 0; i < 2; ++i)
                    if ((pids[i] = fork()) == 0)
                        return branchOff(n, i);
                for (int i = 0; i < 2; ++i) {
                    collect(last_, forkedDir(i), logs_[1 + i], waitFor(pids[i], 30));
                    check(n, kModes[i], last_);
                }
            });
        });
        return waitFor(driver, 280) == 0;
    }

private:
    pid_t start(const std::function<void()> &plan)
    {
        removeTree(work());
        mkdir(work().c_str(), 0700);
        for (const char *name : kFiles)
            writeFile(work() + "/" + name, kEarlier);
        logs_[0] = logs_[1] = logs_[2] = fakePort::SweepLog{};
        fflush(nullptr);
        pid_t pid = fork();
        if (pid == 0)
            runProgram(plan);
        return pid;
    }

    [[noreturn]] void runProgram(const std::function<void()> &plan)
    {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (chdir(work().c_str()) != 0)
            _exit(126);
        dup2(open((root_ + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        dup2(open((root_ + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        // the device's log goes to the run's directory however the run ends
        current_ = this;
        dir_ = root_;
        atexit([] { writeFile(current_->dir_ + "/device", current_->deviceLog_); });
        sim::BenchOptions opts;
        sim::ScopeModel scope(opts);
        sim::AdapterModel adapter(opts);
        fakePort::reset();
        fakePort::answerWith([&](const std::vector<unsigned char> &bytes) {
            std::vector<sim::Step> steps = program_.device == sim::Personality::Scope
                                               ? scope.feed(bytes.data(), bytes.size())
                                               : adapter.feed(bytes.data(), bytes.size());
            for (const sim::Step &step : steps) {
                for (const std::string &line : step.log)
                    deviceLog_ += line + "\n";
                if (step.reply)
                    queueInPieces(step.reply->bytes);
            }
        });
        std::vector<char *> argv;
        for (const std::string &arg : program_.argv)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        plan();
        int status = program_.argv[0] == "scopecap" ? scopecapMain((int)argv.size() - 1, argv.data(), environ)
                                                     : isscheckMain((int)argv.size() - 1, argv.data());
        // the bench logs the LED matrix when it stops
        for (const std::string &line : adapter.closingLog())
            deviceLog_ += line + "\n";
        exit(status);
    }

    // In forked run i, which fails call n (once, or from there on): its outputs start
    // with what the run printed so far, its files are copies of the run's.
    void branchOff(long n, int i)
    {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dir_ = forkedDir(i);
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directory(dir_);
        for (const char *stream : {"/out", "/err"}) {
            std::filesystem::copy_file(root_ + stream, dir_ + stream);
            dup2(open((dir_ + stream).c_str(), O_WRONLY | O_APPEND), stream[1] == 'o' ? 1 : 2);
        }
        fakePort::moveFilesTo(dir_ + "/work");
        fakePort::failFrom(&logs_[1 + i], n, kModes[i]);
        // it ends as exit() ends a program, but without the leak check, which in a
        // fork of a sanitized test costs more than the run (the control and the run
        // that forks end with it); the sanitizers' other reports come as they happen
        on_exit(
            [](int status, void *) {
                writeFile(current_->dir_ + "/device", current_->deviceLog_);
                fflush(nullptr);
                _exit(status);
            },
            nullptr);
    }

    std::string forkedDir(int i) const { return root_ + "/run" + std::to_string(i); }

    // Into `r`, whose strings are reused: the forking run reads thousands of runs, and
    // under AddressSanitizer memory freed is not soon given out again.
    static void collect(SweptRun &r, const std::string &dir, const fakePort::SweepLog &log, int status)
    {
        r.status = status;
        readInto(r.out, dir + "/out");
        readInto(r.err, dir + "/err");
        readInto(r.deviceLog, dir + "/device");
        std::erase_if(r.files, [&](const auto &file) { return !std::filesystem::exists(dir + "/work/" + file.first); });
        for (const auto &entry : std::filesystem::directory_iterator(dir + "/work"))
            readInto(r.files[entry.path().filename()], entry.path());
        r.calls = log.calls;
        r.virtualMs = log.elapsedMs;
    }

    static void readInto(std::string &text, const std::string &path)
    {
        text.clear();
        int fd = open(path.c_str(), O_RDONLY);
        char buf[16384];
        for (ssize_t n; fd >= 0 && (n = read(fd, buf, sizeof buf)) > 0;)
            text.append(buf, (size_t)n);
        if (fd >= 0)
            close(fd);
    }

    // The exit status; a run still going after `seconds` (a hang outside the port) is killed.
    static int waitFor(pid_t pid, int seconds)
    {
        int pidfd = (int)syscall(SYS_pidfd_open, pid, 0);
        pollfd p{pidfd, POLLIN, 0};
        if (pidfd >= 0 && poll(&p, 1, seconds * 1000) == 0)
            kill(pid, SIGKILL);
        if (pidfd >= 0)
            close(pidfd);
        int st = 0;
        waitpid(pid, &st, 0);
        return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    }

    static inline Sweeper *current_ = nullptr; // in a run, for its exit

    SweptProgram program_;
    std::string root_;
    std::string dir_; // in a run: where its outputs go
    std::string deviceLog_;
    SweptRun last_; // the forked run that ended last
    fakePort::SweepLog *logs_ = nullptr; // shared with the runs: [0] the run, [1] and [2] the forked ones
};

// The system's reasons the program may give when this call fails: the error injected
// into it, and from there on also the error of a later call of its kind.
std::vector<std::string> injectedReasons(const fakePort::CallRecord &call, FailMode mode)
{
    auto serialText = [](DWORD code) {
        char text[200];
        SetLastError(code);
        platformErrorText(text, sizeof text);
        return std::string(text);
    };
    bool onward = mode == FailMode::FromThereOn;
    if (std::islower((unsigned char)call.call[0]))
        return {strerror(onward ? ENOSPC : EIO)};
    if (onward)
        return {serialText(1167), serialText(ERROR_FILE_NOT_FOUND)};
    return {serialText(strcmp(call.call, "CreateFileA") == 0 ? ERROR_ACCESS_DENIED : 1117)};
}

// The numbers of the calls to fail: every call, but of a file's writes the first, a
// middle and the last.
std::vector<long> callsToFail(const std::vector<fakePort::CallRecord> &list)
{
    std::map<std::string, std::vector<long>> writes;
    std::vector<long> picked;
    for (long i = 0; i < (long)list.size(); ++i)
        if (strcmp(list[i].call, "write") == 0)
            writes[list[i].file].push_back(i);
        else
            picked.push_back(i);
    for (const auto &[file, at] : writes)
        for (long i : {at.front(), at[at.size() / 2], at.back()})
            if (std::find(picked.begin(), picked.end(), i) == picked.end())
                picked.push_back(i);
    std::sort(picked.begin(), picked.end());
    return picked;
}

// A capture file as the program writes it whole, whatever the samples: the CSV's 4000
// sample lines and its closing line, the script's nine lines and 4000 gbF calls.
bool complete(const std::string &name, const std::string &text)
{
    std::vector<std::string> lines = splitLines(text);
    if (name == "op_scope.csv") {
        auto data = std::find(lines.begin(), lines.end(), "Waveform Data,");
        return text.ends_with("\n") && data != lines.end() && lines.end() - data == 4002 &&
               lines.back() == "===========================";
    }
    return text.ends_with("\n") && lines.size() == 4009 && lines[0] == "var Vertical1Units='V'" &&
           lines.back().ends_with(",'3999');");
}

// What every swept run must show. Returns the rules it broke.
std::vector<std::string> checkRun(const SweptProgram &program, const SweptRun &control, const SweptRun &r,
                                  const std::vector<std::string> &reasons)
{
    std::vector<std::string> broken;
    const std::string prefix = program.argv[0] + ": ";
    // an open's failure line: "serial port COM9 connect fail ...", "... SetupComm fail ..."
    bool notOpened = false;
    for (size_t at = r.out.find("serial port COM9"); at != std::string::npos && !notOpened;
         at = r.out.find("serial port COM9", at + 1))
        notOpened = r.out.find(" fail ", at) < r.out.find('\n', at);
    // the documented status for where the failure hit
    if (r.status != 0 && r.status != 1 && r.status != 2)
        broken.push_back("exit status " + std::to_string(r.status));
    if ((r.status == 1) != notOpened)
        broken.push_back("exit status " + std::to_string(r.status) + (notOpened ? " after" : " without") +
                         " a failed open");
    // 0 only when the outcome is whole: the files exact, the device told all, the log unchanged
    if (r.status == 0 && program.argv[0] == "scopecap" && r.files != control.files)
        broken.push_back("exit status 0 without the complete capture");
    if (r.status == 0 && program.argv[0] != "scopecap" && (r.out != control.out || r.deviceLog != control.deviceLog))
        broken.push_back("exit status 0 without the whole check");
    // a failure that changed the outcome is named with the program's name and the system's reason
    bool named = false;
    for (const std::string &line : splitLines(r.err)) {
        if (!line.starts_with(prefix))
            broken.push_back("a line on standard error without the program's name: " + line);
        for (const std::string &reason : reasons)
            named |= line.starts_with(prefix) && line.find(reason) != std::string::npos;
    }
    if (r.status != 0 && !named)
        broken.push_back("the failure is not named with \"" + reasons[0] + "\"");
    // no hang and no busy loop: a failure may add a failed open's 5 s wait and two read
    // time-outs of a whole block to the run's time, and a few calls
    if (r.virtualMs > control.virtualMs + 5000 + 2 * (100 + 8014))
        broken.push_back("virtual time " + std::to_string(r.virtualMs) + " ms");
    if (r.calls > control.calls + 4)
        broken.push_back(std::to_string(r.calls) + " calls");
    // the earlier capture, or a complete new file; nothing else left in the directory
    for (const auto &[name, text] : r.files) {
        bool known = name == kFiles[0] || name == kFiles[1];
        if (!known)
            broken.push_back("left behind: " + name);
        else if (text != kEarlier && !complete(name, text))
            broken.push_back(name + " is neither the earlier file nor complete");
    }
    for (const char *name : kFiles)
        if (!r.files.contains(name))
            broken.push_back(std::string(name) + " is gone");
    return broken;
}

// The line of docs/faults.md's sweep table for an outcome: the exit status and the first
// line on standard error, the injected reason written <reason>.
std::string outcomeOf(const SweptRun &r, const std::vector<std::string> &reasons)
{
    std::vector<std::string> lines = splitLines(r.err);
    std::string first = lines.empty() ? "nothing" : lines[0];
    for (const std::string &reason : reasons)
        if (size_t at = first.find(reason); at != std::string::npos)
            first.replace(at, reason.size(), "<reason>");
    return std::to_string(r.status) + " | " + (lines.empty() ? first : "`" + first + "`");
}

class CallSweep : public ::testing::TestWithParam<SweptProgram> {};

TEST_P(CallSweep, EveryCallFailsOnceAndFromThereOn)
{
    const SweptProgram &program = GetParam();
    Sweeper sweeper(program);
    ASSERT_TRUE(sweeper.ready());
    SweptRun control = sweeper.control();
    ASSERT_EQ(control.status, 0) << control.err;
    ASSERT_EQ(control.calls, control.list.size()) << "every call listed";
    sim::BenchOptions opts;
    if (program.argv[0] == "scopecap")
        expectCaptureFiles(sweeper.work(), benchCaptureInput(opts));
    else if (program.argv[1] == "info")
        expectAdapterInfo(control.out, opts.serial);
    else
        expectLedWalk(control.deviceLog, 1);
    EXPECT_EQ(control.err, "");

    // the runs are checked in the run that forks them; what they showed comes back in a file
    std::string results = makeTempDir("sweepresults") + "/results";
    std::vector<long> at = callsToFail(control.list);
    bool ended = sweeper.sweep(at, [&](long n, FailMode mode, const SweptRun &r) {
        const fakePort::CallRecord &call = control.list[(size_t)n];
        std::vector<std::string> reasons = injectedReasons(call, mode);
        std::string lines = "o " + outcomeOf(r, reasons) + "\n";
        for (const std::string &rule : checkRun(program, control, r, reasons))
            lines += "b call " + std::to_string(n) + " " + call.call + " " + call.file +
                     (mode == FailMode::Once ? " once" : " from there on") + ": " + rule + "\n";
        int fd = open(results.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        EXPECT_EQ(write(fd, lines.data(), lines.size()), (ssize_t)lines.size());
        close(fd);
    });
    EXPECT_TRUE(ended) << "the sweep did not end";

    std::map<std::string, int> outcomes;
    std::vector<std::string> broken;
    int runs = 0;
    for (const std::string &line : splitLines(readFile(results))) {
        if (line.starts_with("o ")) {
            ++runs;
            ++outcomes[line.substr(2)];
        } else {
            broken.push_back(line.substr(2));
        }
    }
    removeTree(results.substr(0, results.rfind('/')));
    EXPECT_EQ(runs, 2 * (int)at.size()) << "every call failed once and from there on";
    std::string shown;
    for (size_t i = 0; i < broken.size() && i < 12; ++i)
        shown += broken[i] + "\n";
    EXPECT_TRUE(broken.empty()) << broken.size() << " rules broken in " << runs << " runs, the first:\n" << shown;

    // this run's rows of the page's sweep table
    std::string rows;
    for (const auto &[outcome, count] : outcomes)
        rows += (rows.empty() ? "| " + program.name + " | " + std::to_string(control.calls) + " | " +
                                    std::to_string(runs) + " | "
                              : "| | | | ") +
                outcome + " | " + std::to_string(count) + " |\n";
    std::string path = std::string(SCOPECAP_SOURCE_DIR) + "/docs/faults.md";
    std::string doc = readFile(path);
    size_t table = doc.find("| run | calls |");
    ASSERT_NE(table, std::string::npos) << path << " has no sweep table";
    size_t end = doc.find("\n\n", table);
    end = end == std::string::npos ? doc.size() : end + 1;
    size_t from = doc.find("\n| " + program.name + " |", table);
    from = from < end ? from + 1 : end;
    size_t to = from;
    while (to < end && (to == from || doc.compare(to, 4, "| | ") == 0))
        to = doc.find('\n', to) + 1;
    std::string written = doc.substr(from, to - from);
    if (getenv("SCOPECAP_WRITE_FAULTS_DOC") != nullptr) {
        writeFile(path, doc.replace(from, to - from, rows));
        written = rows;
    }
    EXPECT_EQ(written, rows) << "docs/faults.md is out of date: run the test with SCOPECAP_WRITE_FAULTS_DOC=1";
}

INSTANTIATE_TEST_SUITE_P(Runs, CallSweep,
                         ::testing::Values(SweptProgram{"scopecap", {"scopecap"}, sim::Personality::Scope},
                                           SweptProgram{"isscheck info", {"isscheck", "info"},
                                                        sim::Personality::Adapter},
                                           SweptProgram{"isscheck leds --walk-rows 1",
                                                        {"isscheck", "leds", "--walk-rows", "1"},
                                                        sim::Personality::Adapter}),
                         [](const auto &info) { return info.param.argv.size() == 1 ? "scopecap"
                                                       : info.param.argv[1] == "info" ? "isscheck_info"
                                                                                      : "isscheck_leds"; });

} // namespace
