#include "Entity/Geometry/GeometryBodyPart.h"

#include <cstdio>

#include "Core/ChunkStream.h"
#include "Core/Globals.h"
#include "Core/IZelStream.h"
#include "Core/PathUtils.h"
#include "Core/IZelFileStream.h"
#include "Core/StreamFactory.h"
#include "Entity/Character/SkeletonManager.h"
#include "Core/CResourceManager.h"
#include "Entity/Geometry/GeometrySkin.h"
#include "Entity/Geometry/IOBodyPartBin.h"
#include "Entity/Geometry/ReaderReports.h"
#include "Entity/Geometry/StreamHolder.h"
#include "Entity/Image/Image.h"
#include "Entity/Texture/PushTextureScale.h"

namespace Zel {

namespace {

// The parts' rows; the cloth companions' rows 9-17 repeat rows 0-8, except row 16's wider
// rectangle.
constexpr TextureRect kPartRows[9] = {
    {{0, 0, 1, 1}, {0, 0, 1, 1}},
    {{0, 0.5f, 0.5f, 0.5f}, {0, 0, 1, 1}},
    {{0, 0.5f, 0.5f, 0.5f}, {0, 0, 1, 1}},
    {{0, 0.25f, 0.5f, 0.25f}, {0, 0, 1, 1}},
    {{0.5f, 0.5f, 0.5f, 0.5f}, {0, 0, 1, 1}},
    {{0, 0, 0.375f, 0.25f}, {0, 0, 0.75f, 1}},
    {{0.5f, 0.25f, 0.5f, 0.25f}, {0, 0, 1, 1}},
    {{0.375f, 0, 0.25f, 0.25f}, {0, 0, 1, 1}},
    {{0.625f, 0, 0.375f, 0.25f}, {0, 0, 0.75f, 1}},
};
constexpr TextureRect kRow16 = {{0.375f, 0, 0.5f, 0.25f}, {0, 0, 1, 1}};

constexpr TextureRect kRows9[9] = {
    {{0, 0, 1, 1}, {0, 0, 1, 1}},
    {{0, 0.5f, 0.5f, 0.5f}, {0, 0, 1, 1}},
    {{0, 0.5f, 0.5f, 0.5f}, {0, 0, 1, 1}},
    {{0.5f, 0.75f, 0.5f, 0.25f}, {0, 0, 1, 1}},
    {{0, 0, 0.5f, 0.5f}, {0, 0, 1, 1}},
    {{0.5f, 0, 0.5f, 0.125f}, {0, 0, 1, 1}},
    {{0.5f, 0.125f, 0.5f, 0.625f}, {0, 0, 1, 1}},
    {{0.5f, 0.125f, 0.5f, 0.625f}, {0, 0, 1, 1}},
    {{0.5f, 0.125f, 0.5f, 0.625f}, {0, 0, 1, 1}},
};

template <std::size_t N>
TextureRect RowOf(const TextureRect (&table)[N], std::int32_t row) {
    return row >= 0 && static_cast<std::size_t>(row) < N ? table[row] : table[0];
}

// The body part worn in the slot, or null when the slot is outside the table or holds none.
const GeometryBodyPart* PartIn(const std::vector<const Geometry*>& worn, std::uint32_t slot) {
    if (slot >= worn.size() || !worn[slot] || worn[slot]->GetClassId() != ClassId::GeometryBodyPart)
        return nullptr;
    return static_cast<const GeometryBodyPart*>(worn[slot]);
}

bool Matches(const PartLinkRecord& r, const std::vector<const Geometry*>& worn) {
    const GeometryBodyPart* a = PartIn(worn, r.slotA);
    if (!a || a->GetPartId() != r.idA)
        return false;
    if (r.slotB >= PartLinkRecord::kNoSlot || r.idB == PartLinkRecord::kAnyId)
        return true;
    const GeometryBodyPart* b = PartIn(worn, r.slotB);
    return !b || b->GetPartId() == r.idB;
}

}  // namespace

TextureRect BodyTextureRect18(std::int32_t row) {
    if (row == 16)
        return kRow16;
    if (row >= 9 && row < static_cast<std::int32_t>(GeometryBodyPart::kSlotCount))
        row -= 9;
    return RowOf(kPartRows, row);
}

TextureRect BodyTextureRect9(std::int32_t row) {
    return RowOf(kRows9, row);
}

GeometryBodyPart::GeometryBodyPart(CResourceManager* manager, std::string_view name,
                                   std::string_view group, std::uint32_t handle)
    : Geometry(manager, name, group, handle) {}

GeometryBodyPart::~GeometryBodyPart() {
    GeometryBodyPart::UnloadImpl();
}

std::uint32_t GeometryBodyPart::CalculateSize() {
    std::uint32_t size = kBaseSize;
    for (auto& [name, skin] : skins_) size += skin->CalculateSize();
    for (auto& [name, image] : images_) size += image->GetSize();
    SetSizeField(size);
    return size;
}

bool GeometryBodyPart::LoadImpl() {
    const bool ok = ReadPartFile();
    if (ok && hasImages_)
        LoadImages();
    return ok;
}

bool GeometryBodyPart5::LoadImpl() {
    const bool ok = ReadPartFile();
    if (ok)
        LoadImages();
    return ok;
}

bool GeometryBodyPart::ReadPartFile() {
    if (ReadChunkFile(GetLoadPath(), [this](IZelStream* stream) {
            return IOGeometryBodyPartBin::Read(*this, stream, GetLoadPath());
        }))
        return true;
    // A part that failed keeps nothing of what was read before the failure.
    ClearContent();
    Geometry::UnloadImpl();
    return false;
}

void GeometryBodyPart::ClearContent() {
    for (auto& [name, skin] : skins_) skin->Unload();
    skins_.clear();
    for (auto& [name, image] : images_) image->Unload();
    images_.clear();
    textures_.clear();
    links_.clear();
    defaultSkinName_.clear();
    defaultImageName_.clear();
    currentSkinName_.clear();
    currentImageName_.clear();
    defaultSkin_ = currentSkin_ = nullptr;
    defaultImage_ = currentImage_ = nullptr;
    figureKind_ = 0;
}

void GeometryBodyPart::UnloadImpl() {
    ClearContent();
    if (sharedSkeleton_) {
        if (SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager))
            skeletons->ReleaseShared(sharedSkeleton_);
        sharedSkeleton_ = nullptr;
    }
    hasImages_ = false;
    Geometry::UnloadImpl();
}

