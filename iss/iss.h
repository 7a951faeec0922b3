// The USB-ISS adapter and the devices behind it: module commands, I2C devices and
// the LED driver on the I/O pins. Installed as <scopecap/iss.h>; it brings the serial
// link (<scopecap/serial.h>: openComPort, closeComPort, the one port record
// serialState) with it. Every routine builds its frame at the start of
// serialState.ioBuf, sends it with sendIoBuf and reads a fixed-length reply back
// into ioBuf with readIoBuf; the reply stays there for the caller, and
// serialState.readIoBufRead says how many of its bytes came.
//
// Order: openComPort(9, 19200, '8', 'N') first (one port is open at a time, and
// every routine talks on it), then the mode the devices need: issSetIoMode for the
// pins and the LED driver (type 0x00: every pin an output), issSetMode(port, 0x60, 0)
// for the I2C devices; a mode frame is acknowledged with FF 00 in ioBuf. Each reply
// must be used before the next routine, which overwrites ioBuf.
//
// Standard output is the log: every frame sent prints sendIoBuf's " iBytesWritten:
// N \n", and the routines below print the lines they name ("ISS:5A-01:ver: 07 07 00 ",
// "srf08: ...", "MAX2719: 0C01  "), reply bytes as two upper-case hex digits.
//
// adapter.cpp: module commands
//   issVersion          5A 01, 3-byte reply: module id, firmware, current mode; logs them
//   issSerial           5A 03, 7-byte reply: the serial number, logged as hex and as text
//   issSetMode          5A 02 mode type: any adapter mode (00 I/O, 40/60 I2C 100 kHz); 2-byte
//                       reply (FF 00 accepted, 00 nn refused), logged "ISS:5A-02-<mode>:mode: FF 00 "
//   issSetIoMode        5A 02 00 type: I/O mode with the given pin types; logs the reply
//   issChangeIo         5A 02 10 type: new pin types, mode unchanged; no log
//   issSetPins          63 pins: drives the output pins; 1-byte reply, no log
//   issCmd10            5A 10 v 00: module command 0x10; logs its 1-byte reply
//   issCmd12            issCmd10(0x0C), then 5A 12 00 00, a 600-tick wait, 8-byte reply; logs 4
//
// i2c.cpp: devices on the I2C bus (the adapter must already be in an I2C mode)
//   srf08Range          one ranging cycle of the SRF08 at E0; logs both echoes and a bar
//   dispWrite           one command byte and a text to the display at C6
//   setModeIICpollDisp  reads 4 bytes of the display at C7; returns the keypad byte
//   pixelBlockWrite     the fixed 33-byte record to the device at 0A; returns 0
//   pixelWrite          a 7-byte record with five caller bytes to the device at 0A; returns 0
//
// leds.cpp: the MAX7219-type LED driver on the pins (LOAD 0x08, CLK 0x02, DIN 0x04)
//   sendMAX2719         one 16-bit driver word, MSB first, 53 pin commands and a 600-tick wait
//   sendMAX2719xyz      lights LED (x, y) of the 8x8 matrix, darkening the rest of row y;
//                       x or y outside 0..7: one line on standard error, nothing sent
//   pinWalk             the pin self-test pattern, 13 pin bytes with 1 ms between them
//
// Every value argument goes out as its low 8 bits (a driver word as its low 16).
// No routine checks its reply: a short read logs the stale bytes of ioBuf, so a
// caller that must know looks at serialState.readIoBufRead and ioBuf itself.
#pragma once

#include "serial.h"

// --- owned by adapter.cpp ---
void issVersion(int port, int unused);
void issSerial(int port, int unused);
void issSetMode(int port, int mode, int ioType);
void issSetIoMode(int port, int ioType);
void issChangeIo(int port, int ioType);
void issSetPins(int port, int pins);
void issCmd10(int port, int value);
void issCmd12(int port);

// --- owned by i2c.cpp ---
void srf08Range(int port);
void dispWrite(int port, int cmd, const char *text);
int setModeIICpollDisp(int port);
int pixelBlockWrite(int port);
int pixelWrite(int port, int a, int b, int c, int d, int e);

// --- owned by leds.cpp ---
void sendMAX2719(int port, int word);
void sendMAX2719xyz(int port, int x, int y, int z);
void pinWalk(int port);
