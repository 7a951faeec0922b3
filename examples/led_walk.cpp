// led_walk: one lit LED walks across the 8x8 matrix of a MAX7219-type LED driver on
// the I/O pins of a USB-ISS adapter on COM9, row by row, column 0 to 7.
//
//   led_walk [ROWS]     walk the first ROWS rows (1 to 8, default 8); 0.7 s a LED
//
//   g++ led_walk.cpp $(pkg-config --cflags --libs scopecap-iss) -o led_walk
//
// Outside Windows the environment variable COM9 names the device (COM9=/dev/ttyACM0).
// Exit status: 0 done, 1 the port did not open, 2 the adapter did not answer, 64 usage.
#include <scopecap/iss.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    const int port = 9;
    int rows = argc > 1 ? atoi(argv[1]) : 8;
    if (argc > 2 || rows < 1 || rows > 8) {
        fprintf(stderr, "usage: led_walk [ROWS]   (ROWS from 1 to 8)\n");
        return 64;
    }

    serialNameProgram("led_walk"); // names this program if the adapter is pulled out,
    serialStopWhenLost(2);         // and ends it then with status 2
    if (openComPort(port, 19200, '8', 'N') == NULL)
        return 1; // openComPort printed why

    issSetIoMode(port, 0x00); // I/O mode, every pin an output: the driver's LOAD, CLK, DIN
    if (serialState.readIoBufRead < 2 || serialState.ioBuf[0] != 0xFF) {
        fprintf(stderr, "led_walk: the adapter did not acknowledge I/O mode\n");
        return 2;
    }
    // scan all 8 rows, raw segment bits, middle brightness, display test off, running
    const int setup[] = {0x0B07, 0x0900, 0x0A07, 0x0F00, 0x0C01};
    for (int word : setup)
        sendMAX2719(port, word);
    for (int row = 1; row <= 8; ++row)
        sendMAX2719(port, row << 8); // row registers 1 to 8: every LED dark

    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < 8; ++x)
            sendMAX2719xyz(port, x, y, 0); // LED (x, y) on, the rest of row y off

    closeComPort(port);
    return 0;
}
