#include "fake_port.h"

#include "serial.h"

#include <algorithm>
#include <cerrno>
#include <deque>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

namespace {

// What reset() starts afresh. The clock is not part of it: it runs on across resets.
struct State {
    bool isOpen = false;
    DWORD lastError = 0;
    std::deque<std::vector<unsigned char>> pieces;
    std::vector<std::vector<unsigned char>> writeLog;
    std::vector<unsigned> reads;
    int clears = 0;
    int sleeps = 0;
    long long slept = 0;
    std::string failingCall;
    unsigned failingError = 0;
    unsigned goneError = 0;
    DCB commState{};
    COMMTIMEOUTS timeouts{};
    std::string openedName;
    std::function<void(const std::vector<unsigned char> &)> device;
} port;
int32_t clockNow = 0;
const HANDLE kHandle = (HANDLE)(intptr_t)7;

struct Plan {
    fakePort::SweepLog *log = nullptr;
    long failAt = -1;
    fakePort::FailMode mode = fakePort::FailMode::Once;
    bool failedFiles = false, failedSerial = false; // which kind failed from there on
    int32_t startMs = 0;
    std::vector<long> branchAt; // ascending
    size_t nextBranch = 0;
    std::function<void(long)> branch;
} plan;

bool isFileCall(const char *call) { return islower((unsigned char)call[0]); }

void advance(long long ms)
{
    clockNow = (int32_t)((uint32_t)clockNow + (uint32_t)ms);
    if (plan.log == nullptr)
        return;
    plan.log->elapsedMs = (int32_t)((uint32_t)clockNow - (uint32_t)plan.startMs);
    if (plan.log->elapsedMs > 3600 * 1000)
        _exit(125);
}

bool failsNow(const char *call)
{
    if (unsigned error = fakePort::sweptCall(call)) {
        port.lastError = error;
        return true;
    }
    if (port.failingCall != call)
        return false;
    port.failingCall.clear();
    port.lastError = port.failingError;
    return true;
}

bool valid(HANDLE h)
{
    if (port.isOpen && h == kHandle)
        return true;
    port.lastError = ERROR_INVALID_HANDLE;
    return false;
}

bool gone()
{
    if (port.goneError == 0)
        return false;
    port.lastError = port.goneError;
    return true;
}

} // namespace

namespace fakePort {

void reset() { port = State{}; }

void setOpenFails(unsigned error) { setCallFails("CreateFileA", error); }
void setCallFails(const std::string &call, unsigned error)
{
    port.failingCall = call;
    port.failingError = error;
}
void setGone(unsigned error) { port.goneError = error; }
bool portOpen() { return port.isOpen; }
DCB lastCommState() { return port.commState; }
COMMTIMEOUTS lastTimeouts() { return port.timeouts; }
void queue(const std::vector<unsigned char> &piece) { port.pieces.push_back(piece); }
void queue(const std::string &piece) { port.pieces.emplace_back(piece.begin(), piece.end()); }

std::vector<unsigned char> written()
{
    // a loop, not views::join, which clang 14 (the fuzz build) cannot take with libstdc++ 12
    std::vector<unsigned char> all;
    for (const auto &w : port.writeLog)
        all.insert(all.end(), w.begin(), w.end());
    return all;
}

std::vector<std::vector<unsigned char>> writes() { return port.writeLog; }
std::string openedName() { return port.openedName; }
std::vector<unsigned> readRequests() { return port.reads; }
int clearCommErrorCalls() { return port.clears; }
int sleepCalls() { return port.sleeps; }
long long sleptMs() { return port.slept; }
void answerWith(std::function<void(const std::vector<unsigned char> &)> device) { port.device = std::move(device); }

void sweep(SweepLog *log, long failAt, FailMode mode)
{
    plan = Plan{};
    plan.log = log;
    plan.failAt = failAt;
    plan.mode = mode;
    plan.startMs = clockNow;
}

void sweepBranching(SweepLog *log, std::vector<long> at, std::function<void(long n)> branch)
{
    sweep(log, -1, FailMode::Once);
    plan.branchAt = std::move(at);
    plan.branch = std::move(branch);
}

void failFrom(SweepLog *log, long failAt, FailMode mode)
{
    log->calls = plan.log->calls;
    log->elapsedMs = plan.log->elapsedMs;
    plan.log = log;
    plan.failAt = failAt;
    plan.mode = mode;
    plan.branchAt.clear();
}

unsigned sweptCall(const char *call, const char *file)
{
    if (plan.log == nullptr)
        return 0;
    SweepLog &log = *plan.log;
    unsigned long n = log.calls++;
    if (n >= 100000)
        _exit(125);
    if (log.listed < std::size(log.list)) {
        CallRecord &r = log.list[log.listed++];
        snprintf(r.call, sizeof r.call, "%s", call);
        snprintf(r.file, sizeof r.file, "%s", file);
    }
    while (plan.nextBranch < plan.branchAt.size() && plan.branchAt[plan.nextBranch] == (long)n) {
        ++plan.nextBranch;
        plan.branch((long)n); // in a child, the plan is its own from here on
    }
    const bool fileCall = isFileCall(call);
    const bool onward = plan.mode == FailMode::FromThereOn;
    if ((long)n == plan.failAt && onward)
        (fileCall ? plan.failedFiles : plan.failedSerial) = true;
    if (fileCall && (plan.failedFiles && strcmp(call, "remove") != 0))
        return ENOSPC;
    if (!fileCall && plan.failedSerial)
        return strcmp(call, "CreateFileA") == 0 ? ERROR_FILE_NOT_FOUND : 1167;
    if ((long)n != plan.failAt)
        return 0;
    return fileCall ? EIO : strcmp(call, "CreateFileA") == 0 ? ERROR_ACCESS_DENIED : 1117;
}

} // namespace fakePort

