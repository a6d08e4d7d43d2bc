// The geometry of one body-part file that a character wears in one body slot: several named skin
// variants (GeometrySkin objects of Skin meshes), the part's texture images, and part-link records
// that choose, from what the character wears in other slots, which skin and which image this part
// shows. Three classes cover three file generations: GeometryBodyPart (".bp3", kind 15, images
// embedded in the part file), GeometryBodyPart4 (".bp4", kind 16) and GeometryBodyPart5 (".bp5",
// kind 17), whose images are separate files.
//
// Ownership: the part owns its skins and images. Threads: loaded on the loading thread; rule
// matching and image reloads on the host thread.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Entity/Geometry/Geometry.h"

namespace Zel {

class GeometrySkin;
class Image;

// One selector of the part file: when the part worn in slot A has part id A (and the part worn in
// slot B, if any, part id B), this part shows the named skin and image.
struct PartLinkRecord {
    // Slot B at or above this has no second condition; expected id B of kAnyId accepts any part.
    static constexpr std::uint32_t kNoSlot = 18;
    static constexpr std::uint32_t kAnyId = 21;
    std::uint32_t slotA = 0;
    std::uint32_t idA = 0;
    std::uint32_t slotB = kNoSlot;
    std::uint32_t idB = kAnyId;
    std::string skinName;
    std::string imageName;
};

// A body texture of the part file. The chunk offset lets the image be decoded again from the
// file after its pixels were dropped.
struct BodyTextureEntry {
    std::string fileName;  // the embedded image's own file name, without directory
    std::string path;      // the part file that holds the image
    std::uint32_t slot = 0;
    std::uint32_t chunkOffset = 0;
    std::array<std::uint32_t, 4> words = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
};

// Where a part's texture goes in the character's spliced body texture (x, y, width, height as
// fractions of the atlas) and which rectangle of the part's own image it takes.
struct TextureRect {
    float atlas[4];
    float source[4];
};

class GeometryBodyPart : public Geometry {
public:
    static constexpr std::uint32_t kBaseSize = 1644;
    static constexpr std::uint32_t kSlotCount = 18;

    GeometryBodyPart(CResourceManager* manager, std::string_view name, std::string_view group,
                     std::uint32_t handle);
    ~GeometryBodyPart() override;
    ZEL_CLASS_ID(GeometryBodyPart)

    std::uint32_t GetKind() const override { return 15; }
    // 1644 plus the size of every skin and every image.
    std::uint32_t CalculateSize() override;
    // The part file of the load path (IOGeometryBodyPartBin::Read), then the post-load step.
    bool LoadImpl() override;
    void UnloadImpl() override;
    std::int32_t GetOwnerId() const override { return ownerId_; }
    // Unloads every image, keeping the skins; the size is computed again and the manager told.
    void UnloadImages() override;

    // The row of the class's rectangle table; a row outside the table (also -1) gives row 0.
    virtual TextureRect GetTextureRect(std::int32_t row) const;
    // Brings an unloaded image back: ".bp3" parts decode it again from their own file. False when
    // the image is already loaded or cannot be read.
    virtual bool ReloadImage(Image& image);

    // Null when the name is taken; otherwise the new skin, image or entry, stored.
    GeometrySkin* AddSkin(const std::string& name);
    Image* AddImage(const std::string& name);
    bool AddTextureEntry(const std::string& name, const BodyTextureEntry& entry);
    // The skin of that name; null for an empty name or one not in the map.
    GeometrySkin* FindSkin(const std::string& name) const;
    // The image of that name after the class's reload ran on it; null when not in the map.
    Image* FindImage(const std::string& name);
    BodyTextureEntry* FindTextureEntry(const std::string& name);
    // Whether any link record names the slot as its slot A or slot B.
    bool HasPartLink(std::uint32_t slot) const;
    // Chooses skin and image from the parts the character wears (indexed by slot; null where
    // nothing is worn or a slot holds no body part): the last matching link record wins; without
    // a match the defaults are used. Both choices are stored as current.
    void MatchPartRule(const std::vector<const Geometry*>& wornParts, GeometrySkin*& skin,
                       Image*& image);

