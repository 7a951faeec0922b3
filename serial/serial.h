// The serial link: the one process-wide port record and its transfer routines.
//
//   openComPort   opens and configures COMn; sets hComm (also on failure)
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
// A port that goes away (a USB adapter pulled out: a transfer fails and so does
// ClearCommError) is named once on standard error, "<program>: COM9 was lost (the
// device was removed): <the system's reason>"; from then on the transfers skip the
// system calls and count 0, so nothing waits out a time-out on a dead port. A transfer
// that fails on a port still there (a line error, which ClearCommError clears) is
// named too, "<program>: COM9: ReadFile failed: <the system's reason>", as is a step
// of the open that fails after the port opened.
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
// The program's name for the link's lines on standard error, set once by main.
void serialNameProgram(const char *name);
const char *serialProgramName(void);
// Makes a failed transfer (the port lost, or a line error that lost what it carried)
// end the program with this status, right after its line.
void serialStopWhenLost(int exitStatus);
// Nonzero once the port opened last was lost.
int serialPortLost(void);
// Called after a transfer's `call` (ReadFile, WriteFile, ClearCommError) failed: the
// failure is named; a line error is cleared, a port that is gone is recorded.
void serialTransferFailed(const char *call);

// --- owned by transfer.cpp: transfers on hComm ---
void sendIoBuf(int port, int n);
void writeBytes(int port, const void *bytes, int n);
void readIoBuf(int port, int n);
unsigned readBlock(int port, void *buffer, unsigned want);
