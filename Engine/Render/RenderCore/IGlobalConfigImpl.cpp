#include "Render/RenderCore/IGlobalConfigImpl.h"

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"

namespace Zel {
namespace {
GlobalConfigManager* Switches() {
    return Globals::Find(&Globals::GetConfigManager);
}
}  // namespace

bool IGlobalConfigImpl::IsPathBlocked(std::uint32_t list, const char* path) {
    GlobalConfigManager* config = Switches();
    return config && config->IsPathBlocked(list, path);
}

void IGlobalConfigImpl::SetValue(std::uint32_t index, std::int32_t value) {
    if (GlobalConfigManager* config = Switches())
        config->SetValue(index, value);
}

void IGlobalConfigImpl::SetFloatValue(std::uint32_t index, float value) {
    if (GlobalConfigManager* config = Switches())
        config->SetFloatValue(index, value);
}

void IGlobalConfigImpl::SetBlockedDirs(std::uint32_t list, const char* dirs) {
    if (GlobalConfigManager* config = Switches())
        config->SetBlockedDirs(list, dirs);
}

std::int32_t IGlobalConfigImpl::GetValue(std::uint32_t index) {
    GlobalConfigManager* config = Switches();
    return config ? config->GetValue(index) : 0;
}

float IGlobalConfigImpl::GetFloatValue(std::uint32_t index) {
    GlobalConfigManager* config = Switches();
    return config ? config->GetFloatValue(index) : 0.0f;
}

bool IGlobalConfigImpl::HasBlockedDirs(std::uint32_t list) {
    GlobalConfigManager* config = Switches();
    return config && config->HasBlockedDirs(list);
}

}  // namespace Zel