    // The header settings of the part file: the image mode (2: one image per link record), the
    // part id other parts' link records test, and the figure kind (the third setting word; the
    // face part's figure kind 8 is the figure with face bones).
    void SetHeader(std::uint32_t imageMode, std::uint32_t partId, std::uint32_t figureKind) {
        imageMode_ = imageMode;
        partId_ = partId;
        figureKind_ = figureKind;
    }
    std::uint32_t GetImageMode() const { return imageMode_; }
    std::uint32_t GetPartId() const { return partId_; }
    std::uint32_t GetFigureKind() const { return figureKind_; }
    void SetOwnerId(std::int32_t id) { ownerId_ = id; }
    void SetHasImages(bool on) { hasImages_ = on; }
    bool HasImages() const { return hasImages_; }
    // The skeleton the part's skins belong to, held by name through the skeleton manager.
    void SetSharedSkeleton(const std::string& name);
    CResource* GetSharedSkeleton() const { return sharedSkeleton_; }

    std::vector<PartLinkRecord>& GetLinkRecords() { return links_; }
    const std::map<std::string, std::unique_ptr<GeometrySkin>>& GetSkins() const { return skins_; }
    const std::map<std::string, std::unique_ptr<Image>>& GetImages() const { return images_; }
    void SetDefaultNames(std::string skin, std::string image) {
        defaultSkinName_ = std::move(skin);
        defaultImageName_ = std::move(image);
    }
    const std::string& GetDefaultSkinName() const { return defaultSkinName_; }
    const std::string& GetDefaultImageName() const { return defaultImageName_; }
    const std::string& GetCurrentSkinName() const { return currentSkinName_; }
    const std::string& GetCurrentImageName() const { return currentImageName_; }

protected:
    // After reading, with the has-images flag: the images of separate files, then the meshes of
    // every skin are named after the file.
    void LoadImages();
    void LoadNumberedImages();
    void LoadSingleImage();
    // Creates (when new) and decodes the image of a separate file; a failure is reported.
    Image* LoadImageFile(const std::string& name);
    // The part file of the load path; on failure the part is emptied again.
    bool ReadPartFile();
    // Skins, images, entries, records and names go; the owner, skeleton and flags stay.
    void ClearContent();

private:
    std::int32_t ownerId_ = -1;
    std::uint32_t imageMode_ = 0;
    std::uint32_t partId_ = 0;
    std::uint32_t figureKind_ = 0;
    std::map<std::string, std::unique_ptr<GeometrySkin>> skins_;
    std::map<std::string, std::unique_ptr<Image>> images_;
    std::map<std::string, BodyTextureEntry> textures_;
    std::vector<PartLinkRecord> links_;
    CResource* sharedSkeleton_ = nullptr;
    GeometrySkin* defaultSkin_ = nullptr;
    Image* defaultImage_ = nullptr;
    GeometrySkin* currentSkin_ = nullptr;
    Image* currentImage_ = nullptr;
    std::string currentSkinName_, currentImageName_;
    std::string defaultSkinName_, defaultImageName_;
    bool hasImages_ = false;
};

// ".bp4": the 9-row rectangle table, images reloaded from their own files.
class GeometryBodyPart4 : public GeometryBodyPart {
public:
    using GeometryBodyPart::GeometryBodyPart;
    std::uint32_t GetKind() const override { return 16; }
    TextureRect GetTextureRect(std::int32_t row) const override;
    bool ReloadImage(Image& image) override;
};

// ".bp5": the 18-row table, images from their own files, always loaded after reading.
class GeometryBodyPart5 : public GeometryBodyPart4 {
public:
    using GeometryBodyPart4::GeometryBodyPart4;
    std::uint32_t GetKind() const override { return 17; }
    bool LoadImpl() override;
    TextureRect GetTextureRect(std::int32_t row) const override;
};

// The 18-row and 9-row rectangle tables; a row outside the table gives row 0.
TextureRect BodyTextureRect18(std::int32_t row);
TextureRect BodyTextureRect9(std::int32_t row);

}  // namespace Zel
