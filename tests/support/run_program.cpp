#include "run_program.h"

#include "child_process.h"

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
