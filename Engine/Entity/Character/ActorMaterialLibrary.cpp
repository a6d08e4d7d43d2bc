#include "Entity/Character/ActorMaterialLibrary.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Entity/Character/Actor.h"
#include "Entity/Geometry/GeometryActor.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/SubEntity.h"
#include "Entity/Texture/TextureBase.h"

namespace Zel {

namespace {

struct PartLayout {
    float x, y, w, h;
    std::uint32_t width, height;
};

constexpr PartLayout kBp5Layout[ActorMaterialLibrary::kPartCount] = {
    {0.0f, 0.0f, 1.0f, 1.0f, 1024, 1024},    {0.0f, 0.5f, 0.5f, 0.5f, 512, 512},
    {0.0f, 0.5f, 0.5f, 0.5f, 512, 512},      {0.0f, 0.25f, 0.5f, 0.25f, 512, 256},
    {0.5f, 0.5f, 0.5f, 0.5f, 512, 512},      {0.0f, 0.0f, 0.375f, 0.25f, 384, 256},
    {0.5f, 0.25f, 0.5f, 0.25f, 512, 256},    {0.375f, 0.0f, 0.5f, 0.25f, 512, 256},
    {0.625f, 0.0f, 0.375f, 0.25f, 384, 256},
};

const PartLayout& LayoutOf(std::uint32_t slot) {
    return kBp5Layout[slot < ActorMaterialLibrary::kPartCount ? slot : 0];
}

// The name up to its last ".", or the whole name.
std::string_view Stem(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

bool InMap(const std::map<std::string, Material*>& map, const Material* material,
           std::string* key) {
    for (const auto& [name, copy] : map)
        if (copy == material) {
            *key = name;
            return true;
        }
    return false;
}

}  // namespace

ActorMaterialLibrary::~ActorMaterialLibrary() {
    for (Map* map : {&byName_, &clothByName_, &phxClothByName_}) {
        for (auto& [key, copy] : *map) Free(copy);
        map->clear();
    }
    for (Material* copy : retired_) Free(copy);
}

// ---- Names ----

std::string ActorMaterialLibrary::FileBaseName(std::string_view path) {
    std::string slashed(path);
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    return std::string(Stem(GetFileName(slashed)));
}

std::string_view ActorMaterialLibrary::MeshNumberText(std::string_view partFile,
                                                      std::string_view meshName) {
    // A loaded part names its meshes "<base>_<index>": read as a whole, a base that starts with
    // a letter would give every mesh number 0, and one of digits a number of its own.
    const std::string prefix = FileBaseName(partFile) + "_";
    if (meshName.size() > prefix.size() && meshName.substr(0, prefix.size()) == prefix)
        return meshName.substr(prefix.size());
    return meshName;
}

std::string ActorMaterialLibrary::PartMaterialKey(std::string_view partFile,
                                                  std::string_view meshName) {
    const std::string number(MeshNumberText(partFile, meshName));
    return FileBaseName(partFile) + "_" + std::to_string(std::atoi(number.c_str()));
}

std::string ActorMaterialLibrary::ClothMaterialKey(std::string_view partFile,
                                                   std::string_view meshName) {
    // The readers name a cloth file's meshes "Mesh<i>" and its pieces "Mesh<i>_<j>"; the
    // description files key cloth materials by the mesh number, so the number is read after
    // that prefix. A name of the stored form (a digit first) keeps its own first character.
    constexpr std::string_view kReaderPrefix = "Mesh";
    std::string_view number = meshName;
    if (number.size() > kReaderPrefix.size() &&
        number.substr(0, kReaderPrefix.size()) == kReaderPrefix &&
        std::isdigit(static_cast<unsigned char>(number[kReaderPrefix.size()])))
        number.remove_prefix(kReaderPrefix.size());
    const int digit = number.empty() ? -'0' : number[0] - '0';
    return FileBaseName(partFile) + "_" + std::to_string(digit);
}

std::string ActorMaterialLibrary::DescriptionPath(std::string_view partFile,
                                                  std::string_view actorPath) {
    if (GeometryActor::NamesOwnPlace(partFile))
        return std::string(partFile.substr(0, partFile.size() >= 3 ? partFile.size() - 3 : 0)) +
               "xml";
    return GeometryActor::NewPartPath(actorPath, std::string(Stem(partFile)) + ".xml");
}

std::string ActorMaterialLibrary::ClothCompanionName(std::string_view partFile,
                                                     std::string_view actorPath,
                                                     std::string_view extension) {
    if (partFile.find('.') == std::string_view::npos)
        return {};
    const std::string name = std::string(Stem(partFile)) + "_cloth" + std::string(extension);
    return GeometryActor::NewPartPath(actorPath, name);
}

TextureRect ActorMaterialLibrary::GetPartTexRect(std::uint32_t slot) {
    const PartLayout& l = LayoutOf(slot);
    return TextureRect{{l.x, l.y, l.w, l.h}, {0.0f, 0.0f, 1.0f, 1.0f}};
}

ActorMaterialLibrary::PartSize ActorMaterialLibrary::GetPartTexSize(std::uint32_t slot) {
    const PartLayout& l = LayoutOf(slot);
    return PartSize{l.width, l.height};
}

// ---- Copies ----

bool ActorMaterialLibrary::IsPhysicsClothCopy(const Material& material) {
    const Pass* first = material.GetPassCount() ? material.GetPass(0) : nullptr;
    return first && first->vertexFlags == kPhysicsVertexFlags &&
           first->skinningType == kPhysicsSkinningType &&
           first->vertexProgramKind == kPhysicsProgramKind &&
           first->influenceCount == kPhysicsInfluenceCount;
}

Material* ActorMaterialLibrary::MakeCopy(const std::string& key, const Mesh& mesh,
                                         const std::string& partFile,
                                         const std::string& descriptionPath,
                                         const std::string& fallbackKey) {
    MaterialManager* manager = Globals::Find(&Globals::GetMaterialManager);
    Material* found = manager ? manager->FindMaterial(key, true) : nullptr;
    if (!found && manager && !fallbackKey.empty())
        found = manager->FindMaterial(fallbackKey, true);
    const Material* source = found;
    if (!source) {
        LogTyped(LOG_ENGINE_INIT, "Can't find Material : , create one.... %s", key.c_str());
        source = flavour_ == Flavour::NewActorParts ? owner_.GetOrCreatePartMaterial("0", false)
                                                    : owner_.GetPartMaterial(partFile, mesh);
    }
    auto* copy = new Material(nullptr, key, "Material", 0);  // the map's reference
    if (source)
        source->CopyTo(*copy);
    // The lookup's reference is the library's to give back once the copy is taken.
    if (found)
        manager->UnLoadMaterials({found});
    if (SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
        scene && scene->IsDX7Mode()) {
        copy->shininess = 0.0f;
        copy->SetSpecularColor(0.0f, 0.0f, 0.0f, 1.0f);
        copy->UpdatePasses();
    }
    copy->MarkLoaded(true);
    copy->SetLibraryPath(descriptionPath);
    return copy;
}

Material* ActorMaterialLibrary::GetPartMaterial(const Mesh& mesh, const std::string& partFile,
                                                const std::string& descriptionPath) {
    const std::string key = PartMaterialKey(partFile, mesh.GetName());
    auto it = byName_.find(key);
    if (it == byName_.end()) {
        const std::string fallback =
            flavour_ == Flavour::NewActorParts
                ? ClothMaterialKey(partFile, MeshNumberText(partFile, mesh.GetName()))
                : std::string();
        it = byName_
                 .emplace(key, MakeCopy(key, mesh, partFile, descriptionPath,
                                        fallback == key ? std::string() : fallback))
                 .first;
    }
    it->second->AddRef();
    return it->second;
}

Material* ActorMaterialLibrary::GetClothMaterials(std::uint32_t clothSlot, const Mesh& mesh,
                                                  bool physics,
                                                  const std::string& descriptionPath) {
    if (clothSlot < kPartCount || clothSlot >= Actor::kSlotCount)
        return nullptr;
    const std::string& partFile = owner_.GetBodyPartName(clothSlot - kPartCount);
    const std::string key = ClothMaterialKey(partFile, mesh.GetName());
    auto cloth = clothByName_.find(key);
    auto phx = phxClothByName_.find(key);
    if (cloth == clothByName_.end() || phx == phxClothByName_.end()) {
        // The pair is made again from one source so both halves stay alike.
        Material* plain = MakeCopy(key, mesh, partFile, descriptionPath);
        Material* simulated = new Material(nullptr, key, "Material", 0);
        plain->CopyTo(*simulated);
        for (Pass* pass : simulated->GetPasses()) {
            pass->skinningType = kPhysicsSkinningType;
            pass->vertexFlags = kPhysicsVertexFlags;
            pass->vertexProgramKind = kPhysicsProgramKind;
            pass->influenceCount = kPhysicsInfluenceCount;
        }
        simulated->GenerateGpuProgram();
        simulated->MarkLoaded(true);
        simulated->SetLibraryPath(descriptionPath);
        Replace(clothByName_, key, plain);
        Replace(phxClothByName_, key, simulated);
        cloth = clothByName_.find(key);
        phx = phxClothByName_.find(key);
    }
    cloth->second->AddRef();
    phx->second->AddRef();
    return physics ? phx->second : cloth->second;
}

void ActorMaterialLibrary::Replace(Map& map, const std::string& key, Material* copy) {
    Material*& entry = map[key];
    Material* before = entry;
    entry = copy;
    if (!before)
        return;
    if (before->DecRef() <= 0)
        Free(before);
    else
        retired_.push_back(before);
}

void ActorMaterialLibrary::Drop(Material* material) {
    // Only a retired copy can run out: a map's copy keeps the map's reference until collected.
    if (material->DecRef() > 0 || std::erase(retired_, material) == 0)
        return;
    Free(material);
}

void ActorMaterialLibrary::ReleaseMaterial(Material* material) {
    if (!material)
        return;
    std::string key;
    if (InMap(clothByName_, material, &key)) {
        if (auto phx = phxClothByName_.find(key); phx != phxClothByName_.end())
            Drop(phx->second);
    } else if (InMap(phxClothByName_, material, &key)) {
        if (auto cloth = clothByName_.find(key); cloth != clothByName_.end())
            Drop(cloth->second);
    } else if (!InMap(byName_, material, &key) &&
               std::find(retired_.begin(), retired_.end(), material) == retired_.end()) {
        return;  // not a copy of this library: its reference is not ours to drop
    }
    Drop(material);
}

// ---- The actor's body texture ----

template <class Fn>
void ActorMaterialLibrary::ForEachSlotMaterial(Fn fn) const {
    for (std::uint32_t slot = 0; slot < Actor::kSlotCount; ++slot)
        for (const SubEntity* sub : owner_.GetSlotSubEntities(slot))
            if (Material* material = sub ? sub->GetOwnMaterial() : nullptr)
                fn(*material);
}

void ActorMaterialLibrary::BindBodyTexture() {
    TextureBase* texture = owner_.GetBodyTexture();
    if (!texture)
        return;
    ForEachSlotMaterial(
        [&](Material& material) { BindFirstStages(material, texture, material.GetPassCount()); });
}

void ActorMaterialLibrary::ReleaseBodyTexture() {
    const TextureBase* texture = owner_.GetBodyTexture();
    if (!texture)
        return;
    ForEachSlotMaterial([&](Material& material) { ReleaseFirstStages(material, texture); });
}

void ActorMaterialLibrary::BindFirstStages(Material& material, TextureBase* texture,
                                           std::uint32_t passCount) {
    for (std::uint32_t p = 0; p < passCount && p < material.GetPassCount(); ++p)
        if (Pass* pass = material.GetPass(p);
            pass && pass->renderState.stages[0].GetTexture() != texture)
            pass->renderState.stages[0].SetTexture(texture);
}

void ActorMaterialLibrary::ReleaseFirstStages(Material& material, const TextureBase* texture) {
    for (std::uint32_t p = 0; p < material.GetPassCount(); ++p)
        if (Pass* pass = material.GetPass(p);
            pass && texture && pass->renderState.stages[0].GetTexture() == texture)
            pass->renderState.stages[0].SetTexture(nullptr);
}

void ActorMaterialLibrary::Free(Material* material) {
    material->Unload();
    // The destructor checks that exactly one reference (the last holder's) is left.
    while (material->GetRefCount() < 1) material->AddRef();
    delete material;
}

void ActorMaterialLibrary::CollectUnused() {
    // Every actor collects when it goes; one that never wore such a part has nothing to say.
    if (byName_.empty() && clothByName_.empty() && phxClothByName_.empty() && retired_.empty())
        return;
    LogTyped(LOG_ENGINE_INIT, flavour_ == Flavour::NewActorParts ? "释放所有引用计数为1的BP4材质!"
                                                                 : "释放所有引用计数为1的BP5材质!");
    for (Map* map : {&byName_, &clothByName_, &phxClothByName_})
        std::erase_if(*map, [](const auto& entry) {
            if (entry.second->GetRefCount() != 1)
                return false;
            Free(entry.second);
            return true;
        });
    std::erase_if(retired_, [](Material* copy) {
        if (copy->GetRefCount() > 0)
            return false;
        Free(copy);
        return true;
    });
}

bool ActorMaterialLibrary::CheckCleanup() {
    CollectUnused();
    if (byName_.empty() && clothByName_.empty() && phxClothByName_.empty())
        return true;
    if (flavour_ == Flavour::NewActorParts) {
        ReportError("NewActor material didn't cleanup!");
        return false;
    }
    ReportError(
        "Actor material didn't cleanup!,m_MaterialByName size = %d,m_ClothMaterialByName size = "
        "%d,m_PhxClothMaterialByName size = %d",
        static_cast<int>(byName_.size()), static_cast<int>(clothByName_.size()),
        static_cast<int>(phxClothByName_.size()));
    return false;
}

}  // namespace Zel
