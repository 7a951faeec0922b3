// The capture files' calls for POSIX systems.
#include "files.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

namespace {

int lastErrno = 0; // kept apart from errno, which later calls may change

int failed()
{
    lastErrno = errno != 0 ? errno : EIO;
    return 0;
}

} // namespace

FILE *platformFileCreate(const char *path)
{
    // a stale temporary file is truncated; a symbolic link in its place is refused
    int fd = open(path, O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        failed();
        return NULL;
    }
    FILE *file = fdopen(fd, "w+");
    if (file == NULL) {
        failed();
        close(fd);
    }
    return file;
}

int platformFileFlush(FILE *file) { return fflush(file) == 0 || failed(); }

int platformFileSync(FILE *file) { return fsync(fileno(file)) == 0 || failed(); }

int platformFileClose(FILE *file) { return fclose(file) == 0 || failed(); }

int platformFileReplace(const char *from, const char *to) { return rename(from, to) == 0 || failed(); }

int platformDirSync(const char *dir)
{
    int fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return failed();
    // EINVAL: a file system that cannot sync a directory, so there is nothing more to do
    int ok = fsync(fd) == 0 || errno == EINVAL || failed();
    close(fd);
    return ok;
}

int platformFileRemove(const char *path) { return unlink(path) == 0 || failed(); }

void platformFileErrorText(char *out, size_t size) { snprintf(out, size, "%s", strerror(lastErrno)); }

static void stopSignals(int how)
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigprocmask(how, &set, NULL);
}

void platformHoldStops(void) { stopSignals(SIG_BLOCK); }

void platformReleaseStops(void) { stopSignals(SIG_UNBLOCK); }
