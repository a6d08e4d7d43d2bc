#include "Core/DataTreeCheck.h"

#include "Core/EnginePaths.h"
#include "Core/ErrorReport.h"
#include "Core/LogDispatch.h"
#include "Platform/Win32/Win32Files.h"

namespace Zel {
namespace {

constexpr const char* kDefaultEffectCache = "../Data/Effects/Legacy5/";

bool IsDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool HasMatch(const std::string& pattern) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}

// Makes one effect directory when it is missing; false (reported) when it cannot be made.
bool MakeEffectDirectory(const std::string& path) {
    if (IsDirectory(path))
        return true;
    if (CreateDirectoryA(path.c_str(), nullptr)) {
        LogTyped(LOG_ENGINE_INIT, "%s不存在，自动创建.", path.c_str());
        return true;
    }
    ReportError("%s创建失败，错误代码为：%d", path.c_str(), static_cast<int>(GetLastError()));
    return false;
}

bool MakeCacheDirectory(const std::string& cache, CacheDirectoryFailure onFailure) {
    if (IsDirectory(cache)) {
        LogTyped(LOG_ENGINE_INIT, "%s已经存在，无须创建。", cache.c_str());
        return true;
    }
    if (CreateDirectoryA(cache.c_str(), nullptr)) {
        LogTyped(LOG_ENGINE_INIT, "创建Shader缓存目录\"%s\"成功!", cache.c_str());
        return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) {
        LogTyped(LOG_ENGINE_INIT, "%s已经存在，无须创建。", cache.c_str());
        return true;
    }
    if (error == ERROR_PATH_NOT_FOUND) {
        ReportError("创建Shader缓存目录失败！ \"%s\"中间的文件夹不存在！", cache.c_str());
    } else {
        ReportError(
            "创建Shader缓存目录失败！ \"%s\"原因未知！errcode=%d\n"
            "使用默认legacy目录：../Data/Effects/Legacy5/",
            cache.c_str(), static_cast<int>(error));
        if (onFailure == CacheDirectoryFailure::FallsBack)
            SetEngineEffectRoot(kDefaultEffectCache);
    }
    return onFailure == CacheDirectoryFailure::FallsBack;
}

}  // namespace

std::string WorkingDirectoryParent() {
    char buffer[257] = {};
    GetCurrentDirectoryA(sizeof(buffer) - 1, buffer);
    const std::string current(buffer);
    std::size_t cut = current.rfind('\\');
    if (cut == std::string::npos)
        cut = current.rfind('/');
    return cut == std::string::npos ? current : current.substr(0, cut);
}

DataTreePaths DataTreeUnder(const std::string& parent, const std::string& effectCache) {
    return {parent + "/data/", parent + "/resources/", parent + "/data/include/", effectCache};
}

bool CheckDataTree(const DataTreePaths& tree, CacheDirectoryFailure onCacheFailure) {
    bool ok = true;
    if (!IsDirectory(tree.data)) {
        ReportError("data目录不存在！");
        ok = false;
    }
    if (!IsDirectory(tree.resources)) {
        ReportError("resources目录不存在!");
        ok = false;
    }
    if (!IsDirectory(tree.include)) {
        ReportError("data\\include目录不存在!");
        ok = false;
    } else if (!HasMatch(tree.include + "*.fx*")) {
        ReportError("data\\include目录下没有文件!");
        ok = false;
    }
    if (!IsDirectory(tree.data + "Materials/")) {
        ReportError("data\\Materials目录不存在!");
        return false;
    }
    if (!HasMatch(tree.data + "Materials/*.xml")) {
        ReportError("data\\Materials目录下没有材质文件!");
        return false;
    }
    if (!ok)
        return false;
    const bool refuses = onCacheFailure == CacheDirectoryFailure::Refuses;
    // Without the effect directories the cache below them cannot be made either; the scene's
    // check lets the tree stand, the window's refuses it.
    if (!MakeEffectDirectory(tree.data + "Effects") ||
        !MakeEffectDirectory(tree.data + "Effects/Legacy"))
        return !refuses;
    return MakeCacheDirectory(tree.effectCache, onCacheFailure);
}

}  // namespace Zel
