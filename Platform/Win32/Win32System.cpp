#include "Platform/Win32/Win32System.h"
#include "Platform/Win32/LayerSingleton.h"

#include "Platform/Win32/Win32Files.h"

#include <dirent.h>
#include <malloc.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::uint64_t MeminfoKb(const std::string& text, const char* key) {
    const auto at = text.find(key);
    if (at == std::string::npos) return 0;
    return std::strtoull(text.c_str() + at + std::strlen(key), nullptr, 10);
}

std::string ReadWhole(const char* path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

void GetSystemInfo(SYSTEM_INFO* info) {
    if (!info) return;
    *info = SYSTEM_INFO{};
    const long processors = ::sysconf(_SC_NPROCESSORS_ONLN);
    const long page = ::sysconf(_SC_PAGESIZE);
    info->dwNumberOfProcessors = processors > 0 ? static_cast<DWORD>(processors) : 1;
    info->dwPageSize = page > 0 ? static_cast<DWORD>(page) : 4096;
}

BOOL GetVersionExA(OSVERSIONINFOA* info) {
    if (!info || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) &&
                  info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXA)))
        return FALSE;
    info->dwMajorVersion = 10;
    info->dwMinorVersion = 0;
    info->dwBuildNumber = 19041;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    info->szCSDVersion[0] = '\0';
    if (info->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXA)) {
        auto* ex = static_cast<OSVERSIONINFOEXA*>(info);
        ex->wServicePackMajor = 0;
        ex->wServicePackMinor = 0;
        ex->wSuiteMask = 0;
        ex->wProductType = 1;  // workstation
        ex->wReserved = 0;
    }
    return TRUE;
}

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN:
            return 1024;
        case SM_CYSCREEN:
            return 768;
        default:
            return 0;
    }
}

BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX* status) {
    if (!status) return FALSE;
    const std::string meminfo = ReadWhole("/proc/meminfo");
    const std::string self = ReadWhole("/proc/self/status");
    const std::uint64_t total = MeminfoKb(meminfo, "MemTotal:") * 1024;
    const std::uint64_t avail = MeminfoKb(meminfo, "MemAvailable:") * 1024;
    const std::uint64_t swapTotal = MeminfoKb(meminfo, "SwapTotal:") * 1024;
    const std::uint64_t swapFree = MeminfoKb(meminfo, "SwapFree:") * 1024;
    const std::uint64_t vmSize = MeminfoKb(self, "VmSize:") * 1024;
    // The user address space of an x86-64 process: 128 TiB.
    const std::uint64_t totalVirtual = 1ULL << 47;
    status->dwMemoryLoad = total ? static_cast<DWORD>(100 * (total - std::min(avail, total)) / total) : 0;
    status->ullTotalPhys = total;
    status->ullAvailPhys = avail;
    status->ullTotalPageFile = total + swapTotal;
    status->ullAvailPageFile = avail + swapFree;
    status->ullTotalVirtual = totalVirtual;
    status->ullAvailVirtual = totalVirtual > vmSize ? totalVirtual - vmSize : 0;
    status->ullAvailExtendedVirtual = 0;
    return total ? TRUE : FALSE;
}

// Under a sanitizer the allocator is the sanitizer's own and mallinfo2 sees none of it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

SIZE_T GetProcessHeapBusyBytes() {
    if (__sanitizer_get_current_allocated_bytes) return __sanitizer_get_current_allocated_bytes();
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

DWORD GetMappedRegions(MappedRegion* regions, DWORD maxCount) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    DWORD n = 0;
    while (n < maxCount && std::getline(maps, line)) {
        unsigned long long begin = 0, end = 0;
        char perms[8] = {}, path[4096] = {};
        unsigned long long offset = 0;
        char dev[16] = {};
        unsigned long long inode = 0;
        const int fields = std::sscanf(line.c_str(), "%llx-%llx %7s %llx %15s %llu %4095s", &begin,
                                       &end, perms, &offset, dev, &inode, path);
        if (fields < 7 || path[0] != '/') continue;
        regions[n].base = static_cast<std::uintptr_t>(begin);
        regions[n].size = static_cast<SIZE_T>(end - begin);
        std::strncpy(regions[n].path, path, MAX_PATH - 1);
        regions[n].path[MAX_PATH - 1] = '\0';
        ++n;
    }
    return n;
}

// ---- Modules -----------------------------------------------------------------------------------

namespace {

struct ModuleTable {
    std::mutex mutex;
    // One dummy handle per module name (lower case); the handle is the address of the name.
    std::set<std::string> names;
    std::map<std::pair<std::string, std::string>, FARPROC> procs;
    std::set<std::string> missing;  // names that fail to load (tests)
};

LayerSingleton<ModuleTable> g_modules;
ModuleTable& Modules() {
    return g_modules.Get();
}

}  // namespace

