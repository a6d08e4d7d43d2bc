#include "Render/RenderCore/MaterialWrappers.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "Core/LogDispatch.h"
#include "Core/ScopedLock.h"
#include "Core/TiXmlDocument.h"
#include "Entity/Character/Actor.h"
#include "Entity/Character/ActorMaterialLibrary.h"
#include "Entity/Character/NewActor.h"
#include "Entity/Material/MaterialParser.h"
#include "Entity/Material/Pass.h"
#include "Entity/Texture/TextureBase.h"
#include "Interface/ITexture.h"

namespace Zel {

namespace {

// Vertex-flag bits of the skinning inputs (blend weights and blend indices).
constexpr std::uint32_t kSkinningVertexBits = 0x4000 | 0x8000;
// The vertex program kind of a pass drawn without skinning.
constexpr std::uint32_t kUnskinnedProgramKind = 4;

// The pass words around the vertex flags that decide how a pass is skinned.
using PassWords = std::array<std::uint32_t, 4>;

PassWords WordsOf(const Pass& pass) {
    return {pass.skinningType, pass.vertexFlags, pass.vertexProgramKind, pass.influenceCount};
}

void SetWords(Pass& pass, const PassWords& words) {
    pass.skinningType = words[0];
    pass.vertexFlags = words[1];
    pass.vertexProgramKind = words[2];
    pass.influenceCount = words[3];
}

Pass* FirstPass(const Material& material) {
    return material.GetPassCount() ? material.GetPasses()[0] : nullptr;
}

template <class Fn>
void ForEachPass(const Material& material, Fn fn) {
    for (Pass* pass : material.GetPasses())
        if (pass)
            fn(*pass);
}

// The k-th of the twelve stages of the pass that holds a texture; null when there are fewer.
TextureStage* PresentStage(Pass& pass, std::uint32_t k) {
    for (TextureStage& stage : pass.renderState.stages) {
        if (!stage.GetTexture())
            continue;
        if (k == 0)
            return &stage;
        --k;
    }
    return nullptr;
}

Material* Lookup(const std::map<std::string, Material*>& map, const std::string& name) {
    const auto found = map.find(name);
    return found == map.end() ? nullptr : found->second;
}

}  // namespace

// ---- IMaterialImplRC ----------------------------------------------------------------------------

Material* IMaterialImplRC::Live(const char* operation) const {
    Material* material = Bound();
    if (!material)
        LogError(
            "IMaterial::%s: the wrapper is bound to no material (released, or its material "
            "was purged); nothing done",
            operation);
    return material;
}

const char* IMaterialImplRC::GetName() {
    Material* material = Live("GetName");
    return material ? material->GetName().c_str() : "";
}

std::uint32_t IMaterialImplRC::GetPassCount() {
    Material* material = Live("GetPassCount");
    return material ? material->GetPassCount() : 0;
}

bool IMaterialImplRC::HasBlendedPass() {
    Material* material = Live("HasBlendedPass");
    return material && material->HasBlendedPass();
}

std::int32_t IMaterialImplRC::GetRefCount() {
    Material* material = Live("GetRefCount");
    return material ? material->GetRefCount() : 0;
}

Pass* IMaterialImplRC::PassAt(std::uint32_t pass, const char* operation) const {
    Material* material = Live(operation);
    return material && pass < material->GetPassCount() ? material->GetPasses()[pass] : nullptr;
}

std::uint32_t IMaterialImplRC::GetPassTextureCount(std::uint32_t pass) {
    Pass* found = PassAt(pass, "GetPassTextureCount");
    return found ? found->GetTextureCount() : 0;
}

ZelI::ITexture* IMaterialImplRC::GetPassTexture(std::uint32_t pass, std::uint32_t k) {
    Pass* found = PassAt(pass, "GetPassTexture");
    TextureStage* stage = found ? PresentStage(*found, k) : nullptr;
    return stage ? stage->GetTexture()->GetInterface() : nullptr;
}

std::uint32_t IMaterialImplRC::CollectTextures(ZelI::ITexture** textures, std::uint32_t max) {
    Material* material = Live("CollectTextures");
    if (!material || !textures)
        return 0;
    ScopedLock lock(threadmng::kMainLock);
    std::set<TextureBase*> distinct;
    material->CollectTextures(distinct);
    std::uint32_t written = 0;
    for (TextureBase* texture : distinct) {
        if (written == max)
            break;
        textures[written++] = texture->GetInterface();
    }
    return written;
}

void IMaterialImplRC::Pin() {
    Material* material = Live("Pin");
    if (!material)
        return;
    ScopedLock lock(threadmng::kMainLock);
    material->AddRef();
    // The material reloads from the library it was read from.
    if (!material->IsLoaded())
        material->Reload();
    ForEachPass(*material, [](Pass& pass) { pass.LoadTextures(); });
}

void IMaterialImplRC::Unpin() {
    Material* material = Live("Unpin");
    if (!material)
        return;
    ScopedLock lock(threadmng::kMainLock);
    if (material->GetRefCount() <= 1) {
        LogTyped(LOG_ENGINE_INIT, "IMaterial::Unpin;%s is held by its manager alone",
                 material->GetName().c_str());
        return;
    }
    if (material->DecRef() == 1)
        material->Unload();
}

void IMaterialImplRC::SetPassTexture(std::uint32_t pass, std::uint32_t k, ZelI::ITexture* texture) {
    Pass* found = PassAt(pass, "SetPassTexture");
    TextureStage* stage = found ? PresentStage(*found, k) : nullptr;
    if (stage)
        stage->SetTexture(UnwrapInterface<TextureBase>(texture));
}

bool IMaterialImplRC::LoadFromXmlText(const char* text, const char* name) {
    Material* material = Live("LoadFromXmlText");
    return material && material->LoadFromXmlText(text, name);
}

ZelI::IShader* BindMaterialInterface(RCInterfaceCarrier<ZelI::IShader>* carrier) {
    auto* material = dynamic_cast<Material*>(carrier);
    return material ? IMaterialImplRC::Bind(material) : nullptr;
}

// ---- Apply visitors -----------------------------------------------------------------------------

std::int32_t IMatApplyVisitor::ApplyXmlText(const char* text, Material& target) {
    if (!text)
        return 0;
    std::vector<char> buffer(text, text + std::strlen(text) + 1);
    TiXmlDocument document;
    document.Parse(buffer.data());
    const XmlNode* element = document.first_node();
    while (element && element->type() != rapidxml::node_element) element = element->next_sibling();
    if (!element)
        return 0;
    // A private material no manager knows, so that no registered material is overwritten.
    Material fromText(nullptr, "FromMemMat", target.GetGroup(), 0);
    const bool parsed = MaterialParser::ParseLegacy_New(element, fromText);
    CopyPassStates(fromText, target);
    Apply(target, fromText);
    return parsed ? 1 : 0;
}

std::int32_t CommonMatApplyVisitor::Apply(Material& target, Material& source) {
    target.ReplaceDefinition(source);
    return 1;
}

std::int32_t CommonMatApplyVisitor::SetEditorColor(Material& material, bool enabled, float red,
                                                   float green, float blue) {
    material.SetEditorColorFactor(enabled, red, green, blue);
    return 1;
}

std::int32_t CommonMatApplyVisitor::CopyPassStates(Material& fresh, const Material&) {
    ForEachPass(fresh, [](Pass& pass) {
        pass.vertexFlags &= ~kSkinningVertexBits;
        pass.vertexProgramKind = kUnskinnedProgramKind;
    });
    return 1;
}

std::int32_t ChrMatApplyVisitor::CopyPassStates(Material& fresh, const Material& reference) {
    const Pass* first = FirstPass(reference);
    ForEachPass(fresh, [first](Pass& pass) {
        pass.vertexFlags |= kSkinningVertexBits;
        if (first)
            pass.vertexProgramKind = first->vertexProgramKind;
    });
    return 1;
}

const ActorMaterialLibrary& ActorMatApplyVisitor::Copies() const {
    return owner_->GetMaterialLibrary();
}

std::int32_t ActorMatApplyVisitor::Apply(Material& target, Material& source) {
    if (!owner_)
        return 1;
    owner_->MarkBodyTextureDirty();
    const ActorMaterialLibrary& copies = Copies();
    if (Material* copy = Lookup(copies.GetMaterials(), target.GetName()))
        CommonMatApplyVisitor::Apply(*copy, source);
    else if (AppliesToUncopied())
        CommonMatApplyVisitor::Apply(target, source);
    if (Material* cloth = Lookup(copies.GetClothMaterials(), target.GetName())) {
        // A cloth copy keeps the pass words that make it drawable as cloth.
        const Pass* first = FirstPass(*cloth);
        const PassWords kept = first ? WordsOf(*first) : PassWords{};
        CommonMatApplyVisitor::Apply(*cloth, source);
        if (first)
            ForEachPass(*cloth, [&kept](Pass& pass) { SetWords(pass, kept); });
    }
    owner_->RebuildMaterials();
    return 1;
}

std::int32_t ActorMatApplyVisitor::SetEditorColor(Material& material, bool enabled, float red,
                                                  float green, float blue) {
    if (!owner_)
        return 1;
    const ActorMaterialLibrary& copies = Copies();
    for (const auto* map : {&copies.GetMaterials(), &copies.GetClothMaterials()})
        if (Material* copy = Lookup(*map, material.GetName()))
            copy->SetEditorColorFactor(enabled, red, green, blue);
    return 1;
}

std::int32_t ActorMatApplyVisitor::CopyPassStates(Material& fresh, const Material& reference) {
    const Pass* first = FirstPass(reference);
    if (!first)
        return 1;
    const PassWords words = WordsOf(*first);
    ForEachPass(fresh, [&words](Pass& pass) { SetWords(pass, words); });
    return 1;
}

NewActorMatApplyVisitor::NewActorMatApplyVisitor(NewActor* owner) : ActorMatApplyVisitor(owner) {}

const ActorMaterialLibrary& NewActorMatApplyVisitor::Copies() const {
    return static_cast<NewActor*>(Owner())->GetMaterialCopies();
}

std::unique_ptr<IMatApplyVisitor> MakeMatApplyVisitor(std::int32_t kind, Actor* owner) {
    switch (kind) {
        case 1:
            return std::make_unique<ChrMatApplyVisitor>();
        case 3:
            return std::make_unique<NewActorMatApplyVisitor>(dynamic_cast<NewActor*>(owner));
        case 4:
            return std::make_unique<ActorMatApplyVisitor>(owner);
        default:
            return std::make_unique<CommonMatApplyVisitor>();
    }
}

// ---- IMatProxyImpl ------------------------------------------------------------------------------

IMatProxyImpl::IMatProxyImpl(Material* material, std::unique_ptr<IMatApplyVisitor> visitor)
    : visitor_(std::move(visitor)) {
    material_.Assign(material);
}

Pass* IMatProxyImpl::PassAt(std::int32_t pass) const {
    if (pass < 0 || std::uint32_t(pass) >= material_->GetPassCount())
        return nullptr;
    return material_->GetPasses()[std::size_t(pass)];
}

Pass* IMatProxyImpl::PassOrLast(std::int32_t pass) const {
    const std::uint32_t count = material_->GetPassCount();
    if (pass < 0)
        return count ? material_->GetPasses()[count - 1] : nullptr;
    return PassAt(pass);
}

std::int32_t IMatProxyImpl::CopyFrom(ZelI::IMatProxy* source) {
    auto* other = dynamic_cast<IMatProxyImpl*>(source);
    return other ? visitor_->Apply(*material_, *other->material_) : 0;
}

std::int32_t IMatProxyImpl::ApplyXmlText(const char* text) {
    return visitor_->ApplyXmlText(text, *material_);
}

std::int32_t IMatProxyImpl::SetEditorColor(std::int32_t flag, float red, float green, float blue) {
    return visitor_->SetEditorColor(*material_, flag != 0, red, green, blue);
}

std::uint32_t IMatProxyImpl::GetPassVertexFlags(std::int32_t pass) {
    const Pass* found = PassAt(pass);
    return found ? found->vertexFlags : 0;
}

std::uint32_t IMatProxyImpl::GetPassVertexWord(std::int32_t pass) {
    const Pass* found = PassAt(pass);
    return found ? found->vertexProgramKind : 0;
}

std::int32_t IMatProxyImpl::GetPassDescription(std::int32_t pass, ZelI::PassDescription* out) {
    const Pass* found = PassOrLast(pass);
    if (!found || !out)
        return 0;
    const RenderState& state = found->renderState;
    out->blending = (state.flags & RSF_ALPHA_BLEND) ? 1 : 0;
    out->alphaTest = (state.flags & RSF_ALPHA_TEST) ? 1 : 0;
    out->depthTest = (state.flags & RSF_DEPTH_TEST) ? 1 : 0;
    out->depthWrite = (state.flags & RSF_DEPTH_WRITE) ? 1 : 0;
    out->cullMode = state.cullMode - 1;
    out->sourceBlend = state.srcBlend;
    out->destinationBlend = state.destBlend;
    out->depthCompare = state.depthFunc;
    out->alphaCompare = state.alphaFunc;
    out->alphaReference = float(state.alphaRef) / 255.0f;
    return 1;
}

std::uint32_t IMatProxyImpl::ReloadTextures() {
    std::set<TextureBase*> distinct;
    material_->CollectTextures(distinct);
    for (TextureBase* texture : distinct)
        if (!texture->GetName().empty() && !texture->IsRenderTarget())
            texture->ReloadFromFile(0, 0, false);
    return std::uint32_t(distinct.size());
}

std::uint32_t IMatProxyImpl::GetPassTextureCount(std::int32_t pass) {
    const Pass* found = PassOrLast(pass);
    return found ? found->GetTextureCount() : 0;
}

const char* IMatProxyImpl::GetStageTextureName(std::int32_t pass, std::int32_t stage) {
    const Pass* found = PassAt(pass);
    const TextureBase* texture =
        found && stage >= 0 ? found->GetStageTexture(std::uint32_t(stage)) : nullptr;
    return texture ? texture->GetName().c_str() : nullptr;
}

// ---- IMatProxyTableImpl -------------------------------------------------------------------------

IMatProxyTableImpl::~IMatProxyTableImpl() {
    for (IMatProxyImpl* proxy : proxies_) delete proxy;
}

ZelI::IMatProxy* IMatProxyTableImpl::GetAt(std::int32_t index) {
    if (index < 0 || std::size_t(index) >= proxies_.size())
        return nullptr;
    return proxies_[std::size_t(index)];
}

std::int32_t IMatProxyTableImpl::Add(ZelI::IMaterial* material) {
    return Add(UnwrapInterface<Material>(material), kAddedMaterialProxyKind, nullptr);
}

std::int32_t IMatProxyTableImpl::Add(Material* material, std::int32_t kind, Actor* owner) {
    if (!material)
        return 0;
    const std::string& name = material->GetName();
    for (const IMatProxyImpl* proxy : proxies_)
        if (proxy->GetMaterial()->GetName() == name)
            return 0;
    proxies_.push_back(new IMatProxyImpl(material, MakeMatApplyVisitor(kind, owner)));
    return 1;
}

ZelI::IMatProxyTable* NewMaterialProxyTable(const std::vector<Material*>& materials,
                                            std::int32_t kind, Actor* owner) {
    auto* table = new IMatProxyTableImpl();
    for (Material* material : materials) table->Add(material, kind, owner);
    return table;
}

}  // namespace Zel
