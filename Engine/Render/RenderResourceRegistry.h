// The registry of render-resource managers (Globals::GetRenderResourceRegistry): the render
// system walks it when the device is lost and again after a reset. Entries keep their
// registration order; an unregistered manager's entry becomes null and stays, so a walk in
// progress never shifts. Host thread.
#pragma once

#include <cstddef>
#include <vector>

namespace Zel {

class RenderResourceManager;

class RenderResourceRegistry {
public:
    RenderResourceRegistry() = default;
    // Logs a warning naming how many managers are still registered (each should have left).
    ~RenderResourceRegistry();
    RenderResourceRegistry(const RenderResourceRegistry&) = delete;
    RenderResourceRegistry& operator=(const RenderResourceRegistry&) = delete;

    // Appends the manager unless it is already registered; null is ignored.
    void Register(RenderResourceManager* manager);
    // Clears every entry that holds the manager.
    void Unregister(RenderResourceManager* manager);
    // OnLostDevice / OnResetDevice of every registered manager, in registration order.
    void NotifyDeviceLost();
    void NotifyDeviceReset();

    // Managers currently registered (null entries not counted).
    std::size_t GetRegisteredCount() const;

private:
    std::vector<RenderResourceManager*> managers_;
};

// Register and unregister with the registry that Globals holds; nothing happens while Globals has
// none (before Init, after Shutdown). Managers call them from their constructors and destructors.
void RegisterRenderResourceManager(RenderResourceManager* manager);
void UnregisterRenderResourceManager(RenderResourceManager* manager);

}  // namespace Zel
