#include "Entity/Geometry/LevelMeshReader.h"

#include <algorithm>
#include <cstring>

#include "Core/ErrorReport.h"
#include "Core/IZelStream.h"
#include "Core/LogDispatch.h"
#include "Core/StreamFactory.h"

namespace Zel {

namespace {

constexpr std::uint32_t kNameBuffer = 255;
constexpr std::uint64_t kSkipBlockBytes = 56;
constexpr std::uint64_t kFaceRecordBytes = 24;
constexpr std::uint64_t kOccluderBytes = 72;
// A mesh block holds at least its name length and seven counts.
constexpr std::uint64_t kMeshHeadBytes = 32;

std::uint64_t Remaining(IZelStream& s) {
    const std::uint64_t size = s.GetSize(), at = s.Tell();
    return at < size ? size - at : 0;
}

std::uint32_t Word(const std::uint8_t* b) {
    return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
           std::uint32_t(b[3]) << 24;
}

bool ReadU32(IZelStream& s, std::uint32_t& out) {
    std::uint8_t b[4];
    if (Remaining(s) < 4 || s.Read(b, 4) != 4)
        return false;
    out = Word(b);
    return true;
}

// Appends count little-endian floats.
bool ReadFloats(IZelStream& s, std::uint64_t count, std::vector<float>& out) {
    if (count * 4 > Remaining(s))
        return false;
    std::vector<std::uint8_t> bytes(count * 4);
    if (!bytes.empty() && s.Read(bytes.data(), std::uint32_t(bytes.size())) != bytes.size())
        return false;
    out.reserve(out.size() + count);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint32_t bits = Word(&bytes[4 * i]);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        out.push_back(value);
    }
    return true;
}

bool Skip(IZelStream& s, std::uint64_t bytes) {
    return bytes <= Remaining(s) && (bytes == 0 || s.Seek(std::int64_t(bytes), STREAM_SEEK_CUR));
}

// A u32 byte count and the bytes; the text is the bytes before the first NUL among the first 255.
bool ReadName(IZelStream& s, std::string& out) {
    std::uint32_t length = 0;
    if (!ReadU32(s, length) || length > Remaining(s))
        return false;
    char buffer[kNameBuffer] = {};
    const std::uint32_t kept = std::min(length, kNameBuffer);
    if (kept && s.Read(buffer, kept) != kept)
        return false;
    out.assign(buffer, strnlen(buffer, kept));
    return Skip(s, length - kept);
}

bool EndsEarly(const std::string& path, const char* where) {
    LogError("Level mesh %s ends early (%s)", path.c_str(), where);
    return false;
}

bool ReadMeshBlock(IZelStream& s, LevelMeshBlock& m, const std::string& path, std::uint32_t index) {
    std::uint32_t faceVectors = 0, normals = 0, uv0 = 0, uv1 = 0;
    if (!ReadName(s, m.material) || !ReadU32(s, m.faceCount) || !ReadU32(s, faceVectors) ||
        !ReadU32(s, m.vertexCount) || !ReadU32(s, m.colourCount) || !ReadU32(s, normals) ||
        !ReadU32(s, uv0) || !ReadU32(s, uv1))
        return EndsEarly(path, "mesh head");
    const std::uint64_t faces = m.faceCount, vertices = m.vertexCount;
    if (faces * kFaceRecordBytes > Remaining(s))
        return EndsEarly(path, "faces");
    std::vector<std::uint8_t> records(faces * kFaceRecordBytes);
    if (!records.empty() && s.Read(records.data(), std::uint32_t(records.size())) != records.size())
        return EndsEarly(path, "faces");
    m.triangles.resize(3 * faces);
    for (std::uint64_t f = 0; f < faces; ++f) {
        for (std::uint64_t k = 0; k < 3; ++k) {
            // Words 2, 3 and 4 of the six-word record are the corners.
            const std::uint32_t v = Word(&records[f * kFaceRecordBytes + 8 + 4 * k]);
            if (v >= m.vertexCount) {
                LogError("Level mesh %s: face %llu of mesh %u names vertex %u of %u", path.c_str(),
                         static_cast<unsigned long long>(f), index, v, m.vertexCount);
                return false;
            }
            m.triangles[3 * f + k] = v;
        }
    }
    if (!ReadFloats(s, 3 * vertices, m.positions))
        return EndsEarly(path, "positions");
    for (std::uint64_t v = 0; v < vertices; ++v)
        m.bounds.ExtendByPoint(m.positions[3 * v], m.positions[3 * v + 1], m.positions[3 * v + 2]);
    if (m.colourCount > 0) {
        // The colour component holds V elements: colours past them are passed over.
        const std::uint64_t kept = std::min<std::uint64_t>(m.colourCount, vertices);
        if (std::uint64_t(m.colourCount) * 12 > Remaining(s) ||
            !ReadFloats(s, 3 * kept, m.colours) || !Skip(s, (m.colourCount - kept) * 12))
            return EndsEarly(path, "colours");
    }
    for (auto [flag, out] : {std::pair{uv0, &m.texCoords0}, std::pair{uv1, &m.texCoords1}}) {
        if (!flag)
            continue;
        if (!ReadFloats(s, 2 * vertices, *out))
            return EndsEarly(path, "texture coordinates");
        for (std::uint64_t v = 0; v < vertices; ++v) (*out)[2 * v + 1] = 1.0f - (*out)[2 * v + 1];
    }
    if (!ReadFloats(s, 3 * std::uint64_t(faceVectors), m.faceVectors))
        return EndsEarly(path, "face vectors");
    if (normals && !ReadFloats(s, 3 * vertices, m.normals))
        return EndsEarly(path, "normals");
    return true;
}

// Corners 2 and 3 change places when the turn from edge (c0, c1) to (c1, c2) and the turn from
// (c1, c2) to (c2, c3) point the same way.
void ApplyWinding(LevelOccluder& o) {
    float e[3][3];
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) e[i][k] = o.corners[i + 1][k] - o.corners[i][k];
    auto cross = [](const float* a, const float* b, float* out) {
        out[0] = a[1] * b[2] - a[2] * b[1];
        out[1] = a[2] * b[0] - a[0] * b[2];
        out[2] = a[0] * b[1] - a[1] * b[0];
    };
    float ab[3], bc[3];
    cross(e[0], e[1], ab);
    cross(e[1], e[2], bc);
    if (ab[0] * bc[0] + ab[1] * bc[1] + ab[2] * bc[2] > 0.0f)
        for (int k = 0; k < 3; ++k) std::swap(o.corners[2][k], o.corners[3][k]);
}

}  // namespace

