// The virtual bench's line: the pseudo-terminal, the answering thread, pacing and
// the injected faults. What is answered comes from the models (scope_model.cpp,
// adapter_model.cpp).
#include "bench.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <mutex>
#include <poll.h>
#include <random>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#ifndef TIOCGPTPEER
#define TIOCGPTPEER _IO('T', 0x41)
#endif

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A frame the adapter has started must be completed within this time; the display
// routine sends its header and its text in two writes, well within it.
constexpr milliseconds kFrameGap{1000};
// After the last reply of a --once job, or before a hang-up, the bench waits this
// long at most for the program to read what is still in the pty.
constexpr milliseconds kDrainLimitOnce{10000};
constexpr milliseconds kDrainLimitHangup{3000};
// Without a way to look at the slave's queue (the port held exclusively by a
// program, and we lack CAP_SYS_ADMIN), this is how long the program gets to read it.
constexpr milliseconds kDrainGuess{1000};
// The slave's line discipline holds 4095 bytes; what the master writes beyond that
// waits in the tty's flip buffer, where neither the slave's queue count nor poll
// sees it, and where closing the master loses it. So while the queue can be
// watched, no more than this is outstanding.
constexpr size_t kPtyRoom = 4000;

void setRaw(int fd)
{
    termios tio;
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
}

