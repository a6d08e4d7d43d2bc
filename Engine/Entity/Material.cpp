#include "Entity/Material.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <strings.h>

#include "Core/ErrorReport.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Entity/GpuProgramManager.h"
#include "Entity/IZelShaderCompiler.h"
#include "Entity/MaterialManager.h"
#include "Entity/Pass.h"
#include "Entity/SceneManager.h"
#include "Entity/TextureLoadFlags.h"
#include "Entity/TextureScale.h"
#include "Platform/Win32/Win32.h"
#include "Render/RenderSystem.h"

namespace Zel {

namespace {
constexpr std::uint32_t kDefaultTexturesBit = 0x2;
constexpr std::uint32_t kNormalBit = 0x2;
constexpr std::uint32_t kColourBit = 0x4;

template <class Fn>
void ForEachPass(const std::vector<Pass*>& passes, Fn fn) {
    for (Pass* pass : passes)
        if (pass)
            fn(*pass);
}

IZelShaderCompiler* CurrentShaderCompiler() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    RenderSystem* renderSystem = scene ? scene->GetRenderSystem() : nullptr;
    return renderSystem ? renderSystem->GetShaderCompiler() : nullptr;
}
}  // namespace

TextureLoadOptions TextureLoadOptions::Capture() {
    TextureLoadOptions options;
    options.scaleLevel = GetTextureScaleLevel();
    GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    options.compressToDds = config && config->CompressToDDS() ? 1 : 0;
    options.defaultTextures = (GetTextureLoadFlags() & kDefaultTexturesBit) ? 1 : 0;
    return options;
}

void TextureLoadOptions::Apply() const {
    SetTextureScaleLevel(scaleLevel);
    if (GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager))
        config->SetCompressToDDS(compressToDds != 0);
    const std::uint32_t textureFlags = GetTextureLoadFlags();
    SetTextureLoadFlags(defaultTextures ? textureFlags | kDefaultTexturesBit
                                        : textureFlags & ~kDefaultTexturesBit);
}

Material::Material(CResourceManager* manager, std::string_view name, std::string_view group,
                   std::uint32_t handle)
    : CResource(manager, name, group, handle), name_(name) {
    variants_[0] = this;
}

Material::~Material() {
    DestroyPassesAndVariants();
}

std::uint32_t Material::GetSize() {
    return kBaseMemorySize + kPassMemorySize * GetPassCount();
}

Pass* Material::GetPass(std::uint32_t index) const {
    if (index >= passes_.size()) {
        LogTyped(LOG_ENGINE_INIT, "index==%u,GetPassCount():%u", index, GetPassCount());
        return nullptr;
    }
    return passes_[index];
}

Pass* Material::CreatePass(std::uint32_t index) {
    passes_.push_back(new Pass(this, index));
    return passes_.back();
}

void Material::CopyPropertiesTo(Material& target) const {
    target.flags = flags;
    target.SetProgram(program_.Get());
    std::copy_n(ambient, 4, target.ambient);
    std::copy_n(diffuse, 4, target.diffuse);
    std::copy_n(specular, 4, target.specular);
    std::copy_n(illumination, 4, target.illumination);
    target.shininess = shininess;
    target.lightingMode = lightingMode;
    target.firstSettingWord = firstSettingWord;
    target.techniqueCode = techniqueCode;
    target.secondSettingWord = secondSettingWord;
    target.cloneCounter = cloneCounter;
    target.thirdSettingWord = thirdSettingWord;
}

void Material::CopyPassesTo(Material& target) const {
    ForEachPass(passes_,
                [&](const Pass& pass) { pass.CopyTo(*target.CreatePass(pass.passIndex)); });
}

void Material::CopyTo(Material& target) const {
    CopyPropertiesTo(target);
    CopyPassesTo(target);
}

void Material::UpdatePasses() {
    if (GetName().find("floor") != std::string::npos)
        flags |= MF_FLOOR;
    ForEachPass(passes_, [&](Pass& pass) {
        if (flags & MF_LIT)
            pass.vertexFlags |= kNormalBit;
        pass.shininess = shininess;
        pass.gloss = gloss;
    });
}

void Material::SetShininess(float value) {
    ForEachPass(passes_, [&](Pass& pass) { pass.shininess = value; });
    shininess = value;
}

void Material::SetGloss(float value) {
    ForEachPass(passes_, [&](Pass& pass) { pass.gloss = value; });
    gloss = value;
}

void Material::SetSpecularColor(float r, float g, float b, float a) {
    const float colour[4] = {r, g, b, a};
    ForEachPass(passes_, [&](Pass& pass) { std::copy_n(colour, 4, pass.specular); });
    std::copy_n(colour, 4, specular);
}

void Material::SetDiffuseColor(std::uint32_t argb) {
    if (argb == 0) {
        std::fill_n(diffuse, 4, 1.0f);
        return;
    }
    const auto channel = [argb](int shift) { return float((argb >> shift) & 0xFF) / 255.0f; };
    diffuse[0] = channel(16);
    diffuse[1] = channel(8);
    diffuse[2] = channel(0);
    diffuse[3] = channel(24);
}

void Material::SetEditorColorFactor(bool enabled, float r, float g, float b) {
    const float factor[4] = {r, g, b, 1.0f};
    if (enabled)
        std::copy_n(factor, 4, editorColourFactor);
    else
        std::fill_n(editorColourFactor, 4, 0.0f);
}

