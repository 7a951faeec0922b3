// An in-memory stand-in for the serial port, linked instead of the platform
// library: the code under test writes frames into it and reads scripted replies
// (or a device answers what it writes). Its clock jumps ahead on every reading, and
// by the time-out of every read that comes back short, so waits cost no time. The
// capture files' calls (fake_files.cpp) pass to real files in the working directory.
//
// The call sweep: with a SweepLog set, every call of the serial API and of the files
// is counted (and listed), and the plan makes one of them fail, or that one and every
// later one of its kind (serial or file): the device gone, the disk full from there on.
#pragma once

#include "winapi.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fakePort {

void reset();                                  // no port open, nothing queued or written
void setOpenFails(unsigned error);             // the next CreateFileA fails with this error
// The next call of the named function ("SetupComm", "GetCommState", "SetCommState",
// "SetCommTimeouts", "ReadFile", "WriteFile") fails with this error.
void setCallFails(const std::string &call, unsigned error);
// The device goes away: from now on ReadFile, WriteFile and ClearCommError fail with
// this error. Its text is Windows' own for the codes above and 995, else "error <n>".
void setGone(unsigned error);
bool portOpen();                               // a handle is open (not yet closed)
DCB lastCommState();                           // what SetCommState was given
COMMTIMEOUTS lastTimeouts();                   // what SetCommTimeouts was given
// Queues one reply piece: each ReadFile takes bytes from the first piece only; an
// empty piece is one read that times out with nothing.
void queue(const std::vector<unsigned char> &piece);
void queue(const std::string &piece);
std::vector<unsigned char> written();          // every byte written so far
std::vector<std::vector<unsigned char>> writes(); // each WriteFile call's bytes
std::string openedName();                      // the name CreateFileA was given last
std::vector<unsigned> readRequests();          // the byte count each ReadFile asked for
int clearCommErrorCalls();
int sleepCalls();
long long sleptMs();
// The device on the line: given the bytes of every WriteFile that went out, it
// queues its replies.
void answerWith(std::function<void(const std::vector<unsigned char> &)> device);

struct CallRecord {
    char call[16]; // "ReadFile", "write", ...
    char file[24]; // the file a file call is about ("op_scope.csv.tmp"), or ""
};
// Kept where the process that reads it can see it (memory shared across a fork).
struct SweepLog {
    unsigned long calls = 0;  // counted so far
    int32_t elapsedMs = 0;    // on the clock since sweep() began
    unsigned long listed = 0; // entries of `list` filled
    CallRecord list[8192];
};
enum class FailMode { Once, FromThereOn };
// Counts into `log` from now on; call number `failAt` (from 0) fails, -1 for none.
// Errors: CreateFileA 5 (access denied) once, 2 (no such device) from there on; the
// other serial calls 1117 (I/O device error) once, 1167 (device not connected) from
// there on; file calls EIO once, ENOSPC from there on (removing a file still works on
// a full disk). A run past 100000 calls or an hour of its clock ends at once, with
// status 125 (a busy loop, a hang).
void sweep(SweepLog *log, long failAt, FailMode mode);
// A run that branches: before each call numbered in `at` is made, branch(n) runs. It
// may fork; a child calls failFrom and goes on as a run of its own that fails call n.
void sweepBranching(SweepLog *log, std::vector<long> at, std::function<void(long n)> branch);
// Counts on into `log` from the calls and time so far, and fails call `failAt` as sweep() would.
void failFrom(SweepLog *log, long failAt, FailMode mode);
// For the fakes: counts one call; the error it must fail with, 0 for none.
unsigned sweptCall(const char *call, const char *file = "");
// A forked run takes the working directory's files with it: they are copied into
// `dir` (made afresh), the open files' streams carry on writing the copies there, and
// `dir` becomes the working directory.
void moveFilesTo(const std::string &dir);

} // namespace fakePort
