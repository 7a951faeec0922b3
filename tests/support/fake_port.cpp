#include "fake_port.h"

#include <algorithm>
#include <deque>
#include <stdio.h>
#include <string.h>

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
} port;
int32_t clockNow = 0;
const HANDLE kHandle = (HANDLE)(intptr_t)7;

bool failsNow(const char *call)
{
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

} // namespace fakePort

HANDLE CreateFileA(LPCSTR name, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)
{
    port.openedName = name;
    if (failsNow("CreateFileA"))
        return INVALID_HANDLE_VALUE;
    port.isOpen = true;
    return kHandle;
}

BOOL SetupComm(HANDLE h, DWORD, DWORD) { return valid(h) && !failsNow("SetupComm"); }

BOOL GetCommState(HANDLE h, LPDCB dcb)
{
    if (!valid(h) || failsNow("GetCommState"))
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
    if (!valid(h) || failsNow(call))
        return FALSE;
    kept = *given;
    return TRUE;
}

BOOL SetCommState(HANDLE h, LPDCB dcb) { return keep(h, "SetCommState", port.commState, dcb); }
BOOL SetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS t) { return keep(h, "SetCommTimeouts", port.timeouts, t); }

BOOL GetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS t)
{
    if (!valid(h))
        return FALSE;
    *t = COMMTIMEOUTS{};
    return TRUE;
}

BOOL ReadFile(HANDLE h, LPVOID buffer, DWORD toRead, LPDWORD got, LPOVERLAPPED)
{
    *got = 0;
    if (!valid(h))
        return FALSE;
    port.reads.push_back(toRead);
    if (gone() || failsNow("ReadFile"))
        return FALSE;
    if (port.pieces.empty() || toRead == 0)
        return TRUE;
    auto &piece = port.pieces.front();
    DWORD n = std::min((DWORD)piece.size(), toRead);
    std::copy_n(piece.begin(), n, (unsigned char *)buffer);
    piece.erase(piece.begin(), piece.begin() + n);
    if (piece.empty())
        port.pieces.pop_front();
    *got = n;
    return TRUE;
}

BOOL WriteFile(HANDLE h, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED)
{
    *written = 0;
    if (!valid(h))
        return FALSE;
    const unsigned char *b = (const unsigned char *)buffer;
    port.writeLog.emplace_back(b, b + toWrite);
    if (gone() || failsNow("WriteFile"))
        return FALSE;
    *written = toWrite;
    return TRUE;
}

BOOL ClearCommError(HANDLE h, LPDWORD errors, LPCOMSTAT)
{
    if (errors != nullptr)
        *errors = 0;
    ++port.clears;
    return valid(h) && !gone();
}

BOOL CloseHandle(HANDLE h)
{
    if (!valid(h))
        return FALSE;
    port.isOpen = false;
    return TRUE;
}

DWORD GetLastError(void) { return port.lastError; }
void platformErrorText(char *out, size_t size) { snprintf(out, size, "fake error %u", (unsigned)port.lastError); }
void SetLastError(DWORD code) { port.lastError = code; }

int32_t platformClockMs(void)
{
    // a 32-bit millisecond counter wraps round, as the runtime's does after 24.8
    // days; a long fuzzing run reads this clock that often
    clockNow = (int32_t)((uint32_t)clockNow + 250u);
    return clockNow;
}

void platformSleepMs(uint32_t ms)
{
    ++port.sleeps;
    port.slept += ms;
}

int platformReplaceFile(const char *from, const char *to) { return rename(from, to) == 0; }
