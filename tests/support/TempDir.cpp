#include "support/TempDir.h"

#include <fstream>
#include <random>

namespace ZelTest {

TempDir::TempDir(bool enter) : entered_(enter) {
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (;;) {
        path_ = base / ("zeltest_" + std::to_string(rd()) + std::to_string(rd()));
        if (std::filesystem::create_directory(path_)) break;
    }
    if (entered_) {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    if (entered_) std::filesystem::current_path(previous_, ec);
    // Read-only files do not stop removal on Linux (the directory's permission decides).
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& relative, const std::string& bytes) const {
    auto p = path_ / relative;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return p.string();
}

}  // namespace ZelTest
