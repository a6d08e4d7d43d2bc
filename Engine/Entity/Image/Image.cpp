#include "Entity/Image/Image.h"

#include <algorithm>
#include <cctype>

#include "Core/CResourceManager.h"
#include "Core/ErrorReport.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/IZelStream.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Core/SharedPtr.h"
#include "Core/StreamFactory.h"
#include "Entity/Image/BmpDecoder.h"
#include "Entity/Image/DdsDecoder.h"
#include "Entity/Image/DxtEncoder.h"
#include "Entity/Image/ImageFileKind.h"
#include "Entity/Image/ImageResample.h"
#include "Entity/Image/ImageSwizzle.h"
#include "Entity/Image/JpegDecoder.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Image/PngDecoder.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureManager.h"
#include "Entity/Texture/TextureScale.h"
#include "Entity/Image/TgaDecoder.h"

namespace Zel {
namespace {

constexpr const char* kSourceFile = "Engine/Entity/Image";
// Images live in the pool the device restores by itself.
constexpr std::uint32_t kImageTexturePool = 1;
constexpr int kTextureKind2D = 2;
// The filter of scale-downs and mip chains.
constexpr int kMipFilter = RESAMPLE_LINEAR_MIP;
// Mip chains stop once a side would drop to 4.
constexpr std::uint32_t kMinMipSide = 4;

TextureManager* Textures() {
    return Globals::Find(&Globals::GetTextureManager);
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

void ReportAssertAt(int line, const char* function, const char* text, const char* argument) {
    std::string message, location;
    if (argument)
        FormatAssertMessage(message, location, kSourceFile, line, function, text, argument);
    else
        FormatAssertMessage(message, location, kSourceFile, line, function, "%s", text);
    ReportAssert(message, location);
}

DecodedImage DecodeByKind(int type, const std::uint8_t* data, std::size_t size) {
    switch (type) {
        case IMAGE_KIND_BMP:
            return IsBmpImage(data, size) ? DecodeBmpImage(data, size) : DecodedImage();
        case IMAGE_KIND_TGA:
            return IsTgaImage(data, size) ? DecodeTgaImage(data, size) : DecodedImage();
        case IMAGE_KIND_PNG:
            return IsPngImage(data, size) ? DecodePngImage(data, size) : DecodedImage();
        case IMAGE_KIND_DDS:
            return IsDdsImage(data, size) ? DecodeDdsImage(data, size) : DecodedImage();
        case IMAGE_KIND_JPEG:
            return DecodeJpegImage(data, size);
        default:
            return DecodedImage();
    }
}

}  // namespace

Image::Image(CResourceManager* manager, std::string_view name, std::string_view group,
             std::uint32_t handle)
    : CResource(manager, name, group, handle) {}

Image::~Image() {
    DeleteSurfaces();
    ReleaseTexture();
}

std::uint32_t Image::GetSize() {
    std::uint64_t size = 0;
    for (const auto& surface : surfaces_) size += surface->GetDataSize();
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(size, UINT32_MAX));
}

bool Image::LoadImpl() {
    std::vector<std::string> candidates;
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (config && config->PreferDDS())
        candidates.push_back(ReplaceExtension(GetLoadPath(), ".dds"));
    candidates.push_back(GetLoadPath());
    for (const std::string& path : candidates) {
        IZelStream* stream = OpenFileStream(path);
        if (!stream)
            continue;
        const bool ok = LoadFromStream(stream);
        stream->Release();
        if (ok)
            return true;
    }
    LogTyped(LOG_ENGINE_INIT, " Image::LoadImpl 未找到文件, file = %s", GetLoadPath().c_str());
    return false;
}

void Image::UnloadImpl() {
    DeleteSurfaces();
    ReleaseTexture();
    mipCount_ = 0;
    format_ = 0;
    imageFlags_ = 0;
    word_ = 2;
    alphaCapable_ = 1;
}

bool Image::LoadFromArgument(IZelStream* stream) {
    return LoadFromStream(stream);
}

void Image::LogLoadResult(bool ok) {
    if (ok)
        LogTyped(LOG_ENGINE_INIT, "读取贴图%s，占用内存%d KB", GetName().c_str(),
                 static_cast<int>(GetSizeField() / 1024));
    else
        ReportError("读取贴图失败，%s", GetName().c_str());
}

bool Image::LoadFromStream(IZelStream* stream) {
    if (!stream) {
        ReportAssertAt(__LINE__, "Zel::Image::LoadFromStream", "pStream==NULL", nullptr);
        return false;
    }
    TextureManager* textures = Textures();
    TextureBase* texture =
        textures ? textures->CreateTexture(kImageTexturePool, kTextureKind2D) : nullptr;
    if (texture && texture->CreateFromFileInMemory(stream, SharedPtr<Image>(this))) {
        ReleaseTexture();
        texture->AddRef();
        texture_ = texture;
        format_ = static_cast<std::uint32_t>(texture->GetFormat());
        mipCount_ = static_cast<std::uint32_t>(texture->GetLevels());
        return true;
    }
    if (texture) {
        texture->ReleaseImage();
        textures->ForceRemove(texture);
    }
    ReportError(" Image::LoadFromStream failed, file = %s", stream->GetName().c_str());
    return false;
}

bool Image::LoadPreferDds(const std::string& path) {
    if (IsLoaded())
        return IsLoadSucceeded();
    AddRef();
    bool ok = false;
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (config && config->PreferDDS()) {
        const std::string dds = ReplaceExtension(path, ".dds");
        ok = FileExists(dds) && TryPackage(dds);
    }
    if (!ok) {
        ok = TryPackage(path);
        if (!ok) {
            SetLoadPath(path);
            ReportErrorLastError("加载贴图失败！load image failed : %s", path.c_str());
        }
    }
    if (ok) {
        MarkLoaded();
        LogLoadResult(true);
    }
    DecRef();
    return ok;
}

void Image::MarkLoaded() {
    SetLoaded(true);
    SetLoadSucceeded(true);
    SetSizeField(GetSize());
    if (CResourceManager* manager = GetManager())
        manager->OnLoaded(this);
}

bool Image::TryPackage(const std::string& path) {
    const std::string previous = GetLoadPath();
    SetLoadPath(path);
    if (LoadFromPackage(path))
        return true;
    SetLoadPath(previous);
    return false;
}

bool Image::LoadFromPackage(const std::string& path) {
    IZelStream* stream = OpenFileStream(path);
    if (!stream) {
        ReportAssertAt(__LINE__, "Zel::Image::LoadFromPackage", "ReadFileStream Failed,filename=%s",
                       path.c_str());
        return false;
    }
    const bool ok = DecodeFromMemory(stream, GetImageFileKind(path), stream->GetSize());
    stream->Release();
    return ok;
}

bool Image::DecodeFromMemory(IZelStream* stream, int type, std::uint32_t size) {
    if (!stream || type < IMAGE_KIND_BMP || type > IMAGE_KIND_DDS || size == 0)
        return false;
    std::vector<std::uint8_t> bytes(size);
    if (stream->Read(bytes.data(), size) != size)
        return false;
    const DecodedImage decoded = DecodeByKind(type, bytes.data(), bytes.size());
    if (decoded.IsEmpty() || decoded.pitch == 0)
        return false;
    return CreateFromDecoded(decoded, ImageKindHasRgbOrder(type));
}

bool Image::CreateFromDecoded(const DecodedImage& image, bool rgbOrder) {
    if (image.IsEmpty())
        return false;
    if (image.width == 1 || image.height == 1)
        LogTyped(LOG_ENGINE_INIT, "贴图尺寸不能为1");
    DeleteSurfaces();
    format_ = image.format;
    mipCount_ = 1;
    word_ = 2;
    const bool dxt = format_ == PF_DXT1 || format_ == PF_DXT3 || format_ == PF_DXT5;
    imageFlags_ = dxt && alphaCapable_ ? std::uint32_t(IMAGE_FLAG_DXT) : 0u;
    ImageSurface* surface = AddSurface(image.width, image.height, 1);
    if (surface->GetDataSize() != DecodedSurfaceSize(image)) {
        // A block record whose size disagrees with its sides: nothing usable.
        DeleteSurfaces();
        mipCount_ = 0;
        format_ = 0;
        imageFlags_ = 0;
        return false;
    }
    CopyDecodedToSurface(image, rgbOrder, surface->GetData());

    const LoadRule rule = GetLoadRule(GetLoadPath(), GetTextureScaleLevel());
    const std::uint32_t limit = 1u << rule.scaleLevel;
    if (rule.scaleLevel > 0 && image.width > limit && image.height > limit && IsNotDxt())
        surface->ScaleTo(image.width >> rule.scaleLevel, image.height >> rule.scaleLevel,
                         kMipFilter);
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (rule.compress && config && config->CompressToDDS()) {
        if (mipCount_ == 1)
            BuildMipChain();
        CompressToDxt();
    }
    return true;
}

Image::LoadRule Image::GetLoadRule(std::string_view path, int scaleLevel) {
    const std::string lower = Lower(path);
    if (Contains(lower, "shaders") &&
        (Contains(lower, "item_effect") || Contains(lower, "ui_effect") ||
         Contains(lower, "\\ui") || Contains(lower, "/ui")))
        return {std::max(scaleLevel - 1, 0), false};
    if (Contains(lower, "\\makeup\\male\\") || Contains(lower, "\\makeup\\female\\"))
        return {0, false};
    return {scaleLevel, true};
}

void Image::FillChecker(std::uint32_t width, std::uint32_t height, std::uint32_t colourA,
                        std::uint32_t colourB) {
    DeleteSurfaces();
    format_ = PF_X8R8G8B8;
    mipCount_ = 1;
    imageFlags_ = 0;
    ImageSurface* surface = AddSurface(width, height, 1);
    const std::uint32_t cellWidth = std::max(width / 4, 1u), cellHeight = std::max(height / 4, 1u);
    std::uint8_t* out = surface->GetData();
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x, out += 4) {
            const std::uint32_t colour =
                (x / cellWidth + y / cellHeight) % 2 == 0 ? colourB : colourA;
            out[0] = static_cast<std::uint8_t>(colour);
            out[1] = static_cast<std::uint8_t>(colour >> 8);
            out[2] = static_cast<std::uint8_t>(colour >> 16);
            out[3] = static_cast<std::uint8_t>(colour >> 24);
        }
}

