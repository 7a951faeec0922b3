// Writing a capture file safely: temporary file, clean close, then replace.
#include "capture_file.h"

#include "winapi.h"

#include <errno.h>
#include <string.h>

bool captureFileOpen(CaptureFile *file, const char *name)
{
    snprintf(file->name, sizeof file->name, "%s", name);
    snprintf(file->tempName, sizeof file->tempName, "%s.tmp", name);
    file->fp = fopen(file->tempName, "w+");
    if (file->fp == NULL) {
        fprintf(stderr, "scopecap: cannot create %s: %s\n", file->name, strerror(errno));
        return false;
    }
    return true;
}

bool captureFileClose(CaptureFile *file)
{
    if (file->fp == NULL)
        return false;
    int err = 0;
    if (fflush(file->fp) != 0 || ferror(file->fp))
        err = errno != 0 ? errno : EIO;
    if (fclose(file->fp) != 0 && err == 0)
        err = errno != 0 ? errno : EIO;
    file->fp = NULL;
    if (err == 0) {
        errno = 0;
        if (platformReplaceFile(file->tempName, file->name))
            return true;
        err = errno != 0 ? errno : EIO;
    }
    fprintf(stderr, "scopecap: cannot write %s: %s; the earlier file is kept\n", file->name, strerror(err));
    remove(file->tempName);
    return false;
}
