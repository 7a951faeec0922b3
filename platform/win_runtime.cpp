// Millisecond clock, sleep and file replacement on Windows. The Windows runtime's
// clock() counts wall time since the process started, 1000 ticks per second.
#include "winapi.h"

#include <time.h>

int32_t platformClockMs(void) { return (int32_t)clock(); }

void platformSleepMs(uint32_t ms) { Sleep(ms); }

// rename() on Windows refuses an existing target; MoveFileEx replaces it.
int platformReplaceFile(const char *from, const char *to)
{
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
