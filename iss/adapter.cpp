// Module commands of the USB-ISS adapter: version, serial number, modes and pins.
#include "iss.h"

#include "serial.h"

#include <stdio.h>

// the frame to send and the reply just read share the one buffer
static unsigned char *const io = serialState.ioBuf;

void issVersion(int port, int unused)
{
    (void)unused;
    io[0] = 0x5A;
    io[1] = 0x01;
    sendIoBuf(port, 2);
    readIoBuf(port, 3);
    printf("ISS:5A-01:ver: %02X %02X %02X \n", io[0], io[1], io[2]);
}

void issSerial(int port, int unused)
{
    (void)unused;
    io[0] = 0x5A;
    io[1] = 0x03;
    sendIoBuf(port, 2);
    readIoBuf(port, 7);
    printf("ISS:5A-03:ser: %02X %02X %02X-%02X %02X %02X %02X\n", io[0], io[1], io[2], io[3], io[4], io[5], io[6]);
    printf("ISS:5A-03:ser: %c%c%c-%c%c%c%c\n", io[0], io[1], io[2], io[3], io[4], io[5], io[6]);
}

// The adapter answers a mode frame with FF 00, or 00 and an error code.
void issSetMode(int port, int mode, int ioType)
{
    io[0] = 0x5A;
    io[1] = 0x02;
    io[2] = (unsigned char)mode;
    io[3] = (unsigned char)ioType;
    sendIoBuf(port, 4);
    readIoBuf(port, 2);
    printf("ISS:5A-02-%02X:mode: %02X %02X \n", (unsigned char)mode, io[0], io[1]);
}

void issSetIoMode(int port, int ioType)
{
    io[0] = 0x5A;
    io[1] = 0x02;
    io[2] = 0x00;
    io[3] = (unsigned char)ioType;
    sendIoBuf(port, 4);
    readIoBuf(port, 2);
    printf("ISS:5A-02-00:IO-mode: %02X %02X \n", io[0], io[1]);
}

// Mode byte 0x10 changes the pin types and keeps the current mode.
void issChangeIo(int port, int ioType)
{
    io[0] = 0x5A;
    io[1] = 0x02;
    io[2] = 0x10;
    io[3] = (unsigned char)ioType;
    sendIoBuf(port, 4);
    readIoBuf(port, 2);
}

// The reply byte only keeps the link in step: the next pin command must not
// go out before the adapter has taken this one.
void issSetPins(int port, int pins)
{
    io[0] = 0x63;
    io[1] = (unsigned char)pins;
    sendIoBuf(port, 2);
    readIoBuf(port, 1);
}

void issCmd10(int port, int value)
{
    io[0] = 0x5A;
    io[1] = 0x10;
    io[2] = (unsigned char)value;
    io[3] = 0x00;
    sendIoBuf(port, 4);
    readIoBuf(port, 1);
    printf("%02X \n", io[0]);
}

void issCmd12(int port)
{
    issCmd10(port, 0x0C);
    io[0] = 0x5A;
    io[1] = 0x12;
    io[2] = 0x00;
    io[3] = 0x00;
    sendIoBuf(port, 4);
    waitTicks(600);
    // eight bytes come back; only the first four mean anything to us
    readIoBuf(port, 8);
    printf("%02X %02X   %02X %02X \n", io[0], io[1], io[2], io[3]);
}
