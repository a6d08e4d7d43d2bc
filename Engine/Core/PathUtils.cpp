#include "Core/PathUtils.h"

#include <algorithm>

#include "Core/EnginePaths.h"
#include "Core/StreamFactory.h"
#include "Platform/Win32/Win32Files.h"
#include "Platform/Win32/Win32System.h"

namespace Zel {
namespace {
constexpr std::string_view kSeparators = "/\\";

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// A name that starts with a separator is absolute on this system.
bool NamesItsOwnPlace(std::string_view name) {
    return PathHasParentOrColon(name) || (!name.empty() && IsSeparator(name.front()));
}

// Position of the dot that starts the extension of the last component, or npos. Dots in
// directory names and the dots of "." and ".." do not count.
std::size_t ExtensionDot(std::string_view path) {
    const std::size_t sep = path.find_last_of(kSeparators);
    const std::size_t start = sep == std::string_view::npos ? 0 : sep + 1;
    const std::string_view name = path.substr(start);
    if (name == "." || name == "..")
        return std::string_view::npos;
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? dot : start + dot;
}

// Calls visit for every entry a find-first/next search of the pattern yields.
template <class Visit>
void ForEachEntry(const std::string& pattern, Visit visit) {
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string_view name = data.cFileName;
        if (name == "." || name == "..")
            continue;
        visit(name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileA(search, &data));
    FindClose(search);
}

// The last name of a directory path, without separators ("a/b\c\" gives "c").
std::string_view LastName(std::string_view directory) {
    const std::size_t end = directory.find_last_not_of(kSeparators);
    if (end == std::string_view::npos)
        return {};
    const std::size_t sep = directory.find_last_of(kSeparators, end);
    const std::size_t start = sep == std::string_view::npos ? 0 : sep + 1;
    return directory.substr(start, end + 1 - start);
}

bool IsExcluded(std::string_view directory, const std::vector<std::string>* exclusions) {
    if (!exclusions)
        return false;
    const std::string_view last = LastName(directory);
    return std::any_of(exclusions->begin(), exclusions->end(),
                       [&](const std::string& e) { return LastName(e) == last; });
}
}  // namespace

std::string NormalizePath(std::string_view path) {
    std::string out = LowerAscii(path);
    RewriteResourcesPrefix(out);
    ToBackslashes(out);
    return out;
}

void RewriteResourcesPrefix(std::string& path) {
    std::size_t at = path.find("/resources");
    if (at == std::string::npos)
        at = path.find("\\resources");
    if (at != std::string::npos)
        path = ".." + path.substr(at);
}

void ToBackslashes(std::string& path) {
    std::replace(path.begin(), path.end(), '/', '\\');
}

void ToForwardSlashes(std::string& path) {
    std::replace(path.begin(), path.end(), '\\', '/');
}

bool PathHasParentOrColon(std::string_view name) {
    return name.find("..") != std::string_view::npos || name.find(':') != std::string_view::npos;
}

bool PathHasParentOrSlash(std::string_view name) {
    return name.find("..") != std::string_view::npos || name.find('/') != std::string_view::npos;
}

std::string JoinPath(std::string_view directory, std::string_view name) {
    if (NamesItsOwnPlace(name))
        return std::string(name);
    return std::string(directory) + std::string(name);
}

std::string JoinPathWithSlash(std::string_view directory, std::string_view name) {
    if (directory.empty() || NamesItsOwnPlace(name))
        return std::string(name);
    return std::string(directory) + "/" + std::string(name);
}

std::string ReplaceExtension(std::string_view path, std::string_view extension) {
    std::size_t dot = ExtensionDot(path);
    // The dot that starts a path (".hidden") names the file; the extension is added after it.
    if (dot == 0)
        dot = std::string_view::npos;
    return std::string(path.substr(0, dot)) + std::string(extension);
}

std::string GetFileName(std::string_view path) {
    const std::size_t sep = path.find_last_of(kSeparators);
    return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

std::string GetDirectory(std::string_view path) {
    const std::size_t sep = path.find_last_of(kSeparators);
    if (sep == std::string_view::npos)
        return {};
    const std::size_t end = path.find_last_not_of(kSeparators, sep);
    return end == std::string_view::npos ? std::string() : std::string(path.substr(0, end + 1));
}

std::string GetExtension(std::string_view path) {
    const std::size_t dot = ExtensionDot(path);
    return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

bool StringContains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

bool StringEquals(std::string_view a, std::string_view b) {
    return a == b;
}

int ImageKindFromPath(std::string_view path) {
    static constexpr struct {
        std::string_view text;
        int kind;
    } kKinds[] = {{".bmp", 0}, {".tga", 2}, {".png", 3}, {".dds", 4}, {".jpg", 1}};
    const std::string lower = LowerAscii(path);
    for (const auto& k : kKinds)
        if (StringContains(lower, k.text))
            return k.kind;
    return 6;
}

std::string MakePathString(std::string_view name) {
    return GetResourcesRoot() + std::string(name);
}

std::string MakeIndexedName(std::string_view name, std::int32_t index) {
    if (name.empty())
        return {};
    if (index == 0)
        return std::string(name);
    return std::string(name) + "_" + std::to_string(index);
}

bool ClearReadOnly(const char* path) {
    if (!path)
        return false;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    if (!(attributes & FILE_ATTRIBUTE_READONLY))
        return true;
    return SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY) != FALSE;
}

int DeleteFileIfExists(const char* path) {
    if (!path)
        return 0;
    if (!FileExistsOnDisk(path))
        return 1;
    ClearReadOnly(path);
    return DeleteFileA(path) ? 1 : 0;
}

bool PushCurrentDirectory(char* buffer, const char* directory) {
    const DWORD length = GetCurrentDirectoryA(kDirectoryBufferSize, buffer);
    if (length == 0 || length >= kDirectoryBufferSize || !SetCurrentDirectoryA(directory)) {
        buffer[0] = '\0';
        return false;
    }
    return true;
}

bool PushCurrentDirectory(char* buffer) {
    return PushCurrentDirectory(buffer, GetEngineDataRoot().c_str());
}

void PopCurrentDirectory(const char* buffer) {
    if (buffer && buffer[0] != '\0')
        SetCurrentDirectoryA(buffer);
}

bool IsPreVistaWindows() {
    HMODULE ntdll = LoadLibraryA("ntdll.dll");
    if (!ntdll)
        return true;
    using VersionNumbers = void (*)(DWORD * major, DWORD * minor, DWORD * build);
    auto query = reinterpret_cast<VersionNumbers>(GetProcAddress(ntdll, "RtlGetNtVersionNumbers"));
    DWORD major = 0, minor = 0, build = 0;
    if (query)
        query(&major, &minor, &build);
    FreeLibrary(ntdll);
    return !query || major < 6;
}

void ListDirectory(const std::string& directory, std::vector<std::string>& list, bool recurse) {
    ForEachEntry(directory + "/*.*", [&](std::string_view name, bool isDirectory) {
        const std::string path = directory + std::string(name);
        if (isDirectory && recurse) {
            ListDirectory(path + "/", list, true);
        } else {
            list.push_back(path);
        }
    });
}

void ListDirectoryFiltered(const std::string& directory, std::vector<std::string>& list,
                           std::string_view filter, bool recurse) {
    std::vector<std::string> all;
    ListDirectory(directory, all, recurse);
    for (auto& entry : all)
        if (StringContains(entry, filter))
            list.push_back(std::move(entry));
}

int FindFilesRecursive(std::vector<std::string>* list, const char* root, const char* pattern,
                       const std::vector<std::string>* exclusions) {
    if (!list || !root || !pattern)
        return -1;
    std::string first = root;
    ToForwardSlashes(first);
    std::vector<std::string> directories{first};
    CollectDirectories(root, directories, exclusions, true);
    for (const auto& directory : directories) CollectFiles(directory, pattern, *list);
    return 1;
}

void CollectDirectories(const std::string& directory, std::vector<std::string>& directories,
                        const std::vector<std::string>* exclusions, bool recurse) {
    std::string base = directory;
    if (base.empty() || !IsSeparator(base.back()))
        base += '\\';
    if (IsExcluded(base, exclusions))
        return;
    ForEachEntry(base + "*", [&](std::string_view name, bool isDirectory) {
        if (!isDirectory)
            return;
        std::string sub = base + std::string(name) + "\\";
        if (IsExcluded(sub, exclusions))
            return;
        directories.push_back(sub);
        if (recurse)
            CollectDirectories(sub, directories, exclusions, true);
    });
}

void CollectFiles(const std::string& directory, const std::string& pattern,
                  std::vector<std::string>& list) {
    const bool endsWithSeparator = !directory.empty() && IsSeparator(directory.back());
    const std::string base = endsWithSeparator ? directory : directory + "/";
    ForEachEntry(base + pattern, [&](std::string_view name, bool isDirectory) {
        if (!isDirectory)
            list.push_back(base + std::string(name));
    });
}

}  // namespace Zel
