#include "wine_prefix.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#ifndef SCOPECAP_WINDOWS_BUILD_DIR
#error "SCOPECAP_WINDOWS_BUILD_DIR must name the cross build"
#endif

namespace fs = std::filesystem;

namespace {

// Written once wineboot has made the prefix; without it a prefix is a leftover
// of an interrupted boot and is made again.
const char kReadyStamp[] = ".scopecap-ready";

std::string findOnPath(const std::string &name)
{
    const char *path = getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/local/bin:/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0)
            return dir + "/" + name;
    return "";
}

// a bare prefix: no Mono or Gecko installer, and Wine's own messages off
std::map<std::string, std::string> wineEnvironment(const std::string &prefix)
{
    return {{"WINEPREFIX", prefix}, {"WINEDEBUG", "-all"}, {"WINEDLLOVERRIDES", "mscoree,mshtml="}};
}

std::string lastLines(const std::string &text, size_t count)
{
    std::vector<std::string> lines = splitLines(text);
    std::string out;
    for (size_t i = lines.size() > count ? lines.size() - count : 0; i < lines.size(); ++i)
        out += (out.empty() ? "" : " | ") + lines[i];
    return out;
}

} // namespace

std::string windowsBuildDir() { return SCOPECAP_WINDOWS_BUILD_DIR; }

std::string windowsProgram(const std::string &relativePath)
{
    std::string path = windowsBuildDir() + "/" + relativePath;
    return fs::exists(path) ? path : "";
}

WinePrefix::WinePrefix(std::string path) : path_(std::move(path))
{
    wineBin_ = findOnPath("wine");
    wineserverBin_ = findOnPath("wineserver");
    fs::create_directories(fs::path(path_).parent_path());
    std::string lockPath = path_ + ".lock";
    lockFd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd_ < 0 || flock(lockFd_, LOCK_EX) != 0)
        throw std::runtime_error("cannot lock " + lockPath);
}

WinePrefix::~WinePrefix()
{
    if (lockFd_ >= 0)
        close(lockFd_); // releases the lock
}

ProgramRun WinePrefix::wine(const std::vector<std::string> &args, const std::string &workDir,
                            std::chrono::seconds limit)
{
    // The Wine server starts with the first program and outlives it by a few
    // seconds, keeping the standard error it inherited (and writing its own notes
    // there as it ends). Standard error goes through a file, so a run ends with
    // its program and holds only what the program wrote.
    std::string errFile = path_ + ".stderr";
    std::vector<std::string> shArgs{"-c", "exec \"$@\" 2>\"$SCOPECAP_WINE_STDERR\"", "sh", wineBin_};
    shArgs.insert(shArgs.end(), args.begin(), args.end());
    std::map<std::string, std::string> env = wineEnvironment(path_);
    env["SCOPECAP_WINE_STDERR"] = errFile;
    ProgramRun run = runProgram("/bin/sh", shArgs, env, workDir, limit);
    run.err = readFile(errFile);
    return run;
}

std::string WinePrefix::waitForServer()
{
    std::map<std::string, std::string> env = {{"WINEPREFIX", path_}};
    ProgramRun run = runProgram(wineserverBin_, {"-w"}, env, "", std::chrono::seconds(60));
    if (run.exitStatus != 0)
        return "wineserver -w failed (exit " + std::to_string(run.exitStatus) + "): " + lastLines(run.err, 3);
    return "";
}

std::string WinePrefix::prepare()
{
    if (wineBin_.empty())
        return "Wine is not installed (no wine on PATH)";
    if (wineserverBin_.empty())
        return "Wine is not installed (no wineserver on PATH)";
    if (fs::exists(path_ + "/" + kReadyStamp) && fs::exists(path_ + "/system.reg"))
        return "";

    removeTree(path_);
    auto start = std::chrono::steady_clock::now();
    ProgramRun boot = wine({"wineboot", "-i"}, "", std::chrono::seconds(300));
    if (boot.timedOut)
        return "wineboot -i did not finish within 300 s: " + lastLines(boot.err, 3);
    if (boot.exitStatus != 0)
        return "wineboot -i failed (exit " + std::to_string(boot.exitStatus) + "): " + lastLines(boot.err, 3);
    std::string error = waitForServer();
    if (!error.empty())
        return error;
    bootSeconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!fs::exists(path_ + "/system.reg"))
        return "wineboot -i made no registry in " + path_;
    writeFile(path_ + "/" + kReadyStamp, std::to_string(bootSeconds_) + " s\n");
    fprintf(stderr, "wineboot -i made %s in %.1f s\n", path_.c_str(), bootSeconds_);
    return "";
}

std::string WinePrefix::com9Mapping() const
{
    // the server writes the registry out when it ends, and every change here waits for that
    std::vector<std::string> lines = splitLines(readFile(path_ + "/system.reg"));
    bool inPorts = false;
    for (const std::string &line : lines) {
        if (!line.empty() && line[0] == '[') {
            inPorts = line.rfind("[Software\\\\Wine\\\\Ports]", 0) == 0;
            continue;
        }
        const std::string key = "\"COM9\"=\"";
        if (inPorts && line.rfind(key, 0) == 0 && line.size() > key.size() && line.back() == '"')
            return line.substr(key.size(), line.size() - key.size() - 1);
    }
    return "";
}

std::string WinePrefix::mapCom9(const std::string &unixPath)
{
    if (com9Mapping() == unixPath)
        return "";
    const std::string key = "HKLM\\Software\\Wine\\Ports";
    ProgramRun reg = unixPath.empty()
                         ? wine({"reg", "delete", key, "/v", "COM9", "/f"}, "", std::chrono::seconds(60))
                         : wine({"reg", "add", key, "/v", "COM9", "/t", "REG_SZ", "/d", unixPath, "/f"}, "",
                                std::chrono::seconds(60));
    if (reg.exitStatus != 0)
        return "wine reg failed (exit " + std::to_string(reg.exitStatus) + "): " + lastLines(reg.err, 3);
    std::string error = waitForServer();
    if (!error.empty())
        return error;
    if (com9Mapping() != unixPath)
        return "the registry does not hold the COM9 mapping after wine reg";
    return "";
}

ProgramRun WinePrefix::run(const std::string &exe, const std::vector<std::string> &args, const std::string &workDir,
                           std::chrono::seconds limit)
{
    std::vector<std::string> wineArgs{exe};
    wineArgs.insert(wineArgs.end(), args.begin(), args.end());
    return wine(wineArgs, workDir, limit);
}

WinePrefix &sharedWinePrefix()
{
    static WinePrefix prefix(buildDir() + "/wine/prefix");
    return prefix;
}

std::string wineCom9Link() { return buildDir() + "/wine/com9"; }
