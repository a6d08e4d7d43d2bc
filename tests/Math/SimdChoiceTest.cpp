#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "Core/LogDispatch.h"
#include "Math/CPUInfo.h"
#include "Math/CpuidSource.h"
#include "Math/ZelSIMDProcessor.h"
#include "support/LogCapture.h"

namespace {

using namespace Zel;

// Answers CPUID from a table and the confirming instructions from a set of faulting codes.
class FakeCpuid : public CpuidSource {
public:
    // vendor: 12 characters; features: CPU_FEATURE_* codes whose CPUID bits are set.
    FakeCpuid(const char* vendor, uint32_t signature, uint32_t features,
              uint32_t extendedMax = 0x80000001u) {
        std::array<uint32_t, 4> leaf0{1, 0, 0, 0};
        std::memcpy(&leaf0[1], vendor, 4);
        std::memcpy(&leaf0[3], vendor + 4, 4);
        std::memcpy(&leaf0[2], vendor + 8, 4);
        leaves[0] = leaf0;
        std::array<uint32_t, 4> leaf1{signature, 0, 0, 0};
        if (features & CPU_FEATURE_MMX)
            leaf1[3] |= 1u << 23;
        if (features & CPU_FEATURE_SSE)
            leaf1[3] |= 1u << 25;
        if (features & CPU_FEATURE_SSE2)
            leaf1[3] |= 1u << 26;
        if (features & CPU_FEATURE_SSE3)
            leaf1[2] |= 1u;
        leaves[1] = leaf1;
        leaves[0x80000000u] = {extendedMax, 0, 0, 0};
        leaves[0x80000001u] = {0, 0, 0, (features & CPU_FEATURE_3DNOW) ? 1u << 31 : 0u};
    }

    bool Available() override { return available; }
    void Query(uint32_t leaf, uint32_t regs[4]) override {
        const auto it = leaves.find(leaf);
        for (int k = 0; k < 4; ++k) regs[k] = it == leaves.end() ? 0 : it->second[k];
    }
    bool TestFeature(uint32_t code) override {
        probed.push_back(code);
        return (faulting & code) == 0;
    }

