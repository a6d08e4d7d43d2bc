#include "Render/RenderCore/DataDirectoryCheck.h"

#include "Core/ErrorReport.h"
#include "Core/LogDispatch.h"
#include "Platform/Win32/Win32Files.h"

namespace Zel {
namespace {

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

// Makes one cache directory when it is missing; false (reported) when it cannot be made.
bool MakeCacheDirectory(const std::string& path) {
    if (IsDirectory(path))
        return true;
    if (CreateDirectoryA(path.c_str(), nullptr)) {
        LogTyped(LOG_ENGINE_INIT, "%s不存在，自动创建.", path.c_str());
        return true;
    }
    ReportError("%s创建失败，错误代码为：%d", path.c_str(), static_cast<int>(GetLastError()));
    return false;
}

}  // namespace

std::string DataRootDirectory() {
    char buffer[257] = {};
    GetCurrentDirectoryA(sizeof(buffer) - 1, buffer);
    std::string current(buffer);
    std::size_t cut = current.rfind('\\');
    if (cut == std::string::npos)
        cut = current.rfind('/');
    return cut == std::string::npos ? current : current.substr(0, cut);
}

bool CheckDataDirectories() {
    const std::string root = DataRootDirectory();
    const std::string data = root + "/data/";
    bool ok = true;
    if (!IsDirectory(data)) {
        ReportError("data目录不存在！");
        ok = false;
    }
    if (!IsDirectory(root + "/resources/")) {
        ReportError("resources目录不存在!");
        ok = false;
    }
    if (!IsDirectory(data + "include/")) {
        ReportError("data\\include目录不存在!");
        ok = false;
    } else if (!HasMatch(data + "include/*.fx*")) {
        ReportError("data\\include目录下没有文件!");
        ok = false;
    }
    if (!IsDirectory(data + "Materials/")) {
        ReportError("data\\Materials目录不存在!");
        return false;
    }
    if (!HasMatch(data + "Materials/*.xml")) {
        ReportError("data\\Materials目录下没有材质文件!");
        return false;
    }
    if (!ok)
        return false;
    if (!MakeCacheDirectory(data + "Effects") || !MakeCacheDirectory(data + "Effects/Legacy"))
        return false;

    const std::string cache = data + "Effects/Legacy5/";
    if (CreateDirectoryA(cache.c_str(), nullptr)) {
        if (GetLastError() == ERROR_ALREADY_EXISTS)
            LogTyped(LOG_ENGINE_INIT, "%s已经存在，无须创建。", cache.c_str());
        else
            LogTyped(LOG_ENGINE_INIT, "创建Shader缓存目录\"%s\"成功!", cache.c_str());
        return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_PATH_NOT_FOUND) {
        ReportError("创建Shader缓存目录失败！ \"%s\"中间的文件夹不存在！", cache.c_str());
    } else {
        ReportError(
            "创建Shader缓存目录失败！ \"%s\"原因未知！errcode=%d\n"
            "使用默认legacy目录：../Data/Effects/Legacy5/",
            cache.c_str(), static_cast<int>(error));
    }
    return false;
}

}  // namespace Zel
