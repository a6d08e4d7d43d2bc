// The capability report of RenderDeviceD3D9: the capability record, the machine summary, the
// adapter block, the drawing mode, the multisample probe and the texture scale level.
#include "Render/d3d9/RenderDeviceD3D9.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "Core/DeviceCaps.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/ProcessorCaps.h"
#include "Entity/Texture/TextureManager.h"
#include "Entity/Texture/TextureScale.h"
#include "Interface/SystemInfo.h"
#include "Math/CPUInfo.h"
#include "Platform/Win32/Win32.h"
#include "Render/AdapterInfoBlock.h"
#include "Render/DisplaySettings.h"
#include "Render/SystemProbes.h"
#include "Render/d3d9/DeviceDiagnostics.h"

namespace Zel {
namespace {

constexpr std::uint64_t kMB = 1u << 20;
constexpr DWORD kIntelVendorId = 0x8086;
constexpr const char* kSeparator = "***********************************************************";

// Copies at most N - 1 characters and the terminating NUL.
template <std::size_t N>
void CopyText(char (&destination)[N], const char* text) {
    const std::size_t length = text ? strnlen(text, N - 1) : 0;
    std::memcpy(destination, text ? text : "", length);
    destination[length] = '\0';
}

// Byte counts the records keep in 32 bits saturate instead of wrapping at 4 GiB.
std::uint32_t Saturate32(std::uint64_t value) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(value, 0xFFFFFFFFu));
}

void SetFlag(std::uint32_t& flags, std::uint32_t flag, bool on) {
    flags = on ? (flags | flag) : (flags & ~flag);
}

const char* OperatingSystemName(const OSVERSIONINFOEXA& version) {
    struct Name {
        DWORD platform, major, minor;
        const char* name;
    };
    static constexpr Name kNames[] = {
        {VER_PLATFORM_WIN32_NT, 5, 0, "Windows2000"},
        {VER_PLATFORM_WIN32_NT, 5, 1, "WindowsXP"},
        {VER_PLATFORM_WIN32_NT, 4, 0, "WindowsNT"},
        {VER_PLATFORM_WIN32_NT, 6, 0, "Vista"},
        {VER_PLATFORM_WIN32_NT, 6, 1, "Windows7"},
        {VER_PLATFORM_WIN32_NT, 6, 2, "Windows8"},
        {VER_PLATFORM_WIN32_NT, 6, 3, "Windows8.1"},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, "Windows98"},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 90, "WindowsMe"},
    };
    for (const Name& n : kNames)
        if (n.platform == version.dwPlatformId && n.major == version.dwMajorVersion &&
            n.minor == version.dwMinorVersion)
            return n.name;
    return version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? "Windows95" : "Unknow OS";
}

// A GeForce FX 5200 is too slow for shader drawing beside a fast or modern processor; beside an
// old Pentium it keeps the shader path.
void ChooseFixedFunctionForSlowAdapter(const char* description, const ProcessorCaps& cpu,
                                       std::uint32_t processorMHz) {
    if (!std::strstr(description, "GeForce") || !std::strstr(description, "5200"))
        return;
    bool old = false;
    bool modern = false;
    if (!cpu.cpuidAvailable) {
        LogTyped(LOG_ENGINE_INIT, "无法识别CPU型号");
    } else {
        const char* brand = cpu.brand;
        old = std::strstr(brand, "Pentium") &&
              (std::strstr(brand, "4") || std::strstr(brand, "III") || std::strstr(brand, "3"));
        modern = std::strstr(brand, "Core") || cpu.hyperThreading;
    }
    GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if ((processorMHz > 1699 || modern) && !old && config)
        config->SetForceDX7(true);
}

// The texture scale level and compression switch for an amount of video memory.
void ChooseTextureScale(std::uint64_t totalBytes) {
    GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    int level = 0;
    bool compress = true;
    if (totalBytes <= 32 * kMB) {
        level = 2;
        LogTyped(LOG_ENGINE_INIT, "Force texture scale 1/16");
    } else if (totalBytes <= 64 * kMB) {
        level = 1;
        LogTyped(LOG_ENGINE_INIT, "Force texture scale 1/4");
    } else if (totalBytes <= 75 * kMB) {
        LogTyped(LOG_ENGINE_INIT, "No texture scale");
    } else {
        compress = false;
    }
    SetTextureScaleLevel(level);
    if (config)
        config->SetCompressToDDS(compress);
}

}  // namespace

