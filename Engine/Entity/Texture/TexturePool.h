// Finished textures of a few fixed sizes and formats kept for reuse, so that characters can swap
// composed body textures without making and destroying device textures. The pool has levels (one
// per level of detail), each holding textures of one width, height and format up to a count; the
// levels come from "LodConfig.xml". A pooled texture holds one reference for the pool.
//
// Owned by the texture manager, which takes its pool lock around every call.
#pragma once

#include <cstdint>
#include <list>
#include <vector>

namespace Zel {

class TextureBase;

struct TexturePoolElement {
    std::int32_t MaxNumber = 1;
    std::int32_t TextureFormat = 1;  // pixel-format code
    std::int32_t TexWidth = 1024;
    std::int32_t TexHeight = 1024;
    std::list<TextureBase*> textures;
};

class TexturePool {
public:
    // Levels can never exceed this many.
    static constexpr std::int32_t kMaxLodNumber = 16;

    TexturePool() = default;
    // Drops the pool's references.
    ~TexturePool();
    TexturePool(const TexturePool&) = delete;
    TexturePool& operator=(const TexturePool&) = delete;

    // Reads "LodConfig.xml": the root "LodConfig" with "TexturePool" (LodNumber, MaxSize in MiB)
    // and its "TexturePoolElement" children (MaxNumber, TextureFormat, TexWidth, TexHeight) for
    // levels 0 to LodNumber - 1. Sizes are shifted right by the texture scale level; with the
    // compress-to-DDS switch every format is 10. LodNumber is held to 0..16. Without a usable
    // file the pool has LodNumber default levels. Textures still pooled are let go first, as
    // Clear does.
    void LoadConfig();
    // "PF_DXT5" gives 10, anything else (or null) 1.
    static std::int32_t FormatFromName(const char* text);

    // The first texture of the level (clamped to the last), its pool reference dropped; null when
    // the pool has no levels or the level is empty.
    TextureBase* Take(std::int32_t level);
    // Into the first level of the texture's width, height and format unless it is full; the pool
    // takes a reference and the texture records the level.
    bool Return(TextureBase* texture);
    // The level's format and size, the level clamped to the last (written back). False, writing
    // zeros, when the pool has no levels.
    bool GetLevel(std::int32_t* level, std::int32_t* format, std::int32_t* width,
                  std::int32_t* height) const;
    // Drops every pooled texture's reference and empties the levels; the textures stay with the
    // texture manager.
    void Clear();

    // Bytes the pool counts for a texture: width x height for DXT5, x 4 for other formats.
    static std::uint32_t AccountedSize(const TextureBase* texture);

    std::int32_t GetLodNumber() const { return lodNumber_; }
    std::uint32_t GetMaxSize() const { return maxSize_; }
    std::uint32_t GetPooledBytes() const { return pooledBytes_; }
    const std::vector<TexturePoolElement>& GetLevels() const { return levels_; }

private:
    std::int32_t lodNumber_ = 1;
    std::uint32_t maxSize_ = 26214400;
    std::uint32_t pooledBytes_ = 0;
    std::vector<TexturePoolElement> levels_;
};

}  // namespace Zel
