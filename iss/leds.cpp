// The MAX7219-type LED driver on three adapter pins, bit-banged one pin command
// per edge. The program's messages spell the driver "MAX2719".
#include "iss.h"

#include "serial.h"
#include "winapi.h"

#include <stdio.h>

enum {
    kLoad = 0x08,
    kClk = 0x02,
    kDin = 0x04,
};

void sendMAX2719(int port, int word)
{
    unsigned bits = (unsigned)word & 0xFFFFu;
    printf("\n=========\nMAX2719: %04X  \n", bits);
    issSetPins(port, kLoad);
    issSetPins(port, 0x00);
    issSetPins(port, 0x00);
    // the driver shifts DIN in on each rising CLK edge, most significant bit first
    for (unsigned mask = 0x8000u; mask != 0; mask >>= 1) {
        int data = (bits & mask) ? kDin : 0x00;
        issSetPins(port, data);
        issSetPins(port, data + kClk);
        issSetPins(port, data);
    }
    // a rising LOAD latches the last 16 bits shifted in
    issSetPins(port, kLoad);
    issSetPins(port, kLoad);
    waitTicks(600);
}

void sendMAX2719xyz(int port, int x, int y, int z)
{
    static const unsigned char columnMask[8] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};
    (void)z;
    if (x < 0 || x > 7 || y < 0 || y > 7) {
        fprintf(stderr, "sendMAX2719xyz: LED (%d, %d) is outside the 8x8 matrix; nothing sent\n", x, y);
        return;
    }
    // row registers are 1 to 8; the data byte is that row's eight LEDs
    int word = (y + 1) * 256 + columnMask[x];
    printf("  %8x \n", word);
    sendMAX2719(port, word);
}

void pinWalk(int port)
{
    static const unsigned char pattern[] = {0x00, 0x01, 0x02, 0x04, 0x08, 0x0A, 0x02,
                                            0x06, 0x04, 0x0C, 0x08, 0x00, 0x0E};
    for (unsigned i = 0; i < sizeof pattern; ++i) {
        issSetPins(port, pattern[i]);
        platformSleepMs(1);
    }
}