void RenderDeviceD3D9::ProbeMultisampleModes(DeviceCaps& caps, const DisplaySettings& settings) {
    if (!Direct3D())
        return;
    D3DFORMAT backBuffer;
    D3DFORMAT depth;
    ResolveFormats(settings, &backBuffer, &depth);
    caps.multisampleMask |= 0x1;
    struct Mode {
        const char* name;
        D3DMULTISAMPLE_TYPE type;
        std::uint32_t bit;
    };
    static constexpr Mode kModes[] = {
        {"\t\t2xAA", D3DMULTISAMPLE_2_SAMPLES, 0x2},
        {"\t\t4xAA", D3DMULTISAMPLE_4_SAMPLES, 0x4},
        {"\t\t6xAA", D3DMULTISAMPLE_6_SAMPLES, 0x8},
        {"\t\t8xAA", D3DMULTISAMPLE_8_SAMPLES, 0x10},
        {"\t\t10xAA", D3DMULTISAMPLE_10_SAMPLES, 0x20},
    };
    const BOOL windowed = settings.windowed ? TRUE : FALSE;
    for (const Mode& mode : kModes) {
        if (Direct3D()->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, backBuffer,
                                                   windowed, mode.type, nullptr) == D3D_OK &&
            Direct3D()->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, depth,
                                                   windowed, mode.type, nullptr) == D3D_OK) {
            caps.multisampleMask |= mode.bit;
            LogTyped(LOG_ENGINE_INIT, "%s Supported. ", mode.name);
        }
    }
}

