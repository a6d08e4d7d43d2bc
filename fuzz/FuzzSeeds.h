// The seed side of the fuzz targets: "--write-seeds=DIR" writes the target's seed corpus (made by
// the fixture writers) and ends the program.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace ZelFuzz {

inline void SaveSeed(const std::filesystem::path& dir, const std::string& name,
                     const std::vector<std::uint8_t>& bytes) {
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// For LLVMFuzzerInitialize: when the flag is among the arguments, creates DIR, calls write (DIR)
// and exits.
inline void WriteSeedsWhenAsked(int* argc, char*** argv,
                                void (*write)(const std::filesystem::path&)) {
    const std::string flag = "--write-seeds=";
    for (int i = 1; i < *argc; ++i) {
        if (std::strncmp((*argv)[i], flag.c_str(), flag.size()) == 0) {
            const std::filesystem::path dir = (*argv)[i] + flag.size();
            std::filesystem::create_directories(dir);
            write(dir);
            std::exit(0);
        }
    }
}

// For targets whose code prints parse errors on standard output: sends it to /dev/null, so that
// only the fuzzer's own report (on stderr) is seen.
inline void SilenceStdout() {
    if (!std::freopen("/dev/null", "w", stdout))
        return;
}

}  // namespace ZelFuzz
