// A fresh temporary directory for one test, removed with everything in it on destruction.
// Optionally makes it the current directory for its life.
#pragma once

#include <filesystem>
#include <string>

namespace ZelTest {

class TempDir {
public:
    explicit TempDir(bool enter = false);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Writes a file (creating parent directories) relative to the directory; answers its path.
    std::string Write(const std::string& relative, const std::string& bytes) const;

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
    bool entered_;
};

}  // namespace ZelTest
