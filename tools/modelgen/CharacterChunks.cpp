// Writers of the chunks of skinned models: tags 2, 5, 6, 7, 8, 9, 10, 29, 30 and 31.
#include "modelgen/ChunkTags.h"
#include "modelgen/ChunkWriters.h"

namespace ZelModelGen {

void WriteSkinnedGeometryChunk(ChunkStreamWriter& w, const SkinnedGeometryDesc& s,
                               const std::string& name) {
    w.BeginChunk(name, kTagSkinnedGeometry, kSizeSkinnedGeometry, s.resourceWord);
    w.U32("skeletonFlag", s.skeleton ? 1 : 0);
    w.U32("actionCount", Count32(s.actions.size()));
    w.EndRecord();
    WriteGeometryChunk(w, s.geometry, "geometry");
    if (s.skeleton) WriteSkeletonChunk(w, *s.skeleton, "skeleton");
    for (std::size_t i = 0; i < s.actions.size(); ++i)
        WriteActionChunk(w, s.actions[i], Indexed("action", i));
    w.EndChunk();
}

void WriteSkinChunk(ChunkStreamWriter& w, const SkinDesc& skin, const std::string& name) {
    // The record holds 29 palette slots for a palette count up to 29 and 60 above; the slots the
    // palette leaves free are 0.
    std::uint32_t count = skin.PaletteCount();
    bool large = count > 29;
    w.BeginChunk(name, kTagSkin, large ? kSizeSkinLarge : kSizeSkinSmall);
    w.U32("paletteCount", count);
    std::size_t slots = large ? 60 : 29;
    for (std::size_t i = 0; i < slots; ++i) w.Raw32(i < skin.palette.size() ? skin.palette[i] : 0);
    w.Raw32(skin.reserved[0]);
    w.Raw32(skin.reserved[1]);
    w.EndRecord();
    WriteMeshChunk(w, skin.mesh, "mesh");
    w.Mark(SectionKind::Data, w.Path() + "#blend");
    for (const BlendRecord& b : skin.blend) {
        w.Raw32(static_cast<std::uint32_t>(b.count));
        for (std::uint32_t bone : b.bones) w.Raw32(bone);
        for (float weight : b.weights) w.RawF(weight);
    }
    w.EndChunk();
}

void WriteSkeletonChunk(ChunkStreamWriter& w, const SkeletonDesc& s, const std::string& name) {
    w.BeginChunk(name, kTagSkeleton, kSizeSkeleton, s.resourceWord);
    w.U32("rootBoneIndex", s.rootBoneIndex);
    w.U32("boneCount", Count32(s.bones.size()));
    w.Raw32(0);  // reserved
    w.Raw32(s.words[0]);
    w.Raw32(s.words[1]);
    w.I32("leftFootId", s.leftFootId);
    w.I32("rightFootId", s.rightFootId);
    w.Zeros(256);
    w.EndRecord();
    for (std::size_t i = 0; i < s.bones.size(); ++i) WriteBoneChunk(w, s.bones[i], Indexed("bone", i));
    w.EndChunk();
}

void WriteBoneChunk(ChunkStreamWriter& w, const BoneDesc& bone, const std::string& name) {
    w.BeginChunk(name, kTagBone, kSizeBone);
    w.I32("id", bone.id);
    w.I32("parentId", bone.parentId);
    w.U32("linkCount", Count32(bone.links.size()));
    w.F32("value", bone.value);
    w.Vec(bone.vector1);
    w.Vec(bone.vector2);
    w.Vec(bone.vector3);
    WriteColumnMajor(w, bone.matrix1);
    WriteColumnMajor(w, bone.matrix2);
    WriteColumnMajor(w, bone.matrix3);
    w.Zeros(256);
    w.EndRecord();
    w.String("name", bone.name);
    w.U32Array("links", bone.links);
    w.EndChunk();
}

void WriteActionChunk(ChunkStreamWriter& w, const ActionDesc& action, const std::string& name) {
    w.BeginChunk(name, kTagAction, kSizeAction, action.resourceWord);
    w.F32("length", action.length);
    w.Raw32(0);  // reserved
    w.U32("boneCount", Count32(action.boneIndices.size()));
    w.U32("trackCount", Count32(action.tracks.size()));
    w.Zeros(256);
    w.EndRecord();
    w.String("name", action.name);
    w.String("fileName", action.fileName);
    w.U32Array("boneIndices", action.boneIndices);
    for (std::size_t i = 0; i < action.tracks.size(); ++i)
        WriteAnimationTrackChunk(w, action.tracks[i], Indexed("track", i));
    w.EndChunk();
}

void WriteAnimationTrackChunk(ChunkStreamWriter& w, const AnimTrackDesc& t,
                              const std::string& name) {
    w.BeginChunk(name, kTagAnimationTrack, kSizeAnimationTrack);
    w.U32("word0", t.word0);
    w.F32("value0", t.value0);
    w.Raw32(0);  // reserved
    w.F32("value1", t.value1);
    w.Raw32(0);  // reserved
    w.U32("word1", t.word1);
    w.U32("word2", t.word2);
    w.U32("flags", t.flags);
    w.Vec(t.vector1);
    w.Raw32(0);  // reserved
    for (float v : t.vectors23) w.RawF(v);
    w.U32("boneIndex", t.boneIndex);
    w.U32("frameCount", t.frameCount);
    w.Zeros(256);
    w.EndRecord();
    WriteAnimationKeysChunk(w, t.keys, t.frameCount, "keys");
    w.EndChunk();
}

void WriteAnimationKeysChunk(ChunkStreamWriter& w, const AnimKeysDesc& k,
                             std::uint32_t frameCount, const std::string& name) {
    w.BeginChunk(name, kTagAnimationKeys, kSizeAnimationKeys);
    for (std::uint32_t word : k.words) w.Raw32(word);
    w.U32("positionCount", Count32(k.positions.size()));
    w.U32("rotationCount", Count32(k.rotations.size()));
    w.U32("scaleCount", Count32(k.scales.size()));
    w.Zeros(256);
    w.EndRecord();
    WriteKeyArrays(w, k, frameCount, true);
    w.EndChunk();
}

void WriteKeyArrays(RecordWriter& w, const AnimKeysDesc& k, std::uint32_t frameCount,
                    bool withScales) {
    w.Mark(SectionKind::Data, w.Path() + "#positions");
    for (const PositionKey& key : k.positions) {
        w.Vec(key.value);
        w.RawF(key.time);
    }
    w.Mark(SectionKind::Data, w.Path() + "#rotations");
    for (const RotationKey& key : k.rotations) {
        w.Vec(key.value);
        w.RawF(key.time);
    }
    if (withScales) {
        w.Mark(SectionKind::Data, w.Path() + "#scales");
        for (const ScaleKey& key : k.scales) {
            w.Vec(key.value);
            w.RawF(key.time);
        }
    }
    // The frame tables follow only when the track has frames, one per kind that has keys.
    if (frameCount == 0) return;
    if (!k.positions.empty()) w.U32Array("positionFrames", k.positionFrames);
    if (!k.rotations.empty()) w.U32Array("rotationFrames", k.rotationFrames);
    if (withScales && !k.scales.empty()) w.U32Array("scaleFrames", k.scaleFrames);
}

void WriteBoundChunk(ChunkStreamWriter& w, const BoundDesc& bound, const std::string& name) {
    w.BeginChunk(name, kTagBound, kSizeBound);
    // The local matrix is taken as it stands, so its floats go out in their own order.
    for (float v : bound.local.m) w.RawF(v);
    w.U32("kind", bound.kind);
    w.U32("shapeWord", bound.shapeWord);
    w.Zeros(64);
    w.EndRecord();
    if (bound.kind == 0) WriteBoundSphereChunk(w, bound, "shape");
    if (bound.kind == 1) WriteBoundCapsuleChunk(w, bound, "shape");
    w.String("name", bound.name);
    w.EndChunk();
}

void WriteBoundSphereChunk(ChunkStreamWriter& w, const BoundDesc& bound, const std::string& name) {
    w.BeginChunk(name, kTagBoundSphere, kSizeBoundSphere);
    w.F32("radius", bound.radius);
    w.Zeros(64);
    w.EndRecord();
    w.EndChunk();
}

void WriteBoundCapsuleChunk(ChunkStreamWriter& w, const BoundDesc& bound,
                            const std::string& name) {
    w.BeginChunk(name, kTagBoundCapsule, kSizeBoundCapsule);
    w.F32("radius", bound.radius);
    w.F32("height", bound.height);
    w.Zeros(64);
    w.EndRecord();
    w.EndChunk();
}

}  // namespace ZelModelGen
