#include "Math/ZelSIMDProcessor.h"

#include "Core/LogDispatch.h"
#include "Math/CPUInfo.h"
#include "Math/RSqrtTable.h"
#include "Math/ZelSIMD3DNow.h"
#include "Math/ZelSIMDGeneric.h"
#include "Math/ZelSIMDMMX.h"
#include "Math/ZelSIMDSSE.h"
#include "Math/ZelSIMDSSE2.h"
#include "Math/ZelSIMDSSE3.h"

namespace Zel {

namespace {

// One object per variant for the life of the process; the processors hold nothing but their
// flag word, so static storage serves as well as an allocation that is never freed.
ZelSIMD_Generic g_genericObject;
ZelSIMD_MMX g_mmxObject;
ZelSIMD_3DNow g_3dnowObject;
ZelSIMD_SSE g_sseObject;
ZelSIMD_SSE2 g_sse2Object;
ZelSIMD_SSE3 g_sse3Object;

ZelSIMDProcessor* g_generic = nullptr;
ZelSIMDProcessor* g_chosen = nullptr;
ZelSIMDProcessor* g_active = nullptr;

uint32_t FlagsFromFeatures(uint32_t confirmed) {
    uint32_t flags = 0;
    if (confirmed & CPU_FEATURE_MMX)
        flags |= SIMD_FLAG_MMX;
    if (confirmed & CPU_FEATURE_SSE)
        flags |= SIMD_FLAG_SSE;
    if (confirmed & CPU_FEATURE_SSE2)
        flags |= SIMD_FLAG_SSE2;
    if (confirmed & CPU_FEATURE_SSE3)
        flags |= SIMD_FLAG_SSE3;
    if (confirmed & CPU_FEATURE_3DNOW)
        flags |= SIMD_FLAG_3DNOW;
    return flags;
}

ZelSIMDProcessor* VariantFor(uint32_t flags) {
    const bool mmx = flags & SIMD_FLAG_MMX;
    const bool sse = flags & SIMD_FLAG_SSE;
    const bool sse2 = flags & SIMD_FLAG_SSE2;
    if (mmx && sse && sse2 && (flags & SIMD_FLAG_SSE3))
        return &g_sse3Object;
    if (!mmx)
        return &g_genericObject;
    if (sse && sse2)
        return &g_sse2Object;
    if (sse)
        return &g_sseObject;
    if (flags & SIMD_FLAG_3DNOW)
        return &g_3dnowObject;
    return &g_mmxObject;
}

}  // namespace

bool InitSIMDProcessor() {
    g_genericObject.SetFeatures(SIMD_FLAG_GENERIC);
    g_generic = &g_genericObject;
    g_active = g_generic;
    g_chosen = nullptr;
    return BuildRSqrtTable();
}

void ChooseSIMDProcessor(int, bool forceGeneric) {
    CpuInfo info{};
    IdentifyCpu(&info);
    const uint32_t flags = FlagsFromFeatures(info.confirmed);
    if (forceGeneric) {
        g_active = g_generic;
        return;
    }
    if (!g_chosen) {
        g_chosen = VariantFor(flags);
        g_chosen->SetFeatures(flags);
    }
    g_active = g_chosen;
}

ZelSIMDProcessor* GetActiveSIMDProcessor() {
    return g_active;
}

ZelSIMDProcessor* SetupSIMDProcessor() {
    InitSIMDProcessor();
    ChooseSIMDProcessor(0, false);
    if (g_active)
        LogTyped(LOG_ENGINE_INIT, "检测到CPU支持指令集：%s", g_active->GetName());
    return g_active;
}

void ResetSIMDProcessorsForTesting() {
    g_generic = nullptr;
    g_chosen = nullptr;
    g_active = nullptr;
    g_genericObject.SetFeatures(0);
}

}  // namespace Zel
