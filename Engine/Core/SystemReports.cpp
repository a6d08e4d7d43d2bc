#include "Core/SystemReports.h"

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <vector>

#include "Core/LogDispatch.h"
#include "Platform/Win32/Win32System.h"

namespace Zel {
namespace {

constexpr std::uint8_t kBatteryUnknown = 255;
constexpr std::uint8_t kNoSystemBattery = 128;
constexpr std::uint8_t kBatteryPresentBits = 1 | 2 | 4 | 8;
constexpr std::size_t kLineBufferSize = 1024;
constexpr std::uint32_t kProtectionFlags = PAGE_GUARD | PAGE_NOCACHE | PAGE_WRITECOMBINE;

std::atomic<int> g_batteryState{-1};

constexpr const char* kChassisNames[] = {
    "Other",
    "Unknown",
    "Desktop",
    "Low Profile Desktop",
    "Pizza Box",
    "Mini Tower",
    "Tower",
    "Portable",
    "Laptop",
    "Notebook",
    "Hand Held",
    "Docking Station",
    "All in One",
    "Sub Notebook",
    "Space-Saving",
    "Lunch Box",
    "Main System Chassis",
    "Expansion Chassis",
    "SubChassis",
    "Bus Expansion Chassis",
    "Peripheral Chassis",
    "Storage Chassis",
    "Rack Mount Chassis",
    "Sealed-Case PC",
};

void LogResource(const char* text) {
    LogTyped(LOG_RESOURCE_INFO, "%s", text);
}

// The loaded file that starts at the base, or empty.
std::string ModuleAt(std::uintptr_t base) {
    std::vector<MappedRegion> regions(4096);
    const DWORD count = GetMappedRegions(regions.data(), static_cast<DWORD>(regions.size()));
    for (DWORD i = 0; i < count; ++i)
        if (regions[i].base == base)
            return regions[i].path;
    return std::string();
}

double Kb(std::uint64_t bytes) {
    return static_cast<double>(bytes) / 1024.0;
}
double Mb(std::uint64_t bytes) {
    return static_cast<double>(bytes) / 1048576.0;
}

}  // namespace

int BatteryStateFromFlag(std::uint8_t batteryFlag, int previous) {
    if (batteryFlag == kBatteryUnknown)
        return previous;
    if (batteryFlag & kNoSystemBattery)
        return 0;
    if (batteryFlag & kBatteryPresentBits)
        return 1;
    return previous;
}

int GetBatteryState() {
    return g_batteryState.load();
}

void LogBatteryStatus() {
    SYSTEM_POWER_STATUS status{};
    if (GetSystemPowerStatus(&status))
        g_batteryState.store(BatteryStateFromFlag(status.BatteryFlag, g_batteryState.load()));
    const int state = g_batteryState.load();
    LogTyped(LOG_ENGINE_INIT, "%s",
             state == 0   ? "Computer has no battery."
             : state == 1 ? "Computer has battery."
                          : "Battery status:unknown");
}

const char* ChassisTypeName(std::uint32_t chassisType) {
    constexpr std::uint32_t count = sizeof kChassisNames / sizeof kChassisNames[0];
    return chassisType >= 1 && chassisType <= count ? kChassisNames[chassisType - 1] : "Unknown";
}

void LogChassisType() {
    DWORD types[8];
    const DWORD count = QuerySystemEnclosureChassisTypes(types, 8);
    if (count == 0)
        return;
    char chassis[31];
    for (DWORD i = 0; i < count; ++i)
        std::snprintf(chassis, sizeof chassis, "%s", ChassisTypeName(types[i]));
    LogTyped(LOG_ENGINE_INIT, "This  computer is %s", chassis);
}

const char* StorageTypeName(std::uint32_t storage) {
    switch (storage) {
        case MEM_FREE:
            return "Free   ";
        case MEM_RESERVE:
            return "Reserve";
        case MEM_PRIVATE:
            return "Private";
        case MEM_MAPPED:
            return "Mapped ";
        case MEM_IMAGE:
            return "Image  ";
        default:
            return "Unknown";
    }
}

std::string ProtectionName(std::uint32_t protection, bool withFlags) {
    std::string name;
    switch (protection & ~kProtectionFlags) {
        case PAGE_NOACCESS:
            name = "----";
            break;
        case PAGE_READONLY:
            name = "-R--";
            break;
        case PAGE_READWRITE:
            name = "-RW-";
            break;
        case PAGE_WRITECOPY:
            name = "-RWC";
            break;
        case PAGE_EXECUTE:
            name = "E---";
            break;
        case PAGE_EXECUTE_READ:
            name = "ER--";
            break;
        case PAGE_EXECUTE_READWRITE:
            name = "ERW-";
            break;
        case PAGE_EXECUTE_WRITECOPY:
            name = "ERWC";
            break;
        default:
            name = "Unknown";
            break;
    }
    if (withFlags) {
        name += ' ';
        name += (protection & PAGE_GUARD) ? 'G' : '-';
        name += (protection & PAGE_NOCACHE) ? 'N' : '-';
        name += (protection & PAGE_WRITECOMBINE) ? 'W' : '-';
    }
    return name;
}

bool QueryMemoryRegion(const void* address, MemoryRegionInfo& info) {
    MEMORY_BASIC_INFORMATION block{};
    if (!VirtualQuery(address, &block, sizeof block))
        return false;
    info = MemoryRegionInfo{};
    if (block.State == MEM_FREE) {
        info.regionBase = reinterpret_cast<std::uintptr_t>(block.BaseAddress);
        info.regionProtection = block.AllocationProtect;
        info.regionSize = block.RegionSize;
        info.regionStorage = MEM_FREE;
        info.blockStorage = MEM_FREE;
        return true;
    }
    const bool reserved = block.State == MEM_RESERVE;
    info.blockBase = reinterpret_cast<std::uintptr_t>(block.BaseAddress);
    info.blockProtection = reserved ? block.AllocationProtect : block.Protect;
    info.blockSize = block.RegionSize;
    info.blockStorage = reserved ? MEM_RESERVE : block.Type;
    info.regionBase = reinterpret_cast<std::uintptr_t>(block.AllocationBase);
    info.regionProtection = block.AllocationProtect;
    info.regionStorage = MEM_PRIVATE;

    std::uint32_t firstProtections[4] = {};
    bool storageTaken = false;
    std::uintptr_t at = info.regionBase;
    MEMORY_BASIC_INFORMATION part{};
    while (VirtualQuery(reinterpret_cast<const void*>(at), &part, sizeof part) &&
           part.State != MEM_FREE && part.AllocationBase == block.AllocationBase) {
        const std::uint32_t protection = part.State == MEM_RESERVE ? 0 : part.Protect;
        if (info.blockCount < 4)
            firstProtections[info.blockCount] = protection;
        ++info.blockCount;
        if (protection & PAGE_GUARD)
            ++info.guardBlockCount;
        if (!storageTaken && part.Type != MEM_PRIVATE) {
            info.regionStorage = part.Type;
            storageTaken = true;
        }
        info.regionSize += part.RegionSize;
        at = reinterpret_cast<std::uintptr_t>(part.BaseAddress) + part.RegionSize;
    }
    info.isThreadStack =
        info.guardBlockCount > 0 ||
        (info.blockCount >= 4 && firstProtections[0] == 0 && firstProtections[1] == PAGE_NOACCESS &&
         firstProtections[2] == PAGE_READWRITE && firstProtections[3] == 0);
    return true;
}

std::string FormatMemoryRegionLine(const MemoryRegionInfo& info) {
    char line[kLineBufferSize];
    const std::uint64_t kb = info.regionSize / 1024;
    const void* base = reinterpret_cast<const void*>(info.regionBase);
    if (kb < 1024)
        std::snprintf(line, sizeof line, "%p     %s     %10.2lf(Kb)        ", base,
                      StorageTypeName(info.regionStorage), static_cast<double>(kb));
    else
        std::snprintf(line, sizeof line, "%p     %s     %10.2lf(Mb)        ", base,
                      StorageTypeName(info.regionStorage), static_cast<double>(kb / 1024));
    std::string text = line;
    std::snprintf(line, sizeof line, "%5u            ", info.blockCount);
    text += line;
    text += ProtectionName(info.regionProtection, false) + "     ";
    if (info.regionBase && info.regionStorage != MEM_FREE)
        text += ModuleAt(info.regionBase);
    if (info.isThreadStack)
        text += "Thread Stack";
    return text;
}

void LogProcessMemoryMap(const void* reserve, std::size_t reserveBytes) {
    LogResource("BeginMemOutput.");
    char line[kLineBufferSize];
    std::snprintf(line, sizeof line, "预留内存基址:%p,大小:%zu KB", reserve, reserveBytes / 1024);
    LogResource(line);
    LogResource("分配基址     状态     区域大小        已用内存块     保护属性     进程名");

    const auto reserveStart = reinterpret_cast<std::uintptr_t>(reserve);
    const std::uintptr_t reserveEnd = reserveStart + reserveBytes;
    std::uint64_t freeBytes = 0, usedBytes = 0, freeCount = 0, usedCount = 0;
    std::uintptr_t largestBase = 0;
    std::uint64_t largestSize = 0;
    MemoryRegionInfo info;
    std::uintptr_t at = 0;
    while (QueryMemoryRegion(reinterpret_cast<const void*>(at), info)) {
        if (info.regionStorage == MEM_FREE) {
            LogResource(FormatMemoryRegionLine(info).c_str());
            freeBytes += info.regionSize;
            ++freeCount;
            const std::uintptr_t end = info.regionBase + info.regionSize;
            const bool clearOfReserve =
                reserveBytes == 0 || info.regionBase >= reserveEnd || end <= reserveStart;
            if (info.regionSize > largestSize && clearOfReserve) {
                largestSize = info.regionSize;
                largestBase = info.regionBase;
            }
        } else {
            usedBytes += info.regionSize;
            ++usedCount;
        }
        const std::uintptr_t next = info.regionBase + info.regionSize;
        if (next <= at)
            break;
        at = next;
    }

    std::snprintf(line, sizeof line,
                  "空闲内存大小:%" PRIu64 " 字节,%.2lf KB,%.2lf MB,剩余块数:%" PRIu64
                  ";已用内存大小:%" PRIu64 " 字节,%.2lf KB,%.2lf MB,已用块数:%" PRIu64,
                  freeBytes, Kb(freeBytes), Mb(freeBytes), freeCount, usedBytes, Kb(usedBytes),
                  Mb(usedBytes), usedCount);
    LogResource(line);
    LogResource("最大连续空闲内存:");
    std::snprintf(line, sizeof line, "分配基址:%p", reinterpret_cast<const void*>(largestBase));
    LogResource(line);
    std::snprintf(line, sizeof line, "大小:%" PRIu64 " 字节,%.2lf KB,%.2lf MB", largestSize,
                  Kb(largestSize), Mb(largestSize));
    LogResource(line);
    LogResource("EndMemOutput");
}

}  // namespace Zel