void GeometryBodyPart::UnloadImages() {
    for (auto& [name, image] : images_) image->Unload();
    // The manager counts the bytes of loaded resources: the old size leaves, the new one comes.
    CResourceManager* manager = IsLoaded() ? GetManager() : nullptr;
    if (manager)
        manager->OnUnloaded(this, IsInGarbage());
    CalculateSize();
    if (manager)
        manager->OnLoaded(this);
}

void GeometryBodyPart::SetSharedSkeleton(const std::string& name) {
    if (SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager))
        skeletons->ReplaceShared(sharedSkeleton_, name);
}

TextureRect GeometryBodyPart::GetTextureRect(std::int32_t row) const {
    return BodyTextureRect18(row);
}

TextureRect GeometryBodyPart4::GetTextureRect(std::int32_t row) const {
    return BodyTextureRect9(row);
}

TextureRect GeometryBodyPart5::GetTextureRect(std::int32_t row) const {
    return BodyTextureRect18(row);
}

GeometrySkin* GeometryBodyPart::AddSkin(const std::string& name) {
    if (skins_.count(name))
        return nullptr;
    auto skin = std::make_unique<GeometrySkin>(nullptr, name, "GeometrySkin", 0);
    GeometrySkin* out = skin.get();
    skins_.emplace(name, std::move(skin));
    return out;
}

Image* GeometryBodyPart::AddImage(const std::string& name) {
    if (images_.count(name))
        return nullptr;
    auto image = std::make_unique<Image>(nullptr, name, "Image", 0);
    Image* out = image.get();
    images_.emplace(name, std::move(image));
    return out;
}

bool GeometryBodyPart::AddTextureEntry(const std::string& name, const BodyTextureEntry& entry) {
    return textures_.emplace(name, entry).second;
}

GeometrySkin* GeometryBodyPart::FindSkin(const std::string& name) const {
    if (name.empty())
        return nullptr;
    const auto it = skins_.find(name);
    return it == skins_.end() ? nullptr : it->second.get();
}

Image* GeometryBodyPart::FindImage(const std::string& name) {
    const auto it = images_.find(name);
    if (it == images_.end())
        return nullptr;
    ReloadImage(*it->second);
    return it->second.get();
}

BodyTextureEntry* GeometryBodyPart::FindTextureEntry(const std::string& name) {
    const auto it = textures_.find(name);
    return it == textures_.end() ? nullptr : &it->second;
}

bool GeometryBodyPart::HasPartLink(std::uint32_t slot) const {
    for (const PartLinkRecord& r : links_)
        if (r.slotA == slot || r.slotB == slot)
            return true;
    return false;
}