    bool available = true;
    uint32_t faulting = 0;
    std::vector<uint32_t> probed;
    std::map<uint32_t, std::array<uint32_t, 4>> leaves;
};

// Installs a fake for one test and leaves the process as it found it.
class WithFake {
public:
    explicit WithFake(CpuidSource* fake) : previous_(SetCpuidSource(fake)) {
        ResetSIMDProcessorsForTesting();
    }
    ~WithFake() {
        SetCpuidSource(previous_);
        ResetSIMDProcessorsForTesting();
    }
    WithFake(const WithFake&) = delete;
    WithFake& operator=(const WithFake&) = delete;

private:
    CpuidSource* previous_;
};

constexpr uint32_t kMmx = CPU_FEATURE_MMX, kSse = CPU_FEATURE_SSE, kSse2 = CPU_FEATURE_SSE2,
                   k3dnow = CPU_FEATURE_3DNOW, kSse3 = CPU_FEATURE_SSE3;

TEST(SimdChoice, ConfirmedFeaturesPickTheVariantAndItsFlagWord) {
    struct Row {
        uint32_t reported;
        uint32_t faulting;
        const char* name;
        uint32_t flags;
    };
    const Row rows[] = {
        {kMmx | kSse | kSse2 | kSse3, 0, "MMX & SSE & SSE2 & SSE3", 0x1D0},
        {kMmx | kSse | kSse2 | kSse3 | k3dnow, 0, "MMX & SSE & SSE2 & SSE3", 0x1F0},
        {kMmx | kSse | kSse2, 0, "MMX & SSE & SSE2", 0xD0},
        {kMmx | kSse | kSse2 | k3dnow, 0, "MMX & SSE & SSE2", 0xF0},
        {kSse | kSse2, 0, "generic code", 0xC0},
        {kSse | kSse2 | kSse3, 0, "generic code", 0x1C0},
        {kMmx | kSse, 0, "MMX & SSE", 0x50},
        {kMmx | kSse3, 0, "MMX", 0x110},
        {kMmx | k3dnow, 0, "MMX & 3DNow!", 0x30},
        {kMmx, 0, "MMX", 0x10},
        {0, 0, "generic code", 0},
        // A reported extension whose instruction faults does not count.
        {kMmx | kSse | kSse2 | kSse3, kSse3, "MMX & SSE & SSE2", 0xD0},
        {kMmx | kSse | kSse2, kMmx, "generic code", 0xC0},
        {kMmx | k3dnow, k3dnow, "MMX", 0x10},
    };
    for (const Row& row : rows) {
        FakeCpuid fake("GenuineIntel", 0x6F6, row.reported);
        fake.faulting = row.faulting;
        WithFake scope(&fake);
        ASSERT_TRUE(InitSIMDProcessor());
        EXPECT_STREQ(GetActiveSIMDProcessor()->GetName(), "generic code");
        EXPECT_EQ(GetActiveSIMDProcessor()->GetFeatures(), 2u);
        ChooseSIMDProcessor(0, false);
        ASSERT_NE(GetActiveSIMDProcessor(), nullptr);
        EXPECT_STREQ(GetActiveSIMDProcessor()->GetName(), row.name) << std::hex << row.reported;
        EXPECT_EQ(GetActiveSIMDProcessor()->GetFeatures(), row.flags) << std::hex << row.reported;
    }
}

TEST(SimdChoice, WithoutCpuidTheGenericProcessorIsChosenWithFlagWordZero) {
    FakeCpuid fake("GenuineIntel", 0x6F6, kMmx | kSse | kSse2);
    fake.available = false;
    WithFake scope(&fake);
    InitSIMDProcessor();
    ChooseSIMDProcessor(0, false);
    EXPECT_STREQ(GetActiveSIMDProcessor()->GetName(), "generic code");
    EXPECT_EQ(GetActiveSIMDProcessor()->GetFeatures(), 0u);
    EXPECT_TRUE(fake.probed.empty());
}

TEST(SimdChoice, TheFirstChoiceHoldsAndForcingOnlySwitchesTheActiveProcessor) {
    FakeCpuid fake("GenuineIntel", 0x6F6, kMmx | kSse | kSse2 | kSse3);
    WithFake scope(&fake);
    InitSIMDProcessor();
    ChooseSIMDProcessor(0, false);
    ZelSIMDProcessor* chosen = GetActiveSIMDProcessor();
    EXPECT_STREQ(chosen->GetName(), "MMX & SSE & SSE2 & SSE3");

    ChooseSIMDProcessor(0, true);
    EXPECT_STREQ(GetActiveSIMDProcessor()->GetName(), "generic code");
    EXPECT_EQ(GetActiveSIMDProcessor()->GetFeatures(), 2u);

    // The processor now looks different; the choice stands.
    fake.leaves[1][3] = 0;
    ChooseSIMDProcessor(0, false);
    EXPECT_EQ(GetActiveSIMDProcessor(), chosen);
    EXPECT_EQ(chosen->GetFeatures(), 0x1D0u);
}

TEST(SimdChoice, StartUpLogsTheDetectedInstructionSetOnce) {
    FakeCpuid fake("GenuineIntel", 0x6F6, kMmx | kSse | kSse2 | kSse3);
    WithFake scope(&fake);
    ZelTest::LogCapture capture;
    ZelSIMDProcessor* active = SetupSIMDProcessor();
    ASSERT_NE(active, nullptr);
    const auto records = capture.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].kind, LOG_ENGINE_INIT);
    EXPECT_EQ(records[0].text, "检测到CPU支持指令集：MMX & SSE & SSE2 & SSE3");
}

