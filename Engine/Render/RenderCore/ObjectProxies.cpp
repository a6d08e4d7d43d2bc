#include "Render/RenderCore/ObjectProxies.h"

#include <iterator>
#include <set>

#include "Entity/Character/Action.h"
#include "Entity/Character/Actor.h"
#include "Entity/Character/AnimationChannel.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonModel.h"
#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/GeometryBodyPart.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/VertexData.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Texture/TextureBase.h"
#include "Interface/IActor.h"
#include "Render/RenderCore/RCInterfaceImpl.h"

namespace Zel {
namespace {

// Texture type codes a tool shows as made by the renderer rather than loaded.
constexpr int kGeneratedTypeA = 6;
constexpr int kGeneratedTypeB = 10;

template <class Counts>
void AddGeometry(Geometry* geometry, Counts& counts) {
    if (!geometry)
        return;
    for (std::uint32_t i = 0; i < geometry->GetMeshCount(); ++i) {
        Mesh* mesh = geometry->GetMesh(i);
        if (!mesh)
            continue;
        ++counts.meshes;
        if (VertexData* vertices = mesh->GetVertexData())
            counts.vertices += vertices->GetVertexCount();
        if (IndexData* indices = mesh->GetIndexData())
            counts.indices += indices->GetIndexCount();
        counts.firstWords += mesh->GetFaceCount();
        counts.secondWords += mesh->GetVertexCount();
    }
    counts.skinEntries += static_cast<std::uint32_t>(geometry->GetScales().size());
}

template <class T>
T* Unwrap(ZelI::IMoveObject* object) {
    return UnwrapInterface<T, ZelI::IMoveObject>(object);
}

std::set<TextureBase*> TexturesOf(const Entity* entity) {
    std::set<TextureBase*> textures;
    if (entity)
        entity->CollectTextures(textures);
    return textures;
}

}  // namespace

template <class Base>
ModelProxyCore<Base>::~ModelProxyCore() {
    if (table_)
        table_->Release();
}

template <class Base>
ZelI::IMatProxyTable* ModelProxyCore<Base>::Table() {
    if (!tableAsked_ && host_ && entity_) {
        tableAsked_ = true;
        table_ = host_->CreateMatProxyTable();
    }
    return table_;
}

template <class Base>
typename ModelProxyCore<Base>::Counts ModelProxyCore<Base>::Figures() {
    Counts counts;
    if (entity_)
        AddGeometry(entity_->GetGeometry(), counts);
    return counts;
}

template <class Base>
std::uint32_t ModelProxyCore<Base>::GetSubEntityCount() {
    return entity_ ? static_cast<std::uint32_t>(entity_->GetSubEntities().size()) : 0;
}

template <class Base>
std::int32_t ModelProxyCore<Base>::GetMaterialCount() {
    ZelI::IMatProxyTable* table = Table();
    return table ? table->GetCount() : 0;
}

template <class Base>
ZelI::IMatProxy* ModelProxyCore<Base>::GetMaterial(std::int32_t index) {
    ZelI::IMatProxyTable* table = Table();
    return table ? table->GetAt(index) : nullptr;
}

template <class Base>
std::uint32_t ModelProxyCore<Base>::GetTextureCount() {
    return static_cast<std::uint32_t>(TexturesOf(entity_).size());
}

template <class Base>
bool ModelProxyCore<Base>::IsTextureGenerated(std::uint32_t index) {
    const std::set<TextureBase*> textures = TexturesOf(entity_);
    if (index >= textures.size())
        return false;
    const TextureBase* texture = *std::next(textures.begin(), index);
    const int type = texture ? texture->GetType() : 0;
    return type == kGeneratedTypeA || type == kGeneratedTypeB;
}

template class ModelProxyCore<ZelI::IModelProxy>;
template class ModelProxyCore<ZelI::ISklModelProxy>;
template class ModelProxyCore<ZelI::IActorProxy>;

IModelProxyImpl::IModelProxyImpl(ZelI::IModel* model)
    : ModelProxyCore<ZelI::IModelProxy>(model, Unwrap<Entity>(model)) {}

ISklModelProxyImpl::ISklModelProxyImpl(ZelI::ISkeletonModel* model)
    : ModelProxyCore<ZelI::ISklModelProxy>(model, Unwrap<SkeletonModel>(model)) {}

SkeletonModel* ISklModelProxyImpl::GetModel() const {
    return static_cast<SkeletonModel*>(GetEntity());
}

std::uint32_t ISklModelProxyImpl::GetBoneCount() {
    SkeletonModel* model = GetModel();
    Skeleton* skeleton = model ? model->GetSkeleton() : nullptr;
    return skeleton ? skeleton->GetBoneCount() : 0;
}

float ISklModelProxyImpl::GetActionLength() {
    SkeletonModel* model = GetModel();
    Action* action = model ? model->GetMainAction() : nullptr;
    return action ? action->GetLength() : 0.0f;
}

const char* ISklModelProxyImpl::GetActionName() {
    SkeletonModel* model = GetModel();
    Action* action = model ? model->GetMainAction() : nullptr;
    return action ? action->GetName().c_str() : nullptr;
}

IActorProxyImpl::IActorProxyImpl(ZelI::IActor* actor)
    : ModelProxyCore<ZelI::IActorProxy>(actor, Unwrap<Actor>(actor)) {}

Actor* IActorProxyImpl::GetActor() const {
    return static_cast<Actor*>(GetEntity());
}

namespace {

// Slots 0 to 7 hold the counted body parts; slot 8 and the cloth slots never count.
constexpr std::uint32_t kCountedSlots = 8;

template <class Visit>
void ForEachCountedPart(Actor* actor, Visit visit) {
    if (!actor)
        return;
    for (std::uint32_t slot = 0; slot < kCountedSlots; ++slot) {
        if (actor->GetSlotSubEntities(slot).empty())
            continue;
        if (GeometryBodyPart* part = actor->GetBodyPartGeometry(slot))
            visit(*part);
    }
}

}  // namespace

IActorProxyImpl::Counts IActorProxyImpl::Figures() {
    Counts counts;
    ForEachCountedPart(GetActor(),
                       [&counts](GeometryBodyPart& part) { AddGeometry(&part, counts); });
    return counts;
}

std::uint32_t IActorProxyImpl::GetPartLinkCount() {
    std::uint32_t links = 0;
    ForEachCountedPart(GetActor(), [&links](GeometryBodyPart& part) {
        links += static_cast<std::uint32_t>(part.GetLinkRecords().size());
    });
    return links;
}

std::uint32_t IActorProxyImpl::GetBoneCount() {
    Actor* actor = GetActor();
    Skeleton* skeleton = actor ? actor->GetSkeleton() : nullptr;
    return skeleton ? skeleton->GetBoneCount() : 0;
}

float IActorProxyImpl::GetActionLength() {
    Actor* actor = GetActor();
    AnimationChannel* channel = actor ? actor->GetChannel(0) : nullptr;
    return channel ? channel->GetTotalLength() : 0.0f;
}

const char* IActorProxyImpl::GetActionName() {
    Actor* actor = GetActor();
    AnimationChannel* channel = actor ? actor->GetChannel(0) : nullptr;
    Action* action = channel ? channel->GetCurrentAction() : nullptr;
    if (!action)
        return nullptr;
    actionName_ = action->GetName();
    return actionName_.c_str();
}

}  // namespace Zel
