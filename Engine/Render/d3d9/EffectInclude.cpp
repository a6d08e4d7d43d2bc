#include "Render/d3d9/EffectInclude.h"

#include <cstdio>
#include <string>

#include "Core/EnginePaths.h"
#include "Core/ErrorReport.h"
#include "Platform/Win32/Win32Files.h"

namespace Zel {

HRESULT EffectInclude::Open(D3DXINCLUDE_TYPE, LPCSTR fileName, LPCVOID, LPCVOID* data,
                            UINT* bytes) {
    if (data == nullptr || bytes == nullptr)
        return E_FAIL;
    *data = nullptr;
    *bytes = 0;
    if (fileName == nullptr)
        return E_FAIL;
    std::string destination = fileName;
    if (_access(fileName, 0) != 0) {
        std::string name = fileName;
        std::size_t slash = name.find_last_of("/\\");
        destination = GetEffectIncludeRoot() + "include/" +
                      (slash == std::string::npos ? name : name.substr(slash + 1));
    }
    std::string content;
    if (_access(destination.c_str(), 0) != 0) {
        char current[1024] = {};
        GetCurrentDirectoryA(sizeof current, current);
        ReportErrorLastError("Cannot open effect file %s (current directory %s, included as %s)",
                             destination.c_str(), current, fileName);
        return E_FAIL;
    }
    if (!ReadFile(destination, content)) {
        ReportError("Reading include file %s (%s) failed: error %lu", destination.c_str(), fileName,
                    static_cast<unsigned long>(GetLastError()));
        return E_FAIL;
    }
    char* buffer = new char[content.size() + 1];
    std::copy(content.begin(), content.end(), buffer);
    buffer[content.size()] = 0;
    *data = buffer;
    *bytes = static_cast<UINT>(content.size());
    return S_OK;
}

bool EffectInclude::ReadFile(const std::string& path, std::string& bytes) {
    FILE* file = fopen_resolved(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

HRESULT EffectInclude::Close(LPCVOID data) {
    delete[] static_cast<const char*>(data);
    return S_OK;
}

}  // namespace Zel
