// The serial link: the one process-wide port record and its transfer routines.
// Installed as <scopecap/serial.h>; <scopecap/iss.h> and <scopecap/scope.h> include
// it, so a program of the adapter or the oscilloscope library needs nothing else.
// The libraries are C++ (no extern "C"), single-threaded, with blocking calls.
//
// One port is open at a time, held in the one global record `serialState`: its
// handle, `ioBuf` (the adapter frame being built or the reply just read) and one
// byte counter per transfer routine. Every routine works on that handle.
//
//   openComPort   opens and configures COMn (\\.\COMn from COM10 on); sets hComm
//                 (also on failure)
//   closeComPort  closes hComm; hComm keeps its old value
//   waitTicks     busy-waits on the millisecond clock
//   sendIoBuf     writes the first n bytes of ioBuf; owns sendIoBufWritten; logs the count
//   writeBytes    writes a caller's bytes; owns writeBytesWritten; no log
//   readIoBuf     one read of up to n bytes into ioBuf; owns readIoBufRead; no log
//   readBlock     reads until want bytes came or two reads came back empty;
//                 owns readBlockRead (the count of its last single read)
//
// Every routine takes the port number first; only openComPort uses it.
//
// What goes to standard output: openComPort " serial port COM9 connect OK \n\r", or
// one line naming the step that failed and GetLastError(), e.g. "serial port COM9
// connect fail COM9 error 2\n\r"; sendIoBuf " iBytesWritten: N \n"; readBlock one
// "count_rd: N countGot: G want: W loop: L\n" per read. Nothing else is logged here.
//
// Failures show as results, never as exceptions: openComPort returns NULL (its line
// gives the system's error: 2 no such port, 5 in use or no permission), a write counts
// fewer bytes than asked, a read that timed out counts 0 (a read waits at most 100 ms
// after a byte, 100 ms + 1 ms a byte in all), readBlock returns fewer than `want`.
//
// Order: openComPort (9, 19200, '8', 'N' for the bench's instruments), then any
// transfers, then closeComPort; the transfers need an open port, and a port may be
// opened again after a close. Outside Windows the environment variable COMn names
// the device behind COMn (COM9=/dev/ttyACM0), else it is /dev/ttyS<n-1>.
//
// A port that goes away (a USB adapter pulled out: a transfer fails and so does
// ClearCommError) is named once on standard error, "<program>: COM9 was lost (the
// device was removed): <the system's reason>"; from then on the transfers skip the
// system calls and count 0, so nothing waits out a time-out on a dead port. A transfer
// that fails on a port still there (a line error, which ClearCommError clears) is
// named too, "<program>: COM9: ReadFile failed: <the system's reason>", as is a step
// of the open that fails after the port opened. A program names itself for these
// lines with serialNameProgram, and either asks serialPortLost when it wants to know
// or lets serialStopWhenLost end it there.
#pragma once

#include "winapi.h"

struct SerialState {
    HANDLE hComm;
    unsigned char ioBuf[100];
    DWORD sendIoBufWritten;
    DWORD writeBytesWritten;
    DWORD readIoBufRead;
    DWORD scopeQueryRead; // set by scopeQuery in the oscilloscope code
    DWORD readBlockRead;
};

extern SerialState serialState;

// --- owned by serial.cpp: the port ---
HANDLE openComPort(int port, int baud, char dataBits, char parity);
void closeComPort(int port);
void waitTicks(int ticks);
// The program's name for the link's and the platform layer's lines on standard
// error, set once by main before the port is opened.
void serialNameProgram(const char *name);
// Makes a failed transfer (the port lost, or a line error that lost what it carried)
// end the program with this status, right after its line.
void serialStopWhenLost(int exitStatus);
// Nonzero once the port opened last was lost.
int serialPortLost(void);

// --- owned by transfer.cpp: transfers on hComm ---
void sendIoBuf(int port, int n);
void writeBytes(int port, const void *bytes, int n);
void readIoBuf(int port, int n);
unsigned readBlock(int port, void *buffer, unsigned want);
