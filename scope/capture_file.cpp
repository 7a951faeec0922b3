// Writing a capture's files safely: temporary files, synced, then replaced together.
#include "capture_file.h"

#include "files.h"

#include <atomic>
#include <errno.h>
#include <signal.h>
#include <string.h>

namespace {

// The temporary files a stop must remove: a name is listed before its file is
// created and taken off once the file is in place or removed.
enum { kMaxPending = 4 };
char pendingNames[kMaxPending][72];
volatile sig_atomic_t pendingUsed[kMaxPending];

int listPending(const char *tempName)
{
    for (int slot = 0; slot < kMaxPending; ++slot)
        if (!pendingUsed[slot]) {
            snprintf(pendingNames[slot], sizeof pendingNames[slot], "%s", tempName);
            std::atomic_signal_fence(std::memory_order_seq_cst);
            pendingUsed[slot] = 1;
            return slot;
        }
    return -1;
}

void unlistPending(CaptureFile *file)
{
    if (file->slot >= 0)
        pendingUsed[file->slot] = 0;
    file->slot = -1;
}

void discard(CaptureFile *file, const char *reason)
{
    fprintf(stderr, "scopecap: cannot write %s: %s; the earlier file is kept\n", file->name, reason);
    if (!platformFileRemove(file->tempName)) {
        char why[200];
        platformFileErrorText(why, sizeof why);
        fprintf(stderr, "scopecap: cannot remove %s: %s\n", file->tempName, why);
    }
    unlistPending(file);
}

// Flushed, checked for an earlier write error, synced and closed; false (the file
// removed) when any of it failed.
bool finish(CaptureFile *file)
{
    char reason[200] = "";
    FILE *fp = file->fp;
    file->fp = NULL;
    if (!platformFileFlush(fp))
        platformFileErrorText(reason, sizeof reason);
    else if (ferror(fp)) // a write of the stream failed earlier; errno still says why
        snprintf(reason, sizeof reason, "%s", strerror(errno != 0 ? errno : EIO));
    else if (!platformFileSync(fp))
        platformFileErrorText(reason, sizeof reason);
    if (!platformFileClose(fp) && reason[0] == '\0')
        platformFileErrorText(reason, sizeof reason);
    if (reason[0] == '\0')
        return true;
    discard(file, reason);
    return false;
}

// The directory a file name lies in: "." for "./op_scope.csv" and for "op_scope.csv".
void directoryOf(const char *name, char *dir, size_t size)
{
    const char *slash = strrchr(name, '/');
    if (slash == NULL)
        snprintf(dir, size, ".");
    else
        snprintf(dir, size, "%.*s", slash == name ? 1 : (int)(slash - name), name);
}

} // namespace

bool captureFileOpen(CaptureFile *file, const char *name)
{
    snprintf(file->name, sizeof file->name, "%s", name);
    snprintf(file->tempName, sizeof file->tempName, "%s.tmp", name);
    file->slot = listPending(file->tempName);
    errno = 0;
    file->fp = platformFileCreate(file->tempName);
    if (file->fp == NULL) {
        char reason[200];
        platformFileErrorText(reason, sizeof reason);
        fprintf(stderr, "scopecap: cannot create %s: %s\n", file->name, reason);
        unlistPending(file);
        return false;
    }
    return true;
}

int captureFilesKeep(CaptureFile *const files[], int count)
{
    int problems = 0;
    bool finished[kMaxPending] = {false};
    for (int i = 0; i < count && i < kMaxPending; ++i)
        if (files[i]->fp != NULL) {
            finished[i] = finish(files[i]);
            problems += finished[i] ? 0 : 1;
        }

    // a stop that comes now finds either none or all of the files moved
    bool kept[kMaxPending] = {false};
    platformHoldStops();
    for (int i = 0; i < count && i < kMaxPending; ++i) {
        if (!finished[i])
            continue;
        kept[i] = platformFileReplace(files[i]->tempName, files[i]->name);
        if (kept[i]) {
            unlistPending(files[i]);
        } else {
            char reason[200];
            platformFileErrorText(reason, sizeof reason);
            discard(files[i], reason);
            problems++;
        }
    }
    platformReleaseStops();

    for (int i = 0; i < count && i < kMaxPending; ++i) {
        char dir[64];
        directoryOf(files[i]->name, dir, sizeof dir);
        if (kept[i] && !platformDirSync(dir)) {
            char reason[200];
            platformFileErrorText(reason, sizeof reason);
            fprintf(stderr, "scopecap: %s is written, but its directory was not synced: %s\n", files[i]->name,
                    reason);
            problems++;
        }
    }
    return problems;
}

void captureFilesAbandon(void)
{
    platformHoldStops();
    for (int slot = 0; slot < kMaxPending; ++slot)
        if (pendingUsed[slot])
            platformFileRemove(pendingNames[slot]);
}
