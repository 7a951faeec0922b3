// An in-memory stand-in for the serial port, linked instead of the platform
// library: the code under test writes frames into it and reads scripted replies.
// Its clock jumps ahead on every reading, so waits cost no time.
#pragma once

#include "winapi.h"

#include <string>
#include <vector>

namespace fakePort {

void reset();                                  // no port open, nothing queued or written
void setOpenFails(unsigned error);             // the next CreateFileA fails with this error
// The next call of the named function ("SetupComm", "GetCommState", "SetCommState",
// "SetCommTimeouts", "ReadFile", "WriteFile") fails with this error.
void setCallFails(const std::string &call, unsigned error);
// The device goes away: from now on ReadFile, WriteFile and ClearCommError fail with
// this error, whose text is "fake error <n>".
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

} // namespace fakePort
