// Devices on the I2C bus behind the adapter: the SRF08 ranger, the display with
// keypad, and the device at bus address 0x0A.
//
// Adapter I2C frames: 55 addr reg count [data] for devices with registers,
// 54 addr count for those without; a write is answered by one status byte.
#include "iss.h"

#include "serial.h"

#include <stdio.h>
#include <string.h>

// the frame to send and the reply just read share the one buffer
static unsigned char *const io = serialState.ioBuf;

// Two reply bytes as one unsigned 16-bit value.
static unsigned combine(unsigned char low, unsigned char high) { return ((unsigned)high * 256u + low) & 0xFFFFu; }

void srf08Range(int port)
{
    // 0x51 to the command register: range in centimetres
    io[0] = 0x55;
    io[1] = 0xE0;
    io[2] = 0x00;
    io[3] = 0x01;
    io[4] = 0x51;
    sendIoBuf(port, 5);
    readIoBuf(port, 1);
    // the ranger does not answer on the bus until its echoes are in (65 ms at most)
    waitTicks(600);
    // registers 0..5: revision, light, first echo, second echo (high byte first)
    io[0] = 0x55;
    io[1] = 0xE1;
    io[2] = 0x00;
    io[3] = 0x06;
    sendIoBuf(port, 4);
    readIoBuf(port, 6);
    unsigned first = combine(io[3], io[2]);
    unsigned second = combine(io[5], io[4]);
    // the bar is first/4 characters wide: 16383 at most, within printf's int width
    printf("srf08: %06d cm,  %06d cm %0*d+\n", (int)second, (int)first, (int)(first / 4), 1);
}

// The count covers the command byte and the text; the text follows in a write of
// its own, so it never has to fit in ioBuf.
void dispWrite(int port, int cmd, const char *text)
{
    size_t length = strlen(text);
    io[0] = 0x55;
    io[1] = 0xC6;
    io[2] = 0x00;
    io[3] = (unsigned char)(length + 1);
    io[4] = (unsigned char)cmd;
    sendIoBuf(port, 5);
    writeBytes(port, text, (int)length);
    readIoBuf(port, 1);
}

int setModeIICpollDisp(int port)
{
    io[0] = 0x54;
    io[1] = 0xC7;
    io[2] = 0x04;
    sendIoBuf(port, 3);
    waitTicks(600);
    readIoBuf(port, 4);
    printf("setModeIICpollDisp: %02X %02X   %02X %02X \n", io[0], io[1], io[2], io[3]);
    // one bit per key: 0x01 is key 1
    return io[1];
}

int pixelBlockWrite(int port)
{
    static const unsigned char record[] = {
        0x05,
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
        0x7F, 0xFF, 0x7F, 0x7F, 0xFF, 0x7F, 0xFF,
        0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F,
        0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F,
        0xFF,
    };
    static_assert(sizeof record == 33, "the device takes 33-byte blocks");
    io[0] = 0x55;
    io[1] = 0x0A;
    io[2] = 0x10;
    io[3] = (unsigned char)sizeof record;
    memcpy(io + 4, record, sizeof record);
    // a blank after the frame, kept for the log line and not sent
    io[4 + sizeof record] = 0x20;
    sendIoBuf(port, 4 + (int)sizeof record);
    readIoBuf(port, 1);
    printf(" pp: %d %d,  %d \n", 4 + (int)sizeof record, io[3], io[37]);
    waitTicks(600);
    return 0;
}

int pixelWrite(int port, int a, int b, int c, int d, int e)
{
    io[0] = 0x55;
    io[1] = 0x0A;
    io[2] = 0x10;
    io[3] = 7;
    io[4] = 0x00;
    io[5] = (unsigned char)a;
    io[6] = (unsigned char)b;
    io[7] = (unsigned char)c;
    io[8] = (unsigned char)d;
    io[9] = (unsigned char)e;
    io[10] = 0x20;
    sendIoBuf(port, 11);
    readIoBuf(port, 1);
    // byte 37 is whatever pixelBlockWrite (or nobody) left there
    printf(" pp: %d %d,  %d ack:%d\n", 11, io[3], io[37], io[0]);
    return 0;
}
