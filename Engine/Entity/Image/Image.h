// The image resource, managed by ImageManager. It has two roads:
// - the ordinary load (CResource::Load, LoadImpl): the file goes straight to the texture manager,
//   and the image ends up holding a device texture and no pixels;
// - the decode road (LoadPreferDds), for character body-part and make-up images blended on the
//   processor: the file is decoded by the engine's own decoders into surfaces, scaled down by the
//   texture scale level, given a mip chain and compressed to DXT as its path allows.
//
// Ownership: the image owns its surfaces and holds one reference on its texture; a texture made
// from the image holds a reference on the image until the image unloads.
// Threads: loads run on the loading thread (the host's, or the worker inside a task step).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Core/CResource.h"
#include "Entity/Image/DecodedImage.h"
#include "Entity/Image/ImageSurface.h"

namespace Zel {

class IZelStream;
class TextureBase;

class Image : public CResource {
public:
    // Image flag bits.
    enum ImageFlag : std::uint32_t {
        // Held as DXT: decoded DXT1, DXT3 or DXT5 with the alpha-capable flag, or compressed.
        IMAGE_FLAG_DXT = 1,
    };

    // What the path of a decoded image allows: the number of halvings and the DXT compression.
    struct LoadRule {
        int scaleLevel;
        bool compress;
    };

    Image(CResourceManager* manager, std::string_view name, std::string_view group,
          std::uint32_t handle);
    // Frees the surfaces and gives the texture back.
    ~Image() override;
    ZEL_CLASS_ID(Image)

    // The sum of the surfaces' data sizes.
    std::uint32_t GetSize() override;
    // The ordinary load: tries the load path with its extension replaced by ".dds" first when
    // the prefer-DDS switch is on, then the load path, each opened as a file stream and handed to
    // LoadFromStream; when none loads, logs (ENGINE_INIT) " Image::LoadImpl 未找到文件, file =
    // %s" with the load path.
    bool LoadImpl() override;
    // Deletes the surfaces, gives the texture back (its reference dropped, then back to the
    // texture manager) and resets mip count, format, flags, the word and the alpha-capable flag.
    void UnloadImpl() override;
    // The load from an open stream: LoadFromStream.
    bool LoadFromArgument(IZelStream* stream) override;
    // On success logs (ENGINE_INIT) "读取贴图%s，占用内存%d KB" with the name and the size in KB;
    // on failure reports the error "读取贴图失败，%s" with the name.
    void LogLoadResult(bool ok) override;

    // The texture manager makes a 2D texture and fills it from the stream's file; the image keeps
    // it and takes its format and mip count. A null stream is an assertion report ("pStream==NULL")
    // and false; a texture that cannot be made or filled goes back to the manager and the error
    // " Image::LoadFromStream failed, file = %s" is reported with the stream's name.
    bool LoadFromStream(IZelStream* stream);

