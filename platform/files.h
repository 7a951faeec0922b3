// The file calls of the capture files: a temporary file created, written through its
// stdio stream, flushed, synced to the device, closed, moved over its final name, the
// directory synced after; removed when anything failed. posix_files.cpp and
// win_files.cpp implement them; a test may link its own (the call sweep does).
//
// Each call returns nonzero on success. On failure platformFileErrorText gives the
// system's reason for the last failed call of this header.
#pragma once

#include <stddef.h>
#include <stdio.h>

// Creates (or truncates) the file for reading and writing, mode "w+", and returns its
// stream; NULL when it cannot be created. The stream's own writes are part of it.
FILE *platformFileCreate(const char *path);
int platformFileFlush(FILE *file);
// The file's data on the device (fsync; FlushFileBuffers on Windows).
int platformFileSync(FILE *file);
// Closes the stream, also when it fails.
int platformFileClose(FILE *file);
// Moves a finished file over its final name, replacing an earlier one in one step.
int platformFileReplace(const char *from, const char *to);
// Syncs the directory `dir` so a rename in it is on the device (POSIX); on Windows
// the replace itself is written through, so there is nothing to do.
int platformDirSync(const char *dir);
int platformFileRemove(const char *path);
void platformFileErrorText(char *out, size_t size);

// While finished files are moved into place a stop request (SIGINT or SIGTERM, Ctrl-C
// or Ctrl-Break) waits, so the files of one capture move together. Safe to call from
// a stop handler; a handler that holds never releases.
void platformHoldStops(void);
void platformReleaseStops(void);
