#include "wine_prefix.h"

#include "bench_process.h"
#include "text.h"

#include <cctype>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/file.h>

namespace fs = std::filesystem;

namespace {

// Written once wineboot has made the prefix; without it a prefix is a leftover
// of an interrupted boot and is made again.
const char kReadyStamp[] = ".scopecap-ready";

std::string lastLines(const std::string &text, size_t count)
{
    std::vector<std::string> lines = splitLines(text);
    std::string out;
    for (size_t i = lines.size() > count ? lines.size() - count : 0; i < lines.size(); ++i)
        out += (out.empty() ? "" : " | ") + lines[i];
    return out;
}

std::string failure(const std::string &what, const ProgramRun &run)
{
    return what + " failed (exit " + std::to_string(run.exitStatus) + "): " + lastLines(run.err, 3);
}

// <native build>/wine/prefix, locked on first use and held until this process ends
const std::string &prefixPath()
{
    static const std::string path = [] {
        std::string prefix = buildDir() + "/wine/prefix";
        fs::create_directories(fs::path(prefix).parent_path());
        // not passed on to Wine, whose server outlives its programs
        std::string lockPath = prefix + ".lock";
        int lock = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (lock < 0 || flock(lock, LOCK_EX) != 0)
            throw std::runtime_error("cannot lock " + lockPath);
        return prefix;
    }();
    return path;
}

// The path the registry maps the port ("COM9") to now ("" for none).
std::string portMapping(const std::string &port)
{
    // the server writes the registry out when it ends, and every change here waits for that
    const std::string reg = readFile(prefixPath() + "/system.reg");
    const std::string key = "\n\"" + port + "\"=\"";
    size_t ports = reg.find("\n[Software\\\\Wine\\\\Ports]");
    size_t value = reg.find(key, ports);
    if (ports == std::string::npos || value == std::string::npos || value > reg.find("\n[", ports + 1))
        return "";
    value += key.size();
    return reg.substr(value, reg.find("\"\n", value) - value);
}

// "" when `run` succeeded and the Wine server has ended (the registry written), else why not.
std::string settle(const std::string &what, const ProgramRun &run)
{
    if (run.exitStatus != 0)
        return failure(what, run);
    ProgramRun server = runProgram("/bin/sh", {"-c", "exec wineserver -w"}, {{"WINEPREFIX", prefixPath()}}, "",
                                   std::chrono::seconds(60));
    return server.exitStatus == 0 ? "" : failure("wineserver -w", server);
}

} // namespace

namespace wine {

ProgramRun run(const std::vector<std::string> &commandLine, const std::string &workDir, std::chrono::seconds limit)
{
    // The Wine server starts with the first program and outlives it by a few
    // seconds, keeping the standard error it inherited (and writing its own notes
    // there as it ends). Standard error goes through a file, so a run ends with
    // its program and holds only what the program wrote.
    std::string errFile = prefixPath() + ".stderr";
    std::vector<std::string> shArgs{"-c", "exec wine \"$@\" 2>\"$SCOPECAP_WINE_STDERR\"", "sh"};
    shArgs.insert(shArgs.end(), commandLine.begin(), commandLine.end());
    // a bare prefix: no Mono or Gecko installer, and Wine's own messages off
    std::map<std::string, std::string> env = {{"WINEPREFIX", prefixPath()},
                                              {"WINEDEBUG", "-all"},
                                              {"WINEDLLOVERRIDES", "mscoree,mshtml="},
                                              {"SCOPECAP_WINE_STDERR", errFile}};
    ProgramRun result = runProgram("/bin/sh", shArgs, env, workDir, limit);
    result.err = readFile(errFile);
    return result;
}

std::string prepare()
{
    if (runProgram("/bin/sh", {"-c", "command -v wine && command -v wineserver"}).exitStatus != 0)
        return "Wine is not installed (no wine or no wineserver on PATH)";
    if (fs::exists(prefixPath() + "/" + kReadyStamp) && fs::exists(prefixPath() + "/system.reg"))
        return "";

    removeTree(prefixPath());
    ProgramRun boot = run({"wineboot", "-i"}, "", std::chrono::seconds(300));
    if (boot.timedOut)
        return "wineboot -i did not finish within 300 s: " + lastLines(boot.err, 3);
    if (std::string error = settle("wineboot -i", boot); !error.empty())
        return error;
    if (!fs::exists(prefixPath() + "/system.reg"))
        return "wineboot -i made no registry in " + prefixPath();
    writeFile(prefixPath() + "/" + kReadyStamp, std::to_string(boot.seconds) + " s\n");
    fprintf(stderr, "wineboot -i made %s in %.1f s\n", prefixPath().c_str(), boot.seconds);
    return "";
}

std::string mapPort(const std::string &port, const std::string &unixPath)
{
    if (portMapping(port) == unixPath)
        return "";
    const std::string key = "HKLM\\Software\\Wine\\Ports";
    ProgramRun reg = unixPath.empty()
                         ? run({"reg", "delete", key, "/v", port, "/f"}, "", std::chrono::seconds(60))
                         : run({"reg", "add", key, "/v", port, "/t", "REG_SZ", "/d", unixPath, "/f"}, "",
                               std::chrono::seconds(60));
    if (std::string error = settle("wine reg", reg); !error.empty())
        return error;
    if (portMapping(port) != unixPath)
        return "the registry does not hold the " + port + " mapping after wine reg";
    return "";
}

ProgramRun runWithBench(const std::string &personality, const std::vector<std::string> &benchArgs,
                        const std::vector<std::string> &commandLine, const std::string &workDir,
                        std::chrono::seconds limit, const std::string &port)
{
    std::string link = buildDir() + "/wine/" + port; // where the bench answers, e.g. wine/com9
    for (size_t i = link.size() - port.size(); i < link.size(); ++i)
        link[i] = (char)std::tolower((unsigned char)link[i]);
    if (std::string error = mapPort(port, link); !error.empty()) {
        ADD_FAILURE() << port << " not mapped: " << error;
        return {};
    }
    BenchProcess bench(personality, link, benchArgs);
    ProgramRun result = run(commandLine, workDir, limit);
    EXPECT_EQ(bench.stop(), 0) << bench.errors();
    fprintf(stderr, "%s %s run: %.1f s\n", commandLine[0].c_str(), commandLine.size() > 1 ? commandLine[1].c_str() : "",
            result.seconds);
    return result;
}

} // namespace wine