void RenderDeviceD3D9::ReportCaps(DeviceCaps& caps, const DisplaySettings& settings) {
    if (!device_) {
        LogTyped(LOG_ENGINE_INIT, "ReportCaps: no device");
        return;
    }
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    LogTyped(LOG_ENGINE_INIT, "%s", kSeparator);
    char directory[256] = {};
    GetCurrentDirectoryA(255, directory);
    LogTyped(LOG_ENGINE_INIT, "当前运行路径：%s", directory);
    ULARGE_INTEGER freeToCaller{};
    ULARGE_INTEGER total{};
    ULARGE_INTEGER totalFree{};
    if (GetDiskFreeSpaceExA(nullptr, &freeToCaller, &total, &totalFree))
        LogTyped(LOG_ENGINE_INIT, "磁盘剩余空间：%" PRIu64 " MB",
                 static_cast<std::uint64_t>(totalFree.QuadPart >> 20));

    // Device capabilities.
    D3DCAPS9 d3d{};
    device_->GetDeviceCaps(&d3d);
    caps.maxTextureWidth = d3d.MaxTextureWidth;
    caps.maxTextureHeight = d3d.MaxTextureHeight;
    caps.maxAnisotropy = d3d.MaxAnisotropy;
    caps.textureStageCount = d3d.MaxTextureBlendStages;
    caps.maxSimultaneousTextures = d3d.MaxSimultaneousTextures;
    caps.maxUserClipPlanes = d3d.MaxUserClipPlanes;
    caps.maxPrimitiveCount = d3d.MaxPrimitiveCount;
    caps.maxVertexIndex = d3d.MaxVertexIndex;
    caps.maxStreams = d3d.MaxStreams;
    caps.maxStreamStride = d3d.MaxStreamStride;
    caps.vertexShaderVersion = d3d.VertexShaderVersion;
    caps.pixelShaderVersion = d3d.PixelShaderVersion;
    caps.maxVertexShaderConstants = d3d.MaxVertexShaderConst;
    caps.simultaneousRenderTargets = d3d.NumSimultaneousRTs;
    caps.vertexTextureFilterCaps = d3d.VertexTextureFilterCaps;
    caps.maxVertexShaderInstructions = d3d.MaxVShaderInstructionsExecuted;
    caps.maxVertexBlendMatrices = d3d.MaxVertexBlendMatrices;
    caps.maxVertexBlendMatrixIndex = d3d.MaxVertexBlendMatrixIndex;
    SetFlag(caps.featureFlags, DEVICE_INDEX_32, d3d.MaxVertexIndex >= 0x10000);
    SetFlag(caps.featureFlags, DEVICE_DYNAMIC_TEXTURES,
            (d3d.Caps2 & D3DCAPS2_DYNAMICTEXTURES) != 0);
    if (!(d3d.TextureCaps & D3DPTEXTURECAPS_ALPHA))
        ReportDeviceError("致命兼容性错误：显卡的纹理不支持alpha（D3DPTEXTURECAPS_ALPHA=no）");
    if (d3d.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY)
        ReportDeviceError("致命兼容性错误：显卡只支持正方形纹理");
    const bool pow2 = (d3d.TextureCaps & D3DPTEXTURECAPS_POW2) != 0;
    const bool conditional = (d3d.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) != 0;
    if (pow2)
        caps.nonPowerOfTwo = conditional ? 0 : 2;
    else if (!conditional)
        caps.nonPowerOfTwo = 1;
    struct Version {
        std::uint32_t flag;
        DWORD version;
        bool vertex;
    };
    static constexpr Version kVersions[] = {
        {DEVICE_VS_1_1, D3DVS_VERSION(1, 1), true},  {DEVICE_VS_2_0, D3DVS_VERSION(2, 0), true},
        {DEVICE_VS_3_0, D3DVS_VERSION(3, 0), true},  {DEVICE_PS_1_1, D3DPS_VERSION(1, 1), false},
        {DEVICE_PS_1_2, D3DPS_VERSION(1, 2), false}, {DEVICE_PS_1_3, D3DPS_VERSION(1, 3), false},
        {DEVICE_PS_1_4, D3DPS_VERSION(1, 4), false}, {DEVICE_PS_2_0, D3DPS_VERSION(2, 0), false},
        {DEVICE_PS_3_0, D3DPS_VERSION(3, 0), false},
    };
    for (const Version& v : kVersions)
        SetFlag(caps.featureFlags, v.flag,
                (v.vertex ? d3d.VertexShaderVersion : d3d.PixelShaderVersion) >= v.version);

    // The machine.
    caps.processorMHz = MeasureCpuClockMHz();
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    GlobalMemoryStatusEx(&memory);
    caps.totalPhysicalMB = Saturate32(memory.ullTotalPhys >> 20);
    caps.availablePhysicalMB = Saturate32(memory.ullAvailPhys >> 20);
    caps.totalVirtualMB = Saturate32(memory.ullTotalVirtual >> 20);
    caps.availableVirtualMB = Saturate32(memory.ullAvailVirtual >> 20);
    caps.filled = 1;
    ProcessorCaps localCpu;
    ProcessorCaps* cpu = Globals::Find(&Globals::GetProcessorCaps);
    if (!cpu)
        cpu = &localCpu;
    ReadCpuInfo(cpu);
    caps.mmx = (cpu->leaf1Edx >> 23) & 1;
    caps.sse = (cpu->leaf1Edx >> 25) & 1;
    caps.sse2 = (cpu->leaf1Edx >> 26) & 1;
    caps.threeDNow = (cpu->extendedLeaf1Edx >> 31) & 1;

    D3DADAPTER_IDENTIFIER9 adapter{};
    Direct3D()->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &adapter);
    adapter.Description[sizeof adapter.Description - 1] = '\0';
    adapter.Driver[sizeof adapter.Driver - 1] = '\0';
    LogTyped(LOG_ENGINE_INIT, "CPU厂商：%s", cpu->vendor);
    LogTyped(LOG_ENGINE_INIT, "CPU型号：%s", cpu->brand);
    ZelI::SystemInfo* info = Globals::Find(&Globals::GetSystemInfo);
    if (info)
        CopyText(info->processorBrand, cpu->brand);

    ChooseFixedFunctionForSlowAdapter(adapter.Description, *cpu, caps.processorMHz);
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (config && config->ForceDX7()) {
        LogTyped(LOG_ENGINE_INIT, "使用DX7模式");
        SetFixedFunctionMode(MODE_FIXED_FUNCTION);
    } else {
        LogTyped(LOG_ENGINE_INIT, "使用DX9模式");
        SetFixedFunctionMode(MODE_SHADER);
    }

    LogTyped(LOG_ENGINE_INIT, "Driver : %s", adapter.Driver);
    LogTyped(LOG_ENGINE_INIT, "Description : %s", adapter.Description);
    CopyText(adapterDescription_, adapter.Description);
    const auto high = static_cast<DWORD>(adapter.DriverVersion.u.HighPart);
    const DWORD low = adapter.DriverVersion.u.LowPart;
    const int product = static_cast<int>(high >> 16);
    const int version = static_cast<int>(high & 0xFFFF);
    const int subVersion = static_cast<int>(low >> 16);
    const int build = static_cast<int>(low & 0xFFFF);
    LogTyped(LOG_ENGINE_INIT, "Product : %d", product);
    LogTyped(LOG_ENGINE_INIT, "Version : %d", version);
    LogTyped(LOG_ENGINE_INIT, "SubVersion : %d", subVersion);
    LogTyped(LOG_ENGINE_INIT, "Build : %d", build);
    LogTyped(LOG_ENGINE_INIT, "WHQL : %ld", static_cast<long>(adapter.WHQLLevel));
    LogTyped(LOG_ENGINE_INIT, "Max Texture Width : %u", caps.maxTextureWidth);
    LogTyped(LOG_ENGINE_INIT, "Max Texture Height : %u", caps.maxTextureHeight);
    LogTyped(LOG_ENGINE_INIT, "Max Texture Stages : %u", caps.textureStageCount);
    LogTyped(LOG_ENGINE_INIT, "Max Texture Binded : %u", caps.maxSimultaneousTextures);
    LogTyped(LOG_ENGINE_INIT, "Max Anisotropy : %u", caps.maxAnisotropy);
    LogTyped(LOG_ENGINE_INIT, "Dynamic Texture : %d",
             (caps.featureFlags & DEVICE_DYNAMIC_TEXTURES) ? 1 : 0);
    if (caps.nonPowerOfTwo == 0)
        LogTyped(LOG_ENGINE_INIT, "NonePow2 Texture Support : Conditional");
    else if (caps.nonPowerOfTwo == 1)
        LogTyped(LOG_ENGINE_INIT, "NonePow2 Texture Support : NoneConditional");
    else
        LogTyped(LOG_ENGINE_INIT, "NonePow2 Texture Support : None");

    ProbeMultisampleModes(caps, settings);
    caps.anisotropyMask = 0x1;
    if (caps.maxAnisotropy > 1)
        caps.anisotropyMask |= 0x2;
    if (caps.maxAnisotropy > 3)
        caps.anisotropyMask |= 0x4;
    if (caps.maxAnisotropy > 7)
        caps.anisotropyMask |= 0x8;
    if (caps.maxAnisotropy > 15)
        caps.anisotropyMask |= 0x10;

    LogTyped(LOG_ENGINE_INIT, "Max VertexBlend Matrices :%u", caps.maxVertexBlendMatrices);
    LogTyped(LOG_ENGINE_INIT, "Max VertexBlend Matrix Index : %u", caps.maxVertexBlendMatrixIndex);
    LogTyped(LOG_ENGINE_INIT, "Max Primitive Count :%u", caps.maxPrimitiveCount);
    LogTyped(LOG_ENGINE_INIT, "Max Vertex Index : %u", caps.maxVertexIndex);
    LogTyped(LOG_ENGINE_INIT, "Max Vertex Stream : %u", caps.maxStreams);
    LogTyped(LOG_ENGINE_INIT, "Max Stream Stride : %u", caps.maxStreamStride);
    LogTyped(LOG_ENGINE_INIT, "Max Vertex Shader Constants : %u", caps.maxVertexShaderConstants);
    LogTyped(LOG_ENGINE_INIT, "MAX MRTS:%u", caps.simultaneousRenderTargets);
    LogTyped(LOG_ENGINE_INIT, "CPU Frequency : %u MHz", caps.processorMHz);
    LogTyped(LOG_ENGINE_INIT, "MMX : %u", caps.mmx);
    LogTyped(LOG_ENGINE_INIT, "SSE : %u", caps.sse);
    LogTyped(LOG_ENGINE_INIT, "SSE2 : %u", caps.sse2);
    LogTyped(LOG_ENGINE_INIT, "3DNow : %u", caps.threeDNow);
    const std::uint32_t textureMB = GetAvailableTextureMem();
    LogTyped(LOG_ENGINE_INIT, "GetAvailableVideoMemory()=: %u MB", textureMB);

    // Video memory, in 64 bits: DirectDraw's local figure, the texture memory on Intel adapters
    // and whenever DirectDraw has no answer.
    std::uint64_t video = GetVideoMemory(false);
    caps.vendorId = adapter.VendorId;
    if (adapter.VendorId == kIntelVendorId)
        video = textureMB * kMB;
    if (video == 0) {
        ReportDeviceError("GetAvailableVideoMemory2");
        video = textureMB * kMB;
    }
    caps.totalVideoMemoryBytes = Saturate32(video);
    LogTyped(LOG_ENGINE_INIT, "Total VideoMem=%" PRIu64, video);
    ChooseTextureScale(video);
    if (TextureManager* textures = Globals::Find(&Globals::GetTextureManager)) {
        // The single-precision 0.8 of the budget rule.
        textures->SetVideoMemoryBudget(
            Saturate32(static_cast<std::uint64_t>(static_cast<double>(video) * double(0.8f))));
        textures->LoadTexturePoolConfig();
    }
    const std::uint32_t videoMB = Saturate32(video >> 20);
    LogTyped(LOG_ENGINE_INIT, "Available Video Memory : %u MB", videoMB);
    LogTyped(LOG_ENGINE_INIT, "Total Physical Memory : %u MB", caps.totalPhysicalMB);
    LogTyped(LOG_ENGINE_INIT, "Available Physical Memory : %u MB", caps.availablePhysicalMB);
    LogTyped(LOG_ENGINE_INIT, "Total Virtual Memory : %u MB", caps.totalVirtualMB);
    LogTyped(LOG_ENGINE_INIT, "Available Virtual Memory : %u MB", caps.availableVirtualMB);
    LogTyped(LOG_ENGINE_INIT, "D3D9 EX:  %s", isEx_ ? "on" : "off");

    // The machine summary and the adapter block the host reads.
    char versionText[64];
    std::snprintf(versionText, sizeof versionText, ";%d.%d.%d.%d", product, version, subVersion,
                  build);
    const std::string adapterText = std::string(adapter.Description) + versionText;
    OSVERSIONINFOEXA os{};
    os.dwOSVersionInfoSize = sizeof os;
    GetVersionExA(&os);
    os.szCSDVersion[sizeof os.szCSDVersion - 1] = '\0';
    char osText[256];
    std::snprintf(osText, sizeof osText, "%s %s, majorVer=%d,MinVer=%d,buildNum=%d",
                  OperatingSystemName(os), os.szCSDVersion, static_cast<int>(os.dwMajorVersion),
                  static_cast<int>(os.dwMinorVersion), static_cast<int>(os.dwBuildNumber));
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (info) {
        info->processorCount = system.dwNumberOfProcessors;
        info->videoMemoryMB = videoMB;
        info->availablePhysicalMB = caps.availablePhysicalMB;
        CopyText(info->adapter, adapterText.c_str());
        CopyText(info->operatingSystem, osText);
        info->screenWidth = static_cast<std::uint32_t>(screenWidth);
        info->screenHeight = static_cast<std::uint32_t>(screenHeight);
        info->filled = 1;
    }
    AdapterInfoBlock& block = GetAdapterInfoBlock();
    block.totalPhysicalMB = caps.totalPhysicalMB;
    block.availablePhysicalMB = caps.availablePhysicalMB;
    block.videoMemoryMB = videoMB;
    CopyText(block.processor, cpu->brand);
    CopyText(block.adapter, adapterText.c_str());
    CopyText(block.operatingSystem, osText);
    std::snprintf(block.screenSize, sizeof block.screenSize, "%d*%d", screenWidth, screenHeight);

    LogTyped(LOG_ENGINE_INIT, "操作系统：%s", osText);
    LogTyped(LOG_ENGINE_INIT, "引擎版本号：%s", GetLibraryVersionText().c_str());
    LogTyped(LOG_ENGINE_INIT, "%s", kSeparator);
}

}  // namespace Zel
