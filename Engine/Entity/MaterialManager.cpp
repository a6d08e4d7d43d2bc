#include "Entity/MaterialManager.h"

#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Core/StreamFactory.h"
#include "Core/IZelStream.h"
#include "Entity/IOMaterialBin.h"
#include "Entity/Pass.h"
#include "Entity/TextureManager.h"

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
};

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

}  // namespace

MaterialManager::MaterialManager() {
    RegisterType("Material");
}

MaterialManager::~MaterialManager() {
    for (Material* material : held_) material->DecRef();
    held_.clear();
    defaultMaterial_.Reset();
    defaultSkeletonMaterial_.Reset();
    lastLibrary_.clear();
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

// --- Stand-in until the XML material libraries land (replace this block). ---
bool MaterialManager::LoadMaterialLibXml(const std::string&, bool& success, bool,
                                         std::vector<Material*>*) {
    success = false;
    return false;
}
// --- End of the stand-in. ---

}  // namespace Zel
