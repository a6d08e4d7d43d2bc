// The operations of the root interface whose part of the renderer is not built yet, and the
// reserved positions: each changes nothing and answers null, 0 or false (the reserved ones the
// value they are declared with).
#include "Render/RenderCore/IRenderImpl.h"

#include <bit>

#include "Core/Globals.h"
#include "Render/DistortionEffect.h"
#include "Render/PostEffects.h"
#include "Render/RenderSystem.h"
#include "Render/RenderCore/IEngineMonitorImplRC.h"
#include "Render/RenderCore/IFrameProfilerImpl.h"
#include "Render/RenderCore/IRenderStateManagerImplRC.h"

namespace Zel {
namespace {

void ZeroThrough(float* a, float* b, float* c) {
    for (float* out : {a, b, c})
        if (out)
            *out = 0.0f;
}

}  // namespace

void IRenderImpl::Reserved01(std::intptr_t) {}

void IRenderImpl::Reserved02(std::intptr_t) {}

int IRenderImpl::Reserved03() {
    return 0;
}

bool IRenderImpl::Reserved04(std::intptr_t) {
    return true;
}

void IRenderImpl::Reserved05(std::intptr_t, std::intptr_t, std::intptr_t) {}

int IRenderImpl::Reserved06(std::intptr_t) {
    return 0;
}

float IRenderImpl::Reserved07() {
    return 1.0f;
}

void IRenderImpl::Reserved08() {}

void IRenderImpl::Reserved09(std::intptr_t, std::intptr_t, std::intptr_t) {}

void IRenderImpl::Reserved10(float* a, float* b, float* c) {
    ZeroThrough(a, b, c);
}

void IRenderImpl::Reserved11() {}

void IRenderImpl::Reserved12() {}

void IRenderImpl::Reserved13(std::intptr_t) {}

void IRenderImpl::Reserved14() {}

void IRenderImpl::Reserved15(std::intptr_t, std::intptr_t) {}

void IRenderImpl::Reserved16() {}

int IRenderImpl::Reserved17(std::intptr_t) {
    return 0;
}

void IRenderImpl::Reserved18() {}

void IRenderImpl::Reserved19(std::intptr_t) {}

void IRenderImpl::Reserved20(std::intptr_t) {}

void IRenderImpl::Reserved21(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t) {}

bool IRenderImpl::Reserved22(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t,
                             std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t,
                             std::intptr_t, std::intptr_t) {
    return false;
}

void IRenderImpl::Reserved23(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t,
                             std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t,
                             std::intptr_t) {}

int IRenderImpl::Reserved24(std::intptr_t) {
    return 0;
}

void IRenderImpl::Reserved25(std::intptr_t, std::intptr_t) {}

void IRenderImpl::Reserved26(std::intptr_t, std::intptr_t) {}

int IRenderImpl::Reserved27() {
    return 0;
}

int IRenderImpl::Reserved28(std::intptr_t) {
    return 0;
}

void IRenderImpl::Reserved29() {}

int IRenderImpl::Reserved30(std::intptr_t) {
    return 0;
}

void IRenderImpl::Reserved31(std::intptr_t) {}

int IRenderImpl::Reserved32() {
    return 0;
}

int IRenderImpl::Reserved33() {
    return 0;
}

void IRenderImpl::Reserved34() {}

void IRenderImpl::Reserved35() {}

void IRenderImpl::Reserved36(std::intptr_t) {}

void IRenderImpl::Reserved37(std::intptr_t) {}

void IRenderImpl::Reserved38(std::intptr_t) {}

void IRenderImpl::Reserved39() {}

void IRenderImpl::Reserved40() {}

void IRenderImpl::Reserved41() {}

void IRenderImpl::Reserved42() {}

void IRenderImpl::Reserved43(std::intptr_t) {}

void IRenderImpl::Reserved44(std::intptr_t) {}

void IRenderImpl::Reserved45(std::intptr_t) {}

void IRenderImpl::Reserved46(std::intptr_t) {}

bool IRenderImpl::Reserved47() {
    return false;
}

bool IRenderImpl::Reserved48() {
    return false;
}

bool IRenderImpl::Reserved49() {
    return false;
}

bool IRenderImpl::Reserved50(std::intptr_t) {
    return false;
}

int IRenderImpl::Reserved51(std::intptr_t) {
    return 0;
}

int IRenderImpl::Reserved52(std::intptr_t) {
    return 0;
}

void IRenderImpl::Reserved53(std::intptr_t) {}

void IRenderImpl::Reserved54(std::intptr_t, std::intptr_t) {}

bool IRenderImpl::IsDistortionAvailable() {
    return DistortionEffect::Instance().IsAvailable();
}

// The host passes the elapsed milliseconds and the strength's float bits as words.
void IRenderImpl::ApplyDistortion(std::intptr_t elapsedMs, std::intptr_t strengthBits) {
    DistortionEffect::Instance().Apply(std::uint32_t(elapsedMs),
                                       std::bit_cast<float>(std::uint32_t(strengthBits)));
}

int IRenderImpl::Reserved55() {
    return 0;
}

void IRenderImpl::Reserved56(std::intptr_t) {}

int IRenderImpl::Reserved57(std::intptr_t) {
    return 0;
}

int IRenderImpl::Reserved58(std::intptr_t) {
    return 0;
}

void IRenderImpl::Reserved59() {}

int IRenderImpl::Reserved60(std::intptr_t) {
    return 0;
}

void IRenderImpl::Reserved61(std::intptr_t) {}

int IRenderImpl::Reserved62() {
    return 0;
}

void IRenderImpl::Reserved63() {}

void IRenderImpl::Reserved64() {}

bool IRenderImpl::Reserved65() {
    return false;
}

void IRenderImpl::Reserved66() {}

void IRenderImpl::Reserved67() {}

void IRenderImpl::Reserved68(std::intptr_t) {}

// ---- Post effects: frame steps only between the host's frame begin and end.
void IRenderImpl::Blur(int kernel, std::intptr_t, std::intptr_t passes) {
    if (IsFrameBegan() && kernel >= 0)
        PostEffects::Instance().Blur(std::uint32_t(kernel), std::uint32_t(passes));
}

void IRenderImpl::BeginMotionBlur(std::intptr_t) {
    if (IsFrameBegan())
        PostEffects::Instance().BeginMotionBlurFrame();
}

void IRenderImpl::EndMotionBlur() {
    if (IsFrameBegan())
        PostEffects::Instance().EndMotionBlurFrame();
}

void IRenderImpl::RenderMotionBlur(float factor) {
    if (IsFrameBegan())
        PostEffects::Instance().RenderMotionBlur(factor);
}

void IRenderImpl::Reserved69(std::intptr_t) {}

bool IRenderImpl::Reserved70() {
    return false;
}

void IRenderImpl::ResetMotionBlur() {
    if (renderSystem_)
        renderSystem_->GetColorStylizedRenderer().ReleaseRenderTargets();
    PostEffects::Instance().ResetMotionBlur();
}

void IRenderImpl::Reserved71(std::intptr_t) {}

bool IRenderImpl::Reserved72() {
    return true;
}

void IRenderImpl::Reserved73(std::intptr_t) {}

float IRenderImpl::Reserved74() {
    return 0.0f;
}

ZelI::IEngineMonitor* IRenderImpl::GetEngineMonitor() {
    // Stateless: one monitor serves every caller.
    static IEngineMonitorImplRC monitor;
    return &monitor;
}

ZelI::IRenderStateManager* IRenderImpl::GetRenderStateManager() {
    // Stateless: one manager serves every caller.
    static IRenderStateManagerImplRC manager;
    return &manager;
}

void IRenderImpl::Reserved75(std::intptr_t, std::intptr_t, std::intptr_t) {}

void IRenderImpl::Reserved76(std::intptr_t, std::intptr_t, std::intptr_t) {}

void IRenderImpl::Reserved77() {}

void IRenderImpl::Reserved78() {}

int IRenderImpl::Reserved79() {
    return 0;
}

int IRenderImpl::Reserved80() {
    return 0;
}

void IRenderImpl::Reserved81(std::intptr_t) {}

int IRenderImpl::Reserved82(std::intptr_t) {
    return 0;
}

int IRenderImpl::Reserved83(std::intptr_t) {
    return 0;
}

int IRenderImpl::Reserved84(std::intptr_t) {
    return 0;
}

int IRenderImpl::Reserved85(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t,
                            std::intptr_t, std::intptr_t) {
    return 0;
}

int IRenderImpl::Reserved86(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t) {
    return 0;
}

ZelI::IFrameProfiler* IRenderImpl::GetFrameProfiler() {
    return Globals::Find(&Globals::GetFrameProfiler);
}

}  // namespace Zel
