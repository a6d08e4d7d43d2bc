#include "modelgen/LevelMeshFile.h"

#include "modelgen/ChunkWriters.h"
#include "modelgen/RecordWriter.h"

namespace ZelModelGen {

namespace {

void Name(RecordWriter& w, const std::string& name, const std::string& text) {
    std::string path = w.PathOf(name);
    w.Mark(SectionKind::String, path);
    StringFault fault = w.StringFaultOf(path);
    w.Raw32(fault.length.value_or(Count32(text.size())));
    if (!fault.omitCharacters) w.Out().Text(text);
}

void WriteMeshBlock(RecordWriter& w, const MeshDesc& mesh) {
    Name(w, "material", mesh.material);
    std::uint32_t faces = Count32(mesh.indices.size() / 3);
    w.U32("faceCount", faces);
    w.U32("faceVectorCount", Count32(mesh.faceVectors.size()));
    w.U32("vertexCount", mesh.VertexCount());
    w.U32("colourCount", Count32(mesh.colours.size()));
    w.U32("normalFlag", mesh.normals.empty() ? 0 : 1);
    w.U32("uv0Flag", mesh.uv0.empty() ? 0 : 1);
    w.U32("uv1Flag", mesh.uv1.empty() ? 0 : 1);
    std::string facesPath = w.Path() + "#faces";
    w.Mark(SectionKind::Data, facesPath);
    for (std::uint32_t f = 0; f < faces; ++f) {
        w.Raw32(0);
        w.Raw32(0);
        for (std::uint32_t k = 3 * f; k < 3 * f + 3; ++k)
            w.Raw32(w.ElementValue(facesPath, k, mesh.indices[k]));
        w.Raw32(0);
    }
    w.Mark(SectionKind::Data, w.Path() + "#positions");
    for (Vec3 p : mesh.positions) w.Vec(p);
    w.Mark(SectionKind::Data, w.Path() + "#colours");
    for (Vec4 c : mesh.colours) w.Vec(Vec3{c.x, c.y, c.z});
    w.Mark(SectionKind::Data, w.Path() + "#uv0");
    for (Vec2 t : mesh.uv0) w.Vec(Vec2{t.x, 1.0f - t.y});
    w.Mark(SectionKind::Data, w.Path() + "#uv1");
    for (Vec2 t : mesh.uv1) w.Vec(Vec2{t.x, 1.0f - t.y});
    w.Mark(SectionKind::Data, w.Path() + "#faceVectors");
    for (Vec3 v : mesh.faceVectors) w.Vec(v);
    w.Mark(SectionKind::Data, w.Path() + "#normals");
    for (Vec3 n : mesh.normals) w.Vec(n);
}

}  // namespace

WrittenFile WriteLevelMeshFile(const LevelMeshDesc& level, const FaultPlan& faults) {
    RecordWriter w(faults);
    Name(w, "file", level.fileName);
    w.Enter("head");
    w.Mark(SectionKind::Block, "head");
    w.U32("sceneCount", level.sceneCount);
    w.Raw32(level.reserved);
    w.U32("skipCount", level.skipBlocks);
    w.Zeros(56 * std::size_t(level.skipBlocks));
    w.Leave();
    if (level.sceneCount > 0) {
        Name(w, "sceneName", level.sceneName);
        w.Enter("meshes");
        w.Mark(SectionKind::Block, "meshes");
        w.U32("meshCount", Count32(level.meshes.size()));
        w.U32("occluderCount", Count32(level.occluders.size()));
        w.Leave();
        for (std::size_t i = 0; i < level.meshes.size(); ++i) {
            w.Enter(Indexed("mesh", i));
            w.Mark(SectionKind::Block, w.Path());
            WriteMeshBlock(w, level.meshes[i]);
            w.Leave();
        }
    }
    w.Enter("points");
    w.Mark(SectionKind::Block, "points");
    w.U32("pointCount", Count32(level.points.size()));
    for (Vec3 p : level.points) w.Vec(p);
    w.Leave();
    w.Enter("indexWords");
    w.Mark(SectionKind::Block, "indexWords");
    w.U32("indexCount", Count32(level.indexWords.size()));
    // The words themselves are present only when there are points.
    if (!level.points.empty())
        for (std::uint32_t word : level.indexWords) w.Raw32(word);
    w.Leave();
    if (level.sceneCount > 0) {
        for (std::size_t i = 0; i < level.occluders.size(); ++i) {
            const OccluderDesc& o = level.occluders[i];
            w.Mark(SectionKind::Block, Indexed("occluder", i));
            for (Vec3 c : o.corners) w.Vec(c);
            w.Vec(o.p);
            w.Vec(o.q);
        }
    }
    return w.Finish();
}

}  // namespace ZelModelGen
