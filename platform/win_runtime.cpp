// Millisecond clock, sleep and the system's error texts on Windows. The Windows runtime's
// clock() counts wall time since the process started, 1000 ticks per second.
#include "winapi.h"

#include <stdio.h>
#include <string.h>
#include <time.h>

int32_t platformClockMs(void) { return (int32_t)clock(); }

void platformSleepMs(uint32_t ms) { Sleep(ms); }

void platformErrorText(char *out, size_t size)
{
    if (size == 0)
        return;
    DWORD code = GetLastError();
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code, 0, out,
                             (DWORD)size, NULL);
    if (n == 0) {
        snprintf(out, size, "error %lu", (unsigned long)code);
        return;
    }
    // the messages end in ".\r\n"
    size_t len = strlen(out);
    while (len > 0 && (out[len - 1] == '\r' || out[len - 1] == '\n' || out[len - 1] == ' ' || out[len - 1] == '.'))
        out[--len] = '\0';
}
