#include "EngineData.h"

#include <system_error>

namespace ZelTest {

namespace fs = std::filesystem;

fs::path EngineDataDir() {
    return fs::path(ZEL_ENGINE_DATA_DIR);
}

bool CopyEngineData(const fs::path& root) {
    // Paths name the folder both ways ("../data/include", "../Data/Materials"): each gets a copy.
    for (const char* folder : {"data", "Data"}) {
        std::error_code error;
        fs::create_directories(root / folder, error);
        fs::copy(EngineDataDir(), root / folder,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
        if (error)
            return false;
    }
    return true;
}

}  // namespace ZelTest
