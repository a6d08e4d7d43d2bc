// A host's effect manager as a test host writes one: only the operations the library calls do
// anything. A load stores the manager itself as the effect; the instance report gets the line set
// in reportLine, when there is one.
#pragma once

#include <cstdio>
#include <string>

#include "Interface/ISpecialEffectManager.h"

namespace ZelTest {

class HostEffectManager : public ZelI::ISpecialEffectManager {
public:
    void Begin() override {}
    void End() override {}
    bool LoadEffect(ZelI::EffectLoadRequest* request) override {
        *request->effectOut = this;
        return true;
    }
    void UnloadEffect(ZelI::EffectTaskBatch*) override {}
    void UnloadEffectDeeply(ZelI::EffectTaskBatch*) override {}
    void CompleteEffect(void*) override {}
    bool ContainsEffect(const void*) override { return false; }
    bool HasEffect(const char*) override { return false; }
    ZelI::IResList* GetEffectResList() override { return nullptr; }
    std::uint32_t AddCreateListener(void (*)(void*, std::uint32_t)) override { return 0; }
    void RemoveCreateListener(std::uint32_t) override {}
    std::uint32_t AddReleaseListener(void (*)(void*, std::uint32_t)) override { return 0; }
    void RemoveReleaseListener(std::uint32_t) override {}
    bool IsInstanceInUse(const void*) override { return false; }
    ZelI::IInsList* GetInstanceList(bool) override { return nullptr; }
    void EnumerateEffects(ZelI::IResVisitor*) override {}
    std::uint32_t AddInstanceListener(std::int32_t, void (*)(void*, std::uint32_t)) override {
        return 0;
    }
    void RemoveInstanceListener(std::int32_t, std::uint32_t) override {}
    std::uint32_t AddDestroyListener(void (*)(void*, std::uint32_t)) override { return 0; }
    void RemoveDestroyListener(std::uint32_t) override {}
    std::uint32_t CollectUnusedInstances() override { return 0; }
    void AppendReport(std::FILE* report) override {
        if (!reportLine.empty())
            std::fputs(reportLine.c_str(), report);
    }

    std::string reportLine;
};

}  // namespace ZelTest
