#include "Entity/Character/SkeletonManager.h"

#include "Core/Globals.h"
#include "Entity/Character/ActionManager.h"

#include "Entity/Character/Skeleton.h"
#include "Entity/Geometry/IOSkinBin.h"
#include "Entity/Geometry/MeshSerializer.h"

namespace Zel {

SkeletonManager::SkeletonManager() {
    RegisterType("SkeletonResource");
    streamLoader_ = [](Skeleton& skeleton, IZelStream* stream) {
        return stream && IOSkeletonBin::Read(skeleton, stream);
    };
    fileLoader_ = [](Skeleton& skeleton, const std::string& path) {
        MeshSerializer* serializer = Globals::Find(&Globals::GetMeshSerializer);
        return serializer && serializer->LoadSkeleton(skeleton, path) == 0;
    };
}

SkeletonManager::~SkeletonManager() {
    Collect();
    Purge();
}

CResource* SkeletonManager::CreateImpl(std::string_view name, std::string_view) {
    return new Skeleton(this, name, GetTypeName(), NextHandle());
}

bool SkeletonManager::LoadFromFile(Skeleton& skeleton, const std::string& path) {
    return fileLoader_ && fileLoader_(skeleton, path);
}

bool SkeletonManager::LoadFromStream(Skeleton& skeleton, IZelStream* stream) {
    return streamLoader_ && streamLoader_(skeleton, stream);
}

Skeleton* SkeletonManager::GetOrLoadWith(std::string_view name,
                                         const std::function<void(Skeleton&)>& load) {
    if (Skeleton* held = Held(name))
        return held;
    auto* skeleton = static_cast<Skeleton*>(Create(name));
    if (!skeleton)
        return nullptr;
    load(*skeleton);
    if (!skeleton->IsLoadSucceeded()) {
        Remove(skeleton);
        return nullptr;
    }
    skeleton->AddRef();
    return skeleton;
}

Skeleton* SkeletonManager::GetOrLoad(std::string_view name) {
    return GetOrLoadWith(name, [name](Skeleton& s) { s.Load(std::string(name)); });
}

Skeleton* SkeletonManager::GetOrLoadFromStream(std::string_view name, IZelStream* stream) {
    Skeleton* held = Held(name);
    if (!held)
        return GetOrLoadWith(name,
                             [name, stream](Skeleton& s) { s.Load(std::string(name), stream); });
    // The stream carries its own copy of the shared skeleton: it is read into a scratch skeleton
    // and dropped, so that the chunks after it are read from their own place.
    Skeleton scratch(nullptr, name, GetTypeName(), 0);
    const bool consumed = LoadFromStream(scratch, stream);
    scratch.ReleaseBones();
    if (!consumed) {
        ReleaseShared(held);
        return nullptr;
    }
    return held;
}

Skeleton* SkeletonManager::Held(std::string_view name) {
    return static_cast<Skeleton*>(AcquireByName(name));
}

Skeleton* SkeletonManager::VariantBoyFigFile(std::optional<char> variant) {
    if (!variant)
        return DefaultBoyFigFile();
    return Held(std::string("boy_NF_") + *variant + "_fig.fig");
}

Skeleton* SkeletonManager::VariantGirlFigFile(std::optional<char> variant) {
    if (!variant)
        return DefaultGirlFigFile();
    return Held(std::string("girl_NF_") + *variant + "_fig.fig");
}

void SkeletonManager::Assign(Skeleton*& held, Skeleton* taken) {
    // The new figure is taken before the old one is given back: giving back the last user's
    // reference first would let the manager drop a figure that is about to be taken again.
    Skeleton* previous = held;
    held = taken;
    ReleaseShared(previous);
}

void SkeletonManager::AssignActorSkeleton(Skeleton*& held, std::optional<char> variant, bool male) {
    Assign(held, male ? VariantBoyFigFile(variant) : VariantGirlFigFile(variant));
}

void SkeletonManager::AssignNewActorSkeleton(Skeleton*& held, bool male) {
    Assign(held, male ? DefaultNewBoyFigFile() : DefaultNewGirlFigFile());
}

void SkeletonManager::OnLastSharedRelease(CResource* resource) {
    if (ActionManager* actions = Globals::Find(&Globals::GetActionManager))
        actions->UnloadActionLib(ActionManager::SetIdOf(static_cast<Skeleton*>(resource)));
}

}  // namespace Zel
