// Readers of the chunks of skinned models: the skinned-geometry chunk (tag 2) at the head of a
// ".ch3", the skin chunk (tag 5) with its palette and blend records, the skeleton chunk (tag 9)
// with its bone chunks (tag 10), and the bound chunks (tags 29-31) of cloth collision shapes.
// Every count is checked against the bytes left before anything is allocated. Loading thread.
#pragma once

#include <cstdint>
#include <string>

namespace Zel {

class BoundBase;
class BoundCapsule;
class BoundSphere;
class Bone;
class GeometrySkin;
class IZelStream;
class Skeleton;
class Skin;

namespace IOGeometrySkinBin {
// The geometry chunk, then the skeleton (shared with a loaded one of the geometry's name; its
// chunk is read and dropped then) and the actions. False on the first failure.
bool Read(GeometrySkin& geometry, IZelStream* stream, const std::string& directory);
}  // namespace IOGeometrySkinBin

namespace IOSkinBin {
// Palette (count at most 60), mesh chunk, one blend record per vertex (influence counts clamped
// to 0..4). A skin that already has blend records, or whose records leave the stream, is refused.
bool Read(Skin& skin, IZelStream* stream);
}  // namespace IOSkinBin

namespace IOSkeletonBin {
// The bones in table order, linked by id, then the tree check of the skeleton. False (the
// skeleton keeps the bones read) on a failed bone or a refused tree.
bool Read(Skeleton& skeleton, IZelStream* stream);
}  // namespace IOSkeletonBin

namespace IOBoneBin {
// One bone: id and parent id handed back, the vectors and matrices into the bone, the name (cut
// to 31 characters) and the link words (read past).
bool Read(Bone& bone, std::int32_t& id, std::int32_t& parentId, IZelStream* stream);
}  // namespace IOBoneBin

namespace IOBoundBin {
// A bound chunk: the slot gets a pooled sphere (kind 0) or capsule (kind 1) filled from its shape
// chunk, or null for any other kind. False when the kind is unknown or the shape or name fails.
bool Read(BoundBase*& slot, IZelStream* stream);
bool ReadSphere(BoundSphere& sphere, IZelStream* stream);
bool ReadCapsule(BoundCapsule& capsule, IZelStream* stream);
}  // namespace IOBoundBin

}  // namespace Zel
