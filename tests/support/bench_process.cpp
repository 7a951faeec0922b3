#include "bench_process.h"

#include "run_program.h"
#include "text.h"

#include <csignal>
#include <stdexcept>

using namespace std::chrono_literals;

std::string benchsimPath() { return buildDir() + "/sim/benchsim"; }

BenchProcess::BenchProcess(const std::vector<std::string> &args)
    : dir_("benchsim"),
      child_(std::make_unique<ChildProcess>(benchsimPath(), args, std::map<std::string, std::string>{}, "",
                                            dir_ / "stderr"))
{
    firstLine_ = child_->readLine(20s);
}

static std::vector<std::string> linkArgs(const std::string &personality, const std::string &link,
                                         const std::vector<std::string> &args)
{
    std::vector<std::string> all = {personality, "--link", link};
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

BenchProcess::BenchProcess(const std::string &personality, const std::string &link,
                           const std::vector<std::string> &args)
    : BenchProcess(linkArgs(personality, link, args))
{
    link_ = link;
    if (firstLine_ != link) {
        std::string said = firstLine_ + "\n" + errors();
        throw std::runtime_error("benchsim did not start: " + said);
    }
}

BenchProcess::~BenchProcess()
{
    stop(); // SIGTERM, so it removes its link; nothing when it has ended
}

int BenchProcess::stop()
{
    child_->signal(SIGTERM);
    return child_->wait(10s);
}

std::string BenchProcess::errors() const { return readFile(dir_ / "stderr"); }