bool Image::BuildMipChain() {
    if ((format_ != PF_A8R8G8B8 && format_ != PF_X8R8G8B8) || surfaces_.empty())
        return false;
    surfaces_.resize(1);
    std::uint32_t width = surfaces_[0]->GetWidth(), height = surfaces_[0]->GetHeight();
    while (width > kMinMipSide && height > kMinMipSide) {
        width = std::max(width / 2, kMinMipSide);
        height = std::max(height / 2, kMinMipSide);
        const ImageSurface& above = *surfaces_.back();
        ImageSurface* level = AddSurface(width, height, 1);
        above.ResampleTo(*level, kMipFilter);
    }
    mipCount_ = static_cast<std::uint32_t>(surfaces_.size());
    return true;
}

bool Image::CompressToDxt() {
    const ImageSurface* first = GetFirstSurface();
    if (!first || first->GetWidth() < 4 || first->GetHeight() < 4 ||
        (format_ != PF_A8R8G8B8 && format_ != PF_X8R8G8B8))
        return false;
    // Format 1 keeps its alpha in DXT5; format 2 has none and becomes opaque DXT1.
    const std::uint32_t target = format_ == PF_A8R8G8B8 ? PF_DXT5 : PF_DXT1;
    const int mode = format_ == PF_A8R8G8B8 ? 1 : 2;
    std::vector<std::pair<std::unique_ptr<std::uint8_t[]>, std::uint32_t>> blocks;
    for (const auto& surface : surfaces_) {
        const std::uint64_t size =
            GetPixelFormatByteSize(surface->GetWidth(), surface->GetHeight(), 1, target);
        auto data = std::make_unique_for_overwrite<std::uint8_t[]>(size);
        if (surface->GetDepth() != 1 ||
            !DxtEncodeImage(mode, surface->GetData(), surface->GetWidth(), surface->GetHeight(),
                            target, data.get()))
            return false;
        blocks.emplace_back(std::move(data), static_cast<std::uint32_t>(size));
    }
    for (std::size_t i = 0; i < surfaces_.size(); ++i)
        surfaces_[i]->ReplaceData(std::move(blocks[i].first), blocks[i].second);
    imageFlags_ |= IMAGE_FLAG_DXT;
    format_ = target;
    RecomputeSize();
    return true;
}

