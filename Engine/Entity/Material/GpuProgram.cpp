#include "Entity/Material/GpuProgram.h"

#include <atomic>

#include "Entity/Scene/Light.h"

namespace Zel {

namespace {
std::uint64_t NextProgramId() {
    static std::atomic<std::uint32_t> counter{0};
    const std::uint32_t serial =
        counter.fetch_add(1, std::memory_order_relaxed) % GpuProgram::kMaxSerial + 1;
    return std::uint64_t(serial) << 32;
}
}  // namespace

GpuProgram::GpuProgram(CResourceManager* manager, std::string_view name, std::string_view group,
                       std::uint32_t handle, std::uint32_t poolCode, RenderDevice* device)
    : CResource(manager, name, group, handle),
      RenderResource(poolCode, device),
      programId_(NextProgramId()) {}

GpuProgram::~GpuProgram() = default;

void GpuProgram::ReleaseRef() {
    if (DecRef() <= 1)
        Unload();
}

bool GpuProgram::ApplyLightParam(std::uint32_t pipelineSlot, const Light* light) {
    return SelectTechnique(pipelineSlot, light != nullptr && light->IsProjecting());
}

}  // namespace Zel
