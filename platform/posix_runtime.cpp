// Monotonic wall-clock milliseconds and sleep for POSIX systems.
#include "winapi.h"

#include <errno.h>
#include <time.h>

namespace {

int64_t monotonicMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

// Counted from the first call, so the 32-bit tick count starts near zero as the
// Windows runtime's clock() does and cannot wrap within any realistic run.
const int64_t processStartMs = monotonicMs();

} // namespace

int32_t platformClockMs(void) { return (int32_t)(monotonicMs() - processStartMs); }

void platformSleepMs(uint32_t ms)
{
    timespec left{(time_t)(ms / 1000), (long)(ms % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}
