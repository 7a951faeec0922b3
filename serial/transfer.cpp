// Raw writes and reads on the open port, and the retrying block read.
#include "serial.h"

#include <stdio.h>

void sendIoBuf(int port, int n)
{
    (void)port;
    WriteFile(serialState.hComm, serialState.ioBuf, (DWORD)n, &serialState.sendIoBufWritten, NULL);
    printf(" iBytesWritten: %d \n", (int)serialState.sendIoBufWritten);
}

void writeBytes(int port, const void *bytes, int n)
{
    (void)port;
    WriteFile(serialState.hComm, bytes, (DWORD)n, &serialState.writeBytesWritten, NULL);
}

void readIoBuf(int port, int n)
{
    (void)port;
    ReadFile(serialState.hComm, serialState.ioBuf, (DWORD)n, &serialState.readIoBufRead, NULL);
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
        ReadFile(serialState.hComm, out + got, want - got, &serialState.readBlockRead, NULL);
        int n = (int)serialState.readBlockRead;
        if (n > 0) {
            got += (unsigned)n;
            more = want > got;
        } else {
            loop -= 1;
            more = loop != 0;
            // one line error must not fail the rest of the block while fAbortOnError is set
            ClearCommError(serialState.hComm, NULL, NULL);
        }
        printf("count_rd: %d countGot: %d want: %d loop: %d\n", n, (int)got, (int)want, loop);
    }
    return got;
}
