// Process memory, modules, debugger, console, power status, registry and message boxes.
#pragma once

#include "Platform/Win32/Win32Types.h"

struct MEMORYSTATUSEX {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    DWORDLONG ullTotalPhys;
    DWORDLONG ullAvailPhys;
    DWORDLONG ullTotalPageFile;
    DWORDLONG ullAvailPageFile;
    DWORDLONG ullTotalVirtual;
    DWORDLONG ullAvailVirtual;
    DWORDLONG ullAvailExtendedVirtual;
};
// Filled from /proc/meminfo and /proc/self/status.
BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX* status);

// The processor count (online processors) and the page size; the other fields are zero.
struct SYSTEM_INFO {
    WORD wProcessorArchitecture;
    WORD wReserved;
    DWORD dwPageSize;
    LPVOID lpMinimumApplicationAddress;
    LPVOID lpMaximumApplicationAddress;
    std::uintptr_t dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
};
void GetSystemInfo(SYSTEM_INFO* info);

// The version the process sees: the NT platform, 10.0 build 19041 (as ntdll's
// RtlGetNtVersionNumbers below), no service pack. dwOSVersionInfoSize must be the size of one of
// the two records; FALSE otherwise.
constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};
struct OSVERSIONINFOEXA : OSVERSIONINFOA {
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};
BOOL GetVersionExA(OSVERSIONINFOA* info);

// The primary screen's size in pixels (SM_CXSCREEN, SM_CYSCREEN): 1024 × 768, the display mode of
// the software adapter; 0 for any other metric.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
int GetSystemMetrics(int index);

// Bytes of the process heap in use (the sum of busy blocks).
SIZE_T GetProcessHeapBusyBytes();

// One mapped region of the process (from /proc/self/maps).
struct MappedRegion {
    std::uintptr_t base;
    SIZE_T size;
    char path[MAX_PATH];
};
// Writes up to maxCount regions that map a file; answers how many were written.
DWORD GetMappedRegions(MappedRegion* regions, DWORD maxCount);

// Module loading loads nothing: every name answers a non-null dummy handle, GetProcAddress answers
// null unless a function was registered for that module and name (tests register stand-ins) or
// the layer has a stand-in of its own (ntdll.dll's RtlGetNtVersionNumbers answers 10.0).
HMODULE LoadLibraryA(LPCSTR name);
BOOL FreeLibrary(HMODULE module);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
void RegisterModuleProc(LPCSTR module, LPCSTR name, FARPROC proc);
// Makes LoadLibraryA of a module fail (last error 126) until cleared; ClearModuleProcs clears it.
void SetModuleMissing(LPCSTR name, BOOL missing);
void ClearModuleProcs();

// True when a tracer is attached (TracerPid in /proc/self/status); DebugBreak traps only then.
BOOL IsDebuggerPresent();
void DebugBreak();

// Console allocation is a flag: console writes go to standard output either way.
BOOL AllocConsole();
BOOL FreeConsole();
BOOL HasConsole();

// The process's standard input and output as console handles (not closed by CloseHandle).
constexpr DWORD STD_INPUT_HANDLE = static_cast<DWORD>(-10);
constexpr DWORD STD_OUTPUT_HANDLE = static_cast<DWORD>(-11);
HANDLE GetStdHandle(DWORD which);
// Writes the characters to standard output and flushes; no line feed is added.
BOOL WriteConsoleA(HANDLE output, const void* text, DWORD count, DWORD* written, void* reserved);
// The number of bytes standard input can deliver without waiting (a terminal delivers a line
// once it is entered). Never waits.
BOOL GetNumberOfConsoleInputEvents(HANDLE input, DWORD* count);
// Reads up to count bytes from standard input; call it only for bytes reported available.
BOOL ReadConsoleA(HANDLE input, void* buffer, DWORD count, DWORD* read, void* control);

