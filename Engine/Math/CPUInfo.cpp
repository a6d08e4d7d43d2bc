#include "Math/CPUInfo.h"

#include <cpuid.h>

#include <algorithm>
#include <csetjmp>
#include <csignal>
#include <cstring>

#include "Math/CpuidSource.h"

namespace Zel {

namespace {

// The confirming instructions. Each runs alone under the fault guard; a processor without the
// extension raises an invalid-opcode fault instead of completing.
void ProbeMmx() {
    asm volatile("pxor %%mm0, %%mm0\n\temms" : : : "mm0");
}

void Probe3DNow() {
    asm volatile("pfrcp %%mm0, %%mm0\n\temms" : : : "mm0");
}

void ProbeSse() {
    asm volatile("xorps %%xmm0, %%xmm0" : : : "xmm0");
}

void ProbeSse2() {
    asm volatile("xorpd %%xmm0, %%xmm0" : : : "xmm0");
}

__attribute__((target("sse3"))) void ProbeSse3() {
    asm volatile("addsubpd %%xmm0, %%xmm0\n\temms" : : : "xmm0");
}

thread_local sigjmp_buf* t_faultJump = nullptr;

void OnFault(int) {
    siglongjmp(*t_faultJump, 1);
}

// Runs probe with handlers for every fault an instruction can raise, restoring the previous
// handlers afterwards; answers whether probe completed.
bool RunGuarded(void (*probe)()) {
    static constexpr int kSignals[] = {SIGILL, SIGFPE, SIGSEGV, SIGBUS};
    struct sigaction guard {};
    guard.sa_handler = OnFault;
    sigemptyset(&guard.sa_mask);
    struct sigaction previous[4];
    for (int k = 0; k < 4; ++k) sigaction(kSignals[k], &guard, &previous[k]);
    sigjmp_buf jump;
    sigjmp_buf* outer = t_faultJump;
    t_faultJump = &jump;
    volatile bool completed = false;
    if (sigsetjmp(jump, 1) == 0) {
        probe();
        completed = true;
    }
    t_faultJump = outer;
    for (int k = 0; k < 4; ++k) sigaction(kSignals[k], &previous[k], nullptr);
    return completed;
}

// CPUID itself exists on every x86-64 processor.
class HardwareCpuid final : public CpuidSource {
public:
    bool Available() override { return true; }
    void Query(uint32_t leaf, uint32_t regs[4]) override {
        unsigned a = 0, b = 0, c = 0, d = 0;
        __cpuid_count(leaf, 0, a, b, c, d);
        regs[0] = a;
        regs[1] = b;
        regs[2] = c;
        regs[3] = d;
    }
    bool TestFeature(uint32_t code) override {
        switch (code) {
            case CPU_FEATURE_MMX:
                return RunGuarded(ProbeMmx);
            case CPU_FEATURE_3DNOW:
                return RunGuarded(Probe3DNow);
            case CPU_FEATURE_SSE:
                return RunGuarded(ProbeSse);
            case CPU_FEATURE_SSE2:
                return RunGuarded(ProbeSse2);
            case CPU_FEATURE_SSE3:
                return RunGuarded(ProbeSse3);
            default:
                return true;
        }
    }
};

HardwareCpuid g_hardware;
CpuidSource* g_source = nullptr;

CpuidSource& Source() {
    return g_source ? *g_source : g_hardware;
}

// The features in the order they are examined, with the CPUID bit that reports each.
enum class Word { Ecx1, Edx1, EdxExt };
struct FeatureBit {
    uint32_t code;
    Word word;
    int bit;
};
constexpr FeatureBit kFeatureBits[] = {
    {CPU_FEATURE_MMX, Word::Edx1, 23}, {CPU_FEATURE_3DNOW, Word::EdxExt, 31},
    {CPU_FEATURE_SSE, Word::Edx1, 25}, {CPU_FEATURE_SSE2, Word::Edx1, 26},
    {CPU_FEATURE_SSE3, Word::Ecx1, 0},
};

struct BrandRow {
    const char* vendor;
    uint32_t family;  // kAny matches every family
    uint32_t firstModel;
    uint32_t lastModel;
    const char* name;
};
constexpr uint32_t kAny = 0xFFFFFFFF;
constexpr BrandRow kBrands[] = {
    {"AuthenticAMD", 4, 0, kAny, "AMD Am486"},
    {"AuthenticAMD", 5, 0, 3, "AMD K5"},
    {"AuthenticAMD", 5, 6, 7, "AMD K6"},
    {"AuthenticAMD", 5, 8, 8, "AMD K6-2"},
    {"AuthenticAMD", 5, 9, 15, "AMD K6-3"},
    {"AuthenticAMD", 6, 0, kAny, "AMD ATHLON"},
    {"GenuineIntel", 4, 0, 1, "INTEL 486DX"},
    {"GenuineIntel", 4, 2, 2, "INTEL 486SX"},
    {"GenuineIntel", 4, 3, 3, "INTEL 486DX2"},
    {"GenuineIntel", 4, 4, 4, "INTEL 486SL"},
    {"GenuineIntel", 4, 5, 5, "INTEL 486SX2"},
    {"GenuineIntel", 4, 7, 7, "INTEL 486DX2E"},
    {"GenuineIntel", 4, 8, 8, "INTEL 486DX4"},
    {"GenuineIntel", 5, 1, 3, "INTEL Pentium"},
    {"GenuineIntel", 5, 4, 4, "INTEL Pentium-MMX"},
    {"GenuineIntel", 6, 1, 1, "INTEL Pentium-Pro"},
    {"GenuineIntel", 6, 3, 3, "INTEL Pentium-II"},
    {"GenuineIntel", 6, 5, 5, "INTEL Pentium-II"},
    {"GenuineIntel", 6, 6, 6, "INTEL Celeron"},
    {"GenuineIntel", 6, 7, 8, "INTEL Pentium-III"},
    {"GenuineIntel", 6, 10, 10, "INTEL Pentium-III"},
    {"GenuineIntel", 15, 0, 0, "INTEL Pentium-4"},
    {"CyrixInstead", kAny, 0, kAny, "Cyrix"},
    {"CentaurHauls", kAny, 0, kAny, "Centaur"},
};

}  // namespace

CpuidSource* SetCpuidSource(CpuidSource* source) {
    CpuidSource* previous = g_source;
    g_source = source;
    return previous;
}

bool IsCpuidAvailable() {
    return Source().Available();
}

bool TestCpuFeature(uint32_t code) {
    switch (code) {
        case CPU_FEATURE_MMX:
        case CPU_FEATURE_SSE:
        case CPU_FEATURE_SSE2:
        case CPU_FEATURE_3DNOW:
        case CPU_FEATURE_SSE3:
            return Source().TestFeature(code);
        default:
            return true;
    }
}

uint32_t IdentifyCpu(CpuInfo* info) {
    if (!IsCpuidAvailable())
        return 0;
    CpuidSource& source = Source();
    uint32_t leaf0[4];
    uint32_t leaf1[4];
    uint32_t extMax[4];
    source.Query(0, leaf0);
    source.Query(1, leaf1);
    source.Query(0x80000000u, extMax);
    uint32_t edxExt = 0;
    if (extMax[0] >= 0x80000001u) {
        uint32_t ext[4];
        source.Query(0x80000001u, ext);
        edxExt = ext[3];
    }

    uint32_t reported = 0;
    uint32_t confirmed = 0;
    for (const FeatureBit& f : kFeatureBits) {
        const uint32_t word = f.word == Word::Ecx1   ? leaf1[2]
                              : f.word == Word::Edx1 ? leaf1[3]
                                                     : edxExt;
        if (!((word >> f.bit) & 1))
            continue;
        reported |= f.code;
        if (TestCpuFeature(f.code))
            confirmed |= f.code;
    }
    if (!info)
        return reported;

    std::memset(info, 0, sizeof(*info));
    info->reported = reported;
    info->confirmed = confirmed;
    const uint32_t signature = leaf1[0];
    info->family = (signature >> 8) & 15;
    if (info->family == 15)
        info->family += (signature >> 20) & 0xFF;
    info->model = (signature >> 4) & 15;
    info->stepping = signature & 15;
    // The vendor string is EBX, EDX, ECX of leaf 0, in that order.
    std::memcpy(info->vendor, &leaf0[1], 4);
    std::memcpy(info->vendor + 4, &leaf0[3], 4);
    std::memcpy(info->vendor + 8, &leaf0[2], 4);
    GetCpuBrandName(info->family, info->model, info->vendor, info->brandName);
    info->last = 15;
    return reported;
}

void GetCpuBrandName(uint32_t family, uint32_t model, const char* vendor, char* name) {
    const char* found = "Unknown";
    for (const BrandRow& row : kBrands) {
        if (std::strncmp(vendor, row.vendor, 12) != 0)
            continue;
        if (row.family != kAny && row.family != family)
            continue;
        if (model < row.firstModel || model > row.lastModel)
            continue;
        found = row.name;
        break;
    }
    std::strcpy(name, found);
}

ProcessorCaps DetectProcessorCaps() {
    CpuInfo info{};
    IdentifyCpu(&info);
    ProcessorCaps caps;
    caps.mmx = (info.confirmed & CPU_FEATURE_MMX) ? 1 : 0;
    caps.sse = (info.confirmed & CPU_FEATURE_SSE) ? 1 : 0;
    return caps;
}

void ReadCpuInfo(ProcessorCaps* info) {
    CpuidSource& source = Source();
    if (!source.Available()) {
        info->cpuidAvailable = 0;
        return;
    }
    const auto bit = [](uint32_t word, int index) { return (word >> index) & 1u; };
    uint32_t r[4];
    info->cpuidAvailable = 1;
    source.Query(0, r);
    info->highestBasicLeaf = r[0];
    std::memcpy(info->vendor, &r[1], 4);
    std::memcpy(info->vendor + 4, &r[3], 4);
    std::memcpy(info->vendor + 8, &r[2], 4);
    info->vendor[12] = '\0';

    source.Query(1, r);
    info->signature = r[0];
    info->leaf1Ebx = r[1];
    info->leaf1Ecx = r[2];
    info->leaf1Edx = r[3];
    info->mmx = bit(r[3], 23);
    info->sse = bit(r[3], 25);
    info->sse2 = bit(r[3], 26);
    info->sse3 = bit(r[2], 0);
    info->ssse3 = bit(r[2], 9);
    info->enhancedSpeedStep = bit(r[2], 7);
    info->hyperThreading = bit(r[3], 28);
    info->brandIndex = r[1] & 0xFF;
    info->family = (r[0] >> 8) & 0xF;
    info->model = (r[0] >> 4) & 0xF;
    info->stepping = r[0] & 0xF;
    info->extendedFamily = (r[0] >> 20) & 0xFF;
    info->extendedModel = (r[0] >> 16) & 0xF;

    source.Query(0x80000000u, r);
    info->highestExtendedLeaf = r[0];
    if (info->highestExtendedLeaf >= 0x80000001u) {
        source.Query(0x80000001u, r);
        info->extendedLeaf1Edx = r[3];
        info->longMode = bit(r[3], 29);
    }
    if (info->highestExtendedLeaf >= 0x80000004u) {
        for (uint32_t leaf = 0; leaf < 3; ++leaf) {
            source.Query(0x80000002u + leaf, r);
            std::memcpy(info->brand + leaf * 16, r, 16);
        }
    }
    info->brand[48] = '\0';
    if (info->highestBasicLeaf > 1) {
        source.Query(2, r);
        std::copy(r, r + 4, info->cacheDescriptors);
    }
    info->logicalPerCache = 1;
    info->coresPerPackage = 1;
    if (info->highestBasicLeaf > 3) {
        source.Query(4, r);
        info->logicalPerCache = ((r[0] >> 14) & 0xFFF) + 1;
        info->coresPerPackage = ((r[0] >> 26) & 0x3F) + 1;
    }
}

}  // namespace Zel
