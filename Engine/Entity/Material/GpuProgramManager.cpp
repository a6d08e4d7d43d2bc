#include "Entity/Material/GpuProgramManager.h"

#include "Core/Globals.h"
#include "Render/RenderResourceRegistry.h"
#include "Render/d3d9/GraphicsAPIManagerD3D9.h"

namespace Zel {

GpuProgramManager::GpuProgramManager() {
    RegisterType("GpuProgram");
    RegisterRenderResourceManager(this);
}

GpuProgramManager::~GpuProgramManager() {
    defaultProgram_.Reset();
    UnregisterRenderResourceManager(this);
}

CResource* GpuProgramManager::CreateImpl(std::string_view name, std::string_view) {
    GraphicsAPIManagerD3D9* api = Globals::Find(&Globals::GetGraphicsAPIManager);
    if (!device_ || !api)
        return nullptr;
    return api->NewGpuProgram(this, name, GetTypeName(), NextHandle(), MP_DEFAULT, device_);
}

GpuProgram* GpuProgramManager::LoadProgram(std::string_view name) {
    return dynamic_cast<GpuProgram*>(Load(name));
}

GpuProgram* GpuProgramManager::GetDefaultProgram() {
    if (!defaultProgram_) {
        auto* program = dynamic_cast<GpuProgram*>(Create(kDefaultProgramPath));
        defaultProgram_.Assign(program);
        if (program)
            program->Load(kDefaultProgramPath);
    }
    return defaultProgram_.Get();
}

template <class Fn>
void GpuProgramManager::ForEachDefaultPoolProgram(Fn fn) {
    ForEachActive([&](const std::string&, CResource* resource) {
        auto* program = dynamic_cast<GpuProgram*>(resource);
        if (program && program->IsDefaultPool())
            fn(*program);
        return true;
    });
}

void GpuProgramManager::OnLostDevice() {
    ForEachDefaultPoolProgram([](GpuProgram& program) { program.OnDeviceLost(); });
}

void GpuProgramManager::OnResetDevice() {
    ForEachDefaultPoolProgram([](GpuProgram& program) { program.OnDeviceReset(); });
}

}  // namespace Zel
