// Output files of a capture. Each is written to "<name>.tmp" beside its final name
// and moved over it only after a clean close, so a failed write never destroys an
// earlier capture. Every failure is reported on standard error with the file name
// and the system's reason; the caller learns of it from the result.
#pragma once

#include <stdbool.h>
#include <stdio.h>

struct CaptureFile {
    FILE *fp; // NULL when the file could not be created
    char name[64];
    char tempName[72];
};

// Opens the temporary file with mode "w+" into file->fp; false when it cannot be created.
bool captureFileOpen(CaptureFile *file, const char *name);
// Closes the stream and moves the file into place; false (the temporary file removed,
// the earlier file of that name untouched) when it was not opened or not written.
bool captureFileClose(CaptureFile *file);
