// run_child PROGRAM [ARGS...]: starts PROGRAM as the child of this small process,
// waits for it and reports on descriptor 3, one line each:
//   "pid N"                                   once it has started
//   "end STATUS PEAK_KIB USER_US SYSTEM_US"   when it has ended (STATUS -1: a signal)
//   "error ERRNO"                             when it could not be started
// A process started straight from a large one begins its peak-memory figure at that
// one's peak (the kernel carries it over the exec); started from here it begins at
// this program's few hundred KiB, so the figure is the program's own. Linked
// statically for that reason.
#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

int main(int argc, char **argv)
{
    if (argc < 2 || fcntl(3, F_SETFD, FD_CLOEXEC) != 0) {
        fprintf(stderr, "usage: run_child PROGRAM [ARGS...] (with descriptor 3 open for the report)\n");
        return 64;
    }
    pid_t pid;
    int rc = posix_spawnp(&pid, argv[1], NULL, NULL, argv + 1, environ);
    if (rc != 0) {
        dprintf(3, "error %d\n", rc);
        return 127;
    }
    dprintf(3, "pid %d\n", (int)pid);
    int status = 0;
    struct rusage usage;
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR)
            return 70;
    }
    long userUs = usage.ru_utime.tv_sec * 1000000L + usage.ru_utime.tv_usec;
    long systemUs = usage.ru_stime.tv_sec * 1000000L + usage.ru_stime.tv_usec;
    dprintf(3, "end %d %ld %ld %ld\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss, userUs,
            systemUs);
    return 0;
}
