// Raw writes and reads on the open port, and the retrying block read.
#include "serial.h"
#include "serial_internal.h"

#include <stdio.h>

// After the port was lost each transfer counts 0 without a system call.
void sendIoBuf(int port, int n)
{
    (void)port;
    serialState.sendIoBufWritten = 0;
    BOOL ok = serialPortLost() ||
              WriteFile(serialState.hComm, serialState.ioBuf, (DWORD)n, &serialState.sendIoBufWritten, NULL);
    printf(" iBytesWritten: %d \n", (int)serialState.sendIoBufWritten);
    if (!ok)
        serialTransferFailed("WriteFile");
}

void writeBytes(int port, const void *bytes, int n)
{
    (void)port;
    serialState.writeBytesWritten = 0;
    if (!serialPortLost() && !WriteFile(serialState.hComm, bytes, (DWORD)n, &serialState.writeBytesWritten, NULL))
        serialTransferFailed("WriteFile");
}

void readIoBuf(int port, int n)
{
    (void)port;
    serialState.readIoBufRead = 0;
    if (!serialPortLost() && !ReadFile(serialState.hComm, serialState.ioBuf, (DWORD)n, &serialState.readIoBufRead, NULL))
        serialTransferFailed("ReadFile");
}

// The instruments send a long reply in one piece, so two empty reads (in total,
// not necessarily in a row) end the block; each lasts as long as the read
// time-outs allow.
unsigned readBlock(int port, void *buffer, unsigned want)
{
    (void)port;
    unsigned char *out = (unsigned char *)buffer;
    unsigned got = 0;
    int loop = 2;
    bool more = true;
    while (more) {
        serialState.readBlockRead = 0;
        BOOL ok = serialPortLost() || ReadFile(serialState.hComm, out + got, want - got, &serialState.readBlockRead, NULL);
        int n = (int)serialState.readBlockRead;
        if (n > 0) {
            got += (unsigned)n;
            more = want > got;
        } else {
            loop -= 1;
            more = loop != 0;
        }
        printf("count_rd: %d countGot: %d want: %d loop: %d\n", n, (int)got, (int)want, loop);
        // one line error must not fail the rest of the block while fAbortOnError is set
        if (!ok)
            serialTransferFailed("ReadFile");
        else if (n == 0 && !serialPortLost() && !ClearCommError(serialState.hComm, NULL, NULL))
            serialTransferFailed("ClearCommError");
    }
    return got;
}
