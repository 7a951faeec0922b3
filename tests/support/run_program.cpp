#include "run_program.h"

#include "child_process.h"

#include <clocale>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <stdlib.h>

#ifndef SCOPECAP_BUILD_DIR
#error "SCOPECAP_BUILD_DIR must name the build tree"
#endif

std::string buildDir() { return SCOPECAP_BUILD_DIR; }
std::string appProgram(const std::string &name) { return buildDir() + "/app/" + name; }

ProgramRun runProgram(const std::string &program, const std::vector<std::string> &args,
                      const std::map<std::string, std::string> &env, const std::string &workDir,
                      std::chrono::seconds limit)
{
    ProgramRun run;
    auto start = std::chrono::steady_clock::now();
    ChildProcess child(program, args, env, workDir);
    run.timedOut = !child.drain(run.out, run.err, start + limit);
    int status = child.wait(limit);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.exitStatus = run.timedOut ? -1 : status;
    return run;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string makeTempDir(const std::string &prefix)
{
    std::string path = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
    if (mkdtemp(path.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    return path;
}

void removeTree(const std::string &path)
{
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

std::vector<std::string> splitLines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> linesStartingWith(const std::string &text, const std::string &prefix)
{
    std::vector<std::string> found;
    for (const std::string &line : splitLines(text))
        if (line.starts_with(prefix))
            found.push_back(line);
    return found;
}

CommaLocale commaLocale(const std::string &dir)
{
    // asked of the C library, whose process locale is put back to "C" after each try
    auto usable = [](const std::string &name) {
        bool ok = std::setlocale(LC_NUMERIC, name.c_str()) != nullptr;
        std::setlocale(LC_NUMERIC, "C");
        return ok;
    };
    for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"})
        if (usable(name))
            return {{{"LC_ALL", name}}, ""};
    if (!std::filesystem::exists("/usr/share/i18n/locales/de_DE"))
        return {{}, "no locale with a decimal comma, and no locale sources to build one"};
    ProgramRun run = runProgram("/usr/bin/localedef", {"-i", "de_DE", "-f", "UTF-8", dir + "/de_DE.UTF-8"}, {}, "",
                                std::chrono::seconds(60));
    // the C library reads LOCPATH when it looks a locale up
    setenv("LOCPATH", dir.c_str(), 1);
    bool built = usable("de_DE.UTF-8");
    unsetenv("LOCPATH");
    if (!built)
        return {{}, "localedef could not build de_DE.UTF-8: " + run.err};
    return {{{"LC_ALL", "de_DE.UTF-8"}, {"LOCPATH", dir}}, ""};
}
