#include "modelgen/ModelFiles.h"

#include <stdexcept>

#include "modelgen/ChunkTags.h"
#include "modelgen/ChunkWriters.h"

namespace ZelModelGen {

namespace {

constexpr std::size_t kPlainTrackRecordSize = 184;

template <typename Desc, typename Writer>
WrittenFile WriteRoot(const Desc& desc, const FaultPlan& faults, const char* root, Writer write) {
    ChunkStreamWriter w(faults);
    write(w, desc, root);
    return w.Finish();
}

}  // namespace

WrittenFile WriteGeometryFile(const GeometryDesc& g, const FaultPlan& faults) {
    return WriteRoot(g, faults, "geometry", WriteGeometryChunk);
}

WrittenFile WriteSkinnedGeometryFile(const SkinnedGeometryDesc& s, const FaultPlan& faults) {
    return WriteRoot(s, faults, "skinnedGeometry", WriteSkinnedGeometryChunk);
}

WrittenFile WriteBodyPartFile(const BodyPartDesc& part, const FaultPlan& faults) {
    return WriteRoot(part, faults, "bodyPart", WriteBodyPartChunk);
}

WrittenFile WriteMorphGeometryFile(const MorphGeometryDesc& m, const FaultPlan& faults) {
    return WriteRoot(m, faults, "morphGeometry", WriteMorphGeometryChunk);
}

WrittenFile WriteClothGeometryFile(const ClothGeometryDesc& c, const FaultPlan& faults) {
    return WriteRoot(c, faults, "clothGeometry", WriteClothGeometryChunk);
}

WrittenFile WriteLodCompanion(const std::vector<const MeshDesc*>& meshes,
                              const FaultPlan& faults) {
    ChunkStreamWriter w(faults);
    for (std::size_t i = 0; i < meshes.size(); ++i) {
        const MeshDesc& mesh = *meshes[i];
        w.Enter(Indexed("mesh", i));
        w.Mark(SectionKind::Block, w.Path());
        w.U32("stripTotal", Count32(mesh.groups.size() + mesh.lodGroups.size()));
        // Companion groups carry on the numbering of the main file's groups.
        for (std::size_t k = 0; k < mesh.lodGroups.size(); ++k)
            WriteLodStripChunk(w, mesh.lodGroups[k], Indexed("lod", mesh.groups.size() + k));
        if (mesh.writeIndexBuffer) {
            w.BeginChunk("indexBuffer", kTagIndexBuffer, kSizeIndexBuffer);
            w.U32("lodIndexCount", Count32(mesh.lodIndices.size()));
            w.U32("baseIndexCount", mesh.lodBaseIndexCount ? *mesh.lodBaseIndexCount
                                                           : Count32(mesh.indices.size()));
            w.U32("clearBytes", mesh.lodClearBytes);
            w.U32("word0", mesh.lodWords[0]);
            w.U32("word1", mesh.lodWords[1]);
            w.EndRecord();
            w.U32Array("indices", mesh.lodIndices);
            w.EndChunk();
        }
        w.Leave();
    }
    return w.Finish();
}

std::vector<const MeshDesc*> CompanionMeshes(const BodyPartDesc& part) {
    std::vector<const MeshDesc*> out;
    for (const BodyPartSkinDesc& skin : part.skins) {
        std::vector<const MeshDesc*> meshes = MeshesInReadOrder(skin.skin.geometry);
        out.insert(out.end(), meshes.begin(), meshes.end());
    }
    return out;
}

std::vector<const MeshDesc*> CompanionMeshes(const ClothGeometryDesc& cloth) {
    return MeshesInReadOrder(cloth.geometry);
}

WrittenFile WritePlainActionFile(const PlainActionDesc& action, const FaultPlan& faults) {
    RecordWriter w(faults);
    w.Enter("action");
    w.Mark(SectionKind::Block, "action#header");
    w.Zeros(20);
    w.U32("trackCount", Count32(action.tracks.size()));
    w.Mark(SectionKind::Data, "action#entries");
    std::vector<std::size_t> entryOffsets;
    for (std::size_t i = 0; i < action.tracks.size(); ++i) {
        w.Mark(SectionKind::Data, w.PathOf(Indexed("entry", i)));
        w.Raw32(0);
        entryOffsets.push_back(w.Size());
        w.Raw32(0);  // the track block's offset, known once the block is placed
        w.Zeros(64);
    }
    w.Mark(SectionKind::Block, "action#action");
    w.F32("length", action.length);
    w.Raw32(0);
    w.U32("boneCount", Count32(action.boneIndices.size()));
    w.Zeros(72);
    w.U32Array("boneIndices", action.boneIndices);
    for (std::size_t i = 0; i < action.tracks.size(); ++i) {
        const AnimTrackDesc& t = action.tracks[i];
        w.PatchField(entryOffsets[i], w.PathOf(Indexed("entry", i)), "offset",
                     Count32(w.Size()));
        w.Enter(Indexed("track", i));
        w.Mark(SectionKind::Block, w.Path());
        w.Zeros(24);
        w.Mark(SectionKind::Record, w.Path() + "#record");
        std::size_t recordStart = w.Size();
        w.U32("word0", t.word0);
        w.F32("value0", t.value0);
        w.F32("value1", t.value1);
        w.U32("word1", t.word1);
        w.U32("frameCount", t.frameCount);
        w.U32("flags", t.flags);
        w.Vec(t.vector1);
        for (float v : t.vectors23) w.RawF(v);
        w.U32("boneIndex", t.boneIndex);
        w.Raw32(0);
        w.U32("frameCountCopy", t.frameCount);
        for (std::uint32_t word : t.keys.words) w.Raw32(word);
        w.U32("positionCount", Count32(t.keys.positions.size()));
        w.U32("rotationCount", Count32(t.keys.rotations.size()));
        w.Zeros(68);
        if (w.Size() - recordStart != kPlainTrackRecordSize)
            throw std::logic_error("plain track record is not 184 bytes");
        WriteKeyArrays(w, t.keys, t.frameCount, false);
        w.Leave();
    }
    w.Leave();
    return w.Finish();
}

}  // namespace ZelModelGen