    // The decode road. With the prefer-DDS switch on and the path's ".dds" sibling present, that
    // file is decoded first and, on success, becomes the load path. Otherwise the load path is
    // the given path and LoadFromPackage runs; a failure is reported (with the system's last
    // error) as "加载贴图失败！load image failed : %s" with the path. On success the image is
    // marked loaded, its size computed and its manager told, as every load. An image that is
    // already loaded is left as it is (the answer says whether its load succeeded). The image
    // holds an extra reference on itself for the length of the call.
    bool LoadPreferDds(const std::string& path);
    // Opens the path as a file stream (virtual file system, then disk) and decodes it by the
    // kind its extension gives (GetImageFileKind). A file that cannot be opened is an assertion
    // report "ReadFileStream Failed,filename=%s" with the path; the stream is released in every
    // case.
    bool LoadFromPackage(const std::string& path);
    // Reads size bytes from the stream and decodes them by kind (0 BMP, 2 TGA, 3 PNG, 4 DDS after
    // their signature tests; 1 JPEG without one; any other kind fails) into surfaces
    // (CreateFromDecoded). False, with no surface left behind, when the bytes cannot be read or
    // the decoder answers the empty record.
    bool DecodeFromMemory(IZelStream* stream, int type, std::uint32_t size);
    // Builds the image from a decoded record: the level-0 surface (formats 1 and 2 as 4-byte
    // B, G, R, A pixels, red and blue exchanged when rgbOrder says the decoder delivered R, G, B,
    // format 2 with alpha 255; block data as it stands), then the load path's rule: scaling by
    // the rule's level (when both sides exceed 2^level; never DXT data) and, with the
    // texture-compression switch on and the rule allowing it, a mip chain and DXT compression.
    // A side of 1 is logged (ENGINE_INIT, "贴图尺寸不能为1") and loading goes on. Any earlier
    // surfaces are replaced. False only for an empty record.
    bool CreateFromDecoded(const DecodedImage& image, bool rgbOrder);
    // Ends a load made outside Load (the decode road, a filled image): marks the image loaded
    // and its load successful, stores its size and tells its manager, which counts the bytes.
    void MarkLoaded();
    // Replaces the surfaces by one X8R8G8B8 surface of width x height in a 4 x 4 checker of
    // cells of width / 4 by height / 4 (at least 1): colour B (ARGB) where the cell's column plus
    // row is even, colour A elsewhere.
    void FillChecker(std::uint32_t width, std::uint32_t height, std::uint32_t colourA,
                     std::uint32_t colourB);
    // Formats 1 and 2 with a level-0 surface: every later surface is replaced by the chain that
    // halves both sides (each kept at least 4) while both exceed 4, each level resampled from the
    // one above with filter 2. False, changing nothing, for other formats or without a surface.
    bool BuildMipChain();
    // With a level-0 surface of at least 4 x 4 and format 1 or 2: every surface is compressed to
    // DXT5 (from format 1) or DXT1 (from format 2), the format becomes 10 or 6, the DXT flag is set
    // and the size is computed again (the manager's count follows while loaded). All surfaces or
    // none: when one cannot be compressed, the image is left as it was and the answer is false.
    bool CompressToDxt();
    // Halves every surface (each side at least 1) with filter 2 and computes the size again, for
    // a texture that did not fit in video memory. False, changing nothing, for DXT data or an
    // image without surfaces.
    bool HalveSurfaces();
    // Only for an image whose load succeeded: the texture manager makes a 2D texture filled from
    // the image, which the image keeps. A texture that cannot be filled goes back to the manager.
    // When the texture's pool restores itself (pool code 1), the surfaces are freed: the image's
    // bytes leave the manager's count and its size becomes 0.
    bool CreateTexture();
    // The image's texture; without one, reports the error "Image::CreateDefaultTexture()
    // 不应该再进入此函数，应该在Image::Load时已经直接创建texture对象! %s" with the name and answers
    // the texture manager's default texture (null without a texture manager).
    TextureBase* CreateDefaultTexture();
    bool IsNotDxt() const { return (imageFlags_ & IMAGE_FLAG_DXT) == 0; }

    // The rule for a decoded image's path, compared lower-cased: a path containing "shaders" and
    // any of "item_effect", "ui_effect", "\ui", "/ui" takes level - 1 (at least 0) and is never
    // compressed; one containing "\makeup\male\" or "\makeup\female\" is neither scaled nor
    // compressed; any other takes the level and may be compressed.
    static LoadRule GetLoadRule(std::string_view path, int scaleLevel);

    std::uint32_t GetFormat() const { return format_; }
    std::uint32_t GetMipCount() const { return mipCount_; }
    std::uint32_t GetImageFlags() const { return imageFlags_; }
    // Whether decoded DXT data counts as held as DXT (1 by default).
    bool IsAlphaCapable() const { return alphaCapable_ != 0; }
    void SetAlphaCapable(bool on) { alphaCapable_ = on ? 1 : 0; }
    // A word the image keeps at 2 (cube textures compare it between faces).
    std::uint32_t GetWord() const { return word_; }
    std::size_t GetSurfaceCount() const { return surfaces_.size(); }
    ImageSurface* GetSurface(std::size_t level) const {
        return level < surfaces_.size() ? surfaces_[level].get() : nullptr;
    }
    ImageSurface* GetFirstSurface() const { return GetSurface(0); }
    // The texture the image holds (one reference), or null.
    TextureBase* GetTexture() const { return texture_; }

private:
    ImageSurface* AddSurface(std::uint32_t width, std::uint32_t height, std::uint32_t depth);
    void DeleteSurfaces();
    // Drops the image's reference and hands the texture back to the texture manager.
    void ReleaseTexture();
    // Stores GetSize in the size field; while loaded the manager's count moves with it.
    void RecomputeSize();
    // The decode road's attempt at one file: the load path becomes the path; restored on failure.
    bool TryPackage(const std::string& path);

    std::uint32_t alphaCapable_ = 1;
    std::uint32_t mipCount_ = 0;
    std::uint32_t word_ = 2;
    std::uint32_t format_ = 0;
    std::vector<std::unique_ptr<ImageSurface>> surfaces_;
    std::uint32_t imageFlags_ = 0;
    TextureBase* texture_ = nullptr;
};

}  // namespace Zel
