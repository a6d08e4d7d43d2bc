// The host's two roads to a material. IMaterialImplRC is the pooled wrapper of one Material
// (interfaces IShader and IMaterial): passes and textures, pinning, editing from XML text.
// Material proxies are plain heap objects a tool keeps in a table: each holds a reference on its
// material and an apply visitor chosen by the kind of object the material belongs to, so that
// edits keep a character material's own pass words and make its actor rebuild its materials.
//
// Threads: the host thread. IMaterial's texture list, pin and unpin take the main lock; the
// proxies and tables take none.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Core/SharedPtr.h"
#include "Entity/Material/HeldMaterial.h"
#include "Entity/Material/Material.h"
#include "Interface/IMatProxyTable.h"
#include "Interface/IShader.h"
#include "Render/RenderCore/RCInterfaceImpl.h"

namespace Zel {

class Actor;
class ActorMaterialLibrary;
class NewActor;
class Pass;

class IMaterialImplRC final : public IObjectImplRC<ZelI::IMaterial, Material, IMaterialImplRC> {
public:
    const char* GetName() override;
    std::int32_t Reserved7() override { return 0; }
    bool Reserved8() override { return false; }
    std::int32_t Reserved9() override { return 0; }
    float Reserved10() override { return 0.0f; }
    float Reserved11() override { return 0.0f; }
    std::uint32_t GetPassCount() override;
    std::uint32_t GetPassTextureCount(std::uint32_t pass) override;
    bool HasPass(std::uint32_t pass) override { return PassAt(pass, "HasPass") != nullptr; }
    ZelI::ITexture* GetPassTexture(std::uint32_t pass, std::uint32_t k) override;
    std::uint32_t CollectTextures(ZelI::ITexture** textures, std::uint32_t max) override;
    void Reserved17() override {}
    std::int32_t Reserved18() override { return 0; }
    std::int32_t Reserved19() override { return 0; }
    std::int32_t Reserved20() override { return 0; }
    float Reserved21() override { return 1.0f; }
    float Reserved22() override { return 1.0f; }
    float Reserved23() override { return 0.0f; }
    std::int32_t Reserved24() override { return 0; }
    std::int32_t Reserved25() override { return 0; }
    float Reserved26() override { return 1.0f; }
    void Reserved27() override {}
    bool HasBlendedPass() override;
    bool Reserved29() override { return false; }
    void Pin() override;
    // The manager's own reference is never given away: at a count of 1 nothing changes (logged).
    void Unpin() override;
    std::int32_t GetRefCount() override;
    // Nothing without pass i or its k-th stage holding a texture.
    void SetPassTexture(std::uint32_t pass, std::uint32_t k, ZelI::ITexture* texture) override;
    bool LoadFromXmlText(const char* text, const char* name) override;

protected:
    // The host's release is the material's own release (Material::Release).
    void DetachStep(Material* material) override { material->Release(); }

private:
    // The bound material; null, with one logged error naming the operation, when there is none.
    // The wrapper holds no reference of its own (the host pins explicitly), so a purge that
    // deletes the material leaves the host's wrapper unbound: say so rather than answer 0
    // silently.
    Material* Live(const char* operation) const;
    // Pass i of the bound material; null (without the material's past-the-end log, since the
    // host asks freely) when there is none.
    Pass* PassAt(std::uint32_t pass, const char* operation) const;
};

ZelI::IShader* BindMaterialInterface(RCInterfaceCarrier<ZelI::IShader>* carrier);

// How a proxy's edits reach its material; one per proxy, chosen by the kind of the object the
// material belongs to. Every operation answers 1 unless it says otherwise.
class IMatApplyVisitor {
public:
    virtual ~IMatApplyVisitor() = default;
    // target takes source's definition.
    virtual std::int32_t Apply(Material& target, Material& source) = 0;
    // target takes the definition of the first element of the XML text (a "SHADER" element),
    // read into a private material that first takes the pass words target keeps
    // (CopyPassStates); answers whether it parsed. 0, changing nothing, without an element.
    std::int32_t ApplyXmlText(const char* text, Material& target);
    virtual std::int32_t SetEditorColor(Material& material, bool enabled, float red, float green,
                                        float blue) = 0;
    // The newly read material takes the pass words it must keep from the one it replaces.
    virtual std::int32_t CopyPassStates(Material& fresh, const Material& reference) = 0;
};

// Plain objects (models, levels, materials a tool added): the new passes are unskinned.
class CommonMatApplyVisitor : public IMatApplyVisitor {
public:
    std::int32_t Apply(Material& target, Material& source) override;
    std::int32_t SetEditorColor(Material& material, bool enabled, float red, float green,
                                float blue) override;
    std::int32_t CopyPassStates(Material& fresh, const Material& reference) override;
};

// A character's materials: skinned, with the vertex program of the one replaced.
class ChrMatApplyVisitor final : public CommonMatApplyVisitor {
public:
    std::int32_t CopyPassStates(Material& fresh, const Material& reference) override;
};

// An actor's body-part copies: the copies of the material's name in the actor's part and cloth
// maps take the edit (cloth copies keep their own pass words) and the actor rebuilds its
// materials. Without an owner, edits do nothing.
class ActorMatApplyVisitor : public CommonMatApplyVisitor {
public:
    explicit ActorMatApplyVisitor(Actor* owner) : owner_(owner) {}
    std::int32_t Apply(Material& target, Material& source) override;
    std::int32_t SetEditorColor(Material& material, bool enabled, float red, float green,
                                float blue) override;
    // The four pass words around the vertex flags of the reference's first pass, in every pass.
    std::int32_t CopyPassStates(Material& fresh, const Material& reference) override;

protected:
    // The owner's copies.
    virtual const ActorMaterialLibrary& Copies() const;
    // Whether a material of a name the part map lacks takes the edit itself.
    virtual bool AppliesToUncopied() const { return true; }
    Actor* Owner() const { return owner_; }

private:
    Actor* owner_;  // not owned
};

class NewActorMatApplyVisitor final : public ActorMatApplyVisitor {
public:
    explicit NewActorMatApplyVisitor(NewActor* owner);

protected:
    const ActorMaterialLibrary& Copies() const override;
    bool AppliesToUncopied() const override { return false; }
};

// The proxy kinds the library makes: the materials of a model or level, and a material a tool
// added to a table.
constexpr std::int32_t kModelMaterialProxyKind = 5;
constexpr std::int32_t kAddedMaterialProxyKind = 2;

// The visitor of a proxy kind: 1 character, 3 NewActor, 4 actor, anything else common. owner is
// the actor of kinds 3 and 4 (a NewActor for 3), otherwise unused.
std::unique_ptr<IMatApplyVisitor> MakeMatApplyVisitor(std::int32_t kind, Actor* owner);

class IMatProxyImpl final : public ZelI::IMatProxy {
public:
    IMatProxyImpl(Material* material, std::unique_ptr<IMatApplyVisitor> visitor);
    ~IMatProxyImpl() override = default;
    IMatProxyImpl(const IMatProxyImpl&) = delete;
    IMatProxyImpl& operator=(const IMatProxyImpl&) = delete;

