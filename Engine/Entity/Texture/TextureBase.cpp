#include "Entity/Texture/TextureBase.h"

#include <atomic>
#include <cstring>

#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Entity/Image/Image.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Texture/RenderTarget.h"
#include "Entity/Texture/TextureManager.h"
#include "Render/RenderDevice.h"

namespace Zel {
namespace {

std::atomic<bool> g_autoMipmap{false};

TextureManager* Textures() {
    return Globals::Find(&Globals::GetTextureManager);
}

bool QueryEx(IDirect3DDevice9* device) {
    if (!device)
        return false;
    IUnknown* ex = nullptr;
    if (FAILED(device->QueryInterface(IID_IDirect3DDevice9Ex, reinterpret_cast<void**>(&ex))) ||
        !ex)
        return false;
    ex->Release();
    return true;
}

// Rows of a level and the bytes of one row: block rows for DXT formats.
struct LevelShape {
    std::uint32_t rows;
    std::uint64_t rowBytes;
};

LevelShape ShapeOf(std::uint32_t width, std::uint32_t height, std::uint32_t format) {
    if (IsPixelFormatCompressed(format)) {
        const std::uint32_t blockRows = (height + 3) / 4;
        const std::uint64_t rowBytes = GetPixelFormatByteSize(width, 4, 1, format);
        return {blockRows, rowBytes};
    }
    return {height, std::uint64_t(width) * GetPixelFormatBytesPerPixel(format)};
}

}  // namespace

TextureBase::TextureBase(std::uint32_t pool, IDirect3DDevice9* device, int type)
    : RenderResource(pool, nullptr), type_(type), d3dDevice_(device), isEx_(QueryEx(device)) {
    if (TextureManager* textures = Textures())
        device_ = textures->GetRenderDevice();
}

TextureBase::~TextureBase() {
    TextureBase::ReleaseDeviceObjects();
}

void TextureBase::SetAutoMipmap(bool on) {
    g_autoMipmap.store(on, std::memory_order_relaxed);
}

bool TextureBase::IsAutoMipmap() {
    return g_autoMipmap.load(std::memory_order_relaxed);
}

void TextureBase::SetImage(const SharedPtr<Image>& image) {
    image_ = image;
    if (!image || !image->GetFirstSurface())
        return;
    const ImageSurface* surface = image->GetFirstSurface();
    width_ = static_cast<int>(surface->GetWidth());
    height_ = static_cast<int>(surface->GetHeight());
    depth_ = static_cast<int>(surface->GetDepth());
    levels_ = static_cast<int>(image->GetMipCount());
    format_ = static_cast<int>(image->GetFormat());
}

void TextureBase::ReleaseImage() {
    image_.Reset();
}

bool TextureBase::CreateFromFileInMemory(IZelStream* /*stream*/, const SharedPtr<Image>& image) {
    image_ = image;
    return false;
}

void TextureBase::SetDeviceTexture(IDirect3DTexture9* texture) {
    ReleaseDeviceObjects();
    texture_ = texture;
}

bool TextureBase::ReleaseDeviceObjects() {
    if (texture_)
        texture_->Release();
    texture_ = nullptr;
    TakeBackBytes();
    return true;
}

bool TextureBase::CanCopyFrom(const TextureBase* other) const {
    if (!other || other == this || IsRenderTarget())
        return false;
    if (type_ != KIND_2D || other->type_ != KIND_2D || (flags_ & FLAG_IN_USE))
        return false;
    return width_ == other->width_ && height_ == other->height_ && depth_ == other->depth_ &&
           format_ == other->format_;
}

bool TextureBase::CopyFrom(TextureBase* source, TextureBase* scratch) {
    return CopyLevels(1, source, scratch);
}

bool TextureBase::CopyLevelsFrom(int levelCount, TextureBase* source, TextureBase* scratch) {
    return CopyLevels(levelCount, source, scratch);
}

bool TextureBase::CopyLevels(int levelCount, TextureBase* source, TextureBase* scratch) {
    if (!CanCopyFrom(source))
        return false;
    if (source->IsRenderTarget())
        return CopyFromRenderTarget(static_cast<RenderTarget*>(source), scratch);
    const auto format = static_cast<std::uint32_t>(format_);
    for (int level = 0; level < levelCount; ++level) {
        const std::uint32_t w = std::max<std::uint32_t>(1, std::uint32_t(width_) >> level);
        const std::uint32_t h = std::max<std::uint32_t>(1, std::uint32_t(height_) >> level);
        std::int32_t fromPitch = 0, toPitch = 0;
        void* from = nullptr;
        void* to = nullptr;
        if (!source->LockLevel(level, &fromPitch, &from, nullptr, LO_READ_ONLY))
            return false;
        if (!LockLevel(level, &toPitch, &to, nullptr, LO_NORMAL2)) {
            source->UnlockLevel();
            return false;
        }
        const bool fits = CopyLevelRows(w, h, format, from, fromPitch, to, toPitch);
        UnlockLevel();
        source->UnlockLevel();
        if (!fits)
            return false;
    }
    OnContentChanged();
    return true;
}

std::uint32_t TextureBase::GetSizeInBytes() const {
    int w = width_, h = height_;
    if (usedWidth_ > 0 && usedHeight_ > 0 && usedWidth_ < width_ && usedHeight_ < height_) {
        w = usedWidth_;
        h = usedHeight_;
    }
    std::uint32_t bytes = static_cast<std::uint32_t>(
        GetPixelFormatByteSize(std::uint32_t(w), std::uint32_t(h),
                               std::uint32_t(depth_ > 0 ? depth_ : 1), std::uint32_t(format_)));
    if (flags_ & FLAG_FULL_MIP)
        bytes = bytes * 4u / 3u;
    if (type_ == KIND_CUBE)
        bytes = bytes * 24u / 3u;
    return bytes;
}

bool TextureBase::CanRelease() const {
    if (GetRefCount() < 2) {
        ReportError("TEXTURE引用计数错误");
        return false;
    }
    if (ioBusy_) {
        ReportError("TEXTURE正在被IO线程使用");
        return false;
    }
    return true;
}

void TextureBase::ReleaseIfUnused() {
    if (GetRefCount() != 1)
        return;
    if (TextureManager* textures = Textures())
        textures->ForceRemove(this);
}

void TextureBase::SetName(const std::string& name) {
    name_ = NormalizePath(name);
}

void TextureBase::ClearLockOutput(std::int32_t* pitch, void** bits) {
    if (pitch)
        *pitch = 0;
    if (bits)
        *bits = nullptr;
}

bool TextureBase::ReserveBytes(std::uint32_t bytes) {
    TakeBackBytes();
    TextureManager* textures = Textures();
    // The collection the reserve may run purges textures only the manager holds: not this one.
    AddRef();
    const bool ok = !textures || textures->ReserveVideoMemory(bytes);
    DecRef();
    if (ok && textures)
        accountedBytes_ = bytes;
    return ok;
}

void TextureBase::SetFields(int width, int height, int depth, int type, int format, int levels) {
    width_ = width;
    height_ = height;
    depth_ = depth;
    type_ = type;
    format_ = format;
    levels_ = levels;
    usedWidth_ = width;
    usedHeight_ = height;
}

void TextureBase::CopySurfaceRows(const ImageSurface& surface, std::uint32_t format, void* bits,
                                  std::int32_t pitch) {
    const LevelShape shape = ShapeOf(surface.GetWidth(), surface.GetHeight(), format);
    if (pitch <= 0 || shape.rowBytes > std::uint64_t(pitch))
        return;
    for (std::uint32_t row = 0; row < shape.rows; ++row) {
        const std::uint64_t at = shape.rowBytes * row;
        if (at + shape.rowBytes > surface.GetDataSize())
            break;
        std::memcpy(static_cast<std::uint8_t*>(bits) + std::size_t(pitch) * row,
                    surface.GetData() + at, std::size_t(shape.rowBytes));
    }
}

bool TextureBase::CopyLevelRows(std::uint32_t width, std::uint32_t height, std::uint32_t format,
                                const void* from, std::int32_t fromPitch, void* to,
                                std::int32_t toPitch) {
    const LevelShape shape = ShapeOf(width, height, format);
    // A pitch shorter than a row would spill into the next row: refuse the level.
    if (fromPitch <= 0 || toPitch <= 0 || shape.rowBytes > std::uint64_t(fromPitch) ||
        shape.rowBytes > std::uint64_t(toPitch))
        return false;
    for (std::uint32_t row = 0; row < shape.rows; ++row)
        std::memcpy(static_cast<std::uint8_t*>(to) + std::size_t(toPitch) * row,
                    static_cast<const std::uint8_t*>(from) + std::size_t(fromPitch) * row,
                    std::size_t(shape.rowBytes));
    return true;
}

void TextureBase::AccountBytes(std::uint32_t bytes) {
    TakeBackBytes();
    accountedBytes_ = bytes;
    if (TextureManager* textures = Textures())
        textures->AddDeviceTextureBytes(bytes);
}

void TextureBase::TakeBackBytes() {
    if (accountedBytes_ == 0)
        return;
    if (TextureManager* textures = Textures())
        textures->RemoveDeviceTextureBytes(accountedBytes_);
    accountedBytes_ = 0;
}

void TextureBase::LogDeviceError(const char* call, HRESULT result, const char* detail) const {
    if (device_)
        device_->LogD3DError(call, result, detail);
    else
        LogError("%s failed (0x%08X) %s", call, static_cast<unsigned>(result), detail);
}

D3DPOOL TextureBase::DevicePool() const {
    switch (poolCode_) {
        case MP_DEFAULT:
            return D3DPOOL_DEFAULT;
        case MP_SYSTEM_MEMORY:
            return D3DPOOL_SYSTEMMEM;
        default:
            return isEx_ ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED;
    }
}

}  // namespace Zel
