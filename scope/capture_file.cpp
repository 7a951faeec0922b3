// Writing a capture file safely: temporary file, clean close, then replace.
#include "capture_file.h"

#include "scope.h"
#include "winapi.h"

#include <errno.h>
#include <string.h>

int scopeProblems = 0;

FILE *captureFileOpen(CaptureFile *file, const char *name)
{
    snprintf(file->name, sizeof file->name, "%s", name);
    snprintf(file->tempName, sizeof file->tempName, "%s.tmp", name);
    file->fp = fopen(file->tempName, "w+");
    if (file->fp == NULL) {
        fprintf(stderr, "scopecap: cannot create %s: %s\n", file->name, strerror(errno));
        scopeProblems++;
    }
    return file->fp;
}

void captureFileClose(CaptureFile *file)
{
    if (file->fp == NULL)
        return;
    int err = 0;
    if (fflush(file->fp) != 0 || ferror(file->fp))
        err = errno != 0 ? errno : EIO;
    if (fclose(file->fp) != 0 && err == 0)
        err = errno != 0 ? errno : EIO;
    file->fp = NULL;
    if (err == 0) {
        errno = 0;
        if (platformReplaceFile(file->tempName, file->name))
            return;
        err = errno != 0 ? errno : EIO;
    }
    fprintf(stderr, "scopecap: cannot write %s: %s; the earlier file is kept\n", file->name, strerror(err));
    remove(file->tempName);
    scopeProblems++;
}
