// The manager of GPU programs (effects): names, caches and creates them, holds the default
// program every material falls back to, and relays device loss and reset to its default-pool
// programs. Registered under the type name "GpuProgram" with the group registry and with the
// render-resource registry of Globals from its construction to its destruction.
//
// Host thread; loads also run on the worker inside a task step.
#pragma once

#include <string_view>

#include "Core/CResourceManager.h"
#include "Core/SharedPtr.h"
#include "Entity/Material/GpuProgram.h"
#include "Render/RenderResourceManager.h"

namespace Zel {

class RenderDevice;

class GpuProgramManager : public CResourceManager, public RenderResourceManager {
public:
    static constexpr const char* kDefaultProgramPath = "../Data/Effects/Legacy/Default.fx";

    // Built by Globals::Init, host thread. No device binding yet.
    GpuProgramManager();
    // Drops the default program's reference, unregisters from the render-resource registry.
    ~GpuProgramManager() override;
    ZEL_CLASS_ID(GpuProgramManager)

    // The device programs are made on (not owned); null until the render device exists, and no
    // program can be made without it.
    void SetDeviceBinding(RenderDevice* device) { device_ = device; }
    RenderDevice* GetDeviceBinding() const { return device_; }

    // A new program from the graphics API manager's factory; null without a device binding.
    // The source is not used.
    CResource* CreateImpl(std::string_view name, std::string_view source) override;
    // The program of the effect file name, loaded on first request; null when none can be made.
    // Check IsLoadSucceeded before drawing with it.
    GpuProgram* LoadProgram(std::string_view name);
    // The program of kDefaultProgramPath, created and loaded on the first call and held by the
    // manager (one reference; callers take their own). Null while none can be made.
    GpuProgram* GetDefaultProgram();

    // Tell every default-pool program in the name map of the loss or reset (name lock held).
    void OnLostDevice() override;
    void OnResetDevice() override;
    void PurgeUnused() override {}

private:
    template <class Fn>
    void ForEachDefaultPoolProgram(Fn fn);

    RenderDevice* device_ = nullptr;
    SharedPtr<GpuProgram> defaultProgram_;
};

}  // namespace Zel
