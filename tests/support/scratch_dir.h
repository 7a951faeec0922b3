// Scratch folders, each the test's own, under the temporary directory:
//
//   ScratchDir dir("capture-");                  // made now; removed, all in it, when it goes
//   runProgram(program, {}, env, dir.path());
//   readFile(dir / "op_scope.csv");
//   ScratchDir here("scopetest-", ScratchDir::Enter); // the process works in it until
//                                                // it goes, then back where it was
#pragma once

#include <string>

std::string makeTempDir(const std::string &prefix); // throws when it cannot
void removeTree(const std::string &path);

class ScratchDir {
public:
    enum Mode { Stay, Enter };
    // Throws when it cannot make the folder or change into it.
    explicit ScratchDir(const std::string &prefix, Mode mode = Stay);
    // Changes back first (failing the test when it cannot), then removes the folder.
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
    std::string home_; // where the process worked before it entered, or ""
};