bool lineSpeed(long baud, speed_t *code)
{
    static const struct {
        long baud;
        speed_t code;
    } table[] = {{50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
                 {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
                 {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
                 {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
                 {1000000, B1000000}, {2000000, B2000000}, {3000000, B3000000}, {4000000, B4000000}};
    for (const auto &e : table)
        if (e.baud == baud) {
            *code = e.code;
            return true;
        }
    return false;
}

// A device line set as the programs set theirs: raw, 8 data bits, no parity, one
// stop bit, no flow control, modem lines ignored.
bool setDeviceLine(int fd, long baud)
{
    termios tio;
    speed_t speed;
    if (!lineSpeed(baud, &speed)) {
        errno = EINVAL;
        return false;
    }
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    tio.c_cflag &= ~(tcflag_t)(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(tcflag_t)(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0 || tcsetattr(fd, TCSANOW, &tio) != 0)
        return false;
    tcflush(fd, TCIOFLUSH); // what waited on the line before the bench started is no reply
    return true;
}

} // namespace

std::vector<uint8_t> garbageBytes(uint32_t seed, size_t count)
{
    std::mt19937 gen(seed);
    std::vector<uint8_t> out(count);
    for (uint8_t &b : out)
        b = (uint8_t)(gen() & 0xFF);
    return out;
}

struct VirtualBench::Impl {
    BenchOptions opts;
    int master = -1;
    int wake[2] = {-1, -1};
    std::string slave, link, port;
    std::thread thread;
    std::atomic<bool> stopRequested{false};
    bool started = false, stopped = false;
    bool ending = false; // the answering thread is finishing by itself
    bool device = false; // serving opts.devicePath; `master` is its descriptor

    mutable std::mutex mu;
    mutable std::condition_variable changed;
    std::vector<std::string> lines;
    bool done = false;
    FILE *logFile = nullptr;
    std::unique_ptr<ScopeModel> scope;
    std::unique_ptr<AdapterModel> adapter;

    std::atomic<size_t> sent{0};
    uint32_t garbageCount = 0;
    bool slaveOpen = false;     // the program had the port open when we last looked
    bool unreadReplies = false; // reply bytes written since the port was last seen open
    size_t outstanding = 0;     // written since the slave's queue was last seen empty

    explicit Impl(const BenchOptions &o) : opts(o) { link = o.linkPath; }

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

    // ---- waiting, interruptible by stop() ----
    bool sleepFor(milliseconds ms)
    {
        pollfd p{wake[0], POLLIN, 0};
        poll(&p, 1, (int)std::max<long long>(0, ms.count()));
        return !stopRequested;
    }

    // A device line does not say whether the program has its end open.
    bool slaveClosed() const
    {
        if (device)
            return false;
        pollfd p{master, POLLOUT, 0};
        return poll(&p, 1, 0) > 0 && (p.revents & POLLHUP);
    }

    // A descriptor on the slave for looking at its queue, or -1. The peer ioctl
    // needs no path; an exclusive open by the program refuses it except to root.
    // A device has no peer here: its far end is the program's own port.
    int openPeer() const
    {
        return device ? -1 : ioctl(master, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    }

    enum class Queue { Empty, Pending, Unknown };

    // Has the program read everything written? poll on the slave first pushes what
    // waits in the flip buffer into the line discipline, then looks there.
    Queue slaveQueue() const
    {
        int fd = openPeer();
        if (fd < 0)
            return Queue::Unknown;
        pollfd p{fd, POLLIN, 0};
        int rc = poll(&p, 1, 0);
        close(fd);
        return rc == 0 ? Queue::Empty : Queue::Pending;
    }

    // Waits until the program has read everything we wrote, or closed the port.
    void drain(milliseconds limit)
    {
        const auto start = Clock::now();
        if (device) {
            // what the far end has read is unknowable; wait until the reply left this port
            int queued = 0;
            while (!stopRequested && Clock::now() - start < limit && ioctl(master, TIOCOUTQ, &queued) == 0 &&
                   queued > 0)
                sleepFor(milliseconds(2));
            tcdrain(master);
            return;
        }
        while (!stopRequested && Clock::now() - start < limit) {
            if (slaveClosed())
                return;
            Queue q = slaveQueue();
            if (q == Queue::Empty || (q == Queue::Unknown && Clock::now() - start >= kDrainGuess))
                return;
            sleepFor(milliseconds(2));
        }
    }

    // Bytes the program left unread when it closed the port would otherwise greet
    // its next open; a real line loses them.
    void discardUnread()
    {
        int fd = openPeer();
        if (fd >= 0) {
            tcflush(fd, TCIFLUSH);
            close(fd);
        }
        unreadReplies = false;
        outstanding = 0;
    }

    void closeMaster()
    {
        if (master >= 0)
            close(master);
        master = -1;
    }

    void removeLink()
    {
        if (link.empty())
            return;
        char target[PATH_MAX];
        ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string(target, (size_t)n) == slave)
            unlink(link.c_str());
    }

    void hangUp(size_t after)
    {
        drain(kDrainLimitHangup);
        note("hung up after " + std::to_string(after) + " bytes of a reply");
        closeMaster();
        removeLink();
        ending = true;
    }

    // ---- sending ----
    void transmit(Reply reply)
    {
        if (opts.silent)
            return;
        std::vector<uint8_t> &bytes = reply.bytes;
        if (opts.garbage) {
            if (reply.kind == ReplyKind::Query)
                bytes.assign(kGarbageQueryReply, kGarbageQueryReply + std::strlen(kGarbageQueryReply));
            else
                bytes = garbageBytes(opts.seed + garbageCount++, bytes.size());
        } else if (opts.longReplies && reply.kind == ReplyKind::Query) {
            if (!bytes.empty() && bytes.back() == '\n')
                bytes.pop_back();
            bytes.push_back(' ');
            bytes.resize(std::max(bytes.size(), kLongReplySize - 1), 'x');
            bytes.push_back('\n');
        }
        if (opts.shortBytes >= 0 && reply.kind != ReplyKind::Query && bytes.size() > (size_t)opts.shortBytes)
            bytes.resize((size_t)opts.shortBytes);
        send(bytes);
    }

    void send(const std::vector<uint8_t> &bytes)
    {
        const size_t total = bytes.size();
        const bool hangup = opts.hangupAfter >= 0;
        const size_t hangupAt = hangup ? (size_t)opts.hangupAfter : 0;
        bool stallPending = opts.stallAfter >= 0 && (size_t)opts.stallAfter < total;
        const double rate = opts.baud > 0 ? (double)opts.baud / 10.0 : 0; // bytes per second
        auto paceStart = Clock::now();
        size_t paceBase = 0, done = 0;
        for (;;) {
            if (hangup && done >= hangupAt) {
                hangUp(done);
                return;
            }
            if (done >= total || stopRequested)
                return;
            if (stallPending && done == (size_t)opts.stallAfter) {
                stallPending = false;
                if (!sleepFor(milliseconds(opts.stallMs)))
                    return;
                paceStart = Clock::now();
                paceBase = done;
                continue;
            }
            size_t limit = total;
            if (hangup)
                limit = std::min(limit, hangupAt);
            if (stallPending)
                limit = std::min(limit, (size_t)opts.stallAfter);
            size_t chunk = limit - done;
            if (rate > 0) {
                // byte k of this stretch is due k / rate seconds after it began
                double elapsed = std::chrono::duration<double>(Clock::now() - paceStart).count();
                size_t due = paceBase + (size_t)(elapsed * rate) + 1;
                if (due <= done) {
                    double wait = (double)(done - paceBase) / rate - elapsed;
                    sleepFor(milliseconds(std::max(2, (int)(wait * 1000))));
                    continue;
                }
                chunk = std::min(chunk, due - done);
            }
            if (slaveClosed()) {
                note("reply cut: the port was closed after " + std::to_string(done) + " of " +
                     std::to_string(total) + " bytes");
                return;
            }
            if (outstanding + chunk > kPtyRoom) {
                if (outstanding >= kPtyRoom) {
                    Queue q = slaveQueue();
                    if (q == Queue::Pending)
                        sleepFor(milliseconds(1));
                    else
                        outstanding = 0; // read; or we cannot tell, and the pty buffers it
                    continue;
                }
                chunk = kPtyRoom - outstanding;
            }
            ssize_t n = write(master, bytes.data() + done, chunk);
            if (n > 0) {
                done += (size_t)n;
                sent += (size_t)n;
                outstanding += (size_t)n;
                unreadReplies = true;
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                // the pty is full: the program reads the rest as it goes
                pollfd p[2] = {{master, POLLOUT, 0}, {wake[0], POLLIN, 0}};
                poll(p, 2, 50);
                continue;
            }
            note(std::string("reply cut: ") + std::strerror(errno));
            return;
        }
    }

    // ---- receiving ----
    void process(const std::vector<Step> &steps)
    {
        for (const Step &step : steps) {
            emit(step.log);
            for (const std::string &n : step.notes)
                note(n);
            if (step.reply)
                transmit(*step.reply);
            if (ending || stopRequested)
                return;
            if (step.endsJob && opts.once) {
                drain(kDrainLimitOnce);
                ending = true;
                return;
            }
        }
    }

    void portClosed()
    {
        slaveOpen = false;
        outstanding = 0;
        if (adapter && adapter->hasPartialFrame()) {
            std::vector<Step> steps;
            {
                std::lock_guard<std::mutex> lock(mu);
                steps.push_back(adapter->dropPartialFrame());
            }
            process(steps);
        }
        if (unreadReplies)
            discardUnread();
        if (adapter && opts.once && adapter->state().frames > 0)
            ending = true;
    }

    void run()
    {
        std::vector<uint8_t> buf(4096);
        auto lastByte = Clock::now();
        while (!stopRequested && !ending) {
            int timeout = -1;
            if (adapter && adapter->hasPartialFrame()) {
                auto left = kFrameGap - std::chrono::duration_cast<milliseconds>(Clock::now() - lastByte);
                timeout = (int)std::max<long long>(0, left.count());
            }
            pollfd fds[2] = {{master, POLLIN, 0}, {wake[0], POLLIN, 0}};
            int rc = poll(fds, 2, timeout);
            if (rc < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            if (fds[1].revents)
                break;
            if (rc == 0) {
                std::vector<Step> steps;
                {
                    std::lock_guard<std::mutex> lock(mu);
                    steps.push_back(adapter->dropPartialFrame());
                }
                process(steps);
                continue;
            }
            ssize_t n = read(master, buf.data(), buf.size());
            if (n > 0) {
                slaveOpen = true;
                lastByte = Clock::now();
                std::vector<Step> steps;
                {
                    std::lock_guard<std::mutex> lock(mu);
                    steps = scope ? scope->feed(buf.data(), (size_t)n) : adapter->feed(buf.data(), (size_t)n);
                }
                process(steps);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (device) {
                // a pulled USB-serial adapter or a disconnected gadget: the line is gone
                note(opts.devicePath + " hung up" + (n < 0 ? std::string(": ") + std::strerror(errno) : ""));
                ending = true;
                break;
            }
            // EIO: nobody has the slave open; it may be opened again at any time
            if (slaveOpen)
                portClosed();
            if (!ending)
                sleepFor(milliseconds(10));
        }
        if (adapter)
            emit(adapter->closingLog());
        closeMaster();
        removeLink();
        if (ending) {
            std::lock_guard<std::mutex> lock(mu);
            done = true;
            changed.notify_all();
        }
    }

    bool start(std::string *error)
    {
        auto fail = [&](const std::string &what) {
            if (error != nullptr)
                *error = what + ": " + std::strerror(errno);
            closeMaster();
            for (int &fd : wake) {
                if (fd >= 0)
                    close(fd);
                fd = -1;
            }
            if (logFile != nullptr)
                std::fclose(logFile);
            logFile = nullptr;
            return false;
        };
        if (!opts.devicePath.empty()) {
            device = true;
            slave = port = opts.devicePath;
            master = open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
            if (master < 0)
                return fail("cannot open " + slave);
            if (!isatty(master))
                return fail(slave + " is not a serial device");
            if (flock(master, LOCK_EX | LOCK_NB) != 0)
                return fail(slave + " is in use by another program");
            if (!setDeviceLine(master, opts.baud > 0 ? opts.baud : 19200))
                return fail("cannot set " + slave + " to " + std::to_string(opts.baud > 0 ? opts.baud : 19200) +
                            " baud");
            return openWakeAndLog(fail) && startAnswering();
        }
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (master < 0)
            return fail("cannot open a pseudo-terminal");
        if (grantpt(master) != 0 || unlockpt(master) != 0)
            return fail("cannot unlock the pseudo-terminal");
        char name[128];
        if (ptsname_r(master, name, sizeof name) != 0)
            return fail("cannot name the pseudo-terminal");
        slave = name;
        setRaw(master);
        // raw before anyone opens it, so the program's first bytes are not echoed
        int s = open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (s < 0)
            return fail("cannot open " + slave);
        setRaw(s);
        close(s);
        if (!openWakeAndLog(fail))
            return false;
        if (!link.empty()) {
            std::string tmp = link + ".benchsim-" + std::to_string(getpid());
            unlink(tmp.c_str());
            if (symlink(slave.c_str(), tmp.c_str()) != 0)
                return fail("cannot make the link " + link);
            if (rename(tmp.c_str(), link.c_str()) != 0) {
                int err = errno;
                unlink(tmp.c_str());
                errno = err;
                return fail("cannot make the link " + link);
            }
        }
        port = link.empty() ? slave : link;
        return startAnswering();
    }

    template <typename Fail> bool openWakeAndLog(Fail &fail)
    {
        if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
            return fail("cannot make a pipe");
        if (!opts.logPath.empty()) {
            logFile = std::fopen(opts.logPath.c_str(), "w");
            if (logFile == nullptr)
                return fail("cannot write the log " + opts.logPath);
        }
        return true;
    }

    bool startAnswering()
    {
        if (opts.personality == Personality::Scope)
            scope = std::make_unique<ScopeModel>(opts);
        else
            adapter = std::make_unique<AdapterModel>(opts);
        started = true;
        thread = std::thread([this] { run(); });
        return true;
    }

    void stop()
    {
        if (!started || stopped)
            return;
        stopped = true;
        stopRequested = true;
        ssize_t ignored = write(wake[1], "x", 1);
        (void)ignored;
        if (thread.joinable())
            thread.join();
        closeMaster();
        removeLink();
        close(wake[0]);
        close(wake[1]);
        if (logFile != nullptr)
            std::fclose(logFile);
        logFile = nullptr;
    }
};

VirtualBench::VirtualBench(const BenchOptions &opts) : impl_(std::make_unique<Impl>(opts)) {}

VirtualBench::~VirtualBench()
{
    stop();
    impl_->closeMaster();
}

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

const std::string &VirtualBench::slavePath() const { return impl_->slave; }
const std::string &VirtualBench::linkPath() const { return impl_->link; }
const std::string &VirtualBench::portPath() const { return impl_->port; }

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

size_t VirtualBench::bytesSent() const { return impl_->sent; }

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
