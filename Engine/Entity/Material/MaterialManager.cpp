#include "Entity/Material/MaterialManager.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "Core/ErrorReport.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/IZelStream.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Core/QueueMode.h"
#include "Core/StreamFactory.h"
#include "Core/XmlElements.h"
#include "Entity/Material/IOMaterialBin.h"
#include "Entity/Material/MaterialLibDocument.h"
#include "Entity/Material/MaterialLibLoadContext.h"
#include "Entity/Material/MaterialParser.h"
#include "Entity/Material/MaterialTextureRequests.h"
#include "Entity/Material/Pass.h"
#include "Entity/Texture/TextureLoadFlags.h"
#include "Entity/Texture/TextureManager.h"
#include "Platform/Win32/Win32.h"

namespace Zel {

namespace {

// Every library road runs with the data root as the current directory and restores the previous
// one on every way out.
class DataRootDirectory {
public:
    DataRootDirectory() { PushCurrentDirectory(saved_); }
    ~DataRootDirectory() { PopCurrentDirectory(saved_); }
    DataRootDirectory(const DataRootDirectory&) = delete;
    DataRootDirectory& operator=(const DataRootDirectory&) = delete;

private:
    char saved_[kDirectoryBufferSize] = {};
};

struct BuiltinStage {
    std::uint32_t envMode;
    std::uint32_t filter;
    bool texCoordMod;
};

struct BuiltinMaterial {
    const char* name;
    std::uint32_t vertexFlags;
    std::uint32_t skinningType;
    std::uint32_t vertexProgramKind;
    std::uint32_t positionMode;
    bool ambientModulate;       // pass flag bit 0
    bool depthOff;              // depth test and write off
    bool additiveBlend;         // blending source alpha onto one, depth on, clockwise culling
    const BuiltinStage* stage;  // stage 0 with the default texture, or none
};

constexpr BuiltinStage kDefaultStage{0, 1, false};
constexpr BuiltinStage kQuadStage{1, 2, false};
constexpr BuiltinStage kUiStage{1, 2, true};

constexpr BuiltinMaterial kBuiltins[] = {
    {"Default", 0x11, SKIN_NONE, 4, 0, false, false, false, &kDefaultStage},
    {"DefaultSkeleton", 0xC003, SKIN_HARDWARE, 5, 0, false, false, false, nullptr},
    {"WireFrame", 0x10005, SKIN_NONE, 4, 0, false, false, false, nullptr},
    {"DrawQuad", 0x10015, SKIN_NONE, 4, 1, false, true, false, &kQuadStage},
    {"ZBlend", 0x1, SKIN_NONE, 4, 0, true, false, true, nullptr},
    {"DrawUI", 0x10015, SKIN_NONE, 4, 0, true, true, false, &kUiStage},
    {"DrawProfile", 0x10005, SKIN_NONE, 4, 1, false, true, false, nullptr},
    // Flat single-colour triangles (debug triangles, the entity triangle octree).
    {"Simple", 0x1, SKIN_NONE, 4, 0, false, false, false, nullptr},
};

bool IsBuiltinName(const std::string& name) {
    return std::any_of(std::begin(kBuiltins), std::end(kBuiltins),
                       [&name](const BuiltinMaterial& builtin) { return name == builtin.name; });
}

void FillBuiltin(Material& material, const BuiltinMaterial& builtin) {
    material.flags &= ~std::uint32_t(MF_FLOOR | MF_SHADOW_MAP | MF_LIT);
    material.lightingMode = 0;
    material.firstSettingWord = 4;
    material.secondSettingWord = 12;
    material.techniqueCode = 0;
    Pass& pass = *material.CreatePass(0);
    pass.libraryFlag = 1;
    pass.influenceCount = 0;
    pass.vertexFlags = builtin.vertexFlags;
    pass.skinningType = builtin.skinningType;
    pass.vertexProgramKind = builtin.vertexProgramKind;
    pass.positionMode = builtin.positionMode;
    if (builtin.ambientModulate)
        pass.passFlags |= PF_AMBIENT_VERTEX_MODULATE;
    RenderState& state = pass.renderState;
    state.cullMode = CULL_NONE;
    if (builtin.depthOff)
        state.flags &= ~std::uint32_t(RSF_DEPTH_TEST | RSF_DEPTH_WRITE);
    if (builtin.additiveBlend) {
        state.flags |= RSF_ALPHA_BLEND | RSF_DEPTH_TEST | RSF_DEPTH_WRITE;
        state.srcBlend = BLEND_SRC_ALPHA;
        state.destBlend = BLEND_ONE;
        state.cullMode = CULL_CLOCKWISE;
    }
    if (builtin.stage) {
        TextureStage& stage = state.stages[0];
        TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
        stage.SetTexture(textures ? textures->GetDefaultTexture() : nullptr);
        stage.stageSlot = 0;
        stage.envMode = builtin.stage->envMode;
        stage.texCoordGen = TCG_NONE;
        stage.filter = builtin.stage->filter;
        if (builtin.stage->texCoordMod)
            stage.texCoordMods.emplace_back();
    }
}

bool IsElement(const XmlNode* node, const char* name) {
    return node && std::strcmp(node->name(), name) == 0;
}

// Both dialects name their materials, in attributes of different names.
const char* ElementName(const XmlNode* element) {
    return XmlAttributeValue(element, IsElement(element, "Material") ? "Name" : "NAME");
}

}  // namespace

MaterialManager::MaterialManager() {
    RegisterType("Material");
}

MaterialManager::~MaterialManager() {
    for (Material* material : held_) material->DecRef();
    held_.clear();
    for (const auto& [material, entries] : inUse_)
        for (std::uint32_t i = 0; i < entries; ++i) const_cast<Material*>(material)->DecRef();
    inUse_.clear();
    defaultMaterial_.Reset();
    defaultSkeletonMaterial_.Reset();
    lastLibrary_.clear();
}

void MaterialManager::ReleaseLibraryHolds() {
    lastLibrary_.clear();
    std::vector<Material*> builtins;
    for (Material* material : held_) {
        if (IsBuiltinName(material->GetName()))
            builtins.push_back(material);
        else
            material->DecRef();
    }
    held_ = std::move(builtins);
}

void MaterialManager::RemoveAll() {
    ReleaseLibraryHolds();
    // Each swept material leaves its group through RemoveFromMaps; the built-ins keep theirs.
    Purge();
    std::vector<CResource*> doomed;
    ForEachActive([&](const std::string&, CResource* resource) {
        const auto* material = static_cast<const Material*>(resource);
        if (std::find(held_.begin(), held_.end(), resource) == held_.end() && !IsInUse(material))
            doomed.push_back(resource);
        return true;
    });
    for (CResource* resource : doomed) DestroyResource(resource);
}

void MaterialManager::RemoveUnused() {
    ReleaseLibraryHolds();
    Collect();
    Purge();
}

MaterialFileKind MaterialManager::GetMaterialFileKind(std::string_view path) {
    const auto has = [path](std::string_view lower, std::string_view upper) {
        return path.find(lower) != std::string_view::npos ||
               path.find(upper) != std::string_view::npos;
    };
    if (has(".xml", ".XML"))
        return MFK_XML;
    if (has(".xm2", ".XM2"))
        return MFK_XM2;
    if (has(".xm3", ".XM3"))
        return MFK_BINARY;
    return MFK_XML;
}

CResource* MaterialManager::CreateImpl(std::string_view name, std::string_view source) {
    auto* material = new Material(this, name, GetTypeName(), NextHandle());
    material->SetLibraryPath(std::string(source));
    return material;
}

Material* MaterialManager::FindMaterial(std::string_view name, bool addReference) {
    auto* material = dynamic_cast<Material*>(GetByName(name));
    if (material && addReference) {
        material->Reload();
        material->AddRef();
    }
    return material;
}

Material* MaterialManager::CreateMaterial(std::string_view name) {
    if (GetByName(name))
        return nullptr;
    auto* material = static_cast<Material*>(CreateImpl(name, ""));
    material->SetLoaded(true);
    return material;
}

Material* MaterialManager::GetDefaultMaterial(bool skeleton) {
    SharedPtr<Material>& held = skeleton ? defaultSkeletonMaterial_ : defaultMaterial_;
    if (!held) {
        Material* material = FindMaterial(skeleton ? "DefaultSkeleton" : "Default", false);
        if (material) {
            material->Reload();
            held.Assign(material);
        }
    }
    return held.Get();
}

const char* MaterialManager::GetMaterialName(std::uint32_t index) const {
    static const char kInvalid[] = "invalid name";
    return index < lastLibrary_.size() ? lastLibrary_[index]->GetName().c_str() : kInvalid;
}

Material* MaterialManager::GetMaterialByIndex(std::uint32_t index) {
    Material* found = nullptr;
    std::uint32_t i = 0;
    ForEachActive([&](const std::string&, CResource* resource) {
        if (i++ != index)
            return true;
        found = dynamic_cast<Material*>(resource);
        return false;
    });
    return found;
}

void MaterialManager::UnLoadMaterials(const std::vector<Material*>& materials) {
    for (Material* material : materials) {
        if (!material)
            continue;
        if (material->DecRef() == 1) {
            LogTyped(LOG_ENGINE_INIT, "UnLoad引用计数为1的材质:name=%s",
                     material->GetName().c_str());
            material->Unload();
        }
    }
}

bool MaterialManager::LoadBinaryMaterialLib(const std::string& path, bool& success, bool hold,
                                            bool report) {
    success = false;
    lastLibrary_.clear();
    DataRootDirectory directory;
    const std::string resolved = ReplaceExtension(path, ".xm3");
    IZelStream* stream = OpenFileStream(resolved);
    if (!stream) {
        if (report)
            ReportError("打不开xm3 %s", resolved.c_str());
        return false;
    }
    success = IOMaterialBin::ReadMaterialLib(*this, lastLibrary_, stream, resolved, hold);
    stream->Release();
    return success;
}

bool MaterialManager::LoadMaterialLib(const std::string& path, bool& success,
                                      std::vector<Material*>* output, bool hold) {
    if (!IsQueueMode())
        return LoadMaterialLibXml(path, success, hold, output);
    MaterialLibLoadContext context;
    context.document = std::make_unique<TiXmlDocument>();
    OpenMaterialLib(path, success, context, hold);
    for (const std::vector<XmlNode*>* elements : {&context.shaders, &context.materials}) {
        for (const XmlNode* element : *elements) {
            MaterialTextureRequests requests;
            Material* material = ParseLibMaterial(element, context, requests);
            LoadLibMaterialTextures(requests);
            FinalizeLibMaterial(material, requests, output, hold);
        }
    }
    return success;
}

bool MaterialManager::LoadMaterialLibXml(const std::string& path, bool& success, bool hold,
                                         std::vector<Material*>* output) {
    success = false;
    DataRootDirectory directory;
    lastLibrary_.clear();
    const MaterialLibDocument library(path);
    const TiXmlDocument* document = library.Get();
    if (!document) {
        LogTyped(LOG_ENGINE_INIT, "无法打开Material文件");
        return false;
    }
    const XmlNode* materialLib = XmlChildElementByName(document, "MaterialLib");
    const XmlNode* shaders = materialLib ? nullptr : MaterialParser::LegacyShaderList(document);
    if (!materialLib && !shaders) {
        ReportError("材质 %s 缺少MaterialLib节点 ", path.c_str());
        return false;
    }
    const char* elementName = materialLib ? "Material" : "SHADER";
    for (const XmlNode* element =
             XmlChildElementByName(materialLib ? materialLib : shaders, elementName);
         element; element = XmlNextElementByName(element, elementName)) {
        Material* material = materialLib ? LoadSingleMaterial(element, path)
                                         : LoadSingleLegacyMaterial(element, path);
        if (material)
            ListLibraryMaterial(material, output, hold);
        if (!library.Get())
            MessageBoxA(nullptr, "XML出错,嵌套释放", "", MB_OK);
    }
    success = true;
    return true;
}

Material* MaterialManager::FindLibraryDuplicate(const char* name, const std::string& libraryPath,
                                                bool legacy) {
    Material* existing = FindMaterial(name, false);
    if (!existing)
        return nullptr;
    existing->Reload();
    const std::string& existingPath = existing->GetLoadPath();
    if (strcasecmp(existingPath.c_str(), libraryPath.c_str()) != 0) {
        if (legacy)
            ReportError("材质球同名错误!\n%s\n%s\n同名material[%s]\n", libraryPath.c_str(),
                        existingPath.c_str(), name);
        else
            ReportError("LoadSingleMaterial;%s中%s同名material于%s", libraryPath.c_str(), name,
                        existingPath.c_str());
    }
    return existing;
}

Material* MaterialManager::LoadSingleMaterial(const XmlNode* element,
                                              const std::string& libraryPath) {
    const char* name = XmlAttributeValue(element, "Name");
    if (!name) {
        Material unnamed(nullptr, "", GetTypeName(), 0);
        MaterialParser::Parse(element, unnamed);  // logs the missing name
        return nullptr;
    }
    if (Material* existing = FindLibraryDuplicate(name, libraryPath, false))
        return existing;
    auto* material = dynamic_cast<Material*>(Create(name, libraryPath));
    if (!material)
        return nullptr;
    material->SetTextureLoadOptions(TextureLoadOptions::Capture());
    material->MarkLoaded(MaterialParser::Parse(element, *material));
    return material;
}

Material* MaterialManager::LoadSingleLegacyMaterial(const XmlNode* element,
                                                    const std::string& libraryPath) {
    const char* name = XmlAttributeValue(element, "NAME");
    if (!name) {
        Material unnamed(nullptr, "", GetTypeName(), 0);
        MaterialParser::ParseLegacy_New(element, unnamed);  // logs the missing name
        return nullptr;
    }
    if (Material* existing = FindLibraryDuplicate(name, libraryPath, true))
        return existing;
    auto* material = dynamic_cast<Material*>(Create(name, libraryPath));
    if (!material)
        return nullptr;
    material->MarkLoaded(MaterialParser::ParseLegacyAndGenerate(element, *material));
    return material;
}

bool MaterialManager::OpenMaterialLib(const std::string& path, bool& success,
                                      MaterialLibLoadContext& context, bool hold) {
    context.hold = hold;
    success = false;
    DataRootDirectory directory;
    if (GetMaterialFileKind(path) == MFK_BINARY)
        return LoadBinaryMaterialLib(path, success, hold, true);
    GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    bool binaryRead = false;
    if (config && config->PreferBinaryFiles() &&
        LoadBinaryMaterialLib(ReplaceExtension(path, ".xm3"), binaryRead, hold, false)) {
        success = binaryRead;
        return true;
    }
    lastLibrary_.clear();
    context.path = ReplaceExtension(path, ".xml");
    if (!context.document) {
        LogTyped(LOG_ENGINE_INIT, "无法打开Material文件 %s", context.path.c_str());
        return false;
    }
    if (!context.document->LoadFile(context.path.c_str())) {
        ReportError("文件读取失败，fn=%s", context.path.c_str());
        return false;
    }
    const TiXmlDocument* document = context.document.get();
    if (XmlNode* library = XmlChildElementByName(document, "MaterialLib")) {
        for (XmlNode* element = XmlChildElementByName(library, "Material"); element;
             element = XmlNextElementByName(element, "Material"))
            context.materials.push_back(element);
    } else if (const XmlNode* shaders = MaterialParser::LegacyShaderList(document)) {
        for (XmlNode* element = XmlChildElementByName(shaders, "SHADER"); element;
             element = XmlNextElementByName(element, "SHADER"))
            context.shaders.push_back(element);
        if (context.shaders.empty() && IsElement(shaders, "SHADERLIB"))
            LogTyped(LOG_ENGINE_INIT, "材质%s缺少MaterialLib节点", context.path.c_str());
    } else {
        LogTyped(LOG_ENGINE_INIT, "材质%s缺少MaterialLib节点", context.path.c_str());
        return false;
    }
    success = true;
    return true;
}

Material* MaterialManager::ParseLibMaterial(const XmlNode* element,
                                            const MaterialLibLoadContext& context,
                                            MaterialTextureRequests& requests) {
    const char* name = ElementName(element);
    if (!name)
        return nullptr;
    if (Material* existing =
            FindLibraryDuplicate(name, context.path, !IsElement(element, "Material")))
        return existing;
    auto* material = static_cast<Material*>(CreateImpl(name, context.path));
    bool ok;
    if (IsElement(element, "Material")) {
        material->SetTextureLoadOptions(TextureLoadOptions::Capture());
        ok = MaterialParser::Parse(element, *material, &requests);
    } else {
        ok = MaterialParser::ParseLegacy_New(element, *material, &requests);
    }
    material->MarkLoaded(ok);
    return material;
}

void MaterialManager::LoadLibMaterialTextures(MaterialTextureRequests& requests) {
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    const bool immediate = (GetTextureLoadFlags() & TEXTURE_LOAD_IMMEDIATE) != 0;
    for (LegacyStageAnimBlock& block : requests.blocks) {
        for (LegacyStageAnimRecord& record : block) {
            if (!record.stage || record.stage->GetTexture())
                continue;
            if (record.kind == LegacyStageAnimRecord::kAnimated ||
                record.kind == LegacyStageAnimRecord::kBlendAnimated)
                MaterialParser::BindAnimatedTexture(record);
            else if (immediate && textures)
                textures->ResolveTextureSlot(*record.stage);
        }
    }
}

void MaterialManager::FinalizeLibMaterial(Material* material,
                                          const MaterialTextureRequests& requests,
                                          std::vector<Material*>* output, bool hold) {
    if (!material)
        return;
    Material* existing = FindMaterial(material->GetName(), false);
    if (existing && existing != material) {
        delete material;
        return;
    }
    if (!existing) {
        Add(material);
        material->UpdatePasses();
        if (requests.effectPath.empty())
            material->AssignGeneratedProgram();
        else
            material->AssignProgramByName(requests.effectPath);
    }
    ListLibraryMaterial(material, output, hold);
}

void MaterialManager::ListLibraryMaterial(Material* material, std::vector<Material*>* output,
                                          bool hold) {
    lastLibrary_.push_back(material);
    if (!hold)
        return;
    material->AddRef();
    if (output)
        output->push_back(material);
}

void MaterialManager::CreateBuiltinMaterials() {
    for (const BuiltinMaterial& builtin : kBuiltins) {
        Material* material = CreateMaterial(builtin.name);
        if (!material)
            continue;
        Add(material);
        HoldMaterial(material);
        FillBuiltin(*material, builtin);
        material->AssignGeneratedProgram();
    }
}

void MaterialManager::HoldMaterial(Material* material) {
    material->AddRef();
    held_.push_back(material);
}

void MaterialManager::KeepInUse(Material* material) {
    material->AddRef();
    ++inUse_[material];
}

void MaterialManager::GiveBackInUse(Material* material) {
    const auto found = inUse_.find(material);
    if (found == inUse_.end())
        return;
    if (--found->second == 0)
        inUse_.erase(found);
    material->DecRef();
}

bool MaterialManager::IsInUse(const Material* material) const {
    return inUse_.contains(material);
}

}  // namespace Zel
