// Writers of the remaining top-level chunk files' chunks: body parts and body textures (25, 26),
// morph geometry and morph meshes (27, 28), cloth geometry and cloth mesh data (23, 24).
#include "modelgen/ChunkTags.h"
#include "modelgen/ChunkWriters.h"

namespace ZelModelGen {

void WriteBodyPartChunk(ChunkStreamWriter& w, const BodyPartDesc& part, const std::string& name) {
    w.BeginChunk(name, kTagBodyPart, kSizeBodyPart, part.resourceWord);
    w.U32("packedWord", part.PackedWord());
    w.U32("setting3", part.setting3);
    w.U32("skinCount", Count32(part.skins.size()));
    w.U32("textureCount", Count32(part.textures.size()));
    w.U32("selectorCount", Count32(part.selectors.size()));
    w.EndRecord();
    for (std::size_t i = 0; i < part.skins.size(); ++i) {
        w.String(Indexed("skinName", i), part.skins[i].name);
        WriteSkinnedGeometryChunk(w, part.skins[i].skin, Indexed("skin", i));
    }
    for (std::size_t i = 0; i < part.textures.size(); ++i) {
        w.String(Indexed("textureName", i), part.textures[i].name);
        WriteBodyTextureChunk(w, part.textures[i], Indexed("texture", i));
    }
    for (std::size_t i = 0; i < part.selectors.size(); ++i) {
        const SelectorDesc& s = part.selectors[i];
        w.Enter(Indexed("selector", i));
        w.Mark(SectionKind::Data, w.Path());
        w.U32("word0", s.words[0]);
        w.U32("word1", s.words[1]);
        w.U32("word2", s.words[2]);
        w.U32("word3", s.words[3]);
        w.Zeros(256);
        w.String("skinName", s.skinName);
        w.String("materialName", s.materialName);
        w.Leave();
    }
    w.String("defaultMesh", part.defaultMesh);
    w.String("defaultTexture", part.defaultTexture);
    w.EndChunk();
}

void WriteBodyTextureChunk(ChunkStreamWriter& w, const BodyTextureDesc& t,
                           const std::string& name) {
    w.BeginChunk(name, kTagBodyTexture, kSizeBodyTexture, t.resourceWord);
    w.U32("slot", t.slot);
    w.U32("reserved", t.reserved);
    w.U32("imageSize", Count32(t.image.size()));
    w.EndRecord();
    w.String("fileName", t.fileName);
    w.Mark(SectionKind::Data, w.Path() + "#image");
    w.Bytes(t.image);
    w.EndChunk();
}

void WriteMorphGeometryChunk(ChunkStreamWriter& w, const MorphGeometryDesc& m,
                             const std::string& name) {
    w.BeginChunk(name, kTagMorphGeometry, kSizeMorphGeometry, m.resourceWord);
    w.F32("morphValue", m.morphValue);
    w.U32("morphFlag", m.morphFlag);
    w.I32("morphMeshCount", static_cast<std::int32_t>(m.morphMeshes.size()));
    w.Zeros(256);
    w.EndRecord();
    WriteGeometryChunk(w, m.geometry, "geometry");
    for (std::size_t i = 0; i < m.morphMeshes.size(); ++i)
        WriteMorphMeshChunk(w, m.morphMeshes[i], Indexed("morphMesh", i));
    w.EndChunk();
}

void WriteMorphMeshChunk(ChunkStreamWriter& w, const MorphMeshDesc& m, const std::string& name) {
    w.BeginChunk(name, kTagMorphMesh, kSizeMorphMesh);
    w.I32("keyCount", static_cast<std::int32_t>(m.keys.size()));
    w.U32("morphWord", m.morphWord);
    w.Zeros(256);
    w.EndRecord();
    WriteMeshChunk(w, m.mesh, "mesh");
    for (std::size_t i = 0; i < m.keys.size(); ++i) {
        const MorphKey& key = m.keys[i];
        w.Enter(Indexed("key", i));
        w.Mark(SectionKind::Data, w.Path());
        w.F32("value", key.value);
        w.Raw32(0);  // reserved
        w.Out().U8(key.flag);
        w.Zeros(3);
        WriteMorphMeshChunk(w, key.target, "target");
        w.Leave();
    }
    w.EndChunk();
}

void WriteClothGeometryChunk(ChunkStreamWriter& w, const ClothGeometryDesc& c,
                             const std::string& name) {
    w.BeginChunk(name, kTagClothGeometry, kSizeClothGeometry, c.resourceWord);
    w.U32("flagWord", c.flagWord);
    w.U32("boundCount", Count32(c.bounds.size()));
    w.U32("pointCount", Count32(c.points.size()));
    w.EndRecord();
    WriteGeometryChunk(w, c.geometry, "geometry");
    for (std::size_t i = 0; i < c.bounds.size(); ++i) WriteBoundChunk(w, c.bounds[i], Indexed("bound", i));
    w.Mark(SectionKind::Data, w.Path() + "#points");
    for (Vec3 p : c.points) w.Vec(p);
    w.EndChunk();
}

void WriteClothMeshDataChunk(ChunkStreamWriter& w, const ClothMeshDesc& c,
                             const std::string& name) {
    w.BeginChunk(name, kTagClothMeshData, kSizeClothMeshData);
    for (float p : c.params) w.RawF(p);
    w.U32("pointCountA", Count32(c.pointsA.size()));
    w.U32("pointCountB", Count32(c.pointsB.size()));
    w.U32("recordCount", Count32(c.records.size()));
    w.U32("pointsAFlag", c.pointsA.empty() ? 0 : 1);
    w.Raw32(0);  // reserved
    w.U32("pointsBFlag", c.pointsB.empty() ? 0 : 1);
    w.U32("indicesAFlag", c.indicesA.empty() ? 0 : 1);
    w.U32("indicesBFlag", c.indicesB.empty() ? 0 : 1);
    w.Raw32(0);  // reserved
    w.U32("sortKey", c.sortKey);
    w.U32("subPartCount", Count32(c.subParts.size()));
    w.U32("indexCount", c.IndexCount());
    w.Zeros(256);
    w.EndRecord();
    WriteMeshChunk(w, c.mesh, "mesh");
    for (std::size_t i = 0; i < c.subParts.size(); ++i) {
        const ClothSubPart& sub = c.subParts[i];
        w.Enter(Indexed("subPart", i));
        w.Mark(SectionKind::Data, w.Path());
        w.U32("kind", sub.kind);
        w.Raw32(0);  // reserved
        if (sub.kind == 0) WriteMeshChunk(w, sub.mesh, "mesh");
        if (sub.kind == 1) WriteSkinChunk(w, sub.skin, "skin");
        w.Leave();
    }
    w.Mark(SectionKind::Data, w.Path() + "#records");
    for (const auto& record : c.records) w.Out().Bytes(record.data(), record.size());
    w.Mark(SectionKind::Data, w.Path() + "#pointsA");
    for (Vec3 p : c.pointsA) w.Vec(p);
    w.Mark(SectionKind::Data, w.Path() + "#pointsB");
    for (Vec3 p : c.pointsB) w.Vec(p);
    w.U32Array("indicesA", c.indicesA);
    w.U32Array("indicesB", c.indicesB);
    w.EndChunk();
}

}  // namespace ZelModelGen
