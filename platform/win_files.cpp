// The capture files' calls on Windows. The temporary file is opened with
// FILE_SHARE_DELETE, so a Ctrl-C handler (which runs on a thread of its own while the
// program writes) can remove it; it goes when its handle closes.
#include "files.h"
#include "winapi.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <string.h>

namespace {

DWORD lastWinError = 0; // the reason of a failed Windows call, or 0
int lastErrno = 0;      // of a failed C runtime call

int winFailed()
{
    lastWinError = GetLastError();
    return 0;
}

int crtFailed()
{
    lastWinError = 0;
    lastErrno = errno != 0 ? errno : EIO;
    return 0;
}

SRWLOCK stopLock = SRWLOCK_INIT;

} // namespace

FILE *platformFileCreate(const char *path)
{
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        winFailed();
        return NULL;
    }
    // a text-mode stream, as fopen(path, "w+") gives: "\n" is written as "\r\n"
    int fd = _open_osfhandle((intptr_t)h, _O_RDWR | _O_TEXT);
    if (fd < 0) {
        crtFailed();
        CloseHandle(h);
        return NULL;
    }
    FILE *file = _fdopen(fd, "w+");
    if (file == NULL) {
        crtFailed();
        _close(fd);
    }
    return file;
}

int platformFileFlush(FILE *file) { return fflush(file) == 0 || crtFailed(); }

int platformFileSync(FILE *file)
{
    HANDLE h = (HANDLE)_get_osfhandle(_fileno(file));
    return FlushFileBuffers(h) || winFailed();
}

int platformFileClose(FILE *file) { return fclose(file) == 0 || crtFailed(); }

// rename() refuses an existing target; MoveFileEx replaces it, and with write-through
// returns only when the move is on the disk
int platformFileReplace(const char *from, const char *to)
{
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) || winFailed();
}

int platformDirSync(const char *dir)
{
    (void)dir;
    return 1;
}

int platformFileRemove(const char *path) { return DeleteFileA(path) || winFailed(); }

void platformFileErrorText(char *out, size_t size)
{
    if (lastWinError == 0) {
        snprintf(out, size, "%s", strerror(lastErrno));
        return;
    }
    SetLastError(lastWinError);
    platformErrorText(out, size);
}

void platformHoldStops(void) { AcquireSRWLockExclusive(&stopLock); }

void platformReleaseStops(void) { ReleaseSRWLockExclusive(&stopLock); }
