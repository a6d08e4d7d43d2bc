#include "modelgen/AseFile.h"

#include <stdexcept>

#include "modelgen/ChunkWriters.h"
#include "modelgen/ModelMath.h"

namespace ZelModelGen {

namespace {

using T = TextWriter;

std::string Triple(Vec3 v) { return T::Num(v.x) + "\t" + T::Num(v.y) + "\t" + T::Num(v.z); }

void CountLine(TextWriter& w, const char* keyword, std::size_t count) {
    w.Line(std::string("*") + keyword + " " + T::Num(w.FieldValue(keyword, Count32(count))));
}

void WriteMap(TextWriter& w, const AseMapDesc& map, const std::string& name) {
    w.Open(name, "*" + map.slot);
    w.Line("*MAP_NAME " + T::Quoted(map.name));
    w.Line("*MAP_CLASS " + T::Quoted(map.className));
    w.Line("*MAP_SUBNO " + T::Num(map.subNo));
    w.Line("*MAP_AMOUNT " + T::Num(map.amount));
    w.Line("*BITMAP " + T::Quoted(map.bitmap));
    w.Line("*MAP_TYPE " + map.mapType);
    w.Line("*UVW_U_OFFSET " + T::Num(map.uOffset));
    w.Line("*UVW_V_OFFSET " + T::Num(map.vOffset));
    w.Line("*UVW_U_TILING " + T::Num(map.uTiling));
    w.Line("*UVW_V_TILING " + T::Num(map.vTiling));
    w.Line("*UVW_ANGLE " + T::Num(map.angle));
    w.Line("*UVW_BLUR " + T::Num(map.blur));
    w.Line("*UVW_BLUR_OFFSET " + T::Num(map.blurOffset));
    w.Line("*UVW_NOUSE_AMT " + T::Num(map.noiseAmount));
    w.Line("*UVW_NOISE_SIZE " + T::Num(map.noiseSize));
    w.Line("*UVW_NOISE_LEVEL " + T::Num(map.noiseLevel));
    w.Line("*UVW_NOISE_PHASE " + T::Num(map.noisePhase));
    w.Line("*BITMAP_FILTER " + map.bitmapFilter);
    for (std::size_t i = 0; i < map.generics.size(); ++i) {
        AseMapDesc nested = map.generics[i];
        nested.slot = "MAP_GENERIC";
        WriteMap(w, nested, Indexed("map", i));
    }
    w.Close();
}

void WriteMaterial(TextWriter& w, const AseMaterialDesc& m, const std::string& name,
                   const std::string& opening) {
    w.Open(name, opening);
    w.Line("*MATERIAL_NAME " + T::Quoted(m.name));
    w.Line("*MATERIAL_CLASS " + T::Quoted(m.className));
    w.Line("*MATERIAL_AMBIENT " + Triple(m.ambient));
    w.Line("*MATERIAL_DIFFUSE " + Triple(m.diffuse));
    w.Line("*MATERIAL_SPECULAR " + Triple(m.specular));
    w.Line("*MATERIAL_SHINE " + T::Num(m.shine));
    w.Line("*MATERIAL_SHINESTRENGTH " + T::Num(m.shineStrength));
    w.Line("*MATERIAL_TRANSPARENCY " + T::Num(m.transparency));
    w.Line("*MATERIAL_WIRESIZE " + T::Num(m.wireSize));
    w.Line("*MATERIAL_SHADING " + m.shading);
    w.Line("*MATERIAL_XP_FALLOFF " + T::Num(m.xpFalloff));
    w.Line("*MATERIAL_SELFILLUM " + T::Num(m.selfIllum));
    if (m.twoSided) w.Line("*MATERIAL_TWOSIDED");
    w.Line("*MATERIAL_FALLOFF " + m.falloff);
    w.Line("*MATERIAL_XP_TYPE " + m.xpType);
    for (std::size_t i = 0; i < m.maps.size(); ++i) WriteMap(w, m.maps[i], Indexed("map", i));
    if (!m.subMaterials.empty()) {
        CountLine(w, "NUMSUBMTLS", m.subMaterials.size());
        for (std::size_t i = 0; i < m.subMaterials.size(); ++i)
            WriteMaterial(w, m.subMaterials[i], Indexed("sub", i), "*SUBMATERIAL " + T::Num(int(i)));
    }
    w.Close();
}

void WriteNode(TextWriter& w, const AseObjectDesc& o) {
    Matrix4 m = o.node.Matrix();
    w.Open("node", "*NODE_TM");
    if (o.name) w.Line("*NODE_NAME " + T::Quoted(*o.name));
    w.Line("*INHERIT_POS 0 0 0");
    w.Line("*INHERIT_ROT 0 0 0");
    w.Line("*INHERIT_SCL 0 0 0");
    for (int r = 0; r < 4; ++r)
        w.Line("*TM_ROW" + T::Num(r) + " " + Triple({m.At(r, 0), m.At(r, 1), m.At(r, 2)}));
    w.Line("*TM_POS " + Triple({m.At(3, 0), m.At(3, 1), m.At(3, 2)}));
    w.Line("*TM_ROTAXIS " + Triple(o.node.rotationAxis));
    w.Line("*TM_ROTANGLE " + T::Num(o.node.rotationAngle));
    w.Line("*TM_SCALE " + Triple(o.node.scale));
    w.Line("*TM_SCALEAXIS 0.0\t0.0\t0.0");
    w.Line("*TM_SCALEAXISANG 0.0");
    w.Close();
}

std::string Corners(const std::array<std::uint32_t, 3>& f) {
    return T::Num(f[0]) + "\t" + T::Num(f[1]) + "\t" + T::Num(f[2]);
}

void WriteMesh(TextWriter& w, const AseMeshDesc& mesh, const std::string& name) {
    w.Open(name, "*MESH");
    w.Line("*TIMEVALUE " + T::Num(mesh.timeValue));
    CountLine(w, "MESH_NUMVERTEX", mesh.vertices.size());
    CountLine(w, "MESH_NUMFACES", mesh.faces.size());
    w.Open("vertices", "*MESH_VERTEX_LIST");
    for (std::size_t i = 0; i < mesh.vertices.size(); ++i)
        w.Line("*MESH_VERTEX " + T::Num(Count32(i)) + "\t" + Triple(mesh.vertices[i]));
    w.Close();
    w.Open("faces", "*MESH_FACE_LIST");
    for (std::size_t i = 0; i < mesh.faces.size(); ++i) {
        const AseFace& f = mesh.faces[i];
        w.Line("*MESH_FACE " + T::Num(Count32(i)) + ":\tA: " + T::Num(f.a) + " B: " + T::Num(f.b) +
               " C: " + T::Num(f.c) + " AB: 1 BC: 1 CA: 0\t *MESH_SMOOTHING " +
               T::Num(f.smoothing) + " \t*MESH_MTLID " + T::Num(f.materialId));
    }
    w.Close();
    if (!mesh.texVertices.empty() || !mesh.texFaces.empty()) {
        CountLine(w, "MESH_NUMTVERTEX", mesh.texVertices.size());
        w.Open("tvertices", "*MESH_TVERTLIST");
        for (std::size_t i = 0; i < mesh.texVertices.size(); ++i)
            w.Line("*MESH_TVERT " + T::Num(Count32(i)) + "\t" + Triple(mesh.texVertices[i]));
        w.Close();
        CountLine(w, "MESH_NUMTVFACES", mesh.texFaces.size());
        w.Open("tfaces", "*MESH_TFACELIST");
        for (std::size_t i = 0; i < mesh.texFaces.size(); ++i)
            w.Line("*MESH_TFACE " + T::Num(Count32(i)) + "\t" + Corners(mesh.texFaces[i]));
        w.Close();
    }
    CountLine(w, "MESH_NUMCVERTEX", mesh.colorVertices.size());
    if (!mesh.colorVertices.empty() || !mesh.colorFaces.empty()) {
        w.Open("cvertices", "*MESH_CVERTLIST");
        for (std::size_t i = 0; i < mesh.colorVertices.size(); ++i)
            w.Line("*MESH_VERTCOL " + T::Num(Count32(i)) + "\t" + Triple(mesh.colorVertices[i]));
        w.Close();
        CountLine(w, "MESH_NUMCVFACES", mesh.colorFaces.size());
        w.Open("cfaces", "*MESH_CFACELIST");
        for (std::size_t i = 0; i < mesh.colorFaces.size(); ++i)
            w.Line("*MESH_CFACE " + T::Num(Count32(i)) + "\t" + Corners(mesh.colorFaces[i]));
        w.Close();
    }
    if (!mesh.faceNormals.empty()) {
        w.Open("normals", "*MESH_NORMALS");
        for (std::size_t i = 0; i < mesh.faceNormals.size(); ++i) {
            w.Line("*MESH_FACENORMAL " + T::Num(Count32(i)) + "\t" + Triple(mesh.faceNormals[i]));
            if (i >= mesh.cornerNormals.size() || i >= mesh.faces.size()) continue;
            const AseFace& f = mesh.faces[i];
            const std::uint32_t corner[3] = {f.a, f.b, f.c};
            for (int k = 0; k < 3; ++k)
                w.Line("\t*MESH_VERTEXNORMAL " + T::Num(corner[k]) + "\t" +
                       Triple(mesh.cornerNormals[i][k]));
        }
        w.Close();
    }
    w.Close();
}

struct ChannelNames {
    const char* block;
    const char* line;
};

ChannelNames PositionNames(AseController c) {
    switch (c) {
        case AseController::Sample: return {"CONTROL_POS_TRACK", "CONTROL_POS_SAMPLE"};
        case AseController::Linear: return {"CONTROL_POS_LINEAR", "CONTROL_POS_KEY"};
        case AseController::Tcb: return {"CONTROL_POS_TCB", "CONTROL_TCB_POS_KEY"};
        default: return {"CONTROL_POS_BEZIER", "CONTROL_BEZIER_POS_KEY"};
    }
}

ChannelNames RotationNames(AseController c) {
    switch (c) {
        case AseController::Sample: return {"CONTROL_ROT_TRACK", "CONTROL_ROT_SAMPLE"};
        case AseController::Linear: return {"CONTROL_ROT_LINEAR", "CONTROL_ROT_KEY"};
        case AseController::Tcb: return {"CONTROL_ROT_TCB", "CONTROL_TCB_ROT_KEY"};
        default: throw std::invalid_argument("rotation keys have no Bezier controller");
    }
}

ChannelNames ScaleNames(AseController c) {
    switch (c) {
        case AseController::Sample: return {"CONTROL_SCALE_TRACK", "CONTROL_SCALE_SAMPLE"};
        case AseController::Linear: return {"CONTROL_SCALE_LINEAR", "CONTROL_SCALE_KEY"};
        case AseController::Tcb: return {"CONTROL_SCALE_TCB", "CONTROL_TCB_SCALE_KEY"};
        default: return {"CONTROL_SCALE_BEZIER", "CONTROL_BEZIER_SCALE_KEY"};
    }
}

std::string Tcb(const float (&tcb)[5]) {
    std::string s;
    for (float v : tcb) s += "\t" + T::Num(v);
    return s;
}

void WriteAnimation(TextWriter& w, const AseObjectDesc& o) {
    const AseAnimationDesc& a = *o.animation;
    w.Open("animation", "*TM_ANIMATION");
    if (o.name) w.Line("*NODE_NAME " + T::Quoted(*o.name));
    if (!a.positions.empty()) {
        ChannelNames n = PositionNames(a.positionController);
        w.Open("position", std::string("*") + n.block);
        for (const AsePositionKey& k : a.positions) {
            std::string line = std::string("*") + n.line + " " + T::Num(k.time) + "\t" + Triple(k.value);
            if (a.positionController == AseController::Tcb) line += Tcb(k.tcb);
            // In and out tangents and flags of a Bezier key.
            if (a.positionController == AseController::Bezier) line += "\t0.0\t0.0\t0.0\t0.0\t0.0\t0.0\t0";
            w.Line(line);
        }
        w.Close();
    }
    if (!a.rotations.empty()) {
        ChannelNames n = RotationNames(a.rotationController);
        w.Open("rotation", std::string("*") + n.block);
        for (const AseRotationKey& k : a.rotations) {
            std::string line = std::string("*") + n.line + " " + T::Num(k.time) + "\t" +
                               Triple(k.axis) + "\t" + T::Num(k.angle);
            if (a.rotationController == AseController::Tcb) line += Tcb(k.tcb);
            w.Line(line);
        }
        w.Close();
    }
    if (!a.scales.empty()) {
        ChannelNames n = ScaleNames(a.scaleController);
        w.Open("scale", std::string("*") + n.block);
        for (const AseScaleKey& k : a.scales)
            w.Line(std::string("*") + n.line + " " + T::Num(k.time) + "\t" + Triple(k.value) + "\t" +
                   Triple(k.axis) + "\t" + T::Num(k.angle));
        w.Close();
    }
    w.Close();
}

void WriteStripList(TextWriter& w, const std::vector<AseStrip>& strips) {
    std::size_t i = 0, run = 0;
    while (i < strips.size()) {
        int smoothing = strips[i].smoothing;
        w.Line("*SMOOTHGROUP " + T::Num(smoothing));
        w.Open(Indexed("strips", run++), "*STRIPS");
        for (std::size_t k = 0; i < strips.size() && strips[i].smoothing == smoothing; ++i, ++k) {
            std::string line = "*Strip " + T::Num(Count32(k)) + ":";
            for (std::uint32_t index : strips[i].indices) line += " " + T::Num(index);
            w.Line(line);
        }
        w.Close();
    }
}

template <typename V>
V At(const std::vector<V>& values, std::size_t i) {
    return i < values.size() ? values[i] : V{};
}

void WriteStripSet(TextWriter& w, const AseStripSetDesc& set, bool tex, bool normals,
                   bool colours) {
    w.Line("*SUBMAT " + T::Num(set.subMaterial));
    CountLine(w, "STRIP_NUMVERTS", set.positions.size());
    w.Open("verts", "*SUBMAT_VERTS");
    for (std::size_t v = 0; v < set.positions.size(); ++v) {
        if (v < set.weights.size() && !set.weights[v].empty()) {
            w.Line("*V_weight");
            w.Line("*Influence_Bone: " + T::Num(Count32(set.weights[v].size())));
            for (const AseBoneWeight& bw : set.weights[v]) {
                w.Line("*Bname: " + T::Quoted(bw.bone));
                w.Line("*Weight: " + T::Num(bw.weight));
            }
        }
        Vec3 p = set.positions[v];
        std::string line = "*Vert3ds " + T::Num(Count32(v)) + ": " + T::Num(p.x) + " " +
                           T::Num(p.y) + " " + T::Num(p.z);
        if (tex) {
            Vec2 t = At(set.uvs, v);
            line += " UV: " + T::Num(t.x) + " " + T::Num(t.y);
        }
        if (colours) {
            Vec4 c = At(set.colours, v);
            line += " VertColor: " + T::Num(c.x) + " " + T::Num(c.y) + " " + T::Num(c.z) + " " +
                    T::Num(c.w);
        }
        if (normals) {
            Vec3 n = At(set.normals, v);
            line += " Normal: " + T::Num(n.x) + " " + T::Num(n.y) + " " + T::Num(n.z);
        }
        w.Line(line);
    }
    w.Close();
    w.Open("strips", "*SUBMAT_STRIPS");
    WriteStripList(w, set.strips);
    w.Close();
    if (!set.stripLods.empty()) {
        w.Open("stripLods", "*SUBMAT_STRIPS_LOD");
        for (std::size_t i = 0; i < set.stripLods.size(); ++i) {
            w.Open(Indexed("lod", i), "*SUBMAT_STRIPS_LOD");
            WriteStripList(w, set.stripLods[i]);
            w.Close();
        }
        w.Close();
    }
    if (!set.lods.empty()) {
        w.Open("levels", "*LEVELOFDETAIL");
        CountLine(w, "NUM_LEVELS", set.lods.size());
        for (std::size_t i = 0; i < set.lods.size(); ++i) {
            const AseLodDesc& lod = set.lods[i];
            w.Open(Indexed("depth", i), "*DEPTH " + T::Num(lod.depth));
            w.Line("*NUM_FACES " + T::Num(w.FieldValue("NUM_FACES", lod.faceCount)));
            w.Open("lod", "*LOD");
            CountLine(w, "STRIP_LENGTH", lod.strip.size());
            for (std::uint16_t index : lod.strip) w.Line("*STRIP " + T::Num(std::uint32_t(index)));
            w.Close();
            CountLine(w, "TRIANGLE_COUNT", lod.triangles.size() / 3);
            w.Open("triangles", "*TRIANGLES");
            for (std::size_t t = 0; t + 2 < lod.triangles.size(); t += 3)
                w.Line("*TRIANGLE " + T::Num(Count32(t / 3)) + ": " +
                       T::Num(std::uint32_t(lod.triangles[t])) + " " +
                       T::Num(std::uint32_t(lod.triangles[t + 1])) + " " +
                       T::Num(std::uint32_t(lod.triangles[t + 2])));
            w.Close();
            w.Close();
        }
        w.Close();
    }
}

void WriteStrips(TextWriter& w, const AseStripsDesc& strips) {
    const AseStripSetDesc* first = strips.sets.empty() ? nullptr : &strips.sets[0];
    bool tex = strips.hasTexCoords.value_or(first && !first->uvs.empty());
    bool normals = strips.hasNormals.value_or(first && !first->normals.empty());
    bool colours = strips.hasColors.value_or(first && !first->colours.empty());
    w.Open("strips", "*STRIPS");
    w.Line(std::string("*STRIP_TVERT ") + (tex ? "1" : "0"));
    w.Line(std::string("*STRIP_NORMAL ") + (normals ? "1" : "0"));
    w.Line(std::string("*STRIP_VERTCOLOR ") + (colours ? "1" : "0"));
    CountLine(w, "STRIP_NUMSUBMTLS", strips.sets.size());
    w.Open("submtls", "*STRIP_SUBMTLS");
    for (std::size_t i = 0; i < strips.sets.size(); ++i) {
        w.Enter(Indexed("set", i));
        w.Mark(SectionKind::Block, w.Path());
        WriteStripSet(w, strips.sets[i], tex, normals, colours);
        w.Leave();
    }
    w.Close();
    w.Close();
}

void WriteObject(TextWriter& w, const AseObjectDesc& o, const std::string& name) {
    w.Open(name, o.helper ? "*HELPEROBJECT" : "*GEOMOBJECT");
    if (o.name) w.Line("*NODE_NAME " + T::Quoted(*o.name));
    if (!o.parent.empty()) w.Line("*NODE_PARENT " + T::Quoted(o.parent));
    if (!o.helperClass.empty()) w.Line("*HELPER_CLASS " + T::Quoted(o.helperClass));
    WriteNode(w, o);
    if (o.mesh) WriteMesh(w, *o.mesh, "mesh");
    if (!o.morphFrames.empty()) {
        w.Open("morph", "*MESH_ANIMATION");
        for (std::size_t i = 0; i < o.morphFrames.size(); ++i) {
            WriteMesh(w, o.morphFrames[i], Indexed("frame", i));
            if (i < o.morphStrips.size()) WriteStrips(w, o.morphStrips[i]);
        }
        w.Close();
    }
    w.Line("*PROP_MOTIONBLUR 0");
    w.Line("*PROP_CASTSHADOW 1");
    w.Line("*PROP_RECVSHADOW 1");
    if (o.animation) WriteAnimation(w, o);
    if (!o.weights.empty()) {
        w.Open("weights", "*VERTEX_WEIGHTLIST");
        for (const AseVertexWeight& vw : o.weights)
            w.Line("*VERTEX_WEIGHT " + T::Num(vw.vertex) + "\t" + T::Quoted(vw.bone) + "\t" +
                   Triple(vw.offset) + "\t" + T::Num(vw.weight));
        w.Close();
    }
    // MATERIAL_REF follows STRIPS so that the strips take the object's material too.
    if (o.strips) WriteStrips(w, *o.strips);
    if (o.materialRef >= 0) w.Line("*MATERIAL_REF " + T::Num(o.materialRef));
    for (const std::string& line : o.extraLines) w.Line(line);
    w.Close();
}

}  // namespace

Matrix4 AseNodeDesc::Matrix() const {
    if (matrix) return *matrix;
    Matrix4 m = Multiply(ScaleMatrix(scale), RotationMatrix(rotationAxis, rotationAngle));
    m.At(3, 0) = translation.x;
    m.At(3, 1) = translation.y;
    m.At(3, 2) = translation.z;
    return m;
}

WrittenFile WriteAseFile(const AseSceneDesc& scene, const TextOptions& options,
                         const FaultPlan& faults) {
    TextWriter w(faults, options);
    w.Line("*3DSMAX_ASCIIEXPORT\t200");
    w.Line("*COMMENT \"modelgen\"");
    if (scene.scene) {
        const AseSceneInfo& s = *scene.scene;
        w.Open("scene", "*SCENE");
        w.Line("*SCENE_FILENAME " + T::Quoted(s.fileName));
        w.Line("*SCENE_FIRSTFRAME " + T::Num(s.firstFrame));
        w.Line("*SCENE_LASTFRAME " + T::Num(s.lastFrame));
        w.Line("*SCENE_FRAMESPEED " + T::Num(s.frameSpeed));
        w.Line("*SCENE_TICKSPERFRAME " + T::Num(s.ticksPerFrame));
        w.Line("*SCENE_BACKGROUND_STATIC 0.0\t0.0\t0.0");
        w.Line("*SCENE_AMBIENT_STATIC 0.0\t0.0\t0.0");
        w.Close();
    }
    if (!scene.materials.empty()) {
        w.Open("materials", "*MATERIAL_LIST");
        CountLine(w, "MATERIAL_COUNT", scene.materials.size());
        for (std::size_t i = 0; i < scene.materials.size(); ++i)
            WriteMaterial(w, scene.materials[i], Indexed("material", i),
                          "*MATERIAL " + T::Num(Count32(i)));
        w.Close();
    }
    std::size_t groups = 0;
    for (std::size_t i = 0; i < scene.objects.size(); ++i) {
        const std::string& group = scene.objects[i].group;
        bool opens = !group.empty() && (i == 0 || scene.objects[i - 1].group != group);
        bool closes = !group.empty() &&
                      (i + 1 == scene.objects.size() || scene.objects[i + 1].group != group);
        if (opens) w.Open(Indexed("group", groups++), "*GROUP " + T::Quoted(group));
        WriteObject(w, scene.objects[i], Indexed("object", i));
        if (closes) w.Close();
    }
    for (const std::string& line : scene.extraLines) w.Line(line);
    return w.FinishText();
}

namespace {

Vec3 Sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

}  // namespace

AseMeshDesc AseMeshFromMesh(const MeshDesc& mesh, int materialId) {
    AseMeshDesc out;
    out.vertices = mesh.positions;
    for (std::size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
        AseFace f{mesh.indices[i], mesh.indices[i + 1], mesh.indices[i + 2], 1, materialId};
        out.faces.push_back(f);
        std::array<std::uint32_t, 3> corners{f.a, f.b, f.c};
        if (!mesh.uv0.empty()) out.texFaces.push_back(corners);
        if (!mesh.colours.empty()) out.colorFaces.push_back(corners);
        if (!mesh.normals.empty()) {
            Vec3 a = At(mesh.positions, f.a), b = At(mesh.positions, f.b), c = At(mesh.positions, f.c);
            out.faceNormals.push_back(Normalised(Cross(Sub(b, a), Sub(c, a))));
            out.cornerNormals.push_back({At(mesh.normals, f.a), At(mesh.normals, f.b),
                                         At(mesh.normals, f.c)});
        }
    }
    for (Vec2 t : mesh.uv0) out.texVertices.push_back({t.x, 1.0f - t.y, 0});
    for (Vec4 c : mesh.colours) out.colorVertices.push_back({c.x, c.y, c.z});
    return out;
}

AseStripSetDesc AseStripSetFromMesh(const MeshDesc& mesh, int subMaterial) {
    AseStripSetDesc set;
    set.subMaterial = subMaterial;
    set.positions = mesh.positions;
    set.uvs = mesh.uv0;
    set.colours = mesh.colours;
    set.normals = mesh.normals;
    if (mesh.groups.empty()) return set;
    for (const LodEntry& e : mesh.groups[0].entries) {
        std::size_t first = e.startByte / 4;
        std::vector<std::uint32_t> run;
        for (std::size_t i = first; i < first + e.indexCount && i < mesh.indices.size(); ++i)
            run.push_back(mesh.indices[i]);
        if (e.primitive == 4) {
            set.strips.push_back({1, run});
            continue;
        }
        for (std::size_t i = 0; i + 2 < run.size(); i += 3)
            set.strips.push_back({1, {run[i], run[i + 1], run[i + 2]}});
    }
    return set;
}

}  // namespace ZelModelGen