bool ReadLevelMesh(IZelStream& s, LevelMeshData& out, bool withOccluders) {
    out = LevelMeshData();
    const std::string& path = s.GetName();
    std::string name;
    std::uint32_t sceneCount = 0, reserved = 0, skipBlocks = 0;
    if (!ReadName(s, name) || !ReadU32(s, sceneCount) || !ReadU32(s, reserved) ||
        !ReadU32(s, skipBlocks))
        return EndsEarly(path, "head");
    if (sceneCount != 1) {
        std::string message, location;
        FormatAssertMessage(message, location, __FILE__, __LINE__, __func__, "Exp Failed!");
        ReportAssert(message, location);
    }
    if (!Skip(s, kSkipBlockBytes * skipBlocks))
        return EndsEarly(path, "skipped blocks");
    std::uint32_t meshCount = 0, occluderCount = 0;
    if (sceneCount > 0) {
        if (!ReadName(s, name) || !ReadU32(s, meshCount) || !ReadU32(s, occluderCount))
            return EndsEarly(path, "scene head");
        if (std::uint64_t(meshCount) * kMeshHeadBytes > Remaining(s))
            return EndsEarly(path, "meshes");
        out.meshes.resize(meshCount);
        for (std::uint32_t i = 0; i < meshCount; ++i) {
            LevelMeshBlock& m = out.meshes[i];
            if (!ReadMeshBlock(s, m, path, i))
                return false;
            out.faceTotal += m.faceCount;
            out.vertexTotal += m.vertexCount;
            if (m.vertexCount > 0)
                out.bounds.Merge(m.bounds);
        }
    }
    std::uint32_t points = 0, indexWords = 0;
    if (!ReadU32(s, points) || !Skip(s, 12 * std::uint64_t(points)) || !ReadU32(s, indexWords) ||
        (points > 0 && !Skip(s, 4 * std::uint64_t(indexWords))))
        return EndsEarly(path, "points");
    if (!withOccluders || sceneCount == 0)
        return true;
    if (std::uint64_t(occluderCount) * kOccluderBytes > Remaining(s))
        return EndsEarly(path, "occluders");
    out.occluders.resize(occluderCount);
    std::vector<float> values;
    for (LevelOccluder& o : out.occluders) {
        values.clear();
        if (!ReadFloats(s, kOccluderBytes / 4, values))
            return EndsEarly(path, "occluders");
        for (int c = 0; c < 4; ++c) std::copy(&values[3 * c], &values[3 * c] + 3, o.corners[c]);
        std::copy(&values[12], &values[15], o.centre);
        std::copy(&values[15], &values[18], o.normal);
        ApplyWinding(o);
    }
    return true;
}

bool LoadLevelMesh(const std::string& path, LevelMeshData& out, bool withOccluders) {
    IZelStream* stream = OpenFileStream(path);
    if (!stream) {
        LogError("Level mesh %s cannot be opened", path.c_str());
        return false;
    }
    const bool ok = ReadLevelMesh(*stream, out, withOccluders);
    stream->Release();
    return ok;
}

}  // namespace Zel
