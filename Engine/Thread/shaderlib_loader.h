// The material library loading task (type 1): loads an XML material library on loading thread 0
// in one step, with the compress-to-DDS switch and the texture scale level of its record in force
// for the load only.
#pragma once

#include "Core/itask.h"
#include "Thread/CreationRecords.h"

namespace Zel {

class shaderlib_loader final : public itask {
public:
    // Global switch that allows material libraries to load at all.
    static constexpr std::uint32_t kMaterialLibSwitch = 59;
    // Global switch that compresses loaded textures to DDS.
    static constexpr std::uint32_t kCompressToDdsSwitch = 6;

    std::int32_t GetType() const override { return kShaderLibTaskType; }
    const char* GetName() const override { return "shaderlib_loader"; }
    void Reset() override;
    // The record is a MaterialLibTaskParameter.
    void SetParameter(const void* parameter) override;
    // 13 while libraries are switched off; 14 when the library does not load. The switch and
    // the scale level are as before the step either way.
    std::int32_t OnTaskBegin() override;

private:
    MaterialLibTaskParameter parameter_;
};

}  // namespace Zel
