#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <stdlib.h>

std::string makeTempDir(const std::string &prefix)
{
    std::string path = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
    if (mkdtemp(path.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed for " + path);
    return path;
}

void removeTree(const std::string &path)
{
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

ScratchDir::ScratchDir(const std::string &prefix, Mode mode) : path_(makeTempDir(prefix))
{
    if (mode != Enter)
        return;
    std::error_code ec;
    std::string home = std::filesystem::current_path(ec).string();
    if (!ec)
        std::filesystem::current_path(path_, ec);
    if (ec) {
        removeTree(path_);
        throw std::runtime_error("cannot work in " + path_ + ": " + ec.message());
    }
    home_ = home;
}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    if (!home_.empty())
        std::filesystem::current_path(home_, ec);
    if (ec)
        ADD_FAILURE() << "cannot return to " << home_ << ": " << ec.message();
    removeTree(path_);
}
