// Facts about the machine and the process written to the log: whether the computer has a
// battery and its chassis type (when the render system starts), and a map of the address space
// (when memory runs out). None of them changes anything other code reads. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Core/MemoryRegionInfo.h"

namespace Zel {

// Battery state: -1 not yet known, 1 a battery, 0 no system battery.
// The state after a power status with this battery flag: 255 (unknown) keeps it; otherwise bit
// 128 means no battery, and any of the bits 1, 2, 4, 8 a battery; other values keep it.
int BatteryStateFromFlag(std::uint8_t batteryFlag, int previous);
int GetBatteryState();
// Queries the power status and logs (ENGINE_INIT) "Computer has no battery.", "Computer has
// battery." or "Battery status:unknown".
void LogBatteryStatus();

// The name of a chassis type (1 "Other" ... 24 "Sealed-Case PC"); "Unknown" outside 1-24.
const char* ChassisTypeName(std::uint32_t chassisType);
// Logs "This  computer is %s" with the name of the last chassis type the machine reports;
// nothing when it reports none.
void LogChassisType();

// "Free   ", "Reserve", "Private", "Mapped ", "Image  " or "Unknown".
const char* StorageTypeName(std::uint32_t storage);
// "----", "-R--", "-RW-", "-RWC", "E---", "ER--", "ERW-", "ERWC" or "Unknown" for the base
// protection; with flags, " " and the letters G, N, W (or "-") of guard, no-cache, write-combine.
std::string ProtectionName(std::uint32_t protection, bool withFlags);
// The region that holds the address; false when there is none (the end of the address space).
bool QueryMemoryRegion(const void* address, MemoryRegionInfo& info);
// The report line of a region: base, storage, size in Kb (below 1024 KB) or Mb, block count,
// protection, and the mapped file or "Thread Stack".
std::string FormatMemoryRegionLine(const MemoryRegionInfo& info);
// Writes the address-space report as RESOURCE_INFO records between "BeginMemOutput." and
// "EndMemOutput": every free region, the free and used totals and the largest free region that
// does not touch the reserve block [reserve, reserve + reserveBytes).
void LogProcessMemoryMap(const void* reserve, std::size_t reserveBytes);

}  // namespace Zel
