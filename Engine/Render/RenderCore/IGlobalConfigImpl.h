// The host's configuration interface over the global switches. Built by the Globals constructor;
// every operation reaches the switch manager through Globals at the time of the call, so before
// Init and after Shutdown writes do nothing and reads answer 0. Host thread.
#pragma once

#include "Core/ClassIds.h"
#include "Interface/IGlobalConfig.h"

namespace Zel {

class IGlobalConfigImpl : public ZelI::IGlobalConfig {
public:
    IGlobalConfigImpl() = default;
    virtual ~IGlobalConfigImpl() = default;
    IGlobalConfigImpl(const IGlobalConfigImpl&) = delete;
    IGlobalConfigImpl& operator=(const IGlobalConfigImpl&) = delete;

    bool IsPathBlocked(std::uint32_t list, const char* path) override;
    void SetValue(std::uint32_t index, std::int32_t value) override;
    void SetFloatValue(std::uint32_t index, float value) override;
    void SetBlockedDirs(std::uint32_t list, const char* dirs) override;
    std::int32_t GetValue(std::uint32_t index) override;
    float GetFloatValue(std::uint32_t index) override;
    bool HasBlockedDirs(std::uint32_t list) override;
    std::uint32_t GetClassId() const override { return ClassId::IGlobalConfigImpl; }
    const char* GetClassName() const override {
        return GetRegisteredClassName(ClassId::IGlobalConfigImpl);
    }
};

}  // namespace Zel