HMODULE LoadLibraryA(LPCSTR name) {
    if (!name) return nullptr;
    auto& t = Modules();
    std::lock_guard<std::mutex> lock(t.mutex);
    const std::string lower = Lower(name);
    if (t.missing.count(lower)) {
        SetLastError(126);  // ERROR_MOD_NOT_FOUND
        return nullptr;
    }
    auto it = t.names.insert(lower).first;
    return const_cast<std::string*>(&*it);
}

void SetModuleMissing(LPCSTR name, BOOL missing) {
    auto& t = Modules();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (missing) {
        t.missing.insert(Lower(name));
    } else {
        t.missing.erase(Lower(name));
    }
}

BOOL FreeLibrary(HMODULE module) { return module ? TRUE : FALSE; }

namespace {

// The system's own version query answers a current system, so version tests take the modern road.
void RtlGetNtVersionNumbersStandIn(DWORD* major, DWORD* minor, DWORD* build) {
    if (major) *major = 10;
    if (minor) *minor = 0;
    if (build) *build = 19041;
}

FARPROC BuiltInProc(const std::string& module, const std::string& name) {
    if (module == "ntdll.dll" && name == "RtlGetNtVersionNumbers")
        return reinterpret_cast<FARPROC>(&RtlGetNtVersionNumbersStandIn);
    return nullptr;
}

}  // namespace

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
    if (!module || !name) return nullptr;
    auto& t = Modules();
    std::lock_guard<std::mutex> lock(t.mutex);
    for (const auto& n : t.names) {
        if (&n != module) continue;
        auto it = t.procs.find({n, name});
        return it == t.procs.end() ? BuiltInProc(n, name) : it->second;
    }
    return nullptr;
}

void RegisterModuleProc(LPCSTR module, LPCSTR name, FARPROC proc) {
    auto& t = Modules();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.procs[{Lower(module), name}] = proc;
}

void ClearModuleProcs() {
    auto& t = Modules();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.procs.clear();
    t.missing.clear();
}

// ---- Debugger and console ------------------------------------------------------------------------

BOOL IsDebuggerPresent() {
    const std::string status = ReadWhole("/proc/self/status");
    const auto at = status.find("TracerPid:");
    if (at == std::string::npos) return FALSE;
    return std::strtol(status.c_str() + at + 10, nullptr, 10) != 0 ? TRUE : FALSE;
}

void DebugBreak() {
    if (IsDebuggerPresent()) ::raise(SIGTRAP);
}

namespace {
bool g_console = false;
}

BOOL AllocConsole() {
    if (g_console) return FALSE;
    g_console = true;
    return TRUE;
}

BOOL FreeConsole() {
    g_console = false;
    return TRUE;
}

BOOL HasConsole() { return g_console ? TRUE : FALSE; }

namespace {
// The two standard handles are tags of their own, outside the handle table.
char g_stdInputTag;
char g_stdOutputTag;
}  // namespace

HANDLE GetStdHandle(DWORD which) {
    if (which == STD_INPUT_HANDLE) return &g_stdInputTag;
    if (which == STD_OUTPUT_HANDLE) return &g_stdOutputTag;
    return INVALID_HANDLE_VALUE;
}

BOOL WriteConsoleA(HANDLE output, const void* text, DWORD count, DWORD* written, void*) {
    if (written) *written = 0;
    if (output != &g_stdOutputTag || (!text && count)) return FALSE;
    const std::size_t n = std::fwrite(text, 1, count, stdout);
    std::fflush(stdout);
    if (written) *written = static_cast<DWORD>(n);
    return n == count ? TRUE : FALSE;
}

BOOL GetNumberOfConsoleInputEvents(HANDLE input, DWORD* count) {
    if (!count) return FALSE;
    *count = 0;
    if (input != &g_stdInputTag) return FALSE;
    int available = 0;
    if (::ioctl(STDIN_FILENO, FIONREAD, &available) != 0) return FALSE;
    *count = available > 0 ? static_cast<DWORD>(available) : 0;
    return TRUE;
}

BOOL ReadConsoleA(HANDLE input, void* buffer, DWORD count, DWORD* read, void*) {
    if (read) *read = 0;
    if (input != &g_stdInputTag || !buffer) return FALSE;
    const ssize_t n = ::read(STDIN_FILENO, buffer, count);
    if (n < 0) return FALSE;
    if (read) *read = static_cast<DWORD>(n);
    return TRUE;
}

// ---- Power ---------------------------------------------------------------------------------------

namespace {
std::string FirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}
}  // namespace

