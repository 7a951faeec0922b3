// Output files of a capture. Each is written to "<name>.tmp" beside its final name;
// at the end the files of one capture are flushed, synced to the device and closed,
// moved over their names together and the directory synced, so a capture reported as
// written survives a power cut and a failed write never destroys an earlier capture.
// Every failure is reported on standard error with the file name and the system's
// reason; the caller learns of it from the result.
#pragma once

#include <stdbool.h>
#include <stdio.h>

struct CaptureFile {
    FILE *fp; // NULL when the file could not be created, or once it is closed
    char name[64];
    char tempName[72];
    int slot; // in the list of temporary files a stop removes
};

// Opens the temporary file with mode "w+" into file->fp; false when it cannot be created.
bool captureFileOpen(CaptureFile *file, const char *name);
// Finishes the open files among `files` and moves those written whole into place;
// a file not written is removed, the earlier file of its name untouched. Returns the
// number of problems reported (a file not kept, or a directory not synced).
int captureFilesKeep(CaptureFile *const files[], int count);
// For a stop handler (SIGINT, SIGTERM, Ctrl-C): removes the temporary files still in
// progress and keeps the files of a capture being moved into place from moving
// apart. Safe in a signal handler.
void captureFilesAbandon(void);
