#include "modelgen/MeshDescription.h"

#include <algorithm>
#include <cmath>

#include "fixtures/ByteWriter.h"

namespace ZelModelGen {

std::uint32_t ElementTypeSize(std::uint32_t type) {
    switch (type) {
        case 0:
        case 4:
        case 6:
        case 9:
            return 4;
        case 1:
        case 8:
            return 8;
        case 2:
            return 12;
        case 3:
            return 16;
        case 5:
            return 2;
        case 7:
            return 6;
        default:
            return 0;
    }
}

namespace {

void Put(ZelFixtures::ByteWriter& w, Vec2 v) {
    w.F32(v.x).F32(v.y);
}
void Put(ZelFixtures::ByteWriter& w, Vec3 v) {
    w.F32(v.x).F32(v.y).F32(v.z);
}
void Put(ZelFixtures::ByteWriter& w, Vec4 v) {
    w.F32(v.x).F32(v.y).F32(v.z).F32(v.w);
}
void Put(ZelFixtures::ByteWriter& w, std::uint32_t v) {
    w.U32(v);
}

template <typename T>
PoolDesc MakePool(std::uint32_t semantic, std::uint32_t type, const std::vector<T>& values) {
    PoolDesc pool;
    pool.semantic = semantic;
    pool.elementType = type;
    pool.elementCount = static_cast<std::uint32_t>(values.size());
    ZelFixtures::ByteWriter bytes;
    for (const T& v : values) Put(bytes, v);
    pool.data = bytes.Data();
    return pool;
}

// A channel times 255, truncated to an integer, its low 8 bits kept.
std::uint32_t Channel(float c) {
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(c * 255.0f)) & 0xFFu;
}

Vec3 Extreme(const std::vector<Vec3>& points, bool minimum) {
    if (points.empty())
        return {};
    Vec3 r = points[0];
    for (const Vec3& p : points) {
        r.x = minimum ? std::min(r.x, p.x) : std::max(r.x, p.x);
        r.y = minimum ? std::min(r.y, p.y) : std::max(r.y, p.y);
        r.z = minimum ? std::min(r.z, p.z) : std::max(r.z, p.z);
    }
    return r;
}

}  // namespace

Vec3 MeshDesc::BoxMin() const {
    return boxMin ? *boxMin : Extreme(positions, true);
}
Vec3 MeshDesc::BoxMax() const {
    return boxMax ? *boxMax : Extreme(positions, false);
}

std::uint32_t PackArgb(Vec4 c) {
    return Channel(c.w) << 24 | Channel(c.x) << 16 | Channel(c.y) << 8 | Channel(c.z);
}

std::uint32_t PackAbgr(Vec4 c) {
    return Channel(c.w) << 24 | Channel(c.z) << 16 | Channel(c.y) << 8 | Channel(c.x);
}

std::vector<PoolDesc> PoolsOf(const MeshDesc& mesh) {
    std::vector<PoolDesc> pools;
    if (!mesh.positions.empty())
        pools.push_back(MakePool(kPosition, kFloat3, mesh.positions));
    if (!mesh.normals.empty())
        pools.push_back(MakePool(kNormal, kFloat3, mesh.normals));
    if (!mesh.uv0.empty())
        pools.push_back(MakePool(kTexCoord0, kFloat2, mesh.uv0));
    if (!mesh.uv1.empty())
        pools.push_back(MakePool(kTexCoord1, kFloat2, mesh.uv1));
    if (!mesh.colours.empty()) {
        if (mesh.packedColours) {
            std::vector<std::uint32_t> packed;
            for (const Vec4& c : mesh.colours) packed.push_back(PackArgb(c));
            pools.push_back(MakePool(kPackedDiffuse, kPackedColour, packed));
        } else {
            pools.push_back(MakePool(kDiffuse, kFloat4, mesh.colours));
        }
    }
    pools.insert(pools.end(), mesh.extraPools.begin(), mesh.extraPools.end());
    return pools;
}

LodGroup TriangleListGroup(std::uint32_t first, std::uint32_t count) {
    LodGroup g;
    g.entries.push_back({3, count, count, 4 * first, 0});
    g.primitiveCount = count / 3;
    return g;
}

}  // namespace ZelModelGen