BOOL GetSystemPowerStatus(SYSTEM_POWER_STATUS* status) {
    if (!status) return FALSE;
    status->ACLineStatus = 255;
    status->BatteryFlag = 128;
    status->BatteryLifePercent = 255;
    status->SystemStatusFlag = 0;
    status->BatteryLifeTime = 0xFFFFFFFFu;
    status->BatteryFullLifeTime = 0xFFFFFFFFu;
    const std::string root = "/sys/class/power_supply/";
    DIR* dir = ::opendir(root.c_str());
    if (!dir) return TRUE;
    while (dirent* e = ::readdir(dir)) {
        const std::string entry(e->d_name);
        if (entry == "." || entry == "..") continue;
        const std::string type = FirstLine(root + entry + "/type");
        if (type == "Mains") {
            status->ACLineStatus = FirstLine(root + entry + "/online") == "1" ? 1 : 0;
        } else if (type == "Battery") {
            const int capacity = std::atoi(FirstLine(root + entry + "/capacity").c_str());
            const std::string state = FirstLine(root + entry + "/status");
            status->BatteryLifePercent = static_cast<BYTE>(std::clamp(capacity, 0, 100));
            BYTE flag = capacity > 66 ? 1 : (capacity < 5 ? 4 : (capacity < 33 ? 2 : 0));
            if (state == "Charging") flag |= 8;
            status->BatteryFlag = flag;
        }
    }
    ::closedir(dir);
    return TRUE;
}

DWORD QuerySystemEnclosureChassisTypes(DWORD* types, DWORD maxCount) {
    if (!types || maxCount == 0) return 0;
    const std::string line = FirstLine("/sys/class/dmi/id/chassis_type");
    const long value = std::strtol(line.c_str(), nullptr, 10);
    if (value <= 0) return 0;
    types[0] = static_cast<DWORD>(value);
    return 1;
}

// ---- Address space -------------------------------------------------------------------------------

namespace {

constexpr std::uint64_t kUserSpaceEnd = 1ULL << 47;

DWORD ProtectionOf(const char* perms) {
    const bool r = perms[0] == 'r', w = perms[1] == 'w', x = perms[2] == 'x';
    if (x) return w ? PAGE_EXECUTE_READWRITE : (r ? PAGE_EXECUTE_READ : PAGE_EXECUTE);
    if (w) return PAGE_READWRITE;
    return r ? PAGE_READONLY : PAGE_NOACCESS;
}

DWORD StorageOf(const char* perms, const char* path) {
    if (path[0] != '/') return MEM_PRIVATE;
    return (perms[2] == 'x' || std::strstr(path, ".so")) ? MEM_IMAGE : MEM_MAPPED;
}

}  // namespace

SIZE_T VirtualQuery(const void* address, MEMORY_BASIC_INFORMATION* info, SIZE_T length) {
    if (!info || length < sizeof(MEMORY_BASIC_INFORMATION)) return 0;
    const auto at = reinterpret_cast<std::uint64_t>(address);
    if (at >= kUserSpaceEnd) return 0;
    std::ifstream maps("/proc/self/maps");
    std::string line;
    std::uint64_t gapStart = 0;
    std::uint64_t gapEnd = kUserSpaceEnd;
    while (std::getline(maps, line)) {
        unsigned long long begin = 0, end = 0;
        char perms[8] = {}, path[4096] = {};
        unsigned long long offset = 0, inode = 0;
        char dev[16] = {};
        const int fields = std::sscanf(line.c_str(), "%llx-%llx %7s %llx %15s %llu %4095s", &begin,
                                       &end, perms, &offset, dev, &inode, path);
        if (fields < 6 || begin >= kUserSpaceEnd) break;
        if (end <= at) {
            gapStart = end;
            continue;
        }
        if (begin <= at) {
            info->BaseAddress = reinterpret_cast<void*>(begin);
            info->AllocationBase = info->BaseAddress;
            info->Protect = ProtectionOf(perms);
            info->AllocationProtect = info->Protect;
            info->RegionSize = static_cast<SIZE_T>(end - begin);
            info->State = MEM_COMMIT;
            info->Type = StorageOf(perms, path);
            return sizeof(MEMORY_BASIC_INFORMATION);
        }
        gapEnd = begin;
        break;
    }
    info->BaseAddress = reinterpret_cast<void*>(gapStart);
    info->AllocationBase = nullptr;
    info->AllocationProtect = 0;
    info->RegionSize = static_cast<SIZE_T>(gapEnd - gapStart);
    info->State = MEM_FREE;
    info->Protect = PAGE_NOACCESS;
    info->Type = 0;
    return sizeof(MEMORY_BASIC_INFORMATION);
}

// ---- Registry ------------------------------------------------------------------------------------

