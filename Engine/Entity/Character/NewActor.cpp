#include "Entity/Character/NewActor.h"

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/PathUtils.h"
#include "Core/StreamFactory.h"
#include "Entity/Geometry/GeometryActor.h"
#include "Entity/Material/MaterialManager.h"

namespace Zel {

namespace {

// The ".bp4" parts' image sizes, by part slot.
constexpr ActorMaterialLibrary::PartSize kBp4PartSizes[Actor::kPartCount] = {
    {1024, 1024}, {512, 512}, {512, 512}, {512, 256}, {512, 512},
    {512, 128},   {512, 640}, {512, 640}, {512, 640},
};

}  // namespace

NewActor::NewActor() : copies_(*this, ActorMaterialLibrary::Flavour::NewActorParts) {}

NewActor::~NewActor() {
    // The actor's own destructor releases the slots too, but no longer through this class.
    ReleaseAll(false);
    copies_.CheckCleanup();
}

void NewActor::Reset() {
    Actor::Reset();
    copies_.CheckCleanup();
}

bool NewActor::LoadSkeleton(std::uint32_t) {
    return false;
}

bool NewActor::LoadDefaultSkeleton() {
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (!config || !config->UseActionLib())
        return false;
    return AssignSkeleton(std::nullopt, true);
}

TextureRect NewActor::GetPartTexRect(std::uint32_t slot) {
    // The ".bp4" geometries lay their images out by the same table.
    return BodyTextureRect9(slot < kPartCount ? static_cast<std::int32_t>(slot) : 0);
}

ActorMaterialLibrary::PartSize NewActor::GetPartTexSize(std::uint32_t slot) {
    return kBp4PartSizes[slot < kPartCount ? slot : 0];
}

std::string NewActor::DescriptionPath(std::string_view partFile, std::string_view actorPath) {
    if (GeometryActor::NamesOwnPlace(partFile))
        return ActorMaterialLibrary::DescriptionPath(partFile, actorPath);
    return JoinPathWithSlash(GetDirectory(actorPath), ReplaceExtension(partFile, ".xml"));
}

std::string NewActor::ClothCompanionName(std::string_view partFile, std::string_view actorPath) {
    const std::size_t dot = partFile.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    const std::string name = std::string(partFile.substr(0, dot)) + "_cloth.bp4";
    if (GeometryActor::NamesOwnPlace(partFile))
        return name;
    return JoinPathWithSlash(GetDirectory(actorPath), name);
}

std::string NewActor::ClothCompanionOf(const std::string& partName) const {
    const GeometryActor* geometry = GetActorGeometry();
    std::string cloth =
        ClothCompanionName(partName, geometry ? geometry->GetLoadPath() : std::string());
    // The virtual file system first, then the plain file.
    if (cloth.empty() || !FileExists(cloth))
        return {};
    return cloth;
}

std::string NewActor::DescriptionPath(std::string_view partFile) const {
    const GeometryActor* geometry = GetActorGeometry();
    return DescriptionPath(partFile, geometry ? geometry->GetLoadPath() : std::string());
}

void NewActor::BeginPartMaterials(const std::string& partName) {
    descriptionPath_ = DescriptionPath(partName);
    libraryMaterials_.clear();
    if (MaterialManager* manager = Globals::Find(&Globals::GetMaterialManager)) {
        bool success = false;
        manager->LoadMaterialLib(descriptionPath_, success, &libraryMaterials_, true);
    }
}

void NewActor::EndPartMaterials() {
    if (MaterialManager* manager = Globals::Find(&Globals::GetMaterialManager))
        manager->UnLoadMaterials(libraryMaterials_);
    libraryMaterials_.clear();
}

Material* NewActor::TakePartMaterial(const std::string& partName, const Mesh& mesh) {
    return copies_.GetPartMaterial(mesh, partName, descriptionPath_);
}

Material* NewActor::GetOrCreateClothMaterial(std::uint32_t clothSlot, const Mesh& mesh,
                                             bool physics) {
    if (clothSlot < kPartCount || clothSlot >= kSlotCount)
        return nullptr;
    return copies_.GetClothMaterials(clothSlot, mesh, physics,
                                     DescriptionPath(GetBodyPartName(clothSlot - kPartCount)));
}

Material* NewActor::TakeClothMaterial(std::uint32_t slot, const Mesh& subMesh, bool simulated) {
    return GetOrCreateClothMaterial(slot, subMesh, simulated);
}

void NewActor::OnSlotReleased(const std::vector<Material*>& materials) {
    Actor::OnSlotReleased(materials);  // the ".bp5" parts' copies
    for (Material* material : materials) copies_.ReleaseMaterial(material);
    copies_.CollectUnused();
}

}  // namespace Zel