TEST(SimdChoice, IdentifyFillsTheRecordAndProbesInTableOrder) {
    FakeCpuid fake("AuthenticAMD", 0x00000683, kSse3 | kSse2 | kSse | k3dnow | kMmx);
    fake.faulting = kSse2;
    WithFake scope(&fake);
    CpuInfo info;
    std::memset(&info, 0xAB, sizeof(info));
    const uint32_t reported = IdentifyCpu(&info);
    EXPECT_EQ(reported, 31u);
    EXPECT_EQ(info.reported, 31u);
    EXPECT_EQ(info.confirmed, 31u & ~kSse2);
    EXPECT_STREQ(info.vendor, "AuthenticAMD");
    EXPECT_STREQ(info.brandName, "AMD ATHLON");
    EXPECT_EQ(info.family, 6u);
    EXPECT_EQ(info.model, 8u);
    EXPECT_EQ(info.stepping, 3u);
    EXPECT_EQ(info.last, 15u);
    EXPECT_EQ(fake.probed, (std::vector<uint32_t>{kMmx, k3dnow, kSse, kSse2, kSse3}));
    EXPECT_EQ(IdentifyCpu(nullptr), 31u);
}

TEST(SimdChoice, TheExtendedLeafIsReadOnlyWhenTheProcessorHasIt) {
    FakeCpuid fake("AuthenticAMD", 0x00000683, kMmx | k3dnow, 0x80000000u);
    WithFake scope(&fake);
    EXPECT_EQ(IdentifyCpu(nullptr), kMmx);
}

TEST(SimdChoice, WithoutCpuidIdentifyAnswersZeroAndLeavesTheRecordAlone) {
    FakeCpuid fake("GenuineIntel", 0x6F6, kMmx);
    fake.available = false;
    WithFake scope(&fake);
    CpuInfo info;
    std::memset(&info, 0xAB, sizeof(info));
    EXPECT_EQ(IdentifyCpu(&info), 0u);
    EXPECT_EQ(info.family, 0xABABABABu);
    EXPECT_FALSE(DetectProcessorCaps().sse);
}

TEST(SimdChoice, FeatureTestsOutsideTheFiveCodesExecuteNothing) {
    FakeCpuid fake("GenuineIntel", 0x6F6, 0);
    fake.faulting = ~0u;
    WithFake scope(&fake);
    EXPECT_TRUE(TestCpuFeature(0));
    EXPECT_TRUE(TestCpuFeature(3));
    EXPECT_TRUE(TestCpuFeature(32));
    EXPECT_TRUE(fake.probed.empty());
    EXPECT_FALSE(TestCpuFeature(kSse));
}

