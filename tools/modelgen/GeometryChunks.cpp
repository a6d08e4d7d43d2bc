// Writers of the geometry chunk and what a mesh is made of: tags 1, 4, 14, 15, 16 and 17.
#include "modelgen/ChunkTags.h"
#include "modelgen/ChunkWriters.h"

namespace ZelModelGen {

std::string Indexed(const char* name, std::size_t i) { return name + std::to_string(i); }

void WriteColumnMajor(RecordWriter& w, const Matrix4& m) {
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) w.RawF(m.At(r, c));
}

void WriteGeometryChunk(ChunkStreamWriter& w, const GeometryDesc& g, const std::string& name) {
    w.BeginChunk(name, kTagGeometry, kSizeGeometry, g.resourceWord);
    w.U32("partCount", Count32(g.parts.size()));
    w.Vec(g.BoxMin());
    w.Vec(g.BoxMax());
    for (std::uint32_t word : g.headerWords) w.Raw32(word);
    // Always sixteen slots; those the description leaves out are identity.
    for (std::size_t i = 0; i < 16; ++i)
        WriteColumnMajor(w, i < g.matrices.size() ? g.matrices[i] : Matrix4{});
    w.U32("matrixCount", g.matrixCount ? *g.matrixCount : Count32(g.matrices.size()));
    w.U32("extraWordCount", Count32(g.extraWords.size()));
    w.U32("scaleCount", Count32(g.scales.size()));
    w.U32("translationCount", Count32(g.translations.size()));
    w.U32("rotationCount", Count32(g.rotations.size()));
    w.U32("animationCount", Count32(g.animations.size()));
    w.U32("materialFileCount", Count32(g.materialFiles.size()));
    w.EndRecord();

    w.U32Array("extraWords", g.extraWords);
    w.Mark(SectionKind::Data, w.Path() + "#scales");
    for (Vec3 v : g.scales) w.Vec(v);
    w.Mark(SectionKind::Data, w.Path() + "#translations");
    for (Vec3 v : g.translations) w.Vec(v);
    w.Mark(SectionKind::Data, w.Path() + "#rotations");
    for (Vec4 v : g.rotations) w.Vec(v);
    for (std::size_t i = 0; i < g.parts.size(); ++i) WritePartChunk(w, g.parts[i], Indexed("part", i));
    for (std::size_t i = 0; i < g.animations.size(); ++i)
        WriteAnimationTrackChunk(w, g.animations[i], Indexed("animation", i));
    for (std::size_t i = 0; i < g.materialFiles.size(); ++i)
        w.String(Indexed("materialFile", i), g.materialFiles[i]);
    w.EndChunk();
}

void WritePartChunk(ChunkStreamWriter& w, const PartDesc& part, const std::string& name) {
    switch (part.index()) {
        case 0: WriteMeshChunk(w, std::get<MeshDesc>(part), name); break;
        case 1: WriteSkinChunk(w, std::get<SkinDesc>(part), name); break;
        case 2: WriteMorphMeshChunk(w, std::get<MorphMeshDesc>(part), name); break;
        default: WriteClothMeshDataChunk(w, std::get<ClothMeshDesc>(part), name); break;
    }
}

void WriteMeshChunk(ChunkStreamWriter& w, const MeshDesc& mesh, const std::string& name) {
    w.BeginChunk(name, kTagMesh, kSizeMesh);
    w.Vec(mesh.BoxMin());
    w.Vec(mesh.BoxMax());
    w.Raw32(0);  // reserved
    w.U32("wordB", mesh.wordB);
    w.U32("wordC", mesh.wordC);
    w.U32("lodCount", Count32(mesh.groups.size()));
    w.U32("groupWord", mesh.groupWord);
    w.U32("vertexCount", mesh.VertexCount());
    w.U32("faceCount", mesh.FaceCount());
    w.U32("vertexBufferFlag", mesh.writeVertexBuffer ? 1 : 0);
    w.U32("indexBufferFlag", mesh.writeIndexBuffer ? 1 : 0);
    w.EndRecord();
    w.String("material", mesh.material);
    for (std::size_t i = 0; i < mesh.groups.size(); ++i)
        WriteLodStripChunk(w, mesh.groups[i], Indexed("lod", i));
    if (mesh.writeVertexBuffer) WriteVertexBufferChunk(w, mesh, "vertexBuffer");
    if (mesh.writeIndexBuffer) WriteIndexBufferChunk(w, mesh, "indexBuffer");
    w.EndChunk();
}

void WriteLodStripChunk(ChunkStreamWriter& w, const LodGroup& group, const std::string& name) {
    w.BeginChunk(name, kTagLodStrip, kSizeLodStrip);
    w.U32("entryCount", Count32(group.entries.size()));
    w.U32("primitiveCount", group.primitiveCount);
    w.EndRecord();
    for (std::size_t i = 0; i < group.entries.size(); ++i) {
        const LodEntry& e = group.entries[i];
        w.Enter(Indexed("entry", i));
        w.Mark(SectionKind::Data, w.Path());
        w.U32("primitive", e.primitive);
        w.U32("indexCount", e.indexCount);
        w.U32("drawCount", e.drawCount);
        w.U32("start", e.startByte);
        w.U32("value", e.value);
        w.Leave();
    }
    w.EndChunk();
}

void WriteVertexBufferChunk(ChunkStreamWriter& w, const MeshDesc& mesh, const std::string& name) {
    std::vector<PoolDesc> pools = PoolsOf(mesh);
    w.BeginChunk(name, kTagVertexBuffer, kSizeVertexBuffer);
    w.U32("vertexCount", mesh.VertexCount());
    w.U32("poolCount", Count32(pools.size()));
    w.U32("kind", mesh.vertexKind);
    w.EndRecord();
    for (std::size_t i = 0; i < pools.size(); ++i) WriteVertexPoolChunk(w, pools[i], Indexed("pool", i));
    w.EndChunk();
}

void WriteVertexPoolChunk(ChunkStreamWriter& w, const PoolDesc& pool, const std::string& name) {
    w.BeginChunk(name, kTagVertexPool, kSizeVertexPool);
    w.U32("elementCount", pool.elementCount);
    w.U32("dataSize", Count32(pool.data.size()));
    w.U32("semantic", pool.semantic);
    w.U32("elementType", pool.elementType);
    w.U32("furtherWord", pool.furtherWord);
    w.EndRecord();
    w.Mark(SectionKind::Data, w.Path() + "#elements");
    w.Bytes(pool.data);
    w.EndChunk();
}

void WriteIndexBufferChunk(ChunkStreamWriter& w, const MeshDesc& mesh, const std::string& name) {
    w.BeginChunk(name, kTagIndexBuffer, kSizeIndexBuffer);
    w.U32("indexCount", Count32(mesh.indices.size()));
    w.U32("bufferOffset", mesh.indexBufferOffset);
    w.Raw32(0);  // reserved
    w.U32("usage", mesh.indexUsage);
    w.U32("flags", mesh.indexFlags);
    w.EndRecord();
    w.U32Array("indices", mesh.indices);
    w.EndChunk();
}

}  // namespace ZelModelGen
