// Read-only statistics of one model, skeletal model or actor for a host tool. A proxy holds the
// object behind the interface it was made for (null: every query answers 0) and the object's
// material proxy table, asked for once on first need and released with the proxy. It does not
// keep the object alive. Host thread.
#pragma once

#include <cstdint>
#include <string>

#include "Interface/IMatProxyTable.h"
#include "Interface/IModelProxy.h"

namespace ZelI {
class IActor;
class IModel;
class IMoveObject;
class ISkeletonModel;
}  // namespace ZelI

namespace Zel {

class Actor;
class Entity;
class SkeletonModel;

// What the model proxies share: the mesh figures come from Counts, which each form fills from
// its own meshes.
template <class Base>
class ModelProxyCore : public Base {
public:
    void Release() override { delete this; }
    std::uint32_t GetVertexCount() override { return Figures().vertices; }
    std::uint32_t GetIndexCount() override { return Figures().indices; }
    std::uint32_t GetCountWordTotal() override { return Figures().firstWords; }
    std::uint32_t GetMeshCount() override { return Figures().meshes; }
    std::uint32_t GetSubEntityCount() override;
    std::int32_t GetMaterialCount() override;
    ZelI::IMatProxy* GetMaterial(std::int32_t index) override;
    std::uint32_t GetTextureCount() override;
    bool IsTextureGenerated(std::uint32_t index) override;

    struct Counts {
        std::uint32_t vertices = 0;
        std::uint32_t indices = 0;
        std::uint32_t firstWords = 0;
        std::uint32_t secondWords = 0;
        std::uint32_t meshes = 0;
        std::uint32_t skinEntries = 0;
    };

protected:
    ModelProxyCore(ZelI::IMoveObject* host, Entity* entity) : host_(host), entity_(entity) {}
    ~ModelProxyCore() override;
    virtual Counts Figures();
    Entity* GetEntity() const { return entity_; }

private:
    ZelI::IMatProxyTable* Table();

    ZelI::IMoveObject* host_;
    Entity* entity_;
    ZelI::IMatProxyTable* table_ = nullptr;
    bool tableAsked_ = false;
};

class IModelProxyImpl final : public ModelProxyCore<ZelI::IModelProxy> {
public:
    explicit IModelProxyImpl(ZelI::IModel* model);
};

class ISklModelProxyImpl : public ModelProxyCore<ZelI::ISklModelProxy> {
public:
    explicit ISklModelProxyImpl(ZelI::ISkeletonModel* model);
    std::uint32_t GetVertexCount() override { return Figures().secondWords; }
    std::uint32_t GetBoneCount() override;
    float GetActionLength() override;
    const char* GetActionName() override;
    std::uint32_t GetSkinEntryCount() override { return Figures().skinEntries; }

protected:
    SkeletonModel* GetModel() const;
};

// Counts the body-part meshes of slots 0 to 7; animation figures come from channel 0.
class IActorProxyImpl : public ModelProxyCore<ZelI::IActorProxy> {
public:
    explicit IActorProxyImpl(ZelI::IActor* actor);
    std::uint32_t GetBoneCount() override;
    float GetActionLength() override;
    const char* GetActionName() override;
    std::uint32_t GetSkinEntryCount() override { return Figures().skinEntries; }
    std::uint32_t GetPartLinkCount() override;

protected:
    Counts Figures() override;
    Actor* GetActor() const;

private:
    std::string actionName_;
};

class INewActorProxyImpl final : public IActorProxyImpl {
public:
    explicit INewActorProxyImpl(ZelI::IActor* actor) : IActorProxyImpl(actor) {}
};

}  // namespace Zel