void GeometryBodyPart::MatchPartRule(const std::vector<const Geometry*>& wornParts,
                                     GeometrySkin*& skin, Image*& image) {
    bool matched = false;
    for (const PartLinkRecord& r : links_) {
        if (!Matches(r, wornParts))
            continue;
        matched = true;
        currentSkin_ = FindSkin(r.skinName);
        currentImage_ = FindImage(r.imageName);
        currentSkinName_ = r.skinName;
        currentImageName_ = r.imageName;
    }
    if (!matched) {
        currentSkinName_.clear();
        currentImageName_.clear();
        if (!defaultSkin_)
            defaultSkin_ = FindSkin(defaultSkinName_);
        if (defaultSkin_)
            currentSkinName_ = defaultSkinName_;
        if (!defaultImage_) {
            const auto it = images_.find(defaultImageName_);
            defaultImage_ = it == images_.end() ? nullptr : it->second.get();
        }
        if (defaultImage_)
            currentImageName_ = defaultImageName_;
        currentSkin_ = defaultSkin_;
        currentImage_ = defaultImage_;
    }
    skin = currentSkin_;
    image = currentImage_;
}

bool GeometryBodyPart::ReloadImage(Image& image) {
    if (image.IsLoaded())
        return false;
    const BodyTextureEntry* entry = FindTextureEntry(image.GetName());
    const std::string path = entry ? entry->path : GetLoadPath();
    StreamHolder stream(OpenMemoryStream(path));
    if (!stream || !entry) {
        ReportChunkAssert(ZEL_CHUNK_SITE("Zel::GeometryBodyPart::ReloadImage"),
                          "GeometryBodyPart::ReloadImage失败，无法打开文件:%s", path.c_str());
        return false;
    }
    stream->Seek(entry->chunkOffset, STREAM_SEEK_SET);
    std::uint32_t slot = 0;
    BodyTextureEntry scratch = *entry;
    const bool ok = IOBodyTextureBin::Read(*this, image, stream.get(), slot, scratch);
    if (!ok) {
        image.SetLoaded(true);
        image.SetLoadSucceeded(false);
        ReportChunkAssert(ZEL_CHUNK_SITE("Zel::GeometryBodyPart::ReloadImage"),
                          "IOBodyTextureBin::Read failed! bp=%s", path.c_str());
    }
    return true;
}

bool GeometryBodyPart4::ReloadImage(Image& image) {
    if (image.IsLoaded())
        return false;
    int savedLevel = 0;
    bool savedCompression = false;
    PushTextureScale(&savedLevel, &savedCompression);
    image.LoadPreferDds(image.GetName());
    PopTextureScale(savedLevel, savedCompression);
    return image.IsLoaded() && image.IsLoadSucceeded();
}

Image* GeometryBodyPart::LoadImageFile(const std::string& name) {
    Image* image = AddImage(name);
    if (!image)
        return nullptr;
    image->LoadPreferDds(name);
    if (!image->IsLoaded() || !image->IsLoadSucceeded()) {
        char text[600];
        std::snprintf(text, sizeof text, "error 贴图加载失败, %s", name.c_str());
        ReportReaderError(text);
    }
    return image;
}

void GeometryBodyPart::LoadNumberedImages() {
    const std::string base = GetLoadPath().substr(0, GetLoadPath().rfind('.'));
    for (std::size_t i = 0; i < links_.size(); ++i) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "_%d.png", static_cast<int>(i + 1));
        const std::string name = base + suffix;
        LoadImageFile(name);
        links_[i].imageName = name;
        if (i == 0)
            defaultImageName_ = name;
    }
}

void GeometryBodyPart::LoadSingleImage() {
    const std::string name = GetLoadPath().substr(0, GetLoadPath().rfind('.')) + ".png";
    LoadImageFile(name);
    for (PartLinkRecord& r : links_) r.imageName = name;
    defaultImageName_ = name;
}

void GeometryBodyPart::LoadImages() {
    int savedLevel = 0;
    bool savedCompression = false;
    PushTextureScale(&savedLevel, &savedCompression);
    if (imageMode_ == 2)
        LoadNumberedImages();
    else
        LoadSingleImage();
    PopTextureScale(savedLevel, savedCompression);
    std::string base = GetFileName(GetLoadPath());
    base = base.substr(0, base.rfind('.'));
    for (auto& [name, skin] : skins_) skin->RenameMeshes(base);
}

}  // namespace Zel
