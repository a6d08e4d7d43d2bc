#include "Entity/Geometry/Ase/AseParser.h"

#include <algorithm>
#include <cmath>

#include "Core/LogDispatch.h"
#include "Entity/Geometry/Ase/AseScanner.h"
#include "Math/Matrix4.h"

namespace Zel {

namespace {

using Float3 = std::array<float, 3>;

// Allocation budget of count lines: this many element bytes per byte of text, plus a floor.
constexpr std::size_t kBudgetPerByte = 64;
constexpr std::size_t kBudgetFloor = std::size_t(1) << 20;

bool Is(std::string_view keyword, std::string_view name) {
    return keyword == name;
}

// out = the inverse of m, or the identity when m has none. The inverse of the transpose is the
// transpose of the inverse, so the row-vector layout inverts like any other.
void InvertOrIdentity(const float* m, float* out) {
    float inverse[16];
    std::copy(m, m + 16, inverse);
    if (!Matrix4::Inverse(inverse)) {
        std::fill(inverse, inverse + 16, 0.0f);
        inverse[0] = inverse[5] = inverse[10] = inverse[15] = 1.0f;
    }
    std::copy(inverse, inverse + 16, out);
}

// Writes the first n of the values into out (the ones a scan stored).
template <typename T>
void StoreFirst(T* out, const T* values, int n) {
    for (int i = 0; i < n; ++i) out[i] = values[i];
}

}  // namespace

struct AseParser::NodeTransform {
    std::string nodeName;  // NODE_NAME inside the block, quotes kept
    float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float pos[3] = {0.0f, 0.0f, 0.0f};
    float scale[3] = {0.0f, 0.0f, 0.0f};
    float rotAxis[3] = {0.0f, 0.0f, 0.0f};
    float rotAngle = 0.0f;
    bool closed = false;
};

enum class Channel { Position, Rotation, Scale };

struct AseParser::ControlBlock {
    const char* block;
    const char* line;
    Channel channel;
    std::int32_t kind;
};

AseParser::AseParser(std::string_view text, float scale, std::string fileName)
    : lines_(text),
      scale_(scale),
      fileName_(std::move(fileName)),
      budget_(kBudgetFloor + text.size() * kBudgetPerByte) {}

std::unique_ptr<AseScene> AseParser::Parse(bool keepWorldSpace) {
    scene_ = std::make_unique<AseScene>();
    ParseTopLevel();
    if (!keepWorldSpace)
        MoveToObjectSpace();
    LinkParents();
    LogRefusals();
    return std::move(scene_);
}

void AseParser::MoveToObjectSpace() {
    auto move = [](std::array<float, 3>& p, const float* m) {
        float out[4];
        for (int c = 0; c < 4; ++c)
            out[c] = p[0] * m[c] + p[1] * m[4 + c] + p[2] * m[8 + c] + m[12 + c];
        const float w = out[3] != 0.0f ? out[3] : 1.0f;
        p = {out[0] / w, out[1] / w, out[2] / w};
    };
    auto moveObject = [&](AseObject& o, const float* m) {
        for (std::array<float, 3>& p : o.vertices) move(p, m);
        if (o.strips)
            for (const std::unique_ptr<AseStripSet>& set : o.strips->sets)
                for (std::array<float, 3>& p : set->positions) move(p, m);
    };
    for (const std::unique_ptr<AseObject>& object : scene_->objects) {
        float inverse[16];
        InvertOrIdentity(object->nodeMatrix, inverse);
        moveObject(*object, inverse);
        for (const std::unique_ptr<AseObject>& frame : object->morphFrames)
            moveObject(*frame, inverse);
    }
}

void AseParser::LinkParents() {
    // The last object of a name is the parent of the objects that name it (an object is never
    // its own parent).
    std::unordered_map<std::string_view, AseObject*> lastByName;
    for (const std::unique_ptr<AseObject>& object : scene_->objects)
        if (object->name)
            lastByName[*object->name] = object.get();
    for (const std::unique_ptr<AseObject>& object : scene_->objects) {
        if (!object->name || !object->parentName || *object->parentName == *object->name)
            continue;
        if (auto found = lastByName.find(*object->parentName); found != lastByName.end())
            object->parent = found->second;
    }
}

void AseParser::LogRefusals() const {
    const char* name = fileName_.c_str();
    if (droppedLines_)
        LogTyped(LOG_ENGINE_INIT,
                 "ASE file %s: %zu lines with an index outside its count were dropped, the first "
                 "\"%s\"",
                 name, droppedLines_, firstDropped_.c_str());
    if (refusedCounts_)
        LogTyped(LOG_ENGINE_INIT,
                 "ASE file %s: %zu counts larger than the file can fill were taken as 0", name,
                 refusedCounts_);
    if (lines_.CutLines())
        LogTyped(LOG_ENGINE_INIT, "ASE file %s: %zu lines longer than %zu characters were cut",
                 name, lines_.CutLines(), AseLineReader::kMaxLineLength);
    if (deepBlocks_)
        LogTyped(LOG_ENGINE_INIT,
                 "ASE file %s: %zu material or map blocks nested deeper than %d levels were "
                 "skipped",
                 name, deepBlocks_, kMaxNesting);
}

// --- Line helpers ---------------------------------------------------------------------------

template <typename F>
bool AseParser::ReadBlock(F&& onLine) {
    while (lines_.Next()) {
        if (lines_.IsClose())
            return true;
        onLine(lines_.Keyword());
    }
    return false;
}

void AseParser::SkipBlock() {
    ReadBlock([](std::string_view) {});
}

void AseParser::SkipLines(int count) {
    for (int i = 0; i < count; ++i) lines_.Next();
}

// A line cut at its length limit may have lost its closing quote: the text then runs to the end
// of the line.
std::string AseParser::Quoted() const {
    const std::string_view line = lines_.Line();
    const std::size_t first = line.find('"');
    if (first == std::string_view::npos)
        return std::string();
    const std::size_t last = line.rfind('"');
    return std::string(last > first ? line.substr(first, last - first + 1) : line.substr(first));
}

std::string AseParser::Unquoted() const {
    const std::string_view line = lines_.Line();
    const std::size_t first = line.find('"');
    if (first == std::string_view::npos)
        return std::string();
    const std::size_t last = line.rfind('"');
    return std::string(last > first ? line.substr(first + 1, last - first - 1)
                                    : line.substr(first + 1));
}

bool AseParser::IntValue(std::int32_t& out) const {
    return AseScanner(lines_.Value()).Scan("%d", &out) == 1;
}

bool AseParser::FloatValue(float& out) const {
    return AseScanner(lines_.Value()).Scan("%f", &out) == 1;
}

bool AseParser::Count(std::int32_t& out, std::size_t bytesPerElement) {
    std::int32_t count = 0;
    if (!IntValue(count))
        return false;
    // Each element needs a line of at least two bytes in the rest of the text.
    const std::size_t bytes = std::size_t(std::max(count, 0)) * bytesPerElement;
    if (count < 0 || std::size_t(count) > lines_.Remaining() / 2 || bytes > budget_) {
        ++refusedCounts_;
        count = 0;
    }
    budget_ -= std::size_t(count) * bytesPerElement;
    out = count;
    return true;
}

bool AseParser::InRange(std::int64_t index, std::int64_t size) {
    if (index >= 0 && index < size)
        return true;
    Drop();
    return false;
}

void AseParser::Drop() {
    if (droppedLines_++ == 0)
        firstDropped_ = std::string(lines_.Line().substr(0, 200));
}

// --- Top level ------------------------------------------------------------------------------

void AseParser::ParseTopLevel() {
    // A GROUP is flattened: its contents, and everything after it, are read as top-level blocks.
    // Each open group lets the reading survive one line that is neither '*' nor '}'.
    std::size_t openGroups = 0;
    for (;;) {
        if (!lines_.Next()) {
            if (openGroups == 0 || lines_.AtEnd())
                return;
            --openGroups;
            continue;
        }
        const std::string_view keyword = lines_.Keyword();
        if (Is(keyword, "SCENE")) {
            ParseScene();
        } else if (Is(keyword, "GEOMOBJECT") || Is(keyword, "HELPEROBJECT")) {
            ParseObject();
        } else if (Is(keyword, "MATERIAL_LIST")) {
            ParseMaterialList();
        } else if (Is(keyword, "LIGHTOBJECT")) {
            ParseLight();
        } else if (Is(keyword, "CAMERAOBJECT")) {
            ParseCamera();
        } else if (Is(keyword, "GROUP")) {
            const std::size_t mark = lines_.Mark();
            if (lines_.Next() && lines_.IsClose())
                continue;  // an empty group
            lines_.Rewind(mark);
            ++openGroups;
        }
    }
}

void AseParser::ParseScene() {
    AseScene& s = *scene_;
    ReadBlock([&](std::string_view k) {
        if (Is(k, "SCENE_FIRSTFRAME"))
            IntValue(s.firstFrame);
        else if (Is(k, "SCENE_LASTFRAME"))
            IntValue(s.lastFrame);
        else if (Is(k, "SCENE_FRAMESPEED"))
            IntValue(s.frameSpeed);
        else if (Is(k, "SCENE_TICKSPERFRAME"))
            IntValue(s.ticksPerFrame);
    });
}

// --- Objects --------------------------------------------------------------------------------

void AseParser::AddObject(std::unique_ptr<AseObject> object, bool listed) {
    if (object->name)
        firstByName_.emplace(*object->name, object.get());
    if (listed)
        scene_->allObjects.push_back(object.get());
    scene_->objects.push_back(std::move(object));
}

void AseParser::ParseObject() {
    // The object exists from the start of its block, so that lines before NODE_NAME (or an
    // object without one) have somewhere to go.
    auto object = std::make_unique<AseObject>();
    AseObject& o = *object;
    const bool closed = ReadBlock([&](std::string_view k) {
        if (Is(k, "NODE_NAME")) {
            if (!o.name)
                o.name = Quoted();
        } else if (Is(k, "HELPER_CLASS")) {
            if (!o.helperClass)
                o.helperClass = Quoted();
        } else if (Is(k, "NODE_PARENT")) {
            if (!o.parentName)
                o.parentName = Quoted();
        } else if (Is(k, "NODE_TM")) {
            const NodeTransform tm = ParseNodeTransform();
            std::copy(tm.matrix, tm.matrix + 16, o.nodeMatrix);
            std::copy(tm.pos, tm.pos + 3, o.tmPos);
            std::copy(tm.scale, tm.scale + 3, o.tmScale);
            std::copy(tm.rotAxis, tm.rotAxis + 3, o.tmRotAxis);
            o.tmRotAngle = tm.rotAngle;
            if (tm.closed) {
                o.nodeMatrix[3] = o.nodeMatrix[7] = o.nodeMatrix[11] = 0.0f;
                o.nodeMatrix[15] = 1.0f;
                InvertOrIdentity(o.nodeMatrix, o.inverseNodeMatrix);
            }
        } else if (Is(k, "MESH")) {
            ParseMesh(o);
        } else if (Is(k, "MESH_ANIMATION")) {
            ParseMeshAnimation(o);
        } else if (Is(k, "PATCHMESH")) {
            ParsePatchMesh(o);
        } else if (Is(k, "TM_ANIMATION")) {
            o.animation = ParseTmAnimation();
        } else if (Is(k, "VERTEX_WEIGHTLIST")) {
            ParseVertexWeights(o);
        } else if (Is(k, "MATERIAL_REF")) {
            if (IntValue(o.materialRef) && o.strips)
                o.strips->materialRef = o.materialRef;
        } else if (Is(k, "STRIPS")) {
            o.strips = ParseStrips();
        }
    });
    // An object whose block never closes is dropped.
    if (closed)
        AddObject(std::move(object), true);
}

AseParser::NodeTransform AseParser::ParseNodeTransform() {
    NodeTransform tm;
    tm.closed = ReadBlock([&](std::string_view k) {
        AseScanner scan(lines_.Line());
        float v[3];
        if (Is(k, "NODE_NAME")) {
            tm.nodeName = Quoted();
        } else if (k.size() == 7 && k.substr(0, 6) == "TM_ROW" && k[6] >= '0' && k[6] <= '3') {
            // TM_ROW3 is the translation and takes the scale.
            const int row = k[6] - '0';
            const int n = scan.Scan("%s %f %f %f", static_cast<std::string_view*>(nullptr), &v[0],
                                    &v[1], &v[2]) -
                          1;
            for (int i = 0; i < n; ++i) tm.matrix[4 * row + i] = row == 3 ? v[i] * scale_ : v[i];
        } else if (Is(k, "TM_POS") || Is(k, "TM_SCALE") || Is(k, "TM_ROTAXIS")) {
            float* out = Is(k, "TM_POS") ? tm.pos : Is(k, "TM_SCALE") ? tm.scale : tm.rotAxis;
            const int n = scan.Scan("%s %f %f %f", static_cast<std::string_view*>(nullptr), &v[0],
                                    &v[1], &v[2]) -
                          1;
            StoreFirst(out, v, n);
        } else if (Is(k, "TM_ROTANGLE")) {
            FloatValue(tm.rotAngle);
        }
    });
    return tm;
}

// --- Meshes ---------------------------------------------------------------------------------

void AseParser::ParseMesh(AseObject& o) {
    o.isPatch = 0;
    auto tripleList = [&](std::string_view lineKeyword, std::vector<Float3>& out, float scale) {
        ReadBlock([&](std::string_view k) {
            if (Is(k, lineKeyword))
                ReadTripleLine(out, {scale, scale, scale});
        });
    };
    // A list line "KEYWORD face i0 i1 i2" into face `face` of a three-per-face array whose
    // entries index an array of `targets` elements.
    auto cornerList = [&](std::string_view lineKeyword, std::vector<std::int32_t>& out,
                          std::int32_t targets) {
        ReadBlock([&](std::string_view k) {
            if (!Is(k, lineKeyword))
                return;
            AseScanner scan(lines_.Line());
            std::int32_t face = 0;
            std::int32_t c[3];
            if (scan.Scan("%s %d", static_cast<std::string_view*>(nullptr), &face) != 2 ||
                !InRange(face, std::int64_t(out.size() / 3)))
                return;
            std::int32_t* corners = &out[3 * std::size_t(face)];
            std::copy(corners, corners + 3, c);
            scan.Scan(" %d %d %d", &c[0], &c[1], &c[2]);
            for (std::int32_t v : c)
                if (!InRange(v, targets))
                    return;
            std::copy(c, c + 3, corners);
        });
    };

    ReadBlock([&](std::string_view k) {
        std::int32_t n = 0;
        if (Is(k, "MESH_NUMVERTEX")) {
            if (Count(n, sizeof(Float3))) {
                o.vertexCount = n;
                o.vertices.assign(std::size_t(n), Float3{});
            }
        } else if (Is(k, "TIMEVALUE")) {
            IntValue(o.timeValue);
        } else if (Is(k, "MESH_NUMFACES")) {
            if (Count(n, 5 * sizeof(std::int32_t))) {
                o.faceCount = n;
                o.faces.assign(3 * std::size_t(n), 0);
                o.faceMaterialIds.assign(std::size_t(n), 0);
                o.faceSmoothing.assign(std::size_t(n), 0);
            }
        } else if (Is(k, "MESH_NUMTVERTEX")) {
            if (Count(n, sizeof(Float3))) {
                o.texVertexCount = n;
                o.texVertices.assign(std::size_t(n), Float3{});
            }
        } else if (Is(k, "MESH_TVERTLIST")) {
            tripleList("MESH_TVERT", o.texVertices, 1.0f);
        } else if (Is(k, "MESH_NUMCVERTEX")) {
            if (Count(n, sizeof(Float3))) {
                o.colorVertexCount = n;
                o.colorVertices.assign(std::size_t(n), Float3{});
            }
        } else if (Is(k, "MESH_NUMCVFACES")) {
            if (Count(n, 3 * sizeof(std::int32_t))) {
                o.colorFaceCount = n;
                o.colorFaces.assign(3 * std::size_t(n), 0);
            }
        } else if (Is(k, "MESH_CFACELIST")) {
            cornerList("MESH_CFACE", o.colorFaces, o.colorVertexCount);
        } else if (Is(k, "MESH_CVERTLIST")) {
            tripleList("MESH_VERTCOL", o.colorVertices, 1.0f);
        } else if (Is(k, "MESH_NUMTVFACES")) {
            if (Count(n, 3 * sizeof(std::int32_t))) {
                o.texFaceCount = n;
                o.texFaces.assign(3 * std::size_t(n), 0);
            }
        } else if (Is(k, "MESH_VERTEX_LIST")) {
            tripleList("MESH_VERTEX", o.vertices, scale_);
        } else if (Is(k, "MESH_FACE_LIST")) {
            ReadBlock([&](std::string_view line) {
                if (Is(line, "MESH_FACE"))
                    ParseFaceLine(o);
            });
        } else if (Is(k, "MESH_NORMALS")) {
            ParseNormals(o);
        } else if (Is(k, "MESH_FACEMAPLIST")) {
            ParseFaceMap(o);
        } else if (Is(k, "MESH_TFACELIST")) {
            cornerList("MESH_TFACE", o.texFaces, o.texVertexCount);
        } else if (Is(k, "MESH_MAPPINGCHANNEL")) {
            // A further texture channel, read past: its lists are blocks of their own.
            ReadBlock([&](std::string_view c) {
                if (Is(c, "MESH_TVERTLIST") || Is(c, "MESH_TFACELIST"))
                    SkipBlock();
            });
        }
    });
    CheckMeshReferences(o);
}

void AseParser::ReadTripleLine(std::vector<Float3>& out, const Float3& factor) {
    AseScanner scan(lines_.Line());
    std::int32_t index = 0;
    if (scan.Scan("%s %d", static_cast<std::string_view*>(nullptr), &index) != 2 ||
        !InRange(index, std::int64_t(out.size())))
        return;
    float v[3];
    const int n = scan.Scan(" %f %f %f", &v[0], &v[1], &v[2]);
    for (int i = 0; i < n; ++i)
        out[std::size_t(index)][std::size_t(i)] = v[i] * factor[std::size_t(i)];
}

void AseParser::ReadCountedTriples(std::string_view countKeyword, std::string_view lineKeyword,
                                   std::vector<Float3>& out, const Float3& factor) {
    ReadBlock([&](std::string_view k) {
        std::int32_t n = 0;
        if (Is(k, countKeyword) && Count(n, sizeof(Float3)))
            out.assign(std::size_t(n), Float3{});
        else if (Is(k, lineKeyword))
            ReadTripleLine(out, factor);
    });
}

void AseParser::ParseFaceLine(AseObject& o) {
    AseScanner scan(lines_.Line());
    std::int32_t face = 0;
    if (scan.Scan("%s %d:", static_cast<std::string_view*>(nullptr), &face) != 2 ||
        !InRange(face, o.faceCount))
        return;
    std::int32_t c[3];
    std::copy(&o.faces[3 * std::size_t(face)], &o.faces[3 * std::size_t(face)] + 3, c);
    std::int32_t edges[3] = {0, 0, 0};
    scan.Scan(" A: %d B: %d C: %d AB: %d BC: %d CA: %d *MESH_SMOOTHING %d", &c[0], &c[1], &c[2],
              &edges[0], &edges[1], &edges[2], &faceSmoothing_);
    // The material id is read from the line's last '*' (the smoothing list before it may be
    // empty or hold several groups).
    const std::string_view line = lines_.Line();
    const std::size_t star = line.rfind('*');
    if (star != std::string_view::npos)
        AseScanner(line.substr(star)).Scan("*MESH_MTLID %d", &faceMaterialId_);
    for (std::int32_t v : c)
        if (!InRange(v, o.vertexCount))
            return;
    std::copy(c, c + 3, &o.faces[3 * std::size_t(face)]);
    o.faceMaterialIds[std::size_t(face)] = faceMaterialId_;
    o.faceSmoothing[std::size_t(face)] = faceSmoothing_ == -1 ? 0 : faceSmoothing_;
}

void AseParser::ParseNormals(AseObject& o) {
    const std::size_t faces = std::size_t(std::max(o.faceCount, 0));
    o.faceNormals.assign(faces, Float3{});
    o.faceNormalIndices.assign(3 * faces, 0);
    std::vector<Float3> normals;
    std::int64_t face = -1;
    int corner = 0;
    ReadBlock([&](std::string_view k) {
        const bool faceLine = Is(k, "MESH_FACENORMAL");
        if (!faceLine && !Is(k, "MESH_VERTEXNORMAL"))
            return;
        AseScanner scan(lines_.Line());
        std::int32_t index = 0;
        float v[3] = {0.0f, 0.0f, 0.0f};
        if (scan.Scan("%s %d", static_cast<std::string_view*>(nullptr), &index) != 2)
            return;
        if (faceLine) {
            face = -1;
            if (!InRange(index, std::int64_t(faces)))
                return;
            face = index;
            corner = 0;
            Float3& n = o.faceNormals[std::size_t(face)];
            std::copy(n.begin(), n.end(), v);
            scan.Scan(" %f %f %f", &v[0], &v[1], &v[2]);
            std::copy(v, v + 3, n.begin());
            return;
        }
        // A vertex normal belongs to the next corner of the current face; the vertex index on
        // the line is not used.
        if (!InRange(face < 0 ? -1 : corner, 3))
            return;
        scan.Scan(" %f %f %f", &v[0], &v[1], &v[2]);
        normals.push_back({v[0], v[1], v[2]});
        o.faceNormalIndices[3 * std::size_t(face) + std::size_t(corner++)] =
            std::int32_t(normals.size() - 1);
    });
    o.vertexNormals = std::move(normals);
    o.vertexNormalCount = std::int32_t(o.vertexNormals.size());
}

void AseParser::ParseFaceMap(AseObject& o) {
    const std::size_t faces = std::size_t(std::max(o.faceCount, 0));
    o.faceMap.assign(9 * faces, 0);
    ReadBlock([&](std::string_view k) {
        if (!Is(k, "MESH_FACEMAP"))
            return;
        std::int32_t face = -1;
        IntValue(face);
        const bool kept = InRange(face, std::int64_t(faces));
        int corner = 0;
        ReadBlock([&](std::string_view v) {
            if (!kept || !Is(v, "MESH_FACEMAPVERT") || !InRange(corner, 3))
                return;
            std::int32_t* out = &o.faceMap[9 * std::size_t(face) + 3 * std::size_t(corner++)];
            AseScanner(lines_.Line())
                .Scan("%s %d %d %d", static_cast<std::string_view*>(nullptr), &out[0], &out[1],
                      &out[2]);
        });
    });
}

// A count line read again after its list (or a second MESH block) can leave earlier entries
// pointing past the new count; those are set to 0, or the faces are cleared when nothing is
// left to point at, so that every stored index is valid.
void AseParser::CheckMeshReferences(AseObject& o) {
    auto check = [&](std::vector<std::int32_t>& corners, std::int32_t& faceCount,
                     std::int32_t targets, bool clearAll) {
        bool bad = false;
        for (std::int32_t& c : corners) {
            if (c >= 0 && c < targets)
                continue;
            bad = true;
            c = 0;
        }
        if (!bad)
            return;
        if (droppedLines_++ == 0)
            firstDropped_ = "a count line read again";
        if (targets <= 0) {
            corners.clear();
            faceCount = 0;
            if (clearAll) {
                o.faceMaterialIds.clear();
                o.faceSmoothing.clear();
                o.faceNormals.clear();
                o.faceNormalIndices.clear();
                o.faceMap.clear();
            }
        }
    };
    check(o.faces, o.faceCount, o.vertexCount, true);
    check(o.texFaces, o.texFaceCount, o.texVertexCount, false);
    check(o.colorFaces, o.colorFaceCount, o.colorVertexCount, false);
}

void AseParser::ParseMeshAnimation(AseObject& owner) {
    AseObject* lastFrame = nullptr;
    ReadBlock([&](std::string_view k) {
        if (Is(k, "MESH")) {
            auto frame = std::make_unique<AseObject>();
            frame->materialRef = owner.materialRef;
            ParseMesh(*frame);
            if (frame->vertexCount == 0)
                return;
            lastFrame = frame.get();
            owner.morphFrames.push_back(std::move(frame));
        } else if (Is(k, "STRIPS")) {
            // Strips belong to the last frame kept; without one they are read and dropped.
            std::unique_ptr<AseStrips> strips = ParseStrips();
            if (lastFrame)
                lastFrame->strips = std::move(strips);
        }
    });
}

void AseParser::ParsePatchMesh(AseObject& o) {
    o.isPatch = 1;
    // "KEYWORD index a b c ..." lines (commas count as blanks) into element index of an array
    // of integer records whose first entry is the index.
    auto intList = [&](std::string_view countKeyword, std::string_view lineKeyword, auto& out) {
        ReadBlock([&](std::string_view k) {
            std::int32_t n = 0;
            if (Is(k, countKeyword)) {
                if (Count(n, sizeof(out[0])))
                    out.assign(std::size_t(n), {});
                return;
            }
            if (!Is(k, lineKeyword))
                return;
            std::int32_t index = 0;
            AseScanner head(lines_.Line());
            if (head.Scan("%s %d", static_cast<std::string_view*>(nullptr), &index) != 2 ||
                !InRange(index, std::int64_t(out.size())))
                return;
            std::string rest(head.Rest());
            std::replace(rest.begin(), rest.end(), ',', ' ');
            AseScanner scan(rest);
            auto& record = out[std::size_t(index)];
            record[0] = index;
            for (std::size_t i = 1; i < record.size() && scan.Ok(); ++i)
                scan.Scan(" %d", &record[i]);
        });
    };
    ReadBlock([&](std::string_view k) {
        if (Is(k, "PATCHMESH_VERTEXLIST"))
            ReadCountedTriples("PATCHMESH_NUMVERTS", "PATCHMESH_VERTEX", o.patchVertices,
                               {1, 1, 1});
        else if (Is(k, "PATCHMESH_VECTOR_LIST"))
            ReadCountedTriples("PATCHMESH_NUMVECS", "PATCHMESH_VECTOR", o.patchVectors, {1, 1, 1});
        else if (Is(k, "PATCHMESH_EDGE_LIST"))
            intList("PATCHMESH_NUMEDGES", "PATCHMESH_EDGE", o.patchEdges);
        else if (Is(k, "PATCHMESH_PATCH_LIST"))
            intList("PATCHMESH_NUMPATCHES", "PATCHMESH_PATCH", o.patches);
        else if (Is(k, "PATCHMESH_TVCHANNEL_LIST"))
            ParsePatchChannels(o);
    });
}

void AseParser::ParsePatchChannels(AseObject& o) {
    ReadBlock([&](std::string_view k) {
        std::int32_t n = 0;
        if (Is(k, "PATCHMESH_NUMTVCHANNELS")) {
            if (Count(n, 2 * sizeof(std::vector<Float3>))) {
                o.patchTexVertices.assign(std::size_t(n), {});
                o.patchTexPatches.assign(std::size_t(n), {});
            }
            return;
        }
        if (!Is(k, "PATCHMESH_TVCHANNEL"))
            return;
        std::int32_t channel = -1;
        IntValue(channel);
        std::vector<Float3> scratchVertices;
        std::vector<std::array<std::int32_t, 4>> scratchPatches;
        const bool kept = InRange(channel, std::int64_t(o.patchTexVertices.size()));
        std::vector<Float3>& vertices =
            kept ? o.patchTexVertices[std::size_t(channel)] : scratchVertices;
        auto& patches = kept ? o.patchTexPatches[std::size_t(channel)] : scratchPatches;
        ReadBlock([&](std::string_view c) {
            if (Is(c, "PATCHMESH_TVVERTLIST")) {
                ReadCountedTriples("PATCHMESH_NUMTVVERTS", "PATCHMESH_TVVERT", vertices,
                                   {1, -1, 1});
            } else if (Is(c, "PATCHMESH_TVPATCH_TVPATCH_LIST")) {
                // Texture patches have no count line: they are appended in file order.
                ReadBlock([&](std::string_view v) {
                    if (!Is(v, "PATCHMESH_TVPATCH"))
                        return;
                    std::array<std::int32_t, 4> patch{};
                    std::int32_t index = 0;
                    AseScanner(lines_.Line())
                        .Scan("%s %d %d %d %d %d", static_cast<std::string_view*>(nullptr), &index,
                              &patch[0], &patch[1], &patch[2], &patch[3]);
                    patches.push_back(patch);
                });
            }
        });
    });
}

// --- Node animation and vertex weights ------------------------------------------------------

namespace {

// The controller blocks whose keys are read, each with its one key line. Kinds: 0 a key, 1 a TCB
// key, 3 a sample.
const AseParser::ControlBlock kControls[] = {
    {"CONTROL_POS_TRACK", "CONTROL_POS_SAMPLE", Channel::Position, 3},
    {"CONTROL_ROT_TRACK", "CONTROL_ROT_SAMPLE", Channel::Rotation, 3},
    {"CONTROL_SCALE_TRACK", "CONTROL_SCALE_SAMPLE", Channel::Scale, 3},
    {"CONTROL_POS_LINEAR", "CONTROL_POS_KEY", Channel::Position, 0},
    {"CONTROL_ROT_LINEAR", "CONTROL_ROT_KEY", Channel::Rotation, 0},
    {"CONTROL_SCALE_LINEAR", "CONTROL_SCALE_KEY", Channel::Scale, 0},
    {"CONTROL_POS_TCB", "CONTROL_TCB_POS_KEY", Channel::Position, 1},
    {"CONTROL_ROT_TCB", "CONTROL_TCB_ROT_KEY", Channel::Rotation, 1},
};

const AseParser::ControlBlock* FindControl(std::string_view keyword) {
    for (const AseParser::ControlBlock& c : kControls)
        if (keyword == c.block)
            return &c;
    return nullptr;
}

}  // namespace

std::unique_ptr<AseAnimation> AseParser::ParseTmAnimation() {
    auto animation = std::make_unique<AseAnimation>();
    animation->firstFrame = scene_->firstFrame;
    animation->lastFrame = scene_->lastFrame;
    animation->ticksPerFrame = scene_->ticksPerFrame;
    animation->frameSpeed = scene_->frameSpeed;
    ReadBlock([&](std::string_view k) {
        if (const ControlBlock* control = FindControl(k))
            ParseControl(*animation, *control);
        else if (Is(k, "CONTROL_SCALE_TCB") || Is(k, "CONTROL_POS_BEZIER") ||
                 Is(k, "CONTROL_SCALE_BEZIER"))
            SkipBlock();
    });
    return animation;
}

void AseParser::ParseControl(AseAnimation& a, const ControlBlock& block) {
    constexpr std::string_view* kSkip = nullptr;
    ReadBlock([&](std::string_view k) {
        if (!Is(k, block.line))
            return;
        AseScanner scan(lines_.Line());
        std::int32_t time = 0;
        if (scan.Scan("%s %d", kSkip, &time) != 2)
            return;
        switch (block.channel) {
            case Channel::Position: {
                AsePosKey key;
                key.kind = block.kind;
                key.time = time;
                scan.Scan(" %f %f %f", &key.x, &key.y, &key.z);
                if (block.kind == 1)
                    scan.Scan(" %f", &key.tcb[0]);
                a.positionKeys.push_back(key);
                break;
            }
            case Channel::Rotation: {
                AseRotKey key;
                key.kind = block.kind;
                key.time = time;
                scan.Scan(" %f %f %f %f", &key.axis[0], &key.axis[1], &key.axis[2], &key.angle);
                if (block.kind == 1)
                    scan.Scan(" %f", &key.tcb[0]);
                a.rotationKeys.push_back(key);
                break;
            }
            case Channel::Scale: {
                AseScaleKey key;
                key.kind = block.kind;
                key.time = time;
                scan.Scan(" %f %f %f", &key.scale[0], &key.scale[1], &key.scale[2]);
                if (block.kind == 0)
                    scan.Scan(" %f %f %f %f", &key.axis[0], &key.axis[1], &key.axis[2],
                              &key.axisAngle);
                a.scaleKeys.push_back(key);
                break;
            }
        }
    });
}

void AseParser::ParseVertexWeights(AseObject& o) {
    std::vector<std::array<float, 4>> offsets;
    std::vector<std::int32_t> vertices;
    std::vector<AseObject*> bones;
    ReadBlock([&](std::string_view k) {
        if (!Is(k, "VERTEX_WEIGHT"))
            return;
        std::int32_t vertex = 0;
        if (AseScanner(lines_.Line())
                    .Scan("%s %d", static_cast<std::string_view*>(nullptr), &vertex) != 2 ||
            !InRange(vertex, o.vertexCount))
            return;
        const std::string name = Quoted();
        std::array<float, 4> offset{0.0f, 0.0f, 0.0f, 0.0f};
        const std::string_view line = lines_.Line();
        const std::size_t quote = line.rfind('"');
        AseScanner(quote == std::string_view::npos ? line : line.substr(quote + 1))
            .Scan("%f %f %f %f", &offset[0], &offset[1], &offset[2], &offset[3]);
        AseObject* bone = nullptr;
        if (auto found = firstByName_.find(name); found != firstByName_.end()) {
            bone = found->second;
        } else {
            // A bone that no object has named yet becomes an object of its own (listed in the
            // scene's objects only).
            auto created = std::make_unique<AseObject>();
            created->name = name;
            bone = created.get();
            AddObject(std::move(created), false);
        }
        offsets.push_back(offset);
        vertices.push_back(vertex);
        bones.push_back(bone);
    });
    for (std::array<float, 4>& offset : offsets)
        for (int i = 0; i < 3; ++i) offset[std::size_t(i)] *= scale_;
    o.weightCount = std::int32_t(offsets.size());
    o.weightOffsets = std::move(offsets);
    o.weightVertices = std::move(vertices);
    o.weightBones = std::move(bones);
    o.weightBoneMatrices.clear();
    for (const AseObject* bone : o.weightBones) o.weightBoneMatrices.push_back(bone->nodeMatrix);
}

// --- Materials ------------------------------------------------------------------------------

void AseParser::ParseMaterialList() {
    ReadBlock([&](std::string_view k) {
        if (!Is(k, "MATERIAL"))
            return;
        auto material = std::make_unique<AseMaterial>();
        ParseMaterial(*material, 0);
        scene_->materials.push_back(std::move(material));
    });
}

namespace {

struct MapSlot {
    const char* keyword;
    AseMaterial::MapList AseMaterial::*list;
};

const MapSlot kMapSlots[] = {
    {"MAP_AMBIENT", &AseMaterial::ambientMaps},
    {"MAP_GENERIC", &AseMaterial::genericMaps},
    {"MAP_DIFFUSE", &AseMaterial::diffuseMaps},
    {"MAP_SPECULAR", &AseMaterial::specularMaps},
    {"MAP_BUMP", &AseMaterial::bumpMaps},
    {"MAP_SELFILLUM", &AseMaterial::selfIllumMaps},
    {"MAP_REFLECT", &AseMaterial::reflectMaps},
    {"MAP_SHINE", &AseMaterial::shineMaps},
    {"MAP_SHINESTRENGTH", &AseMaterial::shineStrengthMaps},
    {"MAP_OPACITY", &AseMaterial::opacityMaps},
    {"MAP_REFRACT", &AseMaterial::refractMaps},
    {"MAP_FILTERCOLOR", &AseMaterial::filterColorMaps},
};

// 0 for "Image", 1 for "RGB", 2 for "None" (quotes included); -1 for any other word.
std::int32_t ChannelWord(std::string_view value) {
    if (value == "\"Image\"")
        return 0;
    if (value == "\"RGB\"")
        return 1;
    if (value == "\"None\"")
        return 2;
    return -1;
}

// uv = T x R x S for row vectors (u, v, 1).
void MakeUvMatrix(AseMap& m) {
    const float radians = m.angle * 3.14159f / 180.0f;
    const float c = std::cos(radians), s = std::sin(radians);
    const float t[9] = {1, 0, 0, 0, 1, 0, m.uOffset, m.vOffset, 1};
    const float r[9] = {c, s, 0, -s, c, 0, 0, 0, 1};
    const float sc[9] = {m.uTiling, 0, 0, 0, m.vTiling, 0, 0, 0, 1};
    auto multiply = [](const float* a, const float* b, float* out) {
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                out[3 * i + j] =
                    a[3 * i] * b[j] + a[3 * i + 1] * b[3 + j] + a[3 * i + 2] * b[6 + j];
    };
    float tr[9];
    multiply(t, r, tr);
    multiply(tr, sc, m.uvMatrix);
}

}  // namespace

void AseParser::ParseMaterial(AseMaterial& m, int depth) {
    constexpr std::string_view* kSkip = nullptr;
    ReadBlock([&](std::string_view k) {
        AseScanner scan(lines_.Line());
        if (Is(k, "MATERIAL_NAME")) {
            m.name = Unquoted();
        } else if (Is(k, "MATERIAL_CLASS")) {
            m.className = Quoted();
        } else if (Is(k, "MATERIAL_AMBIENT")) {
            scan.Scan("%s %f %f %f", kSkip, &m.ambient[0], &m.ambient[1], &m.ambient[2]);
        } else if (Is(k, "MATERIAL_DIFFUSE")) {
            scan.Scan("%s %f %f %f", kSkip, &m.diffuse[0], &m.diffuse[1], &m.diffuse[2]);
        } else if (Is(k, "MATERIAL_SPECULAR")) {
            scan.Scan("%s %f %f %f", kSkip, &m.specular[0], &m.specular[1], &m.specular[2]);
        } else if (Is(k, "MATERIAL_SHINE")) {
            FloatValue(m.shine);
        } else if (Is(k, "MATERIAL_SHINESTRENGTH")) {
            FloatValue(m.shineStrength);
        } else if (Is(k, "MATERIAL_TRANSPARENCY")) {
            FloatValue(m.transparency);
        } else if (Is(k, "MATERIAL_WIRESIZE")) {
            FloatValue(m.wireSize);
        } else if (Is(k, "MATERIAL_XP_FALLOFF")) {
            FloatValue(m.xpFalloff);
        } else if (Is(k, "MATERIAL_SELFILLUM")) {
            FloatValue(m.selfIllum);
        } else if (Is(k, "MATERIAL_SHADING")) {
            m.shading = std::string(lines_.Value());
        } else if (Is(k, "MATERIAL_XP_TYPE")) {
            m.xpType = std::string(lines_.Value());
        } else if (Is(k, "MATERIAL_TWOSIDED")) {
            m.twoSided = 1;
        } else if (Is(k, "MATERIAL_FALLOFF")) {
            m.falloffIn = lines_.Value() == "In" ? 1 : 0;
        } else if (Is(k, "SUBMATERIAL")) {
            if (depth >= kMaxNesting) {
                ++deepBlocks_;
                SkipBlock();
                return;
            }
            auto sub = std::make_unique<AseMaterial>();
            ParseMaterial(*sub, depth + 1);
            m.subMaterials.push_back(std::move(sub));
        } else {
            for (const MapSlot& slot : kMapSlots) {
                if (!Is(k, slot.keyword))
                    continue;
                if (depth >= kMaxNesting) {
                    ++deepBlocks_;
                    SkipBlock();
                    return;
                }
                auto map = std::make_unique<AseMap>();
                ParseMap(*map, depth + 1);
                (m.*slot.list).push_back(std::move(map));
                return;
            }
        }
    });
    m.diffuse[3] = 1.0f - m.transparency;
    m.specular[3] = 1.0f;
}

void AseParser::ParseMap(AseMap& m, int depth) {
    struct FloatField {
        const char* keyword;
        float AseMap::*field;
    };
    static const FloatField kFloats[] = {
        {"MAP_AMOUNT", &AseMap::amount},
        {"UVW_U_OFFSET", &AseMap::uOffset},
        {"UVW_V_OFFSET", &AseMap::vOffset},
        {"UVW_U_TILING", &AseMap::uTiling},
        {"UVW_V_TILING", &AseMap::vTiling},
        {"UVW_ANGLE", &AseMap::angle},
        {"UVW_BLUR", &AseMap::blur},
        {"UVW_BLUR_OFFSET", &AseMap::blurOffset},
        {"UVW_NOUSE_AMT", &AseMap::noiseAmount},
        {"UVW_NOISE_SIZE", &AseMap::noiseSize},
        {"UVW_NOISE_PHASE", &AseMap::noisePhase},
        {"MAP_PLAYBACK_RATE", &AseMap::playbackRate},
    };
    ReadBlock([&](std::string_view k) {
        for (const FloatField& f : kFloats) {
            if (Is(k, f.keyword)) {
                FloatValue(m.*f.field);
                return;
            }
        }
        std::int32_t word = -1;
        if (Is(k, "MAP_NAME")) {
            m.name = Quoted();
        } else if (Is(k, "MAP_CLASS")) {
            m.className = Quoted();
        } else if (Is(k, "MAP_SUBNO")) {
            IntValue(m.subNo);
        } else if (Is(k, "BITMAP")) {
            m.bitmap = Quoted();
        } else if (Is(k, "MAP_TYPE")) {
            m.mapType = std::string(lines_.Value());
        } else if (Is(k, "UVW_TILE")) {
            IntValue(m.uvwTile);
        } else if (Is(k, "UVW_NOISE_LEVEL")) {
            IntValue(m.noiseLevel);
        } else if (Is(k, "BITMAP_FILTER")) {
            m.bitmapFilter = std::string(lines_.Value());
        } else if (Is(k, "MAP_CHANNEL")) {
            IntValue(m.channel);
        } else if (Is(k, "MAP_ALPHA_SOURCE")) {
            if ((word = ChannelWord(lines_.Value())) >= 0)
                m.alphaSource = word;
        } else if (Is(k, "MAP_MONO_CHANNEL")) {
            if ((word = ChannelWord(lines_.Value())) >= 0)
                m.monoChannel = word;
        } else if (Is(k, "MAP_RGB_CHANNEL")) {
            if ((word = ChannelWord(lines_.Value())) >= 0)
                m.rgbChannel = word;
        } else if (Is(k, "MAP_GENERIC")) {
            if (depth >= kMaxNesting) {
                ++deepBlocks_;
                SkipBlock();
                return;
            }
            auto nested = std::make_unique<AseMap>();
            ParseMap(*nested, depth + 1);
            m.generics.push_back(std::move(nested));
        }
    });
    MakeUvMatrix(m);
}

// --- Lights and cameras ---------------------------------------------------------------------

void AseParser::ParseLight() {
    auto light = std::make_unique<AseLight>();
    AseLight& l = *light;
    bool named = false;
    const bool closed = ReadBlock([&](std::string_view k) {
        if (Is(k, "NODE_NAME")) {
            if (!named)
                l.name = Quoted();
            named = true;
        } else if (Is(k, "LIGHT_TYPE")) {
            if (lines_.Value() == "Omni")
                l.type = 0;
            else if (lines_.Value() == "Target")
                l.type = 1;
        } else if (Is(k, "NODE_TM")) {
            const NodeTransform tm = ParseNodeTransform();
            if (tm.nodeName.find(".Target") != std::string::npos)
                return;
            std::copy(tm.matrix, tm.matrix + 16, l.nodeMatrix);
            std::copy(tm.pos, tm.pos + 3, l.position);
            std::copy(tm.rotAxis, tm.rotAxis + 3, l.rotationAxis);
            l.rotationAngle = tm.rotAngle;
        } else if (Is(k, "LIGHT_SPOTSHAPE")) {
            l.spotCircle = lines_.Value() == "Circle" ? 1 : 0;
        } else if (Is(k, "LIGHT_SETTINGS")) {
            ReadBlock([&](std::string_view s) {
                if (Is(s, "LIGHT_COLOR")) {
                    AseScanner(lines_.Line())
                        .Scan("%s %f %f %f", static_cast<std::string_view*>(nullptr), &l.color[0],
                              &l.color[1], &l.color[2]);
                } else if (Is(s, "LIGHT_INTENS")) {
                    FloatValue(l.intensity);
                } else if (Is(s, "LIGHT_ATTNSTART")) {
                    FloatValue(l.attenuationStart);
                } else if (Is(s, "LIGHT_ATTNEND")) {
                    FloatValue(l.attenuationEnd);
                } else if (Is(s, "LIGHT_MAPBIAS")) {
                    FloatValue(l.mapBias);
                } else if (Is(s, "LIGHT_HOTSPOT")) {
                    FloatValue(l.hotspot);
                } else if (Is(s, "LIGHT_FALLOFF")) {
                    FloatValue(l.falloff);
                } else if (Is(s, "LIGHT_ASPECT")) {
                    FloatValue(l.aspect);
                }
            });
        } else if (Is(k, "LIGHT_PROJMAP")) {
            l.projectorMap = Quoted().substr(0, 254);
            l.hasProjectorMap = 1;
        }
    });
    if (closed)
        scene_->lights.push_back(std::move(light));
}

void AseParser::ParseCameraSettings(AseCameraSettings& s) {
    ReadBlock([&](std::string_view k) {
        if (Is(k, "TIMEVALUE"))
            IntValue(s.time);
        else if (Is(k, "CAMERA_FOV"))
            FloatValue(s.fov);
        else if (Is(k, "CAMERA_NEAR"))
            FloatValue(s.nearClip);
        else if (Is(k, "CAMERA_FAR"))
            FloatValue(s.farClip);
        else if (Is(k, "CAMERA_TDIST"))
            FloatValue(s.targetDistance);
    });
}

void AseParser::ParseCamera() {
    auto camera = std::make_unique<AseCamera>();
    AseCamera& c = *camera;
    bool named = false;
    const bool closed = ReadBlock([&](std::string_view k) {
        if (Is(k, "NODE_NAME")) {
            if (!named)
                c.name = Quoted();
            named = true;
        } else if (Is(k, "NODE_TM")) {
            const NodeTransform tm = ParseNodeTransform();
            if (tm.nodeName.find(".Target") != std::string::npos)
                return;
            std::copy(tm.pos, tm.pos + 3, c.position);
            std::copy(tm.rotAxis, tm.rotAxis + 3, c.rotationAxis);
            c.rotationAngle = tm.rotAngle;
        } else if (Is(k, "CAMERA_SETTINGS")) {
            AseCameraSettings s{0, c.fov, c.nearClip, c.farClip, c.targetDistance};
            ParseCameraSettings(s);
            c.fov = s.fov;
            c.nearClip = s.nearClip;
            c.farClip = s.farClip;
            c.targetDistance = s.targetDistance;
        } else if (Is(k, "CAMERA_ANIMATION")) {
            ReadBlock([&](std::string_view a) {
                if (!Is(a, "CAMERA_SETTINGS"))
                    return;
                AseCameraSettings s;
                ParseCameraSettings(s);
                c.timedSettings.push_back(s);
            });
        } else if (Is(k, "TM_ANIMATION")) {
            c.animation = ParseTmAnimation();
        }
    });
    if (closed)
        scene_->cameras.push_back(std::move(camera));
}

// --- Strip extension ------------------------------------------------------------------------

std::unique_ptr<AseStrips> AseParser::ParseStrips() {
    auto strips = std::make_unique<AseStrips>();
    ReadBlock([&](std::string_view k) {
        if (Is(k, "STRIP_TVERT"))
            IntValue(strips->hasTexCoords);
        else if (Is(k, "STRIP_NORMAL"))
            IntValue(strips->hasNormals);
        else if (Is(k, "STRIP_VERTCOLOR"))
            IntValue(strips->hasColors);
        else if (Is(k, "STRIP_SUBMTLS"))
            ParseStripSets(*strips);
    });
    return strips;
}

void AseParser::ParseStripSets(AseStrips& strips) {
    AseStripSet* current = nullptr;
    std::int32_t vertexCount = 0;
    // Blocks that come without a set to hold them are read into this one and dropped.
    AseStripSet scratch;
    ReadBlock([&](std::string_view k) {
        AseStripSet& set = current ? *current : scratch;
        if (Is(k, "SUBMAT")) {
            IntValue(subMaterial_);
        } else if (Is(k, "STRIP_NUMVERTS")) {
            std::int32_t n = 0;
            if (!Count(n, sizeof(std::array<float, 12>)))
                return;
            vertexCount = n;
            if (n <= 0)
                return;
            auto created = std::make_unique<AseStripSet>();
            created->subMaterial = subMaterial_;
            created->vertexCount = n;
            created->positions.assign(std::size_t(n), {});
            current = created.get();
            strips.sets.push_back(std::move(created));
        } else if (Is(k, "SUBMAT_VERTS")) {
            // Without a set the exporter wrote the empty vertex block and the empty strip block
            // that follows it: four lines.
            if (!current || vertexCount < 1)
                SkipLines(4);
            else
                ParseStripVertices(*current, strips);
        } else if (Is(k, "SUBMAT_STRIPS")) {
            ParseStripList(set.strips, set);
        } else if (Is(k, "SUBMAT_STRIPS_LOD")) {
            ReadBlock([&](std::string_view l) {
                if (!Is(l, "SUBMAT_STRIPS_LOD"))
                    return;
                set.stripLods.emplace_back();
                ParseStripList(set.stripLods.back(), set);
            });
        } else if (Is(k, "LEVELOFDETAIL")) {
            ParseLevels(set);
            current = nullptr;  // later vertex blocks need a new STRIP_NUMVERTS
        }
    });
}

void AseParser::ParseStripVertices(AseStripSet& set, const AseStrips& strips) {
    const std::size_t count = std::size_t(set.vertexCount);
    if (strips.hasTexCoords && set.texCoords.size() != count)
        set.texCoords.assign(count, {});
    if (strips.hasColors && set.colors.size() != count)
        set.colors.assign(count, {});
    if (strips.hasNormals && set.normals.size() != count)
        set.normals.assign(count, {});
    std::int32_t next = 0;
    ReadBlock([&](std::string_view k) {
        if (Is(k, "V_weight")) {
            ParseVertexInfluences(set, next);
            return;
        }
        if (!Is(k, "Vert3ds"))
            return;
        // Vertex lines fill the set in order; the index on the line is not used.
        if (!InRange(next, set.vertexCount))
            return;
        const std::size_t v = std::size_t(next++);
        AseScanner scan(lines_.Line());
        std::int32_t index = 0;
        std::array<float, 3>& p = set.positions[v];
        scan.Scan("%s %d: %f %f %f", static_cast<std::string_view*>(nullptr), &index, &p[0], &p[1],
                  &p[2]);
        if (strips.hasTexCoords)
            scan.Scan(" UV: %f %f", &set.texCoords[v][0], &set.texCoords[v][1]);
        if (strips.hasColors)
            scan.Scan(" VertColor: %f %f %f %f", &set.colors[v][0], &set.colors[v][1],
                      &set.colors[v][2], &set.colors[v][3]);
        if (strips.hasNormals)
            scan.Scan(" Normal: %f %f %f", &set.normals[v][0], &set.normals[v][1],
                      &set.normals[v][2]);
    });
}

void AseParser::ParseVertexInfluences(AseStripSet& set, std::int32_t vertex) {
    // "V_weight" is followed by "Influence_Bone: n" and n pairs of "Bname: "name"" and
    // "Weight: w" lines; a line out of that order ends the group and is read as itself.
    auto expect = [&](std::string_view keyword) {
        const std::size_t mark = lines_.Mark();
        if (lines_.Next() && lines_.Keyword() == keyword)
            return true;
        lines_.Rewind(mark);
        return false;
    };
    std::int32_t bones = 0;
    if (!expect("Influence_Bone:") || !Count(bones, sizeof(float) + 32))
        return;
    const bool kept = InRange(vertex, set.vertexCount);
    if (kept && set.vertexWeights.empty())
        set.vertexWeights.assign(std::size_t(set.vertexCount), {});
    for (std::int32_t i = 0; i < bones; ++i) {
        if (!expect("Bname:"))
            return;
        std::string name = Unquoted();
        float weight = 0.0f;
        if (!expect("Weight:"))
            return;
        FloatValue(weight);
        if (!kept)
            continue;
        AseVertexWeights& w = set.vertexWeights[std::size_t(vertex)];
        w.boneNames.push_back(std::move(name));
        w.weights.push_back(weight);
        w.boneCount = std::int32_t(w.weights.size());
    }
}

void AseParser::ParseStripList(std::vector<AseStrip>& list, const AseStripSet& set) {
    ReadBlock([&](std::string_view k) {
        if (Is(k, "SMOOTHGROUP")) {
            IntValue(smoothingGroup_);
            return;
        }
        if (!Is(k, "STRIPS"))
            return;
        ReadBlock([&](std::string_view s) {
            if (s.substr(0, 5) != "Strip")
                return;
            const std::string_view line = lines_.Line();
            const std::size_t colon = line.find(':');
            if (colon == std::string_view::npos)
                return;
            AseStrip strip;
            strip.smoothingGroup = smoothingGroup_;
            strip.subMaterial = subMaterial_;
            AseScanner scan(line.substr(colon + 1));
            std::int32_t index = 0;
            while (scan.Scan(" %d", &index) == 1) {
                if (!InRange(index, set.vertexCount))
                    return;
                strip.indices.push_back(index);
            }
            if (!scan.Rest().empty()) {
                Drop();  // a word that is not an index
                return;
            }
            if (!strip.indices.empty())
                list.push_back(std::move(strip));
        });
    });
}

void AseParser::ParseLevels(AseStripSet& set) {
    ReadBlock([&](std::string_view k) {
        if (!Is(k, "DEPTH"))
            return;
        AseLod lod;
        FloatValue(lod.depth);
        ParseLod(lod, set);
        set.lods.push_back(std::move(lod));
    });
}

void AseParser::ParseLod(AseLod& lod, const AseStripSet& set) {
    // LOD counts and indices are 16-bit: a count above 65535 is refused like an oversized one.
    auto count16 = [&](std::int32_t& n, std::int32_t factor) {
        if (!Count(n, std::size_t(factor) * sizeof(std::uint16_t)))
            return false;
        if (std::int64_t(n) * factor > 0xFFFF) {
            ++refusedCounts_;
            n = 0;
        }
        return true;
    };
    auto index16 = [&](std::int32_t index) {
        return InRange(index, std::min<std::int64_t>(set.vertexCount, 0x10000));
    };
    std::size_t stripFill = 0;
    std::size_t triangleFill = 0;
    ReadBlock([&](std::string_view k) {
        std::int32_t n = 0;
        if (Is(k, "NUM_FACES")) {
            // A plain number (nothing is sized by it), but it must fit its 16 bits.
            if (!IntValue(n))
                return;
            if (n < 0 || n > 0xFFFF) {
                ++refusedCounts_;
                n = 0;
            }
            lod.faceCount = std::uint16_t(n);
        } else if (Is(k, "LOD")) {
            ReadBlock([&](std::string_view l) {
                if (Is(l, "STRIP_LENGTH")) {
                    std::int32_t length = 0;
                    if (!count16(length, 1))
                        return;
                    lod.stripLength = std::uint16_t(length);
                    lod.strip.assign(std::size_t(length), 0);
                    stripFill = 0;
                } else if (Is(l, "STRIP")) {
                    AseScanner scan(lines_.Line());
                    scan.Scan("%s", static_cast<std::string_view*>(nullptr));
                    std::int32_t index = 0;
                    while (scan.Scan(" %d", &index) == 1) {
                        if (!InRange(std::int64_t(stripFill), std::int64_t(lod.strip.size())) ||
                            !index16(index))
                            return;
                        lod.strip[stripFill++] = std::uint16_t(index);
                    }
                }
            });
        } else if (Is(k, "TRIANGLE_COUNT")) {
            if (!count16(n, 3))
                return;
            lod.triangleIndexCount = std::uint16_t(3 * n);
            lod.triangles.assign(3 * std::size_t(n), 0);
            triangleFill = 0;
        } else if (Is(k, "TRIANGLES")) {
            ReadBlock([&](std::string_view t) {
                if (!Is(t, "TRIANGLE"))
                    return;
                std::int32_t c[3] = {0, 0, 0};
                AseScanner(lines_.Line())
                    .Scan("%s %s %d %d %d", static_cast<std::string_view*>(nullptr),
                          static_cast<std::string_view*>(nullptr), &c[0], &c[1], &c[2]);
                if (!InRange(std::int64_t(triangleFill) + 2, std::int64_t(lod.triangles.size())))
                    return;
                for (std::int32_t v : c)
                    if (!index16(v))
                        return;
                for (std::int32_t v : c) lod.triangles[triangleFill++] = std::uint16_t(v);
            });
        }
    });
}

}  // namespace Zel
