// The virtual bench's loop: bytes from the line go to the instrument model, its log
// lines to the command log, its replies through the faults (reply_faults.h) back to
// the line (line_end.h), and the bench ends itself where --once or --hangup-after say.
#include "virtual_bench.h"

#include "line_end.h"
#include "pin_trace.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A frame the adapter has started must be completed within this time; the display
// routine sends its header and its text in two writes, well within it.
constexpr milliseconds kFrameGap{1000};
// After the last reply of a --once job, or before a hang-up, the bench waits this
// long at most for the program to read what is still on the line.
constexpr milliseconds kDrainLimitOnce{10000};
constexpr milliseconds kDrainLimitHangup{3000};

} // namespace

struct VirtualBench::Impl {
    BenchOptions opts;
    LineEnd line;
    std::thread thread;
    bool started = false, stopped = false;
    bool ending = false; // the answering thread is finishing by itself

    mutable std::mutex mu;
    mutable std::condition_variable changed;
    std::vector<std::string> lines;
    bool done = false;
    FILE *logFile = nullptr;
    PinTrace trace; // --vcd
    Clock::time_point startedAt;
    std::unique_ptr<ScopeModel> scope;
    std::unique_ptr<AdapterModel> adapter;

    uint32_t garbled = 0;   // --garbage replies sent so far
    bool slaveOpen = false; // the program had the port open when we last looked

    explicit Impl(const BenchOptions &o) : opts(o) {}

    // ---- log ----
    void emit(const std::vector<std::string> &log)
    {
        if (log.empty())
            return;
        std::lock_guard<std::mutex> lock(mu);
        for (const std::string &line : log) {
            lines.push_back(line);
            if (logFile != nullptr) {
                std::fwrite(line.data(), 1, line.size(), logFile);
                std::fputc('\n', logFile);
                std::fflush(logFile);
            }
            if (opts.logToStderr)
                std::fprintf(stderr, "%s\n", line.c_str());
        }
        changed.notify_all();
    }

    // Bench events: part of the adapter's log; the oscilloscope's log holds commands
    // only, so there they are diagnostics.
    void note(const std::string &text)
    {
        if (adapter)
            emit({"# " + text});
        else if (opts.logToStderr)
            std::fprintf(stderr, "benchsim: %s\n", text.c_str());
    }

    // ---- answering ----
    void transmit(const Reply &reply)
    {
        std::optional<ShapedReply> shaped = shapeReply(reply, opts, garbled);
        if (!shaped)
            return;
        garbled += shaped->garbled ? 1 : 0;
        LineEnd::Sent sent = line.send(*shaped);
        if (sent.outcome == LineEnd::Sent::Cut)
            note("reply cut: " + sent.why);
        if (sent.outcome == LineEnd::Sent::HangupPoint) {
            line.drain(kDrainLimitHangup);
            note("hung up after " + std::to_string(sent.done) + " bytes of a reply");
            line.close();
            ending = true;
        }
    }

    void process(const std::vector<Step> &steps)
    {
        for (const Step &step : steps) {
            emit(step.log);
            for (const std::string &n : step.notes)
                note(n);
            if (step.pins)
                trace.record(micros(), *step.pins);
            if (step.reply)
                transmit(*step.reply);
            if (ending || line.interrupted())
                return;
            if (step.endsJob && opts.once) {
                line.drain(kDrainLimitOnce);
                ending = true;
                return;
            }
        }
    }