namespace {

struct RegValue {
    DWORD type;
    std::vector<BYTE> data;
};

struct RegKey {
    std::string path;  // lower case, "root\sub\key"
};

struct Registry {
    std::mutex mutex;
    std::map<std::string, std::map<std::string, RegValue>> keys;
    std::set<RegKey*> open;
};

LayerSingleton<Registry> g_registry;
Registry& Reg() {
    return g_registry.Get();
}

// The path of a root or open key; empty when the handle is neither. Caller holds the mutex.
std::string KeyPath(HKEY key) {
    if (key == HKEY_CLASSES_ROOT) return "hkcr";
    if (key == HKEY_CURRENT_USER) return "hkcu";
    if (key == HKEY_LOCAL_MACHINE) return "hklm";
    auto* k = static_cast<RegKey*>(key);
    return Reg().open.count(k) ? k->path : std::string();
}

std::string Join(const std::string& base, LPCSTR sub) {
    std::string s = Lower(sub ? sub : "");
    for (char& c : s)
        if (c == '/') c = '\\';
    while (!s.empty() && s.back() == '\\') s.pop_back();
    while (!s.empty() && s.front() == '\\') s.erase(s.begin());
    return s.empty() ? base : base + "\\" + s;
}

HKEY OpenHandle(const std::string& path) {
    auto* k = new RegKey{path};
    Reg().open.insert(k);
    return k;
}

constexpr LONG kNotFound = 2;
constexpr LONG kInvalidHandle = 6;
constexpr LONG kMoreData = 234;

}  // namespace

LONG RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD, DWORD, HKEY* result) {
    auto& r = Reg();
    std::lock_guard<std::mutex> lock(r.mutex);
    const std::string base = KeyPath(root);
    if (base.empty() || !result) return kInvalidHandle;
    const std::string path = Join(base, subKey);
    if (!r.keys.count(path)) return kNotFound;
    *result = OpenHandle(path);
    return 0;
}

LONG RegCreateKeyExA(HKEY root, LPCSTR subKey, DWORD, LPSTR, DWORD, DWORD, void*, HKEY* result,
                     DWORD* disposition) {
    auto& r = Reg();
    std::lock_guard<std::mutex> lock(r.mutex);
    const std::string base = KeyPath(root);
    if (base.empty() || !result) return kInvalidHandle;
    const std::string path = Join(base, subKey);
    const bool existed = r.keys.count(path) != 0;
    r.keys[path];
    if (disposition) *disposition = existed ? 2 : 1;  // opened existing / created new
    *result = OpenHandle(path);
    return 0;
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    auto& r = Reg();
    std::lock_guard<std::mutex> lock(r.mutex);
    const std::string path = KeyPath(key);
    if (path.empty()) return kInvalidHandle;
    RegValue v{type, {}};
    if (data && size) v.data.assign(data, data + size);
    r.keys[path][Lower(name ? name : "")] = std::move(v);
    return 0;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
    auto& r = Reg();
    std::lock_guard<std::mutex> lock(r.mutex);
    const std::string path = KeyPath(key);
    if (path.empty()) return kInvalidHandle;
    auto k = r.keys.find(path);
    if (k == r.keys.end()) return kNotFound;
    auto v = k->second.find(Lower(name ? name : ""));
    if (v == k->second.end()) return kNotFound;
    if (type) *type = v->second.type;
    const DWORD needed = static_cast<DWORD>(v->second.data.size());
    if (data) {
        if (!size || *size < needed) {
            if (size) *size = needed;
            return kMoreData;
        }
        std::memcpy(data, v->second.data.data(), needed);
    }
    if (size) *size = needed;
    return 0;
}

LONG RegCloseKey(HKEY key) {
    auto& r = Reg();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto* k = static_cast<RegKey*>(key);
    if (!r.open.erase(k)) return kInvalidHandle;
    delete k;
    return 0;
}

void RegClearAll() {
    auto& r = Reg();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.keys.clear();
}

// ---- Message boxes -------------------------------------------------------------------------------

namespace {

int DefaultSink(HWND, LPCSTR text, LPCSTR caption, UINT) {
    std::fprintf(stderr, "[%s] %s\n", caption ? caption : "", text ? text : "");
    return IDOK;
}

std::mutex g_sinkMutex;
MessageBoxSink g_sink = &DefaultSink;

}  // namespace

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    MessageBoxSink sink;
    {
        std::lock_guard<std::mutex> lock(g_sinkMutex);
        sink = g_sink;
    }
    return sink(owner, text, caption, type);
}

MessageBoxSink SetMessageBoxSink(MessageBoxSink sink) {
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    MessageBoxSink previous = g_sink;
    g_sink = sink ? sink : &DefaultSink;
    return previous;
}
