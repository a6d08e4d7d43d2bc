// The load both level geometries share: the level description of the load path (or the default
// level while switch 36 is on), its mesh file read by the caller, its material file appended to
// the material files. Loading thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Zel {

// readMeshes reads the description's mesh file; it is not called while skipSwitch (when not 0)
// is on, and the load then succeeds without meshes. On failure reports "<className> 资源文件格式
// 错误！<path>" and answers false.
bool LoadLevelDescription(const std::string& loadPath, std::uint32_t skipSwitch,
                          const char* className,
                          const std::function<bool(const std::string&)>& readMeshes,
                          std::vector<std::string>& materialFiles);

}  // namespace Zel