bool Image::HalveSurfaces() {
    if (!IsNotDxt() || surfaces_.empty())
        return false;
    for (const std::unique_ptr<ImageSurface>& surface : surfaces_)
        surface->ScaleTo(std::max(1u, surface->GetWidth() / 2),
                         std::max(1u, surface->GetHeight() / 2), kMipFilter);
    RecomputeSize();
    return true;
}

bool Image::CreateTexture() {
    if (!IsLoadSucceeded())
        return false;
    TextureManager* textures = Textures();
    TextureBase* texture =
        textures ? textures->CreateTexture(kImageTexturePool, kTextureKind2D) : nullptr;
    if (!texture)
        return false;
    texture->SetImage(SharedPtr<Image>(this));
    if (!texture->CreateFromImage()) {
        texture->ReleaseImage();
        textures->ForceRemove(texture);
        return false;
    }
    ReleaseTexture();
    texture->AddRef();
    texture_ = texture;
    if (texture->GetPool() == 1) {
        DeleteSurfaces();
        RecomputeSize();
    }
    return true;
}

TextureBase* Image::CreateDefaultTexture() {
    if (texture_)
        return texture_;
    ReportError(
        "Image::CreateDefaultTexture() 不应该再进入此函数，应该在Image::Load时已经直接创建"
        "texture对象! %s",
        GetName().c_str());
    TextureManager* textures = Textures();
    return textures ? textures->GetDefaultTexture() : nullptr;
}

ImageSurface* Image::AddSurface(std::uint32_t width, std::uint32_t height, std::uint32_t depth) {
    const auto size =
        static_cast<std::uint32_t>(GetPixelFormatByteSize(width, height, depth, format_));
    surfaces_.push_back(std::make_unique<ImageSurface>(
        this, static_cast<std::uint32_t>(surfaces_.size()), width, height, depth, size));
    return surfaces_.back().get();
}

void Image::DeleteSurfaces() {
    surfaces_.clear();
}

void Image::ReleaseTexture() {
    TextureBase* texture = texture_;
    if (!texture)
        return;
    texture_ = nullptr;
    texture->ReleaseImage();
    texture->DecRef();
    if (TextureManager* textures = Textures())
        textures->ForceRemove(texture);
}

void Image::RecomputeSize() {
    CResourceManager* manager = GetManager();
    const bool counted = IsLoaded() && manager;
    if (counted)
        manager->OnUnloaded(this, IsInGarbage());
    SetSizeField(GetSize());
    if (counted)
        manager->AddBytes(GetSizeField(), IsInGarbage());
}

}  // namespace Zel
