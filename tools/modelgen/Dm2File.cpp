#include "modelgen/Dm2File.h"

#include "modelgen/ChunkWriters.h"
#include "modelgen/StdioChunkWriter.h"

namespace ZelModelGen {

namespace {

constexpr std::uint32_t kHeaderBody = 64;
constexpr std::uint32_t kGeometryBody = 1080;
constexpr std::uint32_t kMeshBody = 412;
constexpr std::size_t kMeshNameField = 256;

void WriteMesh(StdioChunkWriter& w, const MeshDesc& mesh, const std::string& name) {
    std::uint32_t v = mesh.VertexCount();
    std::uint32_t normalOffset = 0, uvOffset = 0, colourOffset = 0;
    std::uint32_t at = 12 * v;
    if (!mesh.normals.empty()) {
        normalOffset = at;
        at += 12 * Count32(mesh.normals.size());
    }
    if (!mesh.uv0.empty()) {
        uvOffset = at;
        at += 8 * Count32(mesh.uv0.size());
    }
    if (!mesh.colours.empty()) {
        colourOffset = at;
        at += 4 * Count32(mesh.colours.size());
    }

    w.BeginChunk(name, 4, kMeshBody);
    w.U32("vertexBlockSize", at);
    w.U32("indexBlockSize", 4 * Count32(mesh.indices.size()));
    w.U32("vertexCount", v);
    w.Vec(mesh.BoxMin());
    w.Vec(mesh.BoxMax());
    w.U32("normalOffset", normalOffset);
    w.U32("uvOffset", uvOffset);
    w.Raw32(0);
    w.U32("colourOffset", colourOffset);
    w.Zeros(20);
    w.U32("groupCount", Count32(mesh.groups.size()));
    w.Zeros(8);
    WriteColumnMajor(w, mesh.transform);
    w.U32("extraWord", mesh.extraWord);
    w.Raw32(0);
    w.Mark(SectionKind::String, w.PathOf("name"));
    std::string field = mesh.name.substr(0, kMeshNameField);
    field.resize(kMeshNameField, '\0');
    w.Out().Text(field);
    w.EndBody();

    w.Mark(SectionKind::Data, w.Path() + "#groups");
    for (std::size_t g = 0; g < mesh.groups.size(); ++g) {
        const LodGroup& group = mesh.groups[g];
        w.Enter(Indexed("group", g));
        w.U32("entryCount", Count32(group.entries.size()));
        w.U32("value", group.primitiveCount);
        for (const LodEntry& e : group.entries) {
            w.Raw32(e.primitive == 4 ? 5 : 4);
            w.Raw32(e.indexCount);
            w.Raw32(e.startByte);
            w.Raw32(e.value);
        }
        w.Leave();
    }
    w.Mark(SectionKind::Data, w.Path() + "#vertices");
    for (Vec3 p : mesh.positions) w.Vec(p);
    for (Vec3 n : mesh.normals) w.Vec(n);
    for (Vec2 t : mesh.uv0) w.Vec(Vec2{t.x, 1.0f - t.y});
    for (Vec4 c : mesh.colours) w.Raw32(PackAbgr(c));
    w.U32Array("indices", mesh.indices);
    w.EndChunk();
}

}  // namespace

WrittenFile WriteDm2File(const GeometryDesc& g, const Dm2Options& options,
                         const FaultPlan& faults) {
    StdioChunkWriter w(faults);
    w.BeginChunk("header", options.headerTag, kHeaderBody);
    std::size_t headerBody = w.Size();
    w.Raw32(0);
    w.Raw32(0);  // the geometry offset, patched below
    w.U32("extraFlag", options.extraChunk ? 1 : 0);
    w.Raw32(0);
    w.Raw32(0);
    w.U32("libraryCount", Count32(g.materialFiles.size()));
    w.Zeros(kHeaderBody - 24);
    w.EndBody();
    w.EndChunk();

    for (std::size_t i = 0; i < g.materialFiles.size(); ++i) {
        std::string body = g.materialFiles[i];
        std::string name = Indexed("library", i);
        if (!w.StringFaultOf(name).dropNul) body.push_back('\0');
        w.BeginChunk(name, 2, Count32(body.size()));
        w.Out().Text(body);
        w.EndBody();
        w.EndChunk();
    }
    if (options.extraChunk) {
        w.BeginChunk("extra", 0, Count32(options.extraBytes.size()));
        w.Bytes(options.extraBytes);
        w.EndBody();
        w.EndChunk();
    }

    w.PatchField(headerBody + 4, "header", "geometryOffset", Count32(w.Size()));
    w.BeginChunk("geometry", options.geometryTag, kGeometryBody);
    for (int i = 0; i < 5; ++i) w.Raw32(g.headerWords[i]);
    w.Zeros(24);
    w.U32("meshCount", Count32(g.parts.size()));
    w.Raw32(0);
    for (std::size_t i = 0; i < 16; ++i)
        for (float f : (i < g.matrices.size() ? g.matrices[i] : Matrix4{}).m) w.RawF(f);
    w.U32("matrixCount", g.matrixCount ? *g.matrixCount : Count32(g.matrices.size()));
    w.EndBody();
    w.EndChunk();

    for (std::size_t i = 0; i < g.parts.size(); ++i) WriteMesh(w, MainMeshOf(g.parts[i]), Indexed("mesh", i));
    return w.Finish();
}

}  // namespace ZelModelGen
