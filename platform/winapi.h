// The Windows serial subset the tool calls, plus a millisecond clock and sleep.
// On Windows this is <windows.h>; elsewhere posix_serial.cpp provides the same
// calls over termios and poll, declared in posix_winapi.h.
//
// Installed as <scopecap/winapi.h>, for <scopecap/serial.h>: a program of the
// libraries sees HANDLE, DWORD, BOOL and the serial calls from <windows.h> on
// Windows and from the stand-in elsewhere, and links the platform layer with the
// libraries (pkg-config and the CMake package do). A program may pause with
// platformSleepMs and time with platformClockMs; the other two serve the libraries'
// own files and messages. With MinGW-w64 every file is compiled with
// __USE_MINGW_ANSI_STDIO=0 and <stdio.h> read first (both flags come with the
// libraries), so text goes through the Windows C runtime's printf.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include "posix_winapi.h"
#endif

#include <stddef.h>
#include <stdint.h>

// Wall-clock milliseconds from a monotonic source. The Windows runtime's clock()
// counts wall time at 1000 ticks per second; POSIX clock() counts processor time,
// so neither platform uses clock() directly.
int32_t platformClockMs(void);

// Sleep for the given number of milliseconds (Sleep on Windows, nanosleep elsewhere).
void platformSleepMs(uint32_t ms);

// The program's name for its lines on standard error ("scopecap"; "serial" until set).
void platformNameProgram(const char *name);
const char *platformProgramName(void);

// The system's own words for the last failed serial call, e.g. "Input/output error"
// (strerror of the errno behind it) or, on Windows, the message text of GetLastError()
// without its closing period. Always a terminated string within size.
void platformErrorText(char *out, size_t size);
