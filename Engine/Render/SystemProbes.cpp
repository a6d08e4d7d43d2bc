#include "Render/SystemProbes.h"

#include <x86intrin.h>

#include <algorithm>

#include "Platform/D3D9/DDraw.h"
#include "Platform/Win32/Win32System.h"
#include "Platform/Win32/Win32Time.h"
#include "Render/d3d9/RenderDeviceD3D9.h"

namespace Zel {

namespace {

std::uint32_t TimeCpuClockMHz() {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER now{};
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 ||
        !QueryPerformanceCounter(&now))
        return 0;
    const LONGLONG target = now.QuadPart + frequency.QuadPart / 16;
    const std::uint64_t start = __rdtsc();
    do {
        QueryPerformanceCounter(&now);
    } while (now.QuadPart < target);
    const std::uint64_t ticks = __rdtsc() - start;
    // Ticks in 1/16 s: ticks * 16 / 10^6 MHz.
    return static_cast<std::uint32_t>(ticks / 62500);
}

}  // namespace

std::uint32_t MeasureCpuClockMHz() {
    // The clock does not change while the process runs: one 1/16 s wait, not one per device.
    static const std::uint32_t measured = TimeCpuClockMHz();
    return measured;
}

std::string GetLibraryVersionText() {
    // A shared object on this platform carries no version resource.
    return "获取引擎版本号失败：找不到版本资源";
}

void QueryMemoryStatus(MemoryStatus& status) {
    status = MemoryStatus{};
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    if (!GlobalMemoryStatusEx(&memory))
        return;
    const auto mb = [](std::uint64_t bytes) {
        return static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes >> 20, 0xFFFFFFFFu));
    };
    status.totalPhysicalMB = mb(memory.ullTotalPhys);
    status.availablePhysicalMB = mb(memory.ullAvailPhys);
    status.totalVirtualMB = mb(memory.ullTotalVirtual);
    status.availableVirtualMB = mb(memory.ullAvailVirtual);
}

std::uint32_t QueryVideoMemory(std::uint32_t kind, const void* window, RenderDevice* device) {
    if (!window)
        return kFallbackVideoMemoryBytes;
    // Asked afresh each time rather than kept from the first call: a kept object would stay
    // bound to the first window and live past the device.
    IDirectDraw* directDraw = nullptr;
    if (FAILED(DirectDrawCreate(nullptr, &directDraw, nullptr)) || !directDraw)
        return kFallbackVideoMemoryBytes;
    DDCAPS caps{};
    caps.dwSize = sizeof caps;
    const bool ready = SUCCEEDED(directDraw->SetCooperativeLevel(
                           static_cast<HWND>(const_cast<void*>(window)), DDSCL_NORMAL)) &&
                       SUCCEEDED(directDraw->GetCaps(&caps, nullptr));
    directDraw->Release();
    if (!ready)
        return kFallbackVideoMemoryBytes;
    std::uint64_t total = caps.dwVidMemTotal;
    std::uint64_t free = caps.dwVidMemFree;
    if (total == 0) {
        if (!device)
            return kFallbackVideoMemoryBytes;
        total = free = std::uint64_t(device->GetAvailableTextureMem()) << 20;
    }
    const auto bytes = [](std::uint64_t value) {
        return static_cast<std::uint32_t>(std::min<std::uint64_t>(value, 0xFFFFFFFFu));
    };
    switch (kind) {
        case VM_TOTAL:
            return bytes(total);
        case VM_FREE:
            return bytes(free);
        case VM_USED:
            return bytes(total > free ? total - free : 0);
        default:
            return kFallbackVideoMemoryBytes;
    }
}

namespace {
// The first 127 characters of name, widened, in a 128-character buffer.
struct WideName {
    explicit WideName(const char* name) {
        for (std::size_t i = 0; name && i < 127 && name[i]; ++i)
            text[i] = static_cast<wchar_t>(static_cast<unsigned char>(name[i]));
    }
    wchar_t text[128] = {};
};
}  // namespace

void ProfileBeginEvent(RenderDevice* device, const char* name) {
    auto* d3d9 = dynamic_cast<RenderDeviceD3D9*>(device);
    if (!d3d9 || !d3d9->GetPerfBeginEvent())
        return;
    d3d9->GetPerfBeginEvent()(0xFF00FF00, WideName(name).text);
}

void ProfileSetMarker(RenderDevice* device, const char* name, std::uint32_t colour) {
    auto* d3d9 = dynamic_cast<RenderDeviceD3D9*>(device);
    if (!d3d9 || !d3d9->GetPerfSetMarker())
        return;
    d3d9->GetPerfSetMarker()(colour, WideName(name).text);
}

void ProfileEndEvent(RenderDevice* device) {
    auto* d3d9 = dynamic_cast<RenderDeviceD3D9*>(device);
    if (d3d9 && d3d9->GetPerfEndEvent())
        d3d9->GetPerfEndEvent()();
}

}  // namespace Zel
