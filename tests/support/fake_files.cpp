// The capture files' calls for tests: real files in the working directory, each call
// counted by the call sweep and failed when its plan says so. A file's stream writes
// through a cookie, so each write the C library makes when its 4 KiB buffer fills (as
// it does for a file on the usual file systems) is a call of its own.
#include "fake_port.h"
#include "files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <unistd.h>

namespace {

int lastErrno = 0;
std::map<FILE *, std::string> names; // each open stream's file

// Counts the call; false (errno set) when the sweep fails it.
bool allowed(const char *call, const std::string &path)
{
    size_t slash = path.rfind('/');
    if (unsigned error = fakePort::sweptCall(call, path.c_str() + (slash == std::string::npos ? 0 : slash + 1))) {
        errno = lastErrno = (int)error;
        return false;
    }
    return true;
}

bool allowed(const char *call, FILE *file) { return allowed(call, names[file]); }

int failed()
{
    lastErrno = errno;
    return 0;
}

struct Stream {
    int fd;
    std::string path;
};
std::set<Stream *> streams; // open

ssize_t writeStream(void *cookie, const char *data, size_t size)
{
    Stream *s = (Stream *)cookie;
    if (!allowed("write", s->path))
        return 0; // the C library takes 0 as a failed write
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(s->fd, data + done, size - done);
        if (n <= 0)
            break;
        done += (size_t)n;
    }
    return (ssize_t)done;
}

int closeStream(void *cookie)
{
    Stream *s = (Stream *)cookie;
    int rc = ::close(s->fd);
    streams.erase(s);
    delete s;
    return rc;
}

} // namespace

void fakePort::moveFilesTo(const std::string &dir)
{
    namespace fs = std::filesystem;
    fs::remove_all(dir);
    fs::create_directory(dir);
    for (const auto &entry : fs::directory_iterator("."))
        fs::copy_file(entry.path(), dir / entry.path().filename());
    if (chdir(dir.c_str()) != 0)
        _exit(126);
    for (Stream *s : streams) {
        ::close(s->fd);
        s->fd = open(s->path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    }
}

FILE *platformFileCreate(const char *path)
{
    if (!allowed("create", path))
        return NULL;
    int fd = open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        failed();
        return NULL;
    }
    Stream *stream = *streams.insert(new Stream{fd, path}).first;
    FILE *file = fopencookie(stream, "w+", {nullptr, writeStream, nullptr, closeStream});
    setvbuf(file, nullptr, _IOFBF, 4096);
    names[file] = path;
    return file;
}

int platformFileFlush(FILE *file) { return allowed("flush", file) && (fflush(file) == 0 || failed()); }

// the data is in the page cache, where the test reads it; a real fsync would only slow it
int platformFileSync(FILE *file) { return allowed("sync", file); }

int platformFileClose(FILE *file)
{
    bool ok = allowed("close", file);
    names.erase(file);
    int saved = errno;
    if (fclose(file) != 0 && ok)
        return failed();
    errno = saved;
    return ok;
}

int platformFileReplace(const char *from, const char *to)
{
    return allowed("replace", from) && (rename(from, to) == 0 || failed());
}

int platformDirSync(const char *dir) { return allowed("dirsync", dir); }

int platformFileRemove(const char *path) { return allowed("remove", path) && (unlink(path) == 0 || failed()); }

void platformFileErrorText(char *out, size_t size) { snprintf(out, size, "%s", strerror(lastErrno)); }

void platformHoldStops(void) {}
void platformReleaseStops(void) {}