    const char* GetName() override { return material_->GetName().c_str(); }
    const char* GetResourceName() override { return material_->CResource::GetName().c_str(); }
    std::int32_t GetRefCount() override { return material_->GetRefCount(); }
    std::int32_t CopyFrom(ZelI::IMatProxy* source) override;
    std::int32_t ApplyXmlText(const char* text) override;
    std::int32_t SetEditorColor(std::int32_t flag, float red, float green, float blue) override;
    std::uint32_t GetPassVertexFlags(std::int32_t pass) override;
    std::uint32_t GetPassVertexWord(std::int32_t pass) override;
    std::uint32_t GetPassCount() override { return material_->GetPassCount(); }
    std::int32_t GetPassDescription(std::int32_t pass, ZelI::PassDescription* out) override;
    std::uint32_t ReloadTextures() override;
    std::uint32_t GetPassTextureCount(std::int32_t pass) override;
    const char* GetStageTextureName(std::int32_t pass, std::int32_t stage) override;

    Material* GetMaterial() const { return material_.Get(); }

private:
    // Pass i, or the last pass for a negative i; null past the end or without passes.
    Pass* PassOrLast(std::int32_t pass) const;
    // Pass i; null for a negative i or past the end.
    Pass* PassAt(std::int32_t pass) const;

    HeldMaterial material_;
    std::unique_ptr<IMatApplyVisitor> visitor_;
};

class IMatProxyTableImpl final : public ZelI::IMatProxyTable {
public:
    IMatProxyTableImpl() = default;
    ~IMatProxyTableImpl() override;
    IMatProxyTableImpl(const IMatProxyTableImpl&) = delete;
    IMatProxyTableImpl& operator=(const IMatProxyTableImpl&) = delete;

    void Release() override { delete this; }
    std::int32_t GetCount() override { return std::int32_t(proxies_.size()); }
    ZelI::IMatProxy* GetAt(std::int32_t index) override;
    std::int32_t Add(ZelI::IMaterial* material) override;

    // A proxy of the material with the kind's visitor, unless a proxy of a material of the same
    // name is already here (0). Null adds nothing (0).
    std::int32_t Add(Material* material, std::int32_t kind, Actor* owner);

private:
    std::vector<IMatProxyImpl*> proxies_;  // owned
};

// A new table (the caller's, given back through Release) with a proxy of the given kind for each
// material, the first of each name.
ZelI::IMatProxyTable* NewMaterialProxyTable(const std::vector<Material*>& materials,
                                            std::int32_t kind, Actor* owner = nullptr);

}  // namespace Zel