std::int32_t Material::GetSortKey() const {
    return passes_.empty() || !passes_[0] ? 100 : passes_[0]->sortKey;
}

bool Material::HasAlphaTestedPass() const {
    return std::any_of(passes_.begin(), passes_.end(), [](const Pass* pass) {
        return pass && (pass->renderState.flags & RSF_ALPHA_TEST);
    });
}

bool Material::HasBlendedPass() const {
    return std::any_of(passes_.begin(), passes_.end(), [](const Pass* pass) {
        return pass && (pass->renderState.flags & RSF_ALPHA_BLEND);
    });
}

bool Material::IsProgramReady() const {
    return program_ && program_->IsLoadSucceeded();
}

bool Material::IsDefineTextureMaterial() const {
    static constexpr char kPrefix[] = "define_texture_mat";
    return strncasecmp(GetName().c_str(), kPrefix, sizeof kPrefix - 1) == 0;
}

void Material::CollectTextures(std::set<TextureBase*>& textures) const {
    ForEachPass(passes_, [&](const Pass& pass) {
        for (const TextureStage& stage : pass.renderState.stages)
            if (stage.GetTexture())
                textures.insert(stage.GetTexture());
    });
}

void Material::CheckVertexColorLightBlend() const {
    if (lightingMode != 2 || passes_.empty() || !passes_[0])
        return;
    const std::uint32_t vertexFlags = passes_[0]->vertexFlags;
    if ((vertexFlags & kNormalBit) && (vertexFlags & kColourBit))
        return;
    char text[256];
    std::snprintf(text, sizeof text, "顶点色和光照混合模式必须有Normal和顶点色,Mat=%s",
                  GetName().c_str());
    MessageBoxA(nullptr, text, nullptr, MB_OK);
}

void Material::SetEditorPass(Pass* pass) {
    passes_.push_back(pass);
    editorPass_ = pass;
}

void Material::RemoveEditorPass() {
    if (!editorPass_)
        return;
    const auto found = std::find(passes_.begin(), passes_.end(), editorPass_);
    if (found == passes_.end()) {
        ReportError("释放EditorPass的时候出错，没有在Pass列表中找到");
        return;
    }
    passes_.erase(found);
    delete editorPass_;
    editorPass_ = nullptr;
}

bool Material::AssignGeneratedProgram() {
    GpuProgramManager* programs = Globals::Find(&Globals::GetGpuProgramManager);
    if (!programs)
        return false;
    GpuProgram* program = nullptr;
    if (IZelShaderCompiler* compiler = CurrentShaderCompiler()) {
        const std::string effect = compiler->Generate(this, false);
        program = programs->LoadProgram(effect);
    }
    const bool generated = program && program->IsLoadSucceeded();
    SetProgram(generated ? program : programs->GetDefaultProgram());
    return generated;
}

void Material::GenerateGpuProgram() {
    if (!AssignGeneratedProgram())
        LogTyped(LOG_ENGINE_INIT,
                 "Material::GenerateGpuProgram Failed! Material uses default "
                 "effect.");
}

void Material::MarkLoaded(bool ok) {
    SetLoaded(true);
    SetLoadSucceeded(ok);
}

bool Material::LoadImpl() {
    return false;
}

void Material::UnloadImpl() {
    RemoveEditorPass();
    DestroyPassesAndVariants();
}

void Material::DestroyPassesAndVariants() {
    for (Pass* pass : passes_) delete pass;
    passes_.clear();
    editorPass_ = nullptr;
    for (std::uint32_t kind = 1; kind < kVariantCount; ++kind) {
        if (variants_[kind] != this)
            delete variants_[kind];
        variants_[kind] = nullptr;
    }
    program_.Reset();
}

// ---- Clones: the least the texture combiner needs until material life joins them ----

namespace {
constexpr const char* kCloneMarker = "_$clone$_";
std::atomic<std::uint32_t> g_cloneSerial{0};
}  // namespace

void Material::Release() {
    // A material fresh from its constructor is given back by its manager alone; clones, and
    // materials already given back once, by their holders, who drop their reference here.
    if (IsClone() || !(GetFlags() & kConstructed)) {
        DecRef();
        SetConstructedFlag(true);
    }
    if (GetRefCount() == 1)
        Unload();
}

std::string Material::MakeCloneName() {
    const std::string& name = GetName();
    const std::string base = name.substr(0, name.find(kCloneMarker));
    const std::uint32_t counter = cloneCounter++;
    const std::uint32_t serial = g_cloneSerial.fetch_add(1, std::memory_order_relaxed);
    return base + kCloneMarker + std::to_string(counter) + "_" + std::to_string(serial);
}

Material* Material::Clone() {
    auto* manager = dynamic_cast<MaterialManager*>(GetManager());
    if (!manager)
        return nullptr;
    Reload();
    Material* clone = manager->CreateMaterial(MakeCloneName());
    if (!clone)
        return nullptr;
    CopyPropertiesTo(*clone);
    CopyPassesTo(*clone);
    clone->AddRef();
    clone->SetAuxiliaryFlag(true);
    // Set again by the holder's first Release.
    clone->SetConstructedFlag(false);
    manager->Add(clone);
    return clone;
}

// ---- end of the clone block ----

}  // namespace Zel
