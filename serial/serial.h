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

// --- owned by transfer.cpp: transfers on hComm ---
void sendIoBuf(int port, int n);
void writeBytes(int port, const void *bytes, int n);
void readIoBuf(int port, int n);
unsigned readBlock(int port, void *buffer, unsigned want);
