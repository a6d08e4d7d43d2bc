#include "Platform/Win32/PathResolver.h"
#include "Platform/Win32/LayerSingleton.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace Win32Path {
namespace {

struct Listing {
    std::int64_t mtimeNs = -1;
    std::vector<std::string> names;
};

std::mutex& CacheMutex() {
    static std::mutex m;
    return m;
}

LayerSingleton<std::unordered_map<std::string, Listing>> g_cache;
std::unordered_map<std::string, Listing>& Cache() {
    return g_cache.Get();
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && ::strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

// The name in the directory that matches the component ignoring case; empty when none. The
// listing is cached per directory and re-read when the directory's modification time changes.
std::string MatchInDirectory(const std::string& dir, const std::string& component) {
    std::string key = dir.empty() ? "." : dir;
    if (key[0] != '/') {
        char cwd[4096];
        if (::getcwd(cwd, sizeof cwd)) key = std::string(cwd) + "/" + key;
    }
    struct stat st;
    if (::stat(key.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
    const std::int64_t mtime = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000LL +
                               st.st_mtim.tv_nsec;

    std::lock_guard<std::mutex> lock(CacheMutex());
    Listing& listing = Cache()[key];
    if (listing.mtimeNs != mtime) {
        listing.names.clear();
        listing.mtimeNs = mtime;
        if (DIR* d = ::opendir(key.c_str())) {
            while (dirent* e = ::readdir(d)) listing.names.emplace_back(e->d_name);
            ::closedir(d);
        }
    }
    for (const auto& name : listing.names)
        if (EqualNoCase(name, component)) return name;
    return {};
}

}  // namespace

std::string Resolve(std::string_view path) {
    std::string unified(path);
    for (char& c : unified)
        if (c == '\\') c = '/';
    if (unified.empty() || Exists(unified)) return unified;

    std::string result;
    std::size_t pos = 0;
    if (unified[0] == '/') {
        result = "/";
        pos = 1;
    }
    bool matching = true;  // once a component is missing, the rest is kept as written
    while (pos <= unified.size()) {
        std::size_t next = unified.find('/', pos);
        if (next == std::string::npos) next = unified.size();
        std::string component = unified.substr(pos, next - pos);
        const bool last = next >= unified.size();
        if (!component.empty()) {
            std::string chosen = component;
            if (matching && component != "." && component != "..") {
                const std::string candidate = result + component;
                if (!Exists(candidate)) {
                    std::string dir = result;
                    if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
                    std::string match = MatchInDirectory(dir, component);
                    if (match.empty()) {
                        matching = false;
                    } else {
                        chosen = match;
                    }
                }
            }
            result += chosen;
        }
        if (!last) result += '/';
        pos = next + 1;
    }
    return result;
}

void InvalidateCache() {
    std::lock_guard<std::mutex> lock(CacheMutex());
    Cache().clear();
}

}  // namespace Win32Path
