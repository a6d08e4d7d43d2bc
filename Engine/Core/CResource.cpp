#include "Core/CResource.h"

#include "Core/CResourceManager.h"
#include "Core/PathUtils.h"

namespace Zel {

CResource::CResource(CResourceManager* manager, std::string_view name, std::string_view group,
                     std::uint32_t handle)
    : manager_(manager), name_(NormalizePath(name)), group_(group), handle_(handle) {
    SetConstructedFlag(true);
}

CResource::~CResource() = default;

template <class LoadStep>
void CResource::RunLoad(const std::string& path, LoadStep load) {
    if (IsLoaded())
        return;
    // The extra reference keeps the manager's collect step away for the length of the load.
    AddRef();
    if (&path != &loadPath_)
        loadPath_ = path;
    const bool ok = load();
    SetLoaded(true);
    SetLoadSucceeded(ok);
    size_.store(GetSize(), std::memory_order_relaxed);
    if (manager_)
        manager_->OnLoaded(this);
    LogLoadResult(ok);
    DecRef();
}

void CResource::Load(const std::string& path, IZelStream* stream) {
    RunLoad(path, [&] { return LoadFromArgument(stream); });
}

void CResource::Load(const std::string& path) {
    RunLoad(path, [&] { return LoadImpl(); });
}

void CResource::Unload() {
    if (!IsLoaded())
        return;
    if (manager_)
        manager_->OnUnloaded(this, IsInGarbage());
    UnloadImpl();
    SetLoaded(false);
    SetLoadSucceeded(false);
    size_.store(0, std::memory_order_relaxed);
}

void CResource::Reload() {
    if (!IsLoaded())
        Load(loadPath_);
}

void CResource::LogResourceName() {}

void CResource::LogLoadResult(bool) {}

void CResource::SetLoaded(bool on) {
    SetFlag(kLoaded, on);
}

void CResource::SetLoadSucceeded(bool on) {
    SetFlag(kLoadSucceeded, on);
}

void CResource::SetConstructedFlag(bool on) {
    SetFlag(kConstructed, on);
}

bool CResource::LoadFromArgument(IZelStream*) {
    return false;
}

void CResource::SetAuxiliaryFlag(bool on) {
    SetFlag(kAuxiliary, on);
}

void CResource::SetInGarbage(bool on) {
    SetFlag(kInGarbage, on);
}

void CResource::SetFlag(Flag flag, bool on) {
    if (on)
        flags_.fetch_or(flag, std::memory_order_acq_rel);
    else
        flags_.fetch_and(~static_cast<std::uint32_t>(flag), std::memory_order_acq_rel);
}

}  // namespace Zel
