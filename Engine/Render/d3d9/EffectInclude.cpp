#include "Render/d3d9/EffectInclude.h"

#include <cstdio>
#include <string>
#include <vector>

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
    FILE* file = fopen_resolved(destination.c_str(), "rb");
    if (file == nullptr) {
        char current[1024] = {};
        GetCurrentDirectoryA(sizeof current, current);
        ReportErrorLastError("Cannot open effect file %s (current directory %s, included as %s)",
                             destination.c_str(), current, fileName);
        return E_FAIL;
    }
    std::vector<char> content;
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        content.insert(content.end(), chunk, chunk + got);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
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

HRESULT EffectInclude::Close(LPCVOID data) {
    delete[] static_cast<const char*>(data);
    return S_OK;
}

}  // namespace Zel
