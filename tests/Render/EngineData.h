// The engine's data files (effects and material libraries) as the repository keeps them, and a
// copy of them into a test's data tree.
#pragma once

#include <filesystem>

namespace ZelTest {

// The repository folder that holds the engine data ("include/", "Materials/").
std::filesystem::path EngineDataDir();

// Copies every engine data file under root/"data" and root/"Data", keeping the folders
// ("include/...", "Materials/..."), so that either spelling of the path finds the files. False
// when a copy failed.
bool CopyEngineData(const std::filesystem::path& root);

}  // namespace ZelTest
