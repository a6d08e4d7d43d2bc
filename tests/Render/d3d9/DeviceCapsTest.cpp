// The capability report: the record it fills, the texture scale level chosen from video memory,
// the drawing mode, the multisample probe, the processor record and the summaries for the host.
#include <array>
#include <cstring>
#include <map>

#include "Core/DeviceCaps.h"
#include "Core/ProcessorCaps.h"
#include "Entity/Texture/TextureManager.h"
#include "Entity/Texture/PushTextureScale.h"
#include "Entity/Texture/TextureScale.h"
#include "Interface/SystemInfo.h"
#include "Math/CPUInfo.h"
#include "Math/CpuidSource.h"
#include "Render/AdapterInfoBlock.h"
#include "tests/Render/d3d9/DeviceFixture.h"

namespace {

using Zel::DeviceCaps;
using ZelTest::DeviceTest;

constexpr DWORD kMB = 1u << 20;

// A processor that reports a brand string, and hyper-threading when asked.
class BrandCpuid final : public Zel::CpuidSource {
public:
    BrandCpuid(const char* brand, bool hyperThreading) {
        leaves_[0] = {1, 0x756E6547, 0x6C65746E, 0x49656E69};  // "GenuineIntel"
        leaves_[1] = {0x0F29, 0, 0, (1u << 23) | (1u << 25) | (hyperThreading ? 1u << 28 : 0u)};
        leaves_[0x80000000u] = {0x80000004u, 0, 0, 0};
        char text[48] = {};
        std::strncpy(text, brand, sizeof text - 1);
        for (std::uint32_t i = 0; i < 3; ++i)
            std::memcpy(leaves_[0x80000002u + i].data(), text + 16 * i, 16);
    }
    bool Available() override { return true; }
    void Query(std::uint32_t leaf, std::uint32_t regs[4]) override {
        const auto it = leaves_.find(leaf);
        for (int k = 0; k < 4; ++k) regs[k] = it == leaves_.end() ? 0 : it->second[k];
    }
    bool TestFeature(std::uint32_t) override { return true; }

private:
    std::map<std::uint32_t, std::array<std::uint32_t, 4>> leaves_;
};

class DeviceCapsTest : public DeviceTest {
protected:
    void TearDown() override {
        Zel::SetCpuidSource(nullptr);
        Zel::SetTextureScaleLevel(0);
        DeviceTest::TearDown();
    }
    // Init and one report into a zeroed record.
    DeviceCaps Report() {
        *G()->GetDeviceCaps() = DeviceCaps{};
        EXPECT_TRUE(Init(Settings()));
        Device().ReportCaps(*G()->GetDeviceCaps(), Settings());
        return *G()->GetDeviceCaps();
    }
};

TEST_F(DeviceCapsTest, VideoMemoryChoosesTheTextureScaleLevelAndCompression) {
    struct Case {
        DWORD bytes;
        int level;
        bool compress;
        const char* line;
    };
    const Case cases[] = {
        {32 * kMB, 2, true, "Force texture scale 1/16"},
        {32 * kMB + 1, 1, true, "Force texture scale 1/4"},
        {64 * kMB, 1, true, "Force texture scale 1/4"},
        {75 * kMB, 0, true, "No texture scale"},
        {76 * kMB, 0, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        SoftDirectDraw::Current().localTotal = c.bytes;
        Zel::SetTextureScaleLevel(c.level == 2 ? 0 : 2);
        Config().SetCompressToDDS(!c.compress);
        const std::size_t logBefore = LogText().size();
        const DeviceCaps caps = Report();
        const std::string log = LogText().substr(logBefore);
        EXPECT_EQ(caps.totalVideoMemoryBytes, c.bytes);
        EXPECT_EQ(Zel::GetTextureScaleLevel(), c.level);
        EXPECT_EQ(Config().CompressToDDS(), c.compress);
        for (const char* line :
             {"Force texture scale 1/16", "Force texture scale 1/4", "No texture scale"})
            EXPECT_EQ(log.find(line) != std::string::npos, c.line && !std::strcmp(line, c.line))
                << line;
        Zel::TextureManager* textures = G()->GetTextureManager();
        EXPECT_EQ(textures->GetVideoMemoryBudget(),
                  static_cast<std::uint32_t>(static_cast<double>(c.bytes) * double(0.8f)));
        device_.reset();
    }
    EXPECT_EQ(G()->GetTextureManager()->GetTexturePoolConfigLoads(), 5u);
}

TEST_F(DeviceCapsTest, VideoMemoryFallsBackToTextureMemory) {
    // DirectDraw cannot be reached: the texture memory, with an error report.
    SoftDirectDraw::Current().coCreateFails = true;
    SoftAdapter::Current().textureMemoryBytes = 48ull * kMB + 12345;
    DeviceCaps caps = Report();
    EXPECT_EQ(caps.totalVideoMemoryBytes, 48 * kMB);
    EXPECT_EQ(Zel::GetTextureScaleLevel(), 1);
    std::string log = LogText();
    EXPECT_NE(log.find("CoCreateInstance() Failed"), std::string::npos);
    EXPECT_NE(log.find(":ERROR:GetAvailableVideoMemory2"), std::string::npos);
    device_.reset();

    // An Intel adapter always takes the texture memory; 4095 MB stays exact in 64 bits.
    SoftDirectDraw::Restore();
    SoftAdapter::Current().identifier.VendorId = 0x8086;
    SoftAdapter::Current().textureMemoryBytes = 0xFFFFFFFFull;
    caps = Report();
    EXPECT_EQ(caps.vendorId, 0x8086u);
    EXPECT_EQ(caps.totalVideoMemoryBytes, 4095u * kMB);
    EXPECT_EQ(G()->GetTextureManager()->GetVideoMemoryBudget(),
              static_cast<std::uint32_t>(4095.0 * kMB * double(0.8f)));
    EXPECT_EQ(G()->GetSystemInfo()->videoMemoryMB, 4095u);
}

TEST_F(DeviceCapsTest, RecordTakesTheDevicesCapabilities) {
    const DeviceCaps caps = Report();
    const D3DCAPS9& d3d = SoftAdapter::Current().caps;
    EXPECT_EQ(caps.maxTextureWidth, d3d.MaxTextureWidth);
    EXPECT_EQ(caps.textureStageCount, d3d.MaxTextureBlendStages);
    EXPECT_EQ(caps.simultaneousRenderTargets, d3d.NumSimultaneousRTs);
    EXPECT_EQ(caps.maxVertexBlendMatrices, d3d.MaxVertexBlendMatrices);
    EXPECT_EQ(caps.vendorId, SoftAdapter::Current().identifier.VendorId);
    const std::uint32_t all = Zel::DEVICE_VS_1_1 | Zel::DEVICE_VS_2_0 | Zel::DEVICE_VS_3_0 |
                              Zel::DEVICE_PS_1_1 | Zel::DEVICE_PS_1_2 | Zel::DEVICE_PS_1_3 |
                              Zel::DEVICE_PS_1_4 | Zel::DEVICE_PS_2_0 | Zel::DEVICE_PS_3_0 |
                              Zel::DEVICE_INDEX_32 | Zel::DEVICE_DYNAMIC_TEXTURES;
    EXPECT_EQ(caps.featureFlags, all);
    EXPECT_EQ(caps.nonPowerOfTwo, 1u);
    EXPECT_EQ(caps.anisotropyMask, 0x1Fu);
    EXPECT_EQ(caps.multisampleMask, 0x1u);
    EXPECT_EQ(caps.filled, 1u);
    EXPECT_GT(caps.totalPhysicalMB, 0u);
    EXPECT_EQ(Device().GetFixedFunctionMode(), Zel::MODE_SHADER);
    EXPECT_STREQ(Device().GetAdapterDescription(), "Zel Software Rasterizer");
    const std::string log = LogText();
    for (const char* line :
         {"Description : Zel Software Rasterizer", "Product : 9", "Version : 18", "SubVersion : 13",
          "Build : 2049", "NonePow2 Texture Support : NoneConditional", "INFO : switch to DX9 mode",
          "D3D9 EX:  on", "Max Texture Stages : 8"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
}

TEST_F(DeviceCapsTest, ShaderVersionsSetAndClearTheirFlags) {
    D3DCAPS9& d3d = SoftAdapter::Current().caps;
    d3d.VertexShaderVersion = D3DVS_VERSION(1, 1);
    d3d.PixelShaderVersion = D3DPS_VERSION(1, 4);
    d3d.MaxVertexIndex = 0xFFFF;
    d3d.Caps2 = 0;
    d3d.TextureCaps |= D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL;
    G()->GetDeviceCaps()->featureFlags = 0xFFFFFFFF;
    ASSERT_TRUE(Init(Settings()));
    DeviceCaps& caps = *G()->GetDeviceCaps();
    Device().ReportCaps(caps, Settings());
    EXPECT_EQ(
        caps.featureFlags & 0x1FFF,
        static_cast<std::uint32_t>(Zel::DEVICE_VS_1_1 | Zel::DEVICE_PS_1_1 | Zel::DEVICE_PS_1_2 |
                                   Zel::DEVICE_PS_1_3 | Zel::DEVICE_PS_1_4 | 0x200 | 0x4));
    EXPECT_EQ(caps.nonPowerOfTwo, 0u);
    // Asked for shader drawing without shader model 2.0: fixed-function drawing.
    EXPECT_EQ(Device().GetFixedFunctionMode(), Zel::MODE_FIXED_FUNCTION);
    EXPECT_NE(LogText().find("INFO : switch to DX7 mode"), std::string::npos);
}

TEST_F(DeviceCapsTest, MissingAlphaAndSquareOnlyTexturesAreReportedAndTheReportGoesOn) {
    D3DCAPS9& d3d = SoftAdapter::Current().caps;
    d3d.TextureCaps = (d3d.TextureCaps & ~D3DPTEXTURECAPS_ALPHA) | D3DPTEXTURECAPS_SQUAREONLY |
                      D3DPTEXTURECAPS_POW2;
    const DeviceCaps caps = Report();
    EXPECT_EQ(caps.nonPowerOfTwo, 2u);
    const std::string log = LogText();
    EXPECT_NE(log.find(":ERROR:致命兼容性错误：显卡的纹理不支持alpha（D3DPTEXTURECAPS_ALPHA=no）"),
              std::string::npos);
    EXPECT_NE(log.find(":ERROR:致命兼容性错误：显卡只支持正方形纹理"), std::string::npos);
    EXPECT_EQ(caps.filled, 1u);
}

TEST_F(DeviceCapsTest, MultisampleModesNeedBothFormats) {
    SoftAdapter& adapter = SoftAdapter::Current();
    adapter.multisampleTypes[D3DFMT_X8R8G8B8] = (1u << 2) | (1u << 4) | (1u << 8);
    adapter.multisampleTypes[D3DFMT_D24S8] = (1u << 2) | (1u << 8) | (1u << 10);
    const DeviceCaps caps = Report();
    EXPECT_EQ(caps.multisampleMask, 0x1u | 0x2u | 0x10u);
    const std::string log = LogText();
    EXPECT_NE(log.find("\t\t2xAA Supported. "), std::string::npos);
    EXPECT_NE(log.find("\t\t8xAA Supported. "), std::string::npos);
    EXPECT_EQ(log.find("\t\t4xAA Supported."), std::string::npos);
}

TEST_F(DeviceCapsTest, GeForce5200IsForcedToFixedFunctionBesideAModernProcessorOnly) {
    SoftAdapter::Current().SetDescription("NVIDIA GeForce FX 5200");
    struct Case {
        const char* brand;
        bool hyperThreading;
        std::int32_t mode;
    };
    const Case cases[] = {
        {"Intel(R) Pentium(R) 4 CPU 3.00GHz", true, Zel::MODE_SHADER},
        {"Intel(R) Pentium(R) III CPU", false, Zel::MODE_SHADER},
        {"Intel(R) Core(TM)2 CPU", false, Zel::MODE_FIXED_FUNCTION},
        {"Some Processor", true, Zel::MODE_FIXED_FUNCTION},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.brand);
        BrandCpuid cpu(c.brand, c.hyperThreading);
        Zel::SetCpuidSource(&cpu);
        Config().SetForceDX7(false);
        Report();
        EXPECT_EQ(Device().GetFixedFunctionMode(), c.mode);
        EXPECT_STREQ(G()->GetProcessorCaps()->brand, c.brand);
        EXPECT_STREQ(G()->GetSystemInfo()->processorBrand, c.brand);
        Zel::SetCpuidSource(nullptr);
        device_.reset();
    }
}

TEST_F(DeviceCapsTest, ProcessorRecordFromCpuid) {
    BrandCpuid cpu("Test Brand", true);
    Zel::SetCpuidSource(&cpu);
    Zel::ProcessorCaps record;
    Zel::ReadCpuInfo(&record);
    EXPECT_EQ(record.cpuidAvailable, 1u);
    EXPECT_STREQ(record.vendor, "GenuineIntel");
    EXPECT_STREQ(record.brand, "Test Brand");
    EXPECT_EQ(record.mmx, 1u);
    EXPECT_EQ(record.sse, 1u);
    EXPECT_EQ(record.sse2, 0u);
    EXPECT_EQ(record.hyperThreading, 1u);
    EXPECT_EQ(record.family, 0xFu);
    EXPECT_EQ(record.model, 2u);
    EXPECT_EQ(record.stepping, 9u);
    EXPECT_EQ(record.highestExtendedLeaf, 0x80000004u);
    EXPECT_EQ(record.logicalPerCache, 1u);
    EXPECT_EQ(record.coresPerPackage, 1u);
    struct NoCpuid final : Zel::CpuidSource {
        bool Available() override { return false; }
        void Query(std::uint32_t, std::uint32_t*) override {}
        bool TestFeature(std::uint32_t) override { return false; }
    } none;
    Zel::SetCpuidSource(&none);
    Zel::ProcessorCaps untouched;
    untouched.mmx = 7;
    Zel::ReadCpuInfo(&untouched);
    EXPECT_EQ(untouched.cpuidAvailable, 0u);
    EXPECT_EQ(untouched.mmx, 7u);
}

TEST_F(DeviceCapsTest, SummariesForTheHost) {
    Report();
    const ZelI::SystemInfo& info = *G()->GetSystemInfo();
    EXPECT_STREQ(info.adapter, "Zel Software Rasterizer;9.18.13.2049");
    EXPECT_EQ(info.screenWidth, 1024u);
    EXPECT_EQ(info.screenHeight, 768u);
    EXPECT_EQ(info.videoMemoryMB, 256u);
    EXPECT_GE(info.processorCount, 1u);
    EXPECT_EQ(info.filled, 1u);
    EXPECT_STREQ(info.operatingSystem, "Unknow OS , majorVer=10,MinVer=0,buildNum=19041");
    const Zel::AdapterInfoBlock& block = Zel::GetAdapterInfoBlock();
    EXPECT_STREQ(block.adapter, info.adapter);
    EXPECT_STREQ(block.screenSize, "1024*768");
    EXPECT_EQ(block.videoMemoryMB, 256u);
    EXPECT_STREQ(block.operatingSystem, info.operatingSystem);
}

TEST_F(DeviceCapsTest, PushAndPopTextureScale) {
    Zel::SetTextureScaleLevel(2);
    Config().SetCompressToDDS(true);
    int level = 0;
    bool compress = false;
    Zel::PushTextureScale(&level, &compress);
    EXPECT_EQ(level, 2);
    EXPECT_TRUE(compress);
    EXPECT_EQ(Zel::GetTextureScaleLevel(), 0);
    EXPECT_FALSE(Config().CompressToDDS());
    Zel::PopTextureScale(level, compress);
    EXPECT_EQ(Zel::GetTextureScaleLevel(), 2);
    EXPECT_TRUE(Config().CompressToDDS());
}

}  // namespace
