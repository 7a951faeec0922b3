// The oscilloscope: command channel, capture exports and set-up sequences, for a
// digital storage oscilloscope that speaks SCPI-style text commands on the serial
// link. Installed as <scopecap/scope.h>; it brings the serial link (<scopecap/serial.h>:
// openComPort, readBlock, the one port record serialState) and the settings lookup
// (<scopecap/learn.h>) with it. Open the port first; one port is open at a time and
// every routine here talks on it. Commands are passed whole, terminator included.
//
//   ScopeSendCmd     logs and writes one complete command (terminator included)
//   scopeQuery       sends a command, waits, reads one reply, parses it with "%g";
//                    owns serialState.scopeQueryRead
//   scopePoll        "Polling waveform...." and one dual-channel capture
//   scopeReadDual    settings + both sample memories to ./op_scope.csv and ./gbookFtemp.js
//   scopeReadAquire  one channel's sample memory to ./op_scope1.csv or ./op_scope2.csv,
//                    header values queried live
//   scopeSetupSweep  reset, auto-set, both single-channel exports, 40-step delay sweep
//   scopeSetup       reset, auto-set and identification queries
//   scopePollBoth    identification queries and both single-channel exports
//   waveBlockInterval, waveBlockSample  decode a sample-memory reply read with readBlock
//   probeName, horizontalModeName       the names the CSV header gives a setting's code
//
// Standard output is the log: ScopeSendCmd prints "\n\n" 46 '=' "\n\r" and
// "\n\r ScopeSendCmd: <command> \n\r"; scopeQuery adds "%5d,%E,%s\n" (count, value,
// reply); the exports add readBlock's count lines, "count_rd" summary lines, the block
// headers and a text trace of every sample (4000 lines); the sequences their own steps.
// Files are written with the C library's "w+" in the working directory.
//
// Failures: a query with no number in its reply (or none at all) gives 0.0. A capture
// that comes out incomplete (an empty settings reply, a short or malformed sample
// block, a file not created or not written) is counted in scopeProblems and named on
// standard error ("scopecap: channel 1 sample block short: 3000 of 8014 bytes");
// the export still writes what it has. Each file is written beside its name and moved
// over it only after a clean close, so a failed capture keeps the earlier file.
// scopeProblems only grows: set it to 0 before a capture to count that one alone.
//
// Timing: every scopeQuery waits 0.6 s before it reads; a dual capture moves some
// 16.7 kB, about nine seconds at 19200 baud; the sequences wait 0.6 s a step.
//
// Sizes: the settings reply is at most kSettingsReplyMax bytes; a sample-memory
// reply is kWaveBlockSize bytes, kWaveSamples samples (sample k at byte offset 2k).
#pragma once

#include "learn.h"
#include "serial.h"

#include <stdint.h>

enum {
    kSettingsReplyMax = 700,
    kWaveBlockSize = 8014,
    kWaveSamples = 4000,
};

// --- owned by command.cpp: the command channel ---
void ScopeSendCmd(int port, const char *command);
float scopeQuery(int port, const char *command);

// --- owned by capture.cpp: capture exports ---
// Problems that make a capture incomplete (an empty settings reply, a short or
// malformed sample block, an output file not written). Each is reported on
// standard error as it is found; the program's exit status reflects the count.
extern int scopeProblems;
int scopePoll(int port);
void scopeReadDual(int port, char channel);
void scopeReadAquire(int port, char channel);

// --- owned by sequences.cpp: set-up and sweep sequences ---
int scopeSetupSweep(int port);
int scopeSetup(int port);
int scopePollBoth(int port);

// --- owned by waveblock.cpp: decoding a sample-memory reply ---
float waveBlockInterval(const unsigned char *block);          // bytes 6..9, big-endian float
int waveBlockSample(const unsigned char *block, int offset);  // signed 16-bit at 14 + offset
const char *probeName(float code);                            // "" outside the table
const char *horizontalModeName(float code);                   // "" outside the table
