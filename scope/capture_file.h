// Output files of a capture. Each is written to "<name>.tmp" beside its final name
// and moved over it only after a clean close, so a failed write never destroys an
// earlier capture. Every failure is reported on standard error with the file name
// and the system's reason, and counted in scopeProblems.
#pragma once

#include <stdio.h>

struct CaptureFile {
    FILE *fp; // NULL when the file could not be created
    char name[64];
    char tempName[72];
};

// Opens the temporary file with mode "w+"; returns its stream or NULL.
FILE *captureFileOpen(CaptureFile *file, const char *name);
// Closes the stream and moves the file into place; on any failure removes the
// temporary file and leaves the earlier file of that name untouched.
void captureFileClose(CaptureFile *file);