// Each call is counted first, whatever its arguments.
HANDLE CreateFileA(LPCSTR name, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)
{
    port.openedName = name;
    if (failsNow("CreateFileA")) {
        // as the POSIX layer names the device and the reason
        char reason[200];
        platformErrorText(reason, sizeof reason);
        fprintf(stderr, "%s: %s is the in-memory port: %s\n", platformProgramName(), name, reason);
        return INVALID_HANDLE_VALUE;
    }
    port.isOpen = true;
    return kHandle;
}

BOOL SetupComm(HANDLE h, DWORD, DWORD)
{
    const bool fails = failsNow("SetupComm");
    return valid(h) && !fails;
}

BOOL GetCommState(HANDLE h, LPDCB dcb)
{
    const bool fails = failsNow("GetCommState");
    if (!valid(h) || fails)
        return FALSE;
    // what a driver might report: fields the program does not set must come through
    memset(dcb, 0, sizeof *dcb);
    dcb->DCBlength = sizeof *dcb;
    dcb->BaudRate = 9600;
    dcb->ByteSize = 8;
    dcb->fBinary = 1;
    dcb->fOutX = 1;
    dcb->fInX = 1;
    dcb->fOutxCtsFlow = 1;
    dcb->fOutxDsrFlow = 1;
    dcb->fDtrControl = DTR_CONTROL_ENABLE;
    dcb->fRtsControl = RTS_CONTROL_ENABLE;
    dcb->StopBits = TWOSTOPBITS;
    dcb->XonLim = 2048;
    dcb->XoffLim = 512;
    dcb->XonChar = 0x11;
    dcb->XoffChar = 0x13;
    return TRUE;
}

// SetCommState and SetCommTimeouts: keep what the program gave, for the test to read.
template <class T> BOOL keep(HANDLE h, const char *call, T &kept, const T *given)
{
    const bool fails = failsNow(call);
    if (!valid(h) || fails)
        return FALSE;
    kept = *given;
    return TRUE;
}

BOOL SetCommState(HANDLE h, LPDCB dcb) { return keep(h, "SetCommState", port.commState, dcb); }
BOOL SetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS t) { return keep(h, "SetCommTimeouts", port.timeouts, t); }

BOOL GetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS t)
{
    const bool fails = failsNow("GetCommTimeouts");
    if (!valid(h) || fails)
        return FALSE;
    *t = COMMTIMEOUTS{};
    return TRUE;
}

BOOL ReadFile(HANDLE h, LPVOID buffer, DWORD toRead, LPDWORD got, LPOVERLAPPED)
{
    *got = 0;
    const bool fails = failsNow("ReadFile");
    if (!valid(h))
        return FALSE;
    port.reads.push_back(toRead);
    if (gone() || fails)
        return FALSE;
    DWORD n = 0;
    if (!port.pieces.empty() && toRead > 0) {
        auto &piece = port.pieces.front();
        n = std::min((DWORD)piece.size(), toRead);
        std::copy_n(piece.begin(), n, (unsigned char *)buffer);
        piece.erase(piece.begin(), piece.begin() + n);
        if (piece.empty())
            port.pieces.pop_front();
    }
    // a short read lasts until its time-out: the interval after the last byte, or the total
    const COMMTIMEOUTS &t = port.timeouts;
    if (n < toRead)
        advance(n > 0 ? t.ReadIntervalTimeout
                      : t.ReadTotalTimeoutConstant + (long long)t.ReadTotalTimeoutMultiplier * toRead);
    *got = n;
    return TRUE;
}

BOOL WriteFile(HANDLE h, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED)
{
    *written = 0;
    const bool fails = failsNow("WriteFile");
    if (!valid(h))
        return FALSE;
    const unsigned char *b = (const unsigned char *)buffer;
    port.writeLog.emplace_back(b, b + toWrite);
    if (gone() || fails)
        return FALSE;
    *written = toWrite;
    if (port.device)
        port.device(port.writeLog.back());
    return TRUE;
}

BOOL ClearCommError(HANDLE h, LPDWORD errors, LPCOMSTAT)
{
    const bool fails = failsNow("ClearCommError");
    if (errors != nullptr)
        *errors = 0;
    ++port.clears;
    return valid(h) && !gone() && !fails;
}

BOOL CloseHandle(HANDLE h)
{
    const bool fails = failsNow("CloseHandle");
    if (!valid(h) || fails)
        return FALSE;
    port.isOpen = false;
    return TRUE;
}

DWORD GetLastError(void) { return port.lastError; }

void platformErrorText(char *out, size_t size)
{
    // the texts Windows gives these codes, without their closing period
    static const struct {
        DWORD code;
        const char *text;
    } texts[] = {
        {2, "The system cannot find the file specified"},
        {5, "Access is denied"},
        {31, "A device attached to the system is not functioning"},
        {995, "The I/O operation has been aborted because of either a thread exit or an application request"},
        {1117, "The request could not be performed because of an I/O device error"},
        {1167, "The device is not connected"},
    };
    for (const auto &t : texts)
        if (t.code == port.lastError) {
            snprintf(out, size, "%s", t.text);
            return;
        }
    snprintf(out, size, "error %u", (unsigned)port.lastError);
}

void SetLastError(DWORD code) { port.lastError = code; }

int32_t platformClockMs(void)
{
    // a 32-bit millisecond counter wraps round, as the runtime's does after 24.8
    // days; a long fuzzing run reads this clock that often
    advance(250);
    return clockNow;
}

void platformSleepMs(uint32_t ms)
{
    ++port.sleeps;
    port.slept += ms;
    advance(ms);
}
