#include "fake_port.h"

#include "winapi.h"

#include <deque>
#include <stdio.h>
#include <string.h>

namespace {

bool isOpen = false;
unsigned failOpen = 0;
DWORD lastError = 0;
std::deque<std::vector<unsigned char>> pieces;
std::vector<std::vector<unsigned char>> writeLog;
std::vector<unsigned> reads;
int clears = 0;
int sleeps = 0;
long long slept = 0;
int32_t clockNow = 0;
const HANDLE kHandle = (HANDLE)(intptr_t)7;
std::string failingCall;
unsigned failingError = 0;
unsigned goneError = 0;
DCB commState{};
COMMTIMEOUTS timeouts{};

bool failsNow(const char *call)
{
    if (failingCall != call)
        return false;
    failingCall.clear();
    lastError = failingError;
    return true;
}

bool valid(HANDLE h)
{
    if (isOpen && h == kHandle)
        return true;
    lastError = ERROR_INVALID_HANDLE;
    return false;
}

bool gone()
{
    if (goneError == 0)
        return false;
    lastError = goneError;
    return true;
}

} // namespace

namespace fakePort {

void reset()
{
    isOpen = false;
    failOpen = 0;
    lastError = 0;
    pieces.clear();
    writeLog.clear();
    reads.clear();
    clears = 0;
    sleeps = 0;
    slept = 0;
    failingCall.clear();
    goneError = 0;
    commState = DCB{};
    timeouts = COMMTIMEOUTS{};
}

void setOpenFails(unsigned error) { failOpen = error; }
void setCallFails(const std::string &call, unsigned error)
{
    failingCall = call;
    failingError = error;
}
void setGone(unsigned error) { goneError = error; }
bool portOpen() { return isOpen; }
DCB lastCommState() { return commState; }
COMMTIMEOUTS lastTimeouts() { return timeouts; }
void queue(const std::vector<unsigned char> &piece) { pieces.push_back(piece); }
void queue(const std::string &piece) { pieces.emplace_back(piece.begin(), piece.end()); }

std::vector<unsigned char> written()
{
    std::vector<unsigned char> all;
    for (const auto &w : writeLog)
        all.insert(all.end(), w.begin(), w.end());
    return all;
}

std::vector<std::vector<unsigned char>> writes() { return writeLog; }
std::vector<unsigned> readRequests() { return reads; }
int clearCommErrorCalls() { return clears; }
int sleepCalls() { return sleeps; }
long long sleptMs() { return slept; }

} // namespace fakePort

HANDLE CreateFileA(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)
{
    if (failOpen != 0) {
        lastError = failOpen;
        failOpen = 0;
        return INVALID_HANDLE_VALUE;
    }
    isOpen = true;
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

BOOL SetCommState(HANDLE h, LPDCB dcb)
{
    if (!valid(h) || failsNow("SetCommState"))
        return FALSE;
    commState = *dcb;
    return TRUE;
}
BOOL GetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS t)
{
    if (!valid(h))
        return FALSE;
    memset(t, 0, sizeof *t);
    return TRUE;
}
BOOL SetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS t)
{
    if (!valid(h) || failsNow("SetCommTimeouts"))
        return FALSE;
    timeouts = *t;
    return TRUE;
}

BOOL ReadFile(HANDLE h, LPVOID buffer, DWORD toRead, LPDWORD got, LPOVERLAPPED)
{
    *got = 0;
    if (!valid(h))
        return FALSE;
    reads.push_back(toRead);
    if (gone() || failsNow("ReadFile"))
        return FALSE;
    if (pieces.empty() || toRead == 0)
        return TRUE;
    auto &piece = pieces.front();
    DWORD n = piece.size() < toRead ? (DWORD)piece.size() : toRead;
    // an empty piece (a timed-out read) has no data pointer to copy from
    if (n > 0)
        memcpy(buffer, piece.data(), n);
    piece.erase(piece.begin(), piece.begin() + n);
    if (piece.empty())
        pieces.pop_front();
    *got = n;
    return TRUE;
}

BOOL WriteFile(HANDLE h, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED)
{
    *written = 0;
    if (!valid(h))
        return FALSE;
    const unsigned char *b = (const unsigned char *)buffer;
    writeLog.emplace_back(b, b + toWrite);
    if (gone() || failsNow("WriteFile"))
        return FALSE;
    *written = toWrite;
    return TRUE;
}

BOOL ClearCommError(HANDLE h, LPDWORD errors, LPCOMSTAT)
{
    if (errors != nullptr)
        *errors = 0;
    ++clears;
    return valid(h) && !gone();
}

BOOL CloseHandle(HANDLE h)
{
    if (!valid(h))
        return FALSE;
    isOpen = false;
    return TRUE;
}

DWORD GetLastError(void) { return lastError; }
void platformErrorText(char *out, size_t size) { snprintf(out, size, "fake error %u", (unsigned)lastError); }
void SetLastError(DWORD code) { lastError = code; }

int32_t platformClockMs(void)
{
    // a 32-bit millisecond counter wraps round, as the runtime's does after 24.8
    // days; a long fuzzing run reads this clock that often
    clockNow = (int32_t)((uint32_t)clockNow + 250u);
    return clockNow;
}

void platformSleepMs(uint32_t ms)
{
    ++sleeps;
    slept += ms;
}

int platformReplaceFile(const char *from, const char *to) { return rename(from, to) == 0; }