    // The bench's clock: microseconds since it started answering.
    uint64_t micros() const
    {
        return (uint64_t)std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - startedAt).count();
    }

    // The adapter forgets a frame the line left unfinished.
    void dropPartialFrame()
    {
        std::vector<Step> steps;
        {
            std::lock_guard<std::mutex> lock(mu);
            steps.push_back(adapter->dropPartialFrame());
        }
        process(steps);
    }

    void portClosed()
    {
        slaveOpen = false;
        if (adapter && adapter->hasPartialFrame())
            dropPartialFrame();
        line.programClosed();
        if (adapter && opts.once && adapter->state().frames > 0)
            ending = true;
    }

    void run()
    {
        std::vector<uint8_t> buf(4096);
        auto lastByte = Clock::now();
        while (!line.interrupted() && !ending) {
            milliseconds timeout{-1};
            if (adapter && adapter->hasPartialFrame())
                timeout = std::max(milliseconds(0),
                                   kFrameGap - std::chrono::duration_cast<milliseconds>(Clock::now() - lastByte));
            LineEnd::Input input = line.waitForInput(timeout);
            if (input == LineEnd::Input::Interrupted)
                break;
            if (input == LineEnd::Input::Quiet) {
                dropPartialFrame();
                continue;
            }
            size_t n = buf.size();
            std::string why;
            LineEnd::Got got = line.read(buf.data(), &n, &why);
            if (got == LineEnd::Got::Bytes) {
                slaveOpen = true;
                lastByte = Clock::now();
                std::vector<Step> steps;
                {
                    std::lock_guard<std::mutex> lock(mu);
                    steps = scope ? scope->feed(buf.data(), n) : adapter->feed(buf.data(), n);
                }
                process(steps);
                trace.flush();
            } else if (got == LineEnd::Got::HungUp) {
                note(opts.devicePath + " hung up" + (why.empty() ? "" : ": " + why));
                ending = true;
            } else if (got == LineEnd::Got::Closed) {
                if (slaveOpen)
                    portClosed();
                if (!ending)
                    line.sleepFor(milliseconds(10));
            }
        }
        if (adapter)
            emit(adapter->closingLog());
        trace.end(micros());
        line.close();
        if (ending) {
            std::lock_guard<std::mutex> lock(mu);
            done = true;
            changed.notify_all();
        }
    }

    bool start(std::string *error)
    {
        if (!opts.logPath.empty()) {
            logFile = std::fopen(opts.logPath.c_str(), "w");
            if (logFile == nullptr) {
                if (error != nullptr)
                    *error = "cannot write the log " + opts.logPath + ": " + std::strerror(errno);
                return false;
            }
        }
        if (opts.personality == Personality::Scope)
            scope = std::make_unique<ScopeModel>(opts);
        else
            adapter = std::make_unique<AdapterModel>(opts);
        if (adapter && !opts.vcdPath.empty() && !trace.open(opts.vcdPath, adapter->drivenPins(), error)) {
            closeOutputs();
            return false;
        }
        if (!line.open(opts, error)) {
            closeOutputs();
            return false;
        }
        started = true;
        startedAt = Clock::now();
        thread = std::thread([this] { run(); });
        return true;
    }

    void closeOutputs()
    {
        if (logFile != nullptr)
            std::fclose(logFile);
        logFile = nullptr;
        trace.close();
    }

    void stop()
    {
        if (!started || stopped)
            return;
        stopped = true;
        line.interrupt();
        if (thread.joinable())
            thread.join();
        line.close();
        closeOutputs();
    }
};

VirtualBench::VirtualBench(const BenchOptions &opts) : impl_(std::make_unique<Impl>(opts)) {}

VirtualBench::~VirtualBench() { stop(); }

bool VirtualBench::start(std::string *error)
{
    if (impl_->started) {
        if (error != nullptr)
            *error = "already started";
        return false;
    }
    return impl_->start(error);
}

void VirtualBench::stop() { impl_->stop(); }

const std::string &VirtualBench::slavePath() const { return impl_->line.slavePath(); }
const std::string &VirtualBench::linkPath() const { return impl_->opts.linkPath; }
const std::string &VirtualBench::portPath() const { return impl_->line.portPath(); }

bool VirtualBench::finished() const
{
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->done;
}

bool VirtualBench::waitFinished(std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(impl_->mu);
    return impl_->changed.wait_for(lock, timeout, [&] { return impl_->done; });
}

std::vector<std::string> VirtualBench::commands() const
{
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->lines;
}

bool VirtualBench::waitForLines(size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(impl_->mu);
    return impl_->changed.wait_for(lock, timeout, [&] { return impl_->lines.size() >= count; });
}

size_t VirtualBench::bytesSent() const { return impl_->line.bytesSent(); }

ScopeState VirtualBench::scopeState() const
{
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->scope ? impl_->scope->state() : scopeStateFor(impl_->opts);
}

AdapterState VirtualBench::adapterState() const
{
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->adapter ? impl_->adapter->state() : AdapterState{};
}

} // namespace sim
