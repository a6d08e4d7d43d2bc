#include "modelgen/ChunkTags.h"

namespace ZelModelGen {

const char* ChunkTagName(std::uint32_t tag) {
    switch (tag) {
        case kTagGeometry: return "geometry";
        case kTagSkinnedGeometry: return "skinned-geometry";
        case kTagMesh: return "mesh";
        case kTagSkin: return "skin";
        case kTagAction: return "action";
        case kTagAnimationTrack: return "animation-track";
        case kTagAnimationKeys: return "animation-keys";
        case kTagSkeleton: return "skeleton";
        case kTagBone: return "bone";
        case kTagLodStrip: return "lod-strip";
        case kTagVertexBuffer: return "vertex-buffer";
        case kTagIndexBuffer: return "index-buffer";
        case kTagVertexPool: return "vertex-pool";
        case kTagClothGeometry: return "cloth-geometry";
        case kTagClothMeshData: return "cloth-mesh-data";
        case kTagBodyPart: return "body-part";
        case kTagBodyTexture: return "body-texture";
        case kTagMorphGeometry: return "morph-geometry";
        case kTagMorphMesh: return "morph-mesh";
        case kTagBound: return "bound";
        case kTagBoundSphere: return "bound-sphere";
        case kTagBoundCapsule: return "bound-capsule";
        default: return "unknown";
    }
}

}  // namespace ZelModelGen
