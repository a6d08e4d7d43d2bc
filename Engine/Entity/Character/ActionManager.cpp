#include "Entity/Character/ActionManager.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/IZelStdFileStream.h"
#include "Core/LogDispatch.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/ActionResource.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonManager.h"

namespace Zel {

namespace {

std::string LowerExtension(std::string_view path) {
    const std::size_t dot = path.find_last_of('.');
    std::string extension(dot == std::string_view::npos ? std::string_view()
                                                        : path.substr(dot + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// Reads the whole compressed file and builds the resource's tracks from it.
bool ReadCompressedFile(ActionResource& resource, const std::string& path) {
    IZelStdFileStream file(path);
    if (!file.IsOpen()) {
        LogError("ActionManager: cannot open the action file %s", path.c_str());
        return false;
    }
    std::vector<std::uint8_t> bytes(file.GetSize());
    if (!bytes.empty() && file.Read(bytes.data(), file.GetSize()) != file.GetSize())
        return false;
    return resource.ReadCompressed(bytes.data(), bytes.size());
}

}  // namespace

ActionManager::ActionManager() {
    RegisterType("ActionResource");
    SetReader("ac6", ReadCompressedFile);
}

ActionManager::~ActionManager() = default;

CResource* ActionManager::CreateImpl(std::string_view name, std::string_view) {
    return new ActionResource(this, name, GetTypeName(), NextHandle());
}

void ActionManager::SetReader(const std::string& extension, Reader reader) {
    const std::string key = LowerExtension("." + extension);
    if (reader)
        readers_[key] = std::move(reader);
    else
        readers_.erase(key);
}

bool ActionManager::ReadActionFile(ActionResource& resource, const std::string& path) {
    locksection& lock = GetManagerLock();
    lock.Enter();
    const auto reader = readers_.find(LowerExtension(path));
    bool ok = false;
    if (reader == readers_.end())
        LogError("ActionManager: no reader for the action file %s", path.c_str());
    else
        ok = reader->second(resource, path);
    lock.Leave();
    return ok;
}

bool ActionManager::LoadActionResource(Action& action, std::string_view skeletonName,
                                       std::string_view resourceName) {
    SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager);
    Skeleton* skeleton = skeletons ? skeletons->GetOrLoad(skeletonName) : nullptr;
    if (!skeleton) {
        LogError("ActionManager: no skeleton %.*s for the action %.*s",
                 static_cast<int>(skeletonName.size()), skeletonName.data(),
                 static_cast<int>(resourceName.size()), resourceName.data());
        return false;
    }
    auto* resource = static_cast<ActionResource*>(Create(resourceName));
    if (resource && !resource->IsLoaded()) {
        // The read needs the skeleton's bones, so the skeleton is bound first.
        resource->BindSkeleton(
            static_cast<Skeleton*>(skeletons->AcquireByName(skeleton->GetName())));
        resource->Load(std::string(resourceName));
    }
    if (!resource || !resource->IsLoadSucceeded()) {
        LogError("ActionManager: the action file %.*s could not be read",
                 static_cast<int>(resourceName.size()), resourceName.data());
        if (resource)
            Remove(resource);
        skeletons->ReleaseShared(skeleton);
        return false;
    }
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (skeleton->GetBoneCount() == 0 && config && config->NoActionLoad()) {
        action.Bind(resource, nullptr);
        skeletons->ReleaseShared(skeleton);
        return true;
    }
    action.Bind(resource, skeleton);
    return true;
}

}  // namespace Zel
