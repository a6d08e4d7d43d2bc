#include "Entity/Material/Material.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "Core/ErrorReport.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/IZelStream.h"
#include "Core/LogDispatch.h"
#include "Core/StreamFactory.h"
#include "Core/TiXmlDocument.h"
#include "Core/XmlElements.h"
#include "Entity/Material/GpuProgramManager.h"
#include "Entity/Material/IOMaterialBin.h"
#include "Entity/Material/IZelShaderCompiler.h"
#include "Entity/Material/MaterialLibDocument.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/MaterialParser.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureLoadFlags.h"
#include "Entity/Texture/TextureScale.h"
#include "Platform/Win32/Win32.h"
#include "Render/RenderSystem.h"
#include "Render/RenderCodes.h"

namespace Zel {

namespace {
constexpr std::uint32_t kDefaultTexturesBit = 0x2;
constexpr char kCloneMarker[] = "_$clone$_";

// Every clone name made in the process takes the next serial.
std::atomic<std::uint32_t> g_cloneSerial{0};

// Texture environment modes of faded stages.
constexpr std::uint32_t kModulateMulConstAlpha = 5;
constexpr std::uint32_t kModulateConstAlpha = 27;
constexpr float kFadedAlpha = 0.1f;

const char* const kVariantWords[Material::kVariantCount] = {
    "",          "BlendTrans",         "AddTrans",        "BlendTransZ",
    "AddTransZ", "BlendTransTwoSided", "AddTransTwoSided"};

// Every stage holding a texture multiplies in a constant alpha: mode 5 (which keeps the texture's
// own alpha for the test) when alphaKeeping, else 27.
void FadeStages(Pass& pass, float alpha, bool alphaKeeping) {
    for (TextureStage& stage : pass.renderState.stages) {
        if (!stage.GetTexture())
            continue;
        stage.envMode = alphaKeeping ? kModulateMulConstAlpha : kModulateConstAlpha;
        stage.flags |= TSF_CONST_ALPHA;
        const float colour[4] = {1.0f, 1.0f, 1.0f, alpha};
        std::copy_n(colour, 4, stage.constantColour);
    }
}

void SetBlend(Pass& pass, std::uint32_t src, std::uint32_t dst) {
    pass.renderState.flags |= RSF_ALPHA_BLEND;
    pass.renderState.srcBlend = src;
    pass.renderState.destBlend = dst;
}

bool AlphaTests(const Pass& pass) {
    return (pass.renderState.flags & RSF_ALPHA_TEST) != 0;
}

bool Blends(const Pass& pass) {
    return (pass.renderState.flags & RSF_ALPHA_BLEND) != 0;
}

void ClearAlphaTest(Pass& pass) {
    pass.renderState.flags &= ~std::uint32_t(RSF_ALPHA_TEST);
}

// A copy of source in target's pass list under the pass index.
Pass& CopyPass(const Pass& source, Material& target, std::uint32_t index) {
    Pass& pass = *target.CreatePass(index);
    source.CopyTo(pass);
    pass.passIndex = index;
    return pass;
}

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
    if (GetRefCount() != 1)
        LogTyped(LOG_ENGINE_INIT, "WARNING : Incorrect Material RefCount[%d][%s]", GetRefCount(),
                 GetName().c_str());
    if (IsClone() && !(GetFlags() & kConstructed)) {
        ReportError("Cloned Material is not Properly Released");
        Release();
    }
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
            pass.vertexFlags |= VF_NORMAL;
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
    if ((vertexFlags & VF_NORMAL) && (vertexFlags & VF_COLOUR))
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

bool Material::AssignProgramByName(std::string_view effect) {
    GpuProgramManager* programs = Globals::Find(&Globals::GetGpuProgramManager);
    if (!programs)
        return false;
    GpuProgram* program = effect.empty() ? nullptr : programs->LoadProgram(effect);
    const bool loaded = program && program->IsLoadSucceeded();
    SetProgram(loaded ? program : programs->GetDefaultProgram());
    return loaded;
}

bool Material::AssignGeneratedProgram() {
    IZelShaderCompiler* compiler = CurrentShaderCompiler();
    // The compiler's string is overwritten by its next call: take a copy.
    const std::string effect = compiler ? compiler->Generate(this, false) : std::string();
    return AssignProgramByName(effect);
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
    const TextureLoadOptions saved = TextureLoadOptions::Capture();
    textureLoadOptions_.Apply();
    const std::string& path = GetLoadPath();
    bool ok = false;
    if (path.find(".xml") != std::string::npos || path.find(".XML") != std::string::npos)
        ok = ReloadFromXml();
    else if (path.find(".xm3") != std::string::npos || path.find(".XM3") != std::string::npos)
        ok = ReloadFromBinary();
    if (!ok)
        ReportError("Reload Material失败: %s", GetName().c_str());
    for (std::uint32_t i = 0; i < GetPassCount(); ++i)
        if (Pass* pass = GetPass(i))
            pass->LoadTextures();
    saved.Apply();
    return ok;
}

bool Material::ReloadFromXml() {
    const MaterialLibDocument library(GetLoadPath());
    const TiXmlDocument* document = library.Get();
    if (!document)
        return false;
    if (const XmlNode* materials = XmlChildElementByName(document, "MaterialLib")) {
        const XmlNode* element =
            MaterialParser::FindNamedElement(materials, "Material", "Name", GetName());
        return element && MaterialParser::Parse(element, *this);
    }
    const XmlNode* shaders = MaterialParser::LegacyShaderList(document);
    const XmlNode* element = MaterialParser::FindNamedElement(shaders, "SHADER", "NAME", GetName());
    return element && MaterialParser::ParseLegacyAndGenerate(element, *this);
}

bool Material::ReloadFromBinary() {
    IZelStream* stream = OpenFileStream(GetLoadPath());
    if (!stream)
        return false;
    const bool ok =
        stream->Seek(GetLibraryOffset(), 0) && IOMaterialBin::ReadMaterialChunk(*this, stream);
    stream->Release();
    return ok;
}

bool Material::IsPinned() const {
    return !IsClone() && (GetFlags() & kConstructed) != 0;
}

void Material::Release() {
    // Pinned materials are given back by their manager; clones (and materials already released
    // once) by their holders, who drop their reference here.
    if (!IsPinned()) {
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
    // Set again by the holder's first Release; the destructor reports a clone without it.
    clone->SetConstructedFlag(false);
    manager->Add(clone);
    return clone;
}

bool Material::LoadFromXmlText(const char* text, const char* name) {
    if (!text || !name)
        return false;
    std::vector<char> buffer(text, text + std::strlen(text) + 1);
    TiXmlDocument document;
    document.Parse(buffer.data());
    if (!XmlChildElementByName(&document, "SHADERLIB")) {
        ReportError("材质文件格式不合法，检查SHADERLIB结点");
        return false;
    }
    const XmlNode* element = MaterialParser::FindNamedElement(
        MaterialParser::LegacyShaderList(&document), "SHADER", "NAME", name);
    if (!element)
        return false;
    // A private material no manager knows, so that no registered name can collide with it.
    Material parsed(nullptr, "TmpMat", GetGroup(), 0);
    MaterialParser::ParseLegacy_New(element, parsed);
    gloss = parsed.gloss;
    ReplaceDefinition(parsed);
    return true;
}

void Material::ReplaceDefinition(const Material& source) {
    // Taking one's own definition changes nothing; unloading first would lose it.
    if (&source == this)
        return;
    Unload();
    // A material that was never loaded may still hold passes: the copy must not add to them.
    DestroyPassesAndVariants();
    source.CopyTo(*this);
    MarkLoaded(true);
    UpdatePasses();
    GenerateGpuProgram();
}

Material* Material::GetTransparentVariant(std::uint32_t kind) {
    if (kind >= kVariantCount) {
        LogTyped(LOG_ENGINE_INIT, "Material::GetTransparentVariant;invalid kind %u", kind);
        return nullptr;
    }
    if (!variants_[kind])
        variants_[kind] = MakeTransparentVariant(kind);
    return variants_[kind];
}

Material* Material::MakeTransparentVariant(std::uint32_t kind) {
    const Pass* first = passes_.empty() ? nullptr : passes_[0];
    const auto firstBlends = [first](std::uint32_t dst) {
        return first && Blends(*first) && first->renderState.srcBlend == BLEND_SRC_ALPHA &&
               first->renderState.destBlend == dst;
    };
    if ((kind == 1 && firstBlends(BLEND_INV_SRC_ALPHA)) || (kind == 2 && firstBlends(BLEND_ONE)))
        return this;

    auto* variant = new Material(nullptr, GetName() + kVariantWords[kind], GetGroup(), 0);
    CopyPropertiesTo(*variant);
    switch (kind) {
        case 1:
        case 2: {
            const std::uint32_t dst = kind == 1 ? BLEND_INV_SRC_ALPHA : BLEND_ONE;
            ForEachPass(passes_, [&](const Pass& source) {
                Pass& pass = CopyPass(source, *variant, source.passIndex);
                SetBlend(pass, BLEND_SRC_ALPHA, dst);
                FadeStages(pass, kFadedAlpha, AlphaTests(pass));
                ClearAlphaTest(pass);
            });
            break;
        }
        case 3:
        case 4: {
            if (first) {
                Pass& depthOnly = CopyPass(*first, *variant, 0);
                depthOnly.renderState.colourWriteMask = 0;
                depthOnly.renderState.flags &= ~std::uint32_t(RSF_ALPHA_BLEND);
                depthOnly.renderState.flags |= RSF_DEPTH_TEST | RSF_DEPTH_WRITE;
                depthOnly.renderState.ReleaseTextures();
                depthOnly.passFlags |= PF_DEPTH_ONLY;
            }
            std::uint32_t index = 1;
            ForEachPass(passes_, [&](const Pass& source) {
                Pass& pass = CopyPass(source, *variant, index++);
                if (kind == 3) {
                    FadeStages(pass, 1.0f, AlphaTests(pass) || Blends(pass));
                    SetBlend(pass, BLEND_SRC_ALPHA, BLEND_INV_SRC_ALPHA);
                } else {
                    // Blending is on before the fade looks, so every stage keeps its alpha.
                    SetBlend(pass, BLEND_SRC_ALPHA, BLEND_ONE);
                    FadeStages(pass, kFadedAlpha, true);
                }
                pass.renderState.flags &= ~std::uint32_t(RSF_DEPTH_WRITE);
                ClearAlphaTest(pass);
            });
            break;
        }
        default:  // 5 and 6: the first pass drawn back faces first, then front faces
            if (first) {
                for (std::uint32_t index = 0; index < 2; ++index) {
                    Pass& pass = CopyPass(*first, *variant, index);
                    pass.renderState.cullMode =
                        index == 0 ? CULL_COUNTER_CLOCKWISE : CULL_CLOCKWISE;
                    if (index == 0)
                        pass.passFlags &= ~std::uint32_t(PF_FINAL_PASS);
                    else
                        pass.passFlags |= PF_FINAL_PASS;
                    if (kind == 6) {
                        SetBlend(pass, BLEND_SRC_ALPHA, BLEND_ONE);
                        FadeStages(pass, kFadedAlpha, AlphaTests(pass));
                        ClearAlphaTest(pass);
                    }
                }
            }
            break;
    }
    variant->GenerateGpuProgram();
    variant->MarkLoaded(true);
    return variant;
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

}  // namespace Zel