struct SYSTEM_POWER_STATUS {
    BYTE ACLineStatus;         // 0 offline, 1 online, 255 unknown
    BYTE BatteryFlag;          // 1 high, 2 low, 4 critical, 8 charging, 128 no battery, 255 unknown
    BYTE BatteryLifePercent;   // 0-100, 255 unknown
    BYTE SystemStatusFlag;
    DWORD BatteryLifeTime;     // seconds, 0xFFFFFFFF unknown
    DWORD BatteryFullLifeTime; // seconds, 0xFFFFFFFF unknown
};
// Read from /sys/class/power_supply; a machine without a battery reports flag 128.
BOOL GetSystemPowerStatus(SYSTEM_POWER_STATUS* status);

// The chassis types of the machine's system enclosures, as the WMI class Win32_SystemEnclosure
// reports them in "ChassisTypes" (1 other, 2 unknown, 3 desktop, ... 24 sealed-case PC). Read
// from /sys/class/dmi/id/chassis_type. Answers how many values were written; 0 when the machine
// does not say.
DWORD QuerySystemEnclosureChassisTypes(DWORD* types, DWORD maxCount);

// The address space of the current process, one region at a time (from /proc/self/maps). Every
// mapping is an allocation of its own; the gaps between mappings are free regions.
constexpr DWORD MEM_COMMIT = 0x1000;
constexpr DWORD MEM_RESERVE = 0x2000;
constexpr DWORD MEM_FREE = 0x10000;
constexpr DWORD MEM_PRIVATE = 0x20000;
constexpr DWORD MEM_MAPPED = 0x40000;
constexpr DWORD MEM_IMAGE = 0x1000000;
constexpr DWORD PAGE_NOACCESS = 0x01;
constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD PAGE_READWRITE = 0x04;
constexpr DWORD PAGE_WRITECOPY = 0x08;
constexpr DWORD PAGE_EXECUTE = 0x10;
constexpr DWORD PAGE_EXECUTE_READ = 0x20;
constexpr DWORD PAGE_EXECUTE_READWRITE = 0x40;
constexpr DWORD PAGE_EXECUTE_WRITECOPY = 0x80;
constexpr DWORD PAGE_GUARD = 0x100;
constexpr DWORD PAGE_NOCACHE = 0x200;
constexpr DWORD PAGE_WRITECOMBINE = 0x400;
struct MEMORY_BASIC_INFORMATION {
    void* BaseAddress;
    void* AllocationBase;
    DWORD AllocationProtect;
    SIZE_T RegionSize;
    DWORD State;
    DWORD Protect;
    DWORD Type;
};
// Describes the region that holds the address: a mapping (committed; image when it maps an
// executable file, mapped for other files, private otherwise) or the free gap around it. Answers
// the size of the record written, 0 above the user address space (2^47).
SIZE_T VirtualQuery(const void* address, MEMORY_BASIC_INFORMATION* info, SIZE_T length);

// The registry is an in-memory key store for the life of the process.
inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000u));
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u));
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u));
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD KEY_READ = 0x20019;
constexpr DWORD KEY_WRITE = 0x20006;
constexpr DWORD KEY_ALL_ACCESS = 0xF003F;
LONG RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD options, DWORD access, HKEY* result);
LONG RegCreateKeyExA(HKEY root, LPCSTR subKey, DWORD reserved, LPSTR cls, DWORD options,
                     DWORD access, void* security, HKEY* result, DWORD* disposition);
LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);
LONG RegQueryValueExA(HKEY key, LPCSTR name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* size);
LONG RegCloseKey(HKEY key);
// Test access: removes every key and value.
void RegClearAll();

// Message boxes never block: they go to a replaceable sink. The default sink writes
// "[caption] text" to standard error and answers IDOK.
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
using MessageBoxSink = int (*)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
// Installs a sink (null restores the default); answers the previous one.
MessageBoxSink SetMessageBoxSink(MessageBoxSink sink);
