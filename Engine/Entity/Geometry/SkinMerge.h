// Skin merging: one skin made of several Skin meshes that share a skeleton, so that body parts of
// one material draw in one call. Source order fixes the layout: source s's vertices start at the
// sum of the vertex counts of the sources before it (its vertex base) in every component and in
// the blend records. GeometrySkinMerge holds the merged skins of one character.
//
// A merged skin is a snapshot: the sources are read while the merge runs only.
// Threads: the thread that assembles the character.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Entity/Geometry/GeometrySkin.h"
#include "Entity/Geometry/Skin.h"

namespace Zel {

class SkinMerge : public Skin {
public:
    // Merged skins address their vertices with indices of at most 16 bits on some devices.
    static constexpr std::uint32_t kMaxVertices = 65535;

    using Skin::Skin;
    // Reports the class id of Skin, so every skin test accepts a merged skin.

    void SetSources(std::vector<const Skin*> sources) { sources_ = std::move(sources); }
    const std::vector<const Skin*>& GetSources() const { return sources_; }

    // The whole merge. False, leaving the skin empty, without sources or when the sources hold
    // more than kMaxVertices vertices together.
    bool Merge();
    std::uint32_t GetTotalVertexCount() const;
    std::uint32_t GetTotalIndexCount() const;
    // The sum over the sources of the index count of their render group g.
    std::uint32_t GetGroupIndexCount(std::uint32_t g) const;

    // Bone ranges 39-53 and 62-76 fold to 38 and 61.
    static std::uint32_t ClampBone(std::uint32_t bone);
    static float ClampBoneValue(float value);

private:
    void MergeVertexComponents();
    void MergeIndexData();
    // One source's BLENDINDICES section from its palette slots to skeleton bones; a slot of -1
    // (or past the palette) becomes bone 0.
    static void SourcePaletteToBoneIndices(const Skin& source, float* values, std::uint32_t count);

    std::vector<const Skin*> sources_;
};

class GeometrySkinMerge : public GeometrySkin {
public:
    explicit GeometrySkinMerge(CResourceManager* manager = nullptr);
    std::unique_ptr<Mesh> CreateMesh(const std::string& name) override;
    // A new merged skin of the sources, sort key 0; null (nothing added) when the merge refuses
    // them, so the caller keeps the sources unmerged.
    SkinMerge* AddMergedMesh(const std::vector<const Skin*>& sources);
};

}  // namespace Zel
