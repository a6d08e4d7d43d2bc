// The geometry of one cloth piece (skirt, cape): ClothMeshData meshes, the attachment points that
// pin the cloth to the body, the bone-bound collision shapes and the cloth parameters. It loads
// from a binary cloth file (a body part's "_cloth" companion, tag 23) or from an XML cloth
// description (a "Root" element whose "Cloth" child names an ASE scene in MESH and a material in
// SHADER, with optional "Params"). GeometryNewCloth differs only in its texture rectangle table.
//
// Ownership: the geometry owns its meshes and shapes and holds one reference to its skeleton.
// Threads: loaded on the loading thread, read on the host thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/GeometryBodyPart.h"

namespace Zel {

class BoundBase;

class GeometryCloth : public Geometry {
public:
    using Float3 = std::array<float, 3>;
    // The bit of the cloth file's flag word that marks a piece the physics scene simulates.
    static constexpr std::uint32_t kClothMark = 0x10;
    // A cloth geometry is not told which body part it hangs on: its texture coordinates keep
    // the file's (the row of no part reads the whole-texture row), and the actor files the
    // collision shapes it registers by the cloth's slot.
    static constexpr std::int32_t kNoPartIndex = -1;

    GeometryCloth(CResourceManager* manager, std::string_view name, std::string_view group,
                  std::uint32_t handle);
    ~GeometryCloth() override;
    ZEL_CLASS_ID(GeometryCloth)

    std::uint32_t GetKind() const override { return 13; }
    std::unique_ptr<Mesh> CreateMesh(const std::string& name) override;
    // A ".cl3" name fails; a body-part name reads the binary cloth file; any other name is an
    // XML description (its ".cl3" sibling when binary files are preferred).
    bool LoadImpl() override;
    void UnloadImpl() override;
    // Reads the ASE scene and builds a cloth mesh of every "ClothMesh_" object, the attachment
    // points of the "BoxCloth_" objects and the collision spheres of the "Bound_..._Sphere"
    // objects. False when the scene has no objects or no cloth object.
    bool LoadClothMesh(const std::string& meshPath, float weightScale);
    // The row of the cloth's rectangle table for the part index; a row outside the table (also
    // -1) gives row 0.
    virtual TextureRect GetTextureRect(std::int32_t row) const { return BodyTextureRect18(row); }

    // The skeleton the render meshes are skinned to, held by name through the skeleton manager;
    // an empty name releases it.
    void SetSkeletonName(const std::string& name);
    const std::string& GetSkeletonName() const { return skeletonName_; }
    std::vector<Float3>& GetAttachmentPoints() { return points_; }
    // The bone-bound collision shapes: the binary file's bound chunks, or the description's
    // spheres. Owned (back to their pools on unload).
    std::vector<BoundBase*>& GetBoneBounds() { return bounds_; }
    // The binary cloth file's flag word (its first record word); kClothMark says the physics
    // scene simulates the piece.
    std::uint32_t GetFlagWord() const { return flagWord_; }
    void SetFlagWord(std::uint32_t word) { flagWord_ = word; }
    bool IsClothMarked() const { return (flagWord_ & kClothMark) != 0; }

private:
    CResource* skeleton_ = nullptr;
    std::string skeletonName_;
    std::vector<Float3> points_;
    std::vector<BoundBase*> bounds_;
    std::uint32_t flagWord_ = 0;
};

class GeometryNewCloth : public GeometryCloth {
public:
    using GeometryCloth::GeometryCloth;
    TextureRect GetTextureRect(std::int32_t row) const override { return BodyTextureRect9(row); }
};

}  // namespace Zel