TEST(SimdChoice, BrandNamesFollowVendorFamilyAndModel) {
    struct Row {
        const char* vendor;
        uint32_t signature;
        uint32_t family;
        const char* name;
    };
    const Row rows[] = {
        {"AuthenticAMD", 0x400, 4, "AMD Am486"},
        {"AuthenticAMD", 0x4F0, 4, "AMD Am486"},
        {"AuthenticAMD", 0x500, 5, "AMD K5"},
        {"AuthenticAMD", 0x530, 5, "AMD K5"},
        {"AuthenticAMD", 0x540, 5, "Unknown"},
        {"AuthenticAMD", 0x550, 5, "Unknown"},
        {"AuthenticAMD", 0x560, 5, "AMD K6"},
        {"AuthenticAMD", 0x570, 5, "AMD K6"},
        {"AuthenticAMD", 0x580, 5, "AMD K6-2"},
        {"AuthenticAMD", 0x590, 5, "AMD K6-3"},
        {"AuthenticAMD", 0x5F0, 5, "AMD K6-3"},
        {"AuthenticAMD", 0x6A0, 6, "AMD ATHLON"},
        {"AuthenticAMD", 0xA00F10, 25, "Unknown"},
        {"GenuineIntel", 0x400, 4, "INTEL 486DX"},
        {"GenuineIntel", 0x410, 4, "INTEL 486DX"},
        {"GenuineIntel", 0x420, 4, "INTEL 486SX"},
        {"GenuineIntel", 0x430, 4, "INTEL 486DX2"},
        {"GenuineIntel", 0x440, 4, "INTEL 486SL"},
        {"GenuineIntel", 0x450, 4, "INTEL 486SX2"},
        {"GenuineIntel", 0x460, 4, "Unknown"},
        {"GenuineIntel", 0x470, 4, "INTEL 486DX2E"},
        {"GenuineIntel", 0x480, 4, "INTEL 486DX4"},
        {"GenuineIntel", 0x500, 5, "Unknown"},
        {"GenuineIntel", 0x510, 5, "INTEL Pentium"},
        {"GenuineIntel", 0x530, 5, "INTEL Pentium"},
        {"GenuineIntel", 0x540, 5, "INTEL Pentium-MMX"},
        {"GenuineIntel", 0x610, 6, "INTEL Pentium-Pro"},
        {"GenuineIntel", 0x620, 6, "Unknown"},
        {"GenuineIntel", 0x630, 6, "INTEL Pentium-II"},
        {"GenuineIntel", 0x650, 6, "INTEL Pentium-II"},
        {"GenuineIntel", 0x660, 6, "INTEL Celeron"},
        {"GenuineIntel", 0x670, 6, "INTEL Pentium-III"},
        {"GenuineIntel", 0x680, 6, "INTEL Pentium-III"},
        {"GenuineIntel", 0x690, 6, "Unknown"},
        {"GenuineIntel", 0x6A0, 6, "INTEL Pentium-III"},
        {"GenuineIntel", 0xF00, 15, "INTEL Pentium-4"},
        {"GenuineIntel", 0xF10, 15, "Unknown"},
        // The family is 15 plus the extended family.
        {"GenuineIntel", 0x100F00, 16, "Unknown"},
        {"GenuineIntel", 0xFF00F00, 270, "Unknown"},
        {"CyrixInstead", 0x520, 5, "Cyrix"},
        {"CyrixInstead", 0xF00, 15, "Cyrix"},
        {"CentaurHauls", 0x6A0, 6, "Centaur"},
        {"HygonGenuine", 0x500, 5, "Unknown"},
    };
    for (const Row& row : rows) {
        FakeCpuid fake(row.vendor, row.signature, 0);
        WithFake scope(&fake);
        CpuInfo info{};
        IdentifyCpu(&info);
        EXPECT_EQ(info.family, row.family) << row.vendor << std::hex << " " << row.signature;
        EXPECT_STREQ(info.brandName, row.name) << row.vendor << std::hex << " " << row.signature;
    }
}

TEST(SimdChoice, CapabilityRecordTakesConfirmedMmxAndSse) {
    FakeCpuid fake("GenuineIntel", 0x6F6, kMmx | kSse);
    fake.faulting = kMmx;
    WithFake scope(&fake);
    const ProcessorCaps caps = DetectProcessorCaps();
    EXPECT_FALSE(caps.mmx);
    EXPECT_TRUE(caps.sse);
}

TEST(SimdChoice, OnThisMachineTheChoiceIsSse2OrSse3) {
    WithFake scope(nullptr);
    InitSIMDProcessor();
    ChooseSIMDProcessor(0, false);
    const std::string name = GetActiveSIMDProcessor()->GetName();
    EXPECT_TRUE(name == "MMX & SSE & SSE2" || name == "MMX & SSE & SSE2 & SSE3") << name;
    const ProcessorCaps caps = DetectProcessorCaps();
    EXPECT_TRUE(caps.mmx);
    EXPECT_TRUE(caps.sse);
}

TEST(SimdChoice, AnInstructionTheProcessorLacksFaultsUnderTheGuard) {
    WithFake scope(nullptr);
    if (IdentifyCpu(nullptr) & k3dnow)
        GTEST_SKIP() << "this processor has 3DNow!";
    EXPECT_FALSE(TestCpuFeature(k3dnow));
    EXPECT_TRUE(TestCpuFeature(kSse2));
}

}  // namespace
