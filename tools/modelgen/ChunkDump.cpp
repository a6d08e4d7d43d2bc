#include "modelgen/ChunkDump.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstddef>

#include "modelgen/ChunkTags.h"

namespace ZelModelGen {

std::string DumpNode::Field(const std::string& key) const {
    for (const auto& [k, v] : fields)
        if (k == key) return v;
    return "";
}

namespace {

// Thrown once the walk cannot go on; the result already says why.
struct Stop {};

struct Cursor {
    const std::vector<std::uint8_t>* data = nullptr;
    std::size_t pos = 0;
    bool companion = false;

    std::uint64_t Left() const { return data->size() - pos; }
};

std::string Hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

std::string Num(float v) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
    return buf;
}

std::uint32_t LoadU32(const std::vector<std::uint8_t>& b, std::size_t at) {
    if (at + 4 > b.size()) return 0;
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

float LoadF32(const std::vector<std::uint8_t>& b, std::size_t at) {
    std::uint32_t bits = LoadU32(b, at);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

// The characters of bytes [from, from + count) up to the first NUL.
std::string TextUpToNul(const std::vector<std::uint8_t>& b, std::size_t from, std::size_t count) {
    auto begin = b.begin() + static_cast<std::ptrdiff_t>(from);
    auto end = begin + static_cast<std::ptrdiff_t>(count);
    return std::string(begin, std::find(begin, end, std::uint8_t(0)));
}

std::string Vec3At(const std::vector<std::uint8_t>& b, std::size_t at) {
    return "(" + Num(LoadF32(b, at)) + "," + Num(LoadF32(b, at + 4)) + "," + Num(LoadF32(b, at + 8)) +
           ")";
}

constexpr int kMaxMorphDepth = 64;

class ChunkWalker {
public:
    ChunkWalker(DumpResult& r, const std::vector<std::uint8_t>& main,
                const std::vector<std::uint8_t>* companion)
        : r_(r) {
        main_.data = &main;
        if (companion) {
            lod_.data = companion;
            lod_.companion = true;
        }
    }

    void Run() {
        try {
            Need(main_, 4, "the first chunk's tag");
            std::uint32_t tag = LoadU32(*main_.data, main_.pos);
            switch (tag) {
                case kTagGeometry: Geometry(r_.root, main_); break;
                case kTagSkinnedGeometry: SkinnedGeometry(r_.root, main_); break;
                case kTagBodyPart: BodyPart(r_.root); break;
                case kTagMorphGeometry: MorphGeometry(r_.root); break;
                case kTagClothGeometry: ClothGeometry(r_.root); break;
                default: Fail(main_, "not a chunk stream: the first tag is " + std::to_string(tag));
            }
            if (main_.Left() > 0)
                Note(main_, std::to_string(main_.Left()) + " bytes after the last chunk");
            if (lod_.data) {
                if (tag != kTagBodyPart && tag != kTagClothGeometry)
                    Note(lod_, "this file kind reads no LOD companion");
                else if (lod_.Left() > 0)
                    Note(lod_, std::to_string(lod_.Left()) + " companion bytes not read");
            }
        } catch (const Stop&) {
        }
        r_.consumed = main_.pos;
        r_.companionConsumed = lod_.pos;
    }

private:
    [[noreturn]] void Fail(const Cursor& c, const std::string& message) {
        r_.ok = false;
        r_.error = message;
        r_.errorOffset = c.pos;
        r_.errorInCompanion = c.companion;
        throw Stop();
    }

    void Note(const Cursor& c, const std::string& message) {
        r_.notes.push_back(std::string(c.companion ? "companion " : "") + "@" +
                           std::to_string(c.pos) + ": " + message);
    }

    void Need(const Cursor& c, std::uint64_t bytes, const std::string& what) {
        if (bytes > c.Left())
            Fail(c, "the file ends inside " + what + " (" + std::to_string(bytes) + " bytes needed, " +
                        std::to_string(c.Left()) + " left)");
    }

    std::uint32_t U32(Cursor& c, const std::string& what) {
        Need(c, 4, what);
        std::uint32_t v = LoadU32(*c.data, c.pos);
        c.pos += 4;
        return v;
    }

    void Skip(Cursor& c, std::uint64_t count, std::uint64_t each, const std::string& what) {
        // Both factors are below 2^32, so the product fits in 64 bits.
        Need(c, count * each, what);
        c.pos += static_cast<std::size_t>(count * each);
    }

    // A count of items each at least `each` bytes long must fit in the bytes left.
    void CheckCount(const Cursor& c, std::uint64_t count, std::uint64_t each,
                    const std::string& what) {
        if (count * each > c.Left())
            Fail(c, "count " + std::to_string(count) + " of " + what + " needs at least " +
                        std::to_string(count * each) + " bytes, " + std::to_string(c.Left()) +
                        " left");
    }

    // Reads a chunk header that must carry `tag`, then its fixed record into `record`. A size word
    // that differs from the fixed size is noted; the fixed size is read all the same.
    DumpNode& Chunk(DumpNode& parent, Cursor& c, std::uint32_t tag, std::uint32_t fixed,
                    bool checked, std::vector<std::uint8_t>& record) {
        DumpNode node;
        node.name = ChunkTagName(tag);
        node.chunk = true;
        node.companion = c.companion;
        node.offset = c.pos;
        Need(c, 12, std::string("the header of a ") + ChunkTagName(tag) + " chunk");
        node.tag = LoadU32(*c.data, c.pos);
        node.sizeWord = LoadU32(*c.data, c.pos + 4);
        node.resourceWord = LoadU32(*c.data, c.pos + 8);
        if (node.tag != tag) {
            node.name = ChunkTagName(node.tag);
            parent.children.push_back(node);
            Fail(c, "expected tag " + std::to_string(tag) + " (" + ChunkTagName(tag) + "), found " +
                        std::to_string(node.tag));
        }
        c.pos += 12;
        if (tag == kTagSkin) {
            // The skin's record size follows from its palette count.
            Need(c, 4, "the palette count of a skin");
            fixed = LoadU32(*c.data, c.pos) > 29 ? kSizeSkinLarge : kSizeSkinSmall;
        }
        if (node.sizeWord != fixed)
            Note(c, std::string(ChunkTagName(tag)) + " size word " + std::to_string(node.sizeWord) +
                        ", record " + std::to_string(fixed) + (checked ? "" : " (not checked)"));
        Need(c, fixed, std::string("the record of a ") + ChunkTagName(tag) + " chunk");
        record.assign(c.data->begin() + c.pos, c.data->begin() + c.pos + fixed);
        c.pos += fixed;
        parent.children.push_back(node);
        return parent.children.back();
    }

    // A string record; a null flag or an over-long length is noted and the walk goes on where a
    // reader's stream would be (12 bytes after the head).
    void String(DumpNode& parent, Cursor& c, const std::string& role) {
        DumpNode node;
        node.name = role;
        node.companion = c.companion;
        node.offset = c.pos;
        Need(c, 12, "the head of the string record " + role);
        std::uint32_t flag = LoadU32(*c.data, c.pos);
        std::uint32_t length = LoadU32(*c.data, c.pos + 4);
        c.pos += 12;
        node.fields.push_back({"length", std::to_string(length)});
        if (flag != 0) {
            node.fields.push_back({"nullFlag", std::to_string(flag)});
            Note(c, "string " + role + " has null flag " + std::to_string(flag));
        } else if (length > 256) {
            Note(c, "string " + role + " is " + std::to_string(length) + " bytes, over 256");
        } else {
            Need(c, length, "the characters of the string record " + role);
            node.fields.push_back({"value", "\"" + TextUpToNul(*c.data, c.pos, length) + "\""});
            c.pos += length;
        }
        parent.children.push_back(node);
    }

    void Geometry(DumpNode& parent, Cursor& c) {
        std::vector<std::uint8_t> rec;
        DumpNode& n = Chunk(parent, c, kTagGeometry, kSizeGeometry, false, rec);
        std::uint32_t parts = LoadU32(rec, 0), matrices = LoadU32(rec, 1092);
        std::uint32_t extra = LoadU32(rec, 1096), scales = LoadU32(rec, 1100);
        std::uint32_t translations = LoadU32(rec, 1104), rotations = LoadU32(rec, 1108);
        std::uint32_t animations = LoadU32(rec, 1112), materials = LoadU32(rec, 1116);
        n.fields = {{"partCount", std::to_string(parts)},        {"boxMin", Vec3At(rec, 4)},
                    {"boxMax", Vec3At(rec, 16)},                 {"matrixCount", std::to_string(matrices)},
                    {"extraWordCount", std::to_string(extra)},   {"scaleCount", std::to_string(scales)},
                    {"translationCount", std::to_string(translations)},
                    {"rotationCount", std::to_string(rotations)},
                    {"animationCount", std::to_string(animations)},
                    {"materialFileCount", std::to_string(materials)}};
        Skip(c, extra, 4, "the extra words");
        Skip(c, scales, 12, "the scales");
        Skip(c, translations, 12, "the translations");
        Skip(c, rotations, 16, "the rotations");
        CheckCount(c, parts, 12 + kSizeMesh, "parts");
        for (std::uint32_t i = 0; i < parts; ++i) Part(n, c);
        CheckCount(c, animations, 24 + kSizeAnimationTrack + kSizeAnimationKeys, "animation tracks");
        for (std::uint32_t i = 0; i < animations; ++i) Track(n, c);
        CheckCount(c, materials, 12, "material files");
        for (std::uint32_t i = 0; i < materials; ++i) String(n, c, "materialFile");
    }

    // The part's class decides its kind in the engine; the dump goes by the tag it finds.
    void Part(DumpNode& parent, Cursor& c) {
        Need(c, 4, "a part's tag");
        std::uint32_t tag = LoadU32(*c.data, c.pos);
        switch (tag) {
            case kTagMesh: Mesh(parent, c); break;
            case kTagSkin: Skin(parent, c); break;
            case kTagMorphMesh: MorphMesh(parent, c, 0); break;
            case kTagClothMeshData: ClothMeshData(parent, c); break;
            default: Fail(c, "a part chunk has tag " + std::to_string(tag));
        }
    }

    std::uint32_t Mesh(DumpNode& parent, Cursor& c) {
        std::vector<std::uint8_t> rec;
        DumpNode& n = Chunk(parent, c, kTagMesh, kSizeMesh, false, rec);
        std::uint32_t lods = LoadU32(rec, 36), vertices = LoadU32(rec, 44);
        bool vb = LoadU32(rec, 52) != 0, ib = LoadU32(rec, 56) != 0;
        n.fields = {{"boxMin", Vec3At(rec, 0)},
                    {"boxMax", Vec3At(rec, 12)},
                    {"wordB", std::to_string(LoadU32(rec, 28))},
                    {"wordC", std::to_string(LoadU32(rec, 32))},
                    {"lodCount", std::to_string(lods)},
                    {"groupWord", std::to_string(LoadU32(rec, 40))},
                    {"vertexCount", std::to_string(vertices)},
                    {"faceCount", std::to_string(LoadU32(rec, 48))},
                    {"vertexBufferFlag", std::to_string(LoadU32(rec, 52))},
                    {"indexBufferFlag", std::to_string(LoadU32(rec, 56))}};
        String(n, c, "material");
        CheckCount(c, lods, 12 + kSizeLodStrip, "LOD strips");
        for (std::uint32_t i = 0; i < lods; ++i) LodStrip(n, c);
        if (lodActive_) {
            std::size_t at = lod_.pos;
            std::uint32_t total = U32(lod_, "the companion's strip total");
            DumpNode t;
            t.name = "stripTotal";
            t.companion = true;
            t.offset = at;
            t.fields.push_back({"total", std::to_string(total)});
            n.children.push_back(t);
            if (total > lods) {
                CheckCount(lod_, total - lods, 12 + kSizeLodStrip, "companion LOD strips");
                for (std::uint32_t k = lods; k < total; ++k) LodStrip(n, lod_);
            }
        }
        if (vb) VertexBuffer(n, c);
        if (ib) IndexBuffer(n, c);
        return vertices;
    }

    void LodStrip(DumpNode& parent, Cursor& c) {
        std::vector<std::uint8_t> rec;
        DumpNode& n = Chunk(parent, c, kTagLodStrip, kSizeLodStrip, true, rec);
        std::uint32_t entries = LoadU32(rec, 0);
        n.fields = {{"entryCount", std::to_string(entries)},
                    {"primitiveCount", std::to_string(LoadU32(rec, 4))}};
        CheckCount(c, entries, kSizeLodEntry, "LOD entries");
        for (std::uint32_t i = 0; i < entries; ++i) {
            DumpNode e;
            e.name = "entry";
            e.companion = c.companion;
            e.offset = c.pos;
            const char* keys[5] = {"primitive", "indexCount", "drawCount", "start", "value"};
            for (const char* key : keys) e.fields.push_back({key, std::to_string(U32(c, "an entry"))});
            n.children.push_back(e);
        }
    }

    void VertexBuffer(DumpNode& parent, Cursor& c) {
        std::vector<std::uint8_t> rec;
        DumpNode& n = Chunk(parent, c, kTagVertexBuffer, kSizeVertexBuffer, true, rec);
        std::uint32_t pools = LoadU32(rec, 4);
        n.fields = {{"vertexCount", std::to_string(LoadU32(rec, 0))},
                    {"poolCount", std::to_string(pools)},
                    {"kind", std::to_string(LoadU32(rec, 8))}};
        CheckCount(c, pools, 12 + kSizeVertexPool, "vertex pools");
        for (std::uint32_t i = 0; i < pools; ++i) Pool(n, c);
    }

    void Pool(DumpNode& parent, Cursor& c) {
        static const std::uint32_t kSizes[10] = {4, 8, 12, 16, 4, 2, 4, 6, 8, 4};
        std::vector<std::uint8_t> rec;
        DumpNode& n = Chunk(parent, c, kTagVertexPool, kSizeVertexPool, true, rec);
        std::uint32_t count = LoadU32(rec, 0), size = LoadU32(rec, 4), type = LoadU32(rec, 12);
        n.fields = {{"elementCount", std::to_string(count)},
                    {"dataSize", std::to_string(size)},
                    {"semantic", Hex(LoadU32(rec, 8))},
                    {"elementType", std::to_string(type)},
                    {"furtherWord", std::to_string(LoadU32(rec, 16))}};
        std::uint64_t expected = std::uint64_t(type < 10 ? kSizes[type] : 0) * count;
        if (expected != size)
            Note(c, "pool data size " + std::to_string(size) + ", elements need " +
                        std::to_string(expected));
        Skip(c, size, 1, "a pool's data");
    }

    // Reads `count` indices and answers the largest (0 for none).
    std::uint32_t Indices(Cursor& c, std::uint32_t count, const std::string& what) {
        Need(c, std::uint64_t(count) * 4, what);
        std::uint32_t largest = 0;
        for (std::uint32_t i = 0; i < count; ++i) largest = std::max(largest, U32(c, what));
        return largest;
    }

    void IndexBuffer(DumpNode& parent, Cursor& c) {
        std::vector<std::uint8_t> rec;
        DumpNode& n = Chunk(parent, c, kTagIndexBuffer, kSizeIndexBuffer, false, rec);
        std::uint32_t count = LoadU32(rec, 0);
        n.fields = {{"indexCount", std::to_string(count)},
                    {"bufferOffset", std::to_string(LoadU32(rec, 4))},
                    {"usage", std::to_string(LoadU32(rec, 12))},
                    {"flags", std::to_string(LoadU32(rec, 16))}};
        std::uint32_t lodCount = 0;
        bool lodData = false;
        if (lodActive_) {
            std::size_t at = lod_.pos;
            Need(lod_, 12, "the companion's index buffer header");
            std::uint32_t tag = LoadU32(*lod_.data, lod_.pos);
            lod_.pos += 12;
            DumpNode l;
            l.name = "companionIndexBuffer";
            l.chunk = true;
            l.companion = true;
            l.offset = at;
            l.tag = tag;
            l.sizeWord = LoadU32(*lod_.data, at + 4);
            l.resourceWord = LoadU32(*lod_.data, at + 8);
            if (tag != kTagIndexBuffer) {
                Note(lod_, "companion index buffer has tag " + std::to_string(tag) + "; its data is not read");
            } else {
                lodData = true;
                lodCount = U32(lod_, "the companion's index record");
                const char* keys[4] = {"baseIndexCount", "clearBytes", "word0", "word1"};
                l.fields.push_back({"lodIndexCount", std::to_string(lodCount)});
                for (const char* key : keys)
                    l.fields.push_back({key, std::to_string(U32(lod_, "the companion's index record"))});
            }
            n.children.push_back(l);
        }
        std::uint32_t largest = Indices(c, count, "the indices");
        if (lodData) largest = std::max(largest, Indices(lod_, lodCount, "the companion's indices"));
        n.fields.push_back({"largestIndex", std::to_string(largest)});
    }

    void Skin(DumpNode& parent, Cursor& c) {
        std::vector<std::uint8_t> rec;
        DumpNode& n = Chunk(parent, c, kTagSkin, kSizeSkinSmall, true, rec);
        std::uint32_t count = LoadU32(rec, 0);
        std::string palette;
        std::uint32_t slots = rec.size() == kSizeSkinLarge ? 60 : 29;
        for (std::uint32_t i = 0; i < std::min(count, slots); ++i)
            palette += (i ? "," : "") + std::to_string(LoadU32(rec, 4 + 4 * i));
        n.fields = {{"paletteCount", std::to_string(count)}, {"palette", palette}};
        std::uint32_t vertices = Mesh(n, c);
        Skip(c, vertices, 36, "the blend records");
    }

    void SkinnedGeometry(DumpNode& parent, Cursor& c) {
        std::vector<std::uint8_t> rec;
        DumpNode& n = Chunk(parent, c, kTagSkinnedGeometry, kSizeSkinnedGeometry, true, rec);
        std::uint32_t skeleton = LoadU32(rec, 0), actions = LoadU32(rec, 4);
        n.fields = {{"skeletonFlag", std::to_string(skeleton)},
                    {"actionCount", std::to_string(actions)}};
        Geometry(n, c);
        if (skeleton) Skeleton(n, c);
        CheckCount(c, actions, 12 + kSizeAction, "actions");
        for (std::uint32_t i = 0; i < actions; ++i) Action(n, c);
    }

    void Skeleton(DumpNode& parent, Cursor& c) {
        std::vector<std::uint8_t> rec;
        DumpNode& n = Chunk(parent, c, kTagSkeleton, kSizeSkeleton, true, rec);
        std::uint32_t bones = LoadU32(rec, 4);
        n.fields = {{"rootBoneIndex", std::to_string(LoadU32(rec, 0))},
                    {"boneCount", std::to_string(bones)},
                    {"leftFootId", std::to_string(std::int32_t(LoadU32(rec, 20)))},
                    {"rightFootId", std::to_string(std::int32_t(LoadU32(rec, 24)))}};
        CheckCount(c, bones, 12 + kSizeBone, "bones");
        for (std::uint32_t i = 0; i < bones; ++i) Bone(n, c);
    }

    void Bone(DumpNode& parent, Cursor& c) {
        std::vector<std::uint8_t> rec;
        DumpNode& n = Chunk(parent, c, kTagBone, kSizeBone, true, rec);
        std::uint32_t links = LoadU32(rec, 8);
        n.fields = {{"id", std::to_string(std::int32_t(LoadU32(rec, 0)))},
                    {"parentId", std::to_string(std::int32_t(LoadU32(rec, 4)))},
                    {"linkCount", std::to_string(links)}};
        String(n, c, "name");
        Skip(c, links, 4, "the bone links");
    }

    void Action(DumpNode& parent, Cursor& c) {
        std::vector<std::uint8_t> rec;
        DumpNode& n = Chunk(parent, c, kTagAction, kSizeAction, true, rec);
        std::uint32_t bones = LoadU32(rec, 8), tracks = LoadU32(rec, 12);
        n.fields = {{"length", Num(LoadF32(rec, 0))},
                    {"boneCount", std::to_string(bones)},
                    {"trackCount", std::to_string(tracks)}};
        String(n, c, "name");
        String(n, c, "fileName");
        Skip(c, bones, 4, "the action's bone indices");
        CheckCount(c, tracks, 24 + kSizeAnimationTrack + kSizeAnimationKeys, "tracks");
        for (std::uint32_t i = 0; i < tracks; ++i) Track(n, c);
    }

    void Track(DumpNode& parent, Cursor& c) {
        std::vector<std::uint8_t> rec;
        DumpNode& n = Chunk(parent, c, kTagAnimationTrack, kSizeAnimationTrack, true, rec);
        std::uint32_t frames = LoadU32(rec, 76);
        n.fields = {{"boneIndex", std::to_string(LoadU32(rec, 72))},
                    {"frameCount", std::to_string(frames)},
                    {"flags", Hex(LoadU32(rec, 28))}};
        Keys(n, c, frames);
    }

    void Keys(DumpNode& parent, Cursor& c, std::uint32_t frames) {
        std::vector<std::uint8_t> rec;
        DumpNode& n = Chunk(parent, c, kTagAnimationKeys, kSizeAnimationKeys, true, rec);
        std::uint32_t p = LoadU32(rec, 36), q = LoadU32(rec, 40), s = LoadU32(rec, 44);
        n.fields = {{"positionCount", std::to_string(p)},
                    {"rotationCount", std::to_string(q)},
                    {"scaleCount", std::to_string(s)}};
        Skip(c, p, 16, "the position keys");
        Skip(c, q, 20, "the rotation keys");
        Skip(c, s, 16, "the scale keys");
        if (frames == 0) return;
        for (std::uint32_t count : {p, q, s})
            if (count > 0) Skip(c, frames, 4, "a frame table");
    }

    void Bound(DumpNode& parent, Cursor& c) {
        std::vector<std::uint8_t> rec;
        DumpNode& n = Chunk(parent, c, kTagBound, kSizeBound, true, rec);
        std::uint32_t kind = LoadU32(rec, 64);
        n.fields = {{"kind", std::to_string(kind)}, {"shapeWord", std::to_string(LoadU32(rec, 68))}};
        std::vector<std::uint8_t> shape;
        if (kind == 0) {
            DumpNode& s = Chunk(n, c, kTagBoundSphere, kSizeBoundSphere, true, shape);
            s.fields = {{"radius", Num(LoadF32(shape, 0))}};
        } else if (kind == 1) {
            DumpNode& s = Chunk(n, c, kTagBoundCapsule, kSizeBoundCapsule, true, shape);
            s.fields = {{"radius", Num(LoadF32(shape, 0))}, {"height", Num(LoadF32(shape, 4))}};
        } else {
            Note(c, "bound of kind " + std::to_string(kind) + " has no shape");
        }
        String(n, c, "name");
    }

    void BodyPart(DumpNode& parent) {
        Cursor& c = main_;
        std::vector<std::uint8_t> rec;
        DumpNode& n = Chunk(parent, c, kTagBodyPart, kSizeBodyPart, true, rec);
        std::uint32_t packed = LoadU32(rec, 0), skins = LoadU32(rec, 8);
        std::uint32_t textures = LoadU32(rec, 12), selectors = LoadU32(rec, 16);
        n.fields = {{"setting1", std::to_string(packed & 0xFF)},
                    {"setting2", std::to_string(packed >> 20)},
                    {"setting3", std::to_string(LoadU32(rec, 4))},
                    {"skinCount", std::to_string(skins)},
                    {"textureCount", std::to_string(textures)},
                    {"selectorCount", std::to_string(selectors)}};
        CheckCount(c, skins, 12 + 12 + kSizeSkinnedGeometry, "skins");
        lodActive_ = lod_.data != nullptr;
        for (std::uint32_t i = 0; i < skins; ++i) {
            String(n, c, "skinName");
            SkinnedGeometry(n, c);
        }
        lodActive_ = false;
        CheckCount(c, textures, 12 + 12 + kSizeBodyTexture, "body textures");
        for (std::uint32_t i = 0; i < textures; ++i) {
            String(n, c, "textureName");
            BodyTexture(n, c);
        }
        CheckCount(c, selectors, 272 + 24, "selectors");
        for (std::uint32_t i = 0; i < selectors; ++i) {
            DumpNode s;
            s.name = "selector";
            s.offset = c.pos;
            Need(c, 272, "a selector");
            for (int k = 0; k < 4; ++k)
                s.fields.push_back({"word" + std::to_string(k), std::to_string(U32(c, "a selector"))});
            c.pos += 256;
            String(s, c, "skinName");
            String(s, c, "materialName");
            n.children.push_back(s);
        }
        String(n, c, "defaultMesh");
        String(n, c, "defaultTexture");
    }

    void BodyTexture(DumpNode& parent, Cursor& c) {
        std::vector<std::uint8_t> rec;
        DumpNode& n = Chunk(parent, c, kTagBodyTexture, kSizeBodyTexture, true, rec);
        std::uint32_t size = LoadU32(rec, 8);
        n.fields = {{"slot", std::to_string(LoadU32(rec, 0))}, {"imageSize", std::to_string(size)}};
        String(n, c, "fileName");
        Skip(c, size, 1, "the embedded image");
    }

    void MorphGeometry(DumpNode& parent) {
        Cursor& c = main_;
        std::vector<std::uint8_t> rec;
        DumpNode& n = Chunk(parent, c, kTagMorphGeometry, kSizeMorphGeometry, true, rec);
        std::int32_t meshes = std::int32_t(LoadU32(rec, 8));
        n.fields = {{"morphValue", Num(LoadF32(rec, 0))},
                    {"morphFlag", std::to_string(LoadU32(rec, 4))},
                    {"morphMeshCount", std::to_string(meshes)}};
        Geometry(n, c);
        std::uint32_t count = meshes > 0 ? std::uint32_t(meshes) : 0;
        CheckCount(c, count, 12 + kSizeMorphMesh, "morph meshes");
        for (std::uint32_t i = 0; i < count; ++i) MorphMesh(n, c, 0);
    }

    void MorphMesh(DumpNode& parent, Cursor& c, int depth) {
        if (depth > kMaxMorphDepth) Fail(c, "morph meshes nest deeper than 64");
        std::vector<std::uint8_t> rec;
        DumpNode& n = Chunk(parent, c, kTagMorphMesh, kSizeMorphMesh, false, rec);
        std::int32_t keys = std::int32_t(LoadU32(rec, 0));
        n.fields = {{"keyCount", std::to_string(keys)}, {"morphWord", std::to_string(LoadU32(rec, 4))}};
        Mesh(n, c);
        std::uint32_t count = keys > 0 ? std::uint32_t(keys) : 0;
        CheckCount(c, count, 12 + 12 + kSizeMorphMesh, "morph keys");
        for (std::uint32_t i = 0; i < count; ++i) {
            Need(c, 12, "a morph key");
            c.pos += 12;
            MorphMesh(n, c, depth + 1);
        }
    }

    void ClothGeometry(DumpNode& parent) {
        Cursor& c = main_;
        std::vector<std::uint8_t> rec;
        DumpNode& n = Chunk(parent, c, kTagClothGeometry, kSizeClothGeometry, true, rec);
        std::uint32_t bounds = LoadU32(rec, 4), points = LoadU32(rec, 8);
        n.fields = {{"flagWord", std::to_string(LoadU32(rec, 0))},
                    {"boundCount", std::to_string(bounds)},
                    {"pointCount", std::to_string(points)}};
        lodActive_ = lod_.data != nullptr;
        Geometry(n, c);
        lodActive_ = false;
        CheckCount(c, bounds, 12 + kSizeBound, "bounds");
        for (std::uint32_t i = 0; i < bounds; ++i) Bound(n, c);
        Skip(c, points, 12, "the points");
    }

    void ClothMeshData(DumpNode& parent, Cursor& c) {
        std::vector<std::uint8_t> rec;
        DumpNode& n = Chunk(parent, c, kTagClothMeshData, kSizeClothMeshData, true, rec);
        std::uint32_t a = LoadU32(rec, 24), b = LoadU32(rec, 28), records = LoadU32(rec, 32);
        bool fa = LoadU32(rec, 36) != 0, fb = LoadU32(rec, 44) != 0;
        bool fia = LoadU32(rec, 48) != 0, fib = LoadU32(rec, 52) != 0;
        std::uint32_t subParts = LoadU32(rec, 64), indices = LoadU32(rec, 68);
        n.fields = {{"pointCountA", std::to_string(a)},    {"pointCountB", std::to_string(b)},
                    {"recordCount", std::to_string(records)}, {"sortKey", std::to_string(LoadU32(rec, 60))},
                    {"subPartCount", std::to_string(subParts)}, {"indexCount", std::to_string(indices)}};
        Mesh(n, c);
        CheckCount(c, subParts, 8, "cloth sub-parts");
        for (std::uint32_t i = 0; i < subParts; ++i) {
            std::uint32_t kind = U32(c, "a sub-part's kind");
            U32(c, "a sub-part's reserved word");
            if (kind == 0) Mesh(n, c);
            if (kind == 1) Skin(n, c);
        }
        Skip(c, records, 152, "the cloth records");
        if (fa) Skip(c, a, 12, "the first points");
        if (fb) Skip(c, b, 12, "the second points");
        if (fia && indices) Skip(c, indices, 4, "the first index array");
        if (fib && indices) Skip(c, indices, 4, "the second index array");
    }

    DumpResult& r_;
    Cursor main_, lod_;
    bool lodActive_ = false;
};

class Dm2Walker {
public:
    Dm2Walker(DumpResult& r, const std::vector<std::uint8_t>& bytes) : r_(r) { c_.data = &bytes; }

    void Run() {
        std::size_t end = 0;
        try {
            std::vector<std::uint8_t> header;
            DumpNode& h = Chunk("header", 2048, header);
            std::uint32_t geometryOffset = LoadU32(header, 4), extra = LoadU32(header, 8);
            std::uint32_t libraries = LoadU32(header, 20);
            h.fields = {{"geometryOffset", std::to_string(std::int32_t(geometryOffset))},
                        {"extraFlag", std::to_string(std::int32_t(extra))},
                        {"libraryCount", std::to_string(std::int32_t(libraries))}};
            std::uint32_t count = std::int32_t(libraries) > 0 ? libraries : 0;
            if (count * 8ull > c_.Left()) Fail("library count " + std::to_string(count) + " exceeds the file");
            for (std::uint32_t i = 0; i < count; ++i) {
                std::vector<std::uint8_t> body;
                DumpNode& l = Chunk("library", 256, body);
                l.fields.push_back({"name", "\"" + TextUpToNul(body, 0, body.size()) + "\""});
            }
            if (std::int32_t(extra) > 0) {
                std::vector<std::uint8_t> body;
                Chunk("extra", 256, body);
            }
            end = c_.pos;
            if (std::int32_t(geometryOffset) <= 0 || geometryOffset > c_.data->size())
                Fail("geometry offset " + std::to_string(std::int32_t(geometryOffset)) +
                     " is outside the file");
            c_.pos = geometryOffset;
            std::vector<std::uint8_t> geometry;
            DumpNode& g = Chunk("geometry", 2048, geometry);
            if (g.tag != 3 && g.tag != 5 && g.tag != 7 && g.tag != 16)
                Fail("geometry chunk tag " + std::to_string(g.tag) + " is not 3, 5, 7 or 16");
            std::uint32_t meshes = LoadU32(geometry, 44);
            g.fields = {{"meshCount", std::to_string(meshes)},
                        {"matrixCount", std::to_string(LoadU32(geometry, 1076))}};
            if (meshes * 8ull > c_.Left()) Fail("mesh count " + std::to_string(meshes) + " exceeds the file");
            for (std::uint32_t i = 0; i < meshes; ++i) Mesh();
            end = std::max(end, c_.pos);
            if (c_.pos < c_.data->size())
                Note(std::to_string(c_.data->size() - c_.pos) + " bytes after the last mesh");
        } catch (const Stop&) {
            end = std::max(end, c_.pos);
        }
        r_.consumed = end;
    }

private:
    [[noreturn]] void Fail(const std::string& message) {
        r_.ok = false;
        r_.error = message;
        r_.errorOffset = c_.pos;
        throw Stop();
    }

    void Note(const std::string& message) {
        r_.notes.push_back("@" + std::to_string(c_.pos) + ": " + message);
    }

    void Need(std::uint64_t bytes, const std::string& what) {
        if (bytes > c_.Left())
            Fail("the file ends inside " + what + " (" + std::to_string(bytes) + " bytes needed, " +
                 std::to_string(c_.Left()) + " left)");
    }

    std::uint32_t U32(const std::string& what) {
        Need(4, what);
        std::uint32_t v = LoadU32(*c_.data, c_.pos);
        c_.pos += 4;
        return v;
    }

    DumpNode& Chunk(const std::string& name, std::uint32_t largest, std::vector<std::uint8_t>& body) {
        DumpNode n;
        n.name = name;
        n.chunk = true;
        n.hasResourceWord = false;
        n.offset = c_.pos;
        Need(8, "the header of the " + name + " chunk");
        n.tag = LoadU32(*c_.data, c_.pos);
        n.sizeWord = LoadU32(*c_.data, c_.pos + 4);
        c_.pos += 8;
        r_.root.children.push_back(n);
        if (n.sizeWord > largest)
            Fail("the " + name + " chunk's body of " + std::to_string(n.sizeWord) +
                 " bytes is larger than " + std::to_string(largest));
        Need(n.sizeWord, "the body of the " + name + " chunk");
        body.assign(c_.data->begin() + c_.pos, c_.data->begin() + c_.pos + n.sizeWord);
        c_.pos += n.sizeWord;
        return r_.root.children.back();
    }

    void Mesh() {
        std::vector<std::uint8_t> rec;
        std::size_t at = c_.pos;
        DumpNode& m = Chunk("mesh", 512, rec);
        if (m.tag != 4) {
            c_.pos = at;
            Fail("mesh chunk tag " + std::to_string(m.tag) + " is not 4");
        }
        std::uint32_t vertexBlock = LoadU32(rec, 0), indexBlock = LoadU32(rec, 4);
        std::uint32_t groups = LoadU32(rec, 72);
        std::string name = rec.size() > 156 ? TextUpToNul(rec, 156, rec.size() - 156) : "";
        m.fields = {{"vertexBlockSize", std::to_string(vertexBlock)},
                    {"indexBlockSize", std::to_string(indexBlock)},
                    {"vertexCount", std::to_string(LoadU32(rec, 8))},
                    {"normalOffset", std::to_string(LoadU32(rec, 36))},
                    {"uvOffset", std::to_string(LoadU32(rec, 40))},
                    {"colourOffset", std::to_string(LoadU32(rec, 48))},
                    {"groupCount", std::to_string(groups)},
                    {"extraWord", std::to_string(LoadU32(rec, 148))},
                    {"name", "\"" + name + "\""}};
        if (groups * 8ull > c_.Left()) Fail("group count " + std::to_string(groups) + " exceeds the file");
        std::string entries;
        for (std::uint32_t g = 0; g < groups; ++g) {
            std::uint32_t n = U32("a group's entry count");
            U32("a group's value");
            Need(16ull * n, "a group's entries");
            c_.pos += 16ull * n;
            entries += (g ? "," : "") + std::to_string(n);
        }
        m.fields.push_back({"groupEntries", entries});
        Need(vertexBlock, "the vertex block");
        c_.pos += vertexBlock;
        Need(indexBlock, "the index block");
        c_.pos += indexBlock;
    }

    DumpResult& r_;
    Cursor c_;
};

void Format(const DumpNode& n, int depth, std::string& out) {
    out += std::string(2 * depth, ' ');
    out += (n.companion ? "lod@" : "@") + std::to_string(n.offset) + " " + n.name;
    if (n.chunk) out += " tag=" + std::to_string(n.tag) + " size=" + std::to_string(n.sizeWord);
    if (n.chunk && n.hasResourceWord) out += " res=" + Hex(n.resourceWord);
    for (const auto& [k, v] : n.fields) out += " " + k + "=" + v;
    out += "\n";
    for (const DumpNode& child : n.children) Format(child, depth + 1, out);
}

void Collect(const DumpNode& n, std::vector<const DumpNode*>& out) {
    if (n.chunk) out.push_back(&n);
    for (const DumpNode& child : n.children) Collect(child, out);
}

}  // namespace

std::vector<const DumpNode*> DumpResult::Chunks() const {
    std::vector<const DumpNode*> out;
    Collect(root, out);
    return out;
}

DumpResult DumpChunkStream(const std::vector<std::uint8_t>& bytes,
                           const std::vector<std::uint8_t>* companion) {
    DumpResult r;
    r.root.name = "file";
    ChunkWalker(r, bytes, companion).Run();
    return r;
}

DumpResult DumpDm2(const std::vector<std::uint8_t>& bytes) {
    DumpResult r;
    r.root.name = "file";
    Dm2Walker(r, bytes).Run();
    return r;
}

std::string FormatDump(const DumpResult& r) {
    std::string out;
    for (const DumpNode& child : r.root.children) Format(child, 0, out);
    for (const std::string& note : r.notes) out += "note " + note + "\n";
    if (r.ok)
        out += "ok " + std::to_string(r.consumed) + " bytes\n";
    else
        out += std::string("error ") + (r.errorInCompanion ? "companion " : "") + "@" +
               std::to_string(r.errorOffset) + ": " + r.error + "\n";
    return out;
}

}  // namespace ZelModelGen
