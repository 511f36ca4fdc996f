#include "TempFolder.h"

#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

TempFolder::TempFolder()
{
    // Wine and native runs of the same tests may share the machine: a random part keeps
    // their folders apart, the counter keeps one process's folders apart.
    static int counter = 0;
    static const unsigned run = std::random_device()();
    fs::path base = fs::path(ORB_BUILD_DIR) / "renderer-test-files";
    fs::create_directories(base);
    fs::path path;
    do {
        path = base / (std::to_string(run) + "-" + std::to_string(++counter));
    } while (!fs::create_directory(path));
    path_ = path.string();
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string TempFolder::Write(const std::string& name, const std::string& contents) const
{
    std::string path = (fs::path(path_) / name).string();
    std::ofstream(path, std::ios::binary) << contents;
    return path;
}
