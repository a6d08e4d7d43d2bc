#include "EngineData.h"

#include <system_error>

namespace ZelTest {

namespace fs = std::filesystem;

fs::path EngineDataDir() {
    return fs::path(ZEL_ENGINE_DATA_DIR);
}

bool CopyEngineData(const fs::path& root) {
    std::error_code error;
    const fs::path data = root / "data";
    fs::create_directories(data, error);
    fs::copy(EngineDataDir(), data,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
    if (error)
        return false;
    if (!fs::exists(root / "Data"))
        fs::create_directory_symlink("data", root / "Data", error);
    return !error;
}

}  // namespace ZelTest
