// Base of every texture: 2D textures, cube maps, animated textures and render targets. The rest of
// the engine holds textures through SharedPtr<TextureBase>; the texture manager makes them by kind,
// owns them and deletes them. A texture is a render resource: a default-pool texture gives up its
// device objects when the device is lost and makes them again after the reset.
//
// The device operations do nothing here (answering false or null); the Direct3D 9 classes
// (TextureD3D9, TextureCubeMapD3D9) and the render targets supply them.
//
// Byte accounting: every device creation adds its bytes to the texture manager's device-texture
// counter (four thirds of level 0 for a 2D texture, six faces of that for a cube) and the release
// takes exactly that amount off again.
//
// Reference counted: the count starts at 1, the manager's own; holders add theirs.
// Threads: the loading thread (host, or worker inside a task step), like every device call;
// ReloadFromFile takes the main lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Core/RCInterfaceCarrier.h"
#include "Core/RefCountedObj.h"
#include "Core/SharedPtr.h"
#include "Platform/D3D9/D3D9.h"
#include "Render/RenderResource.h"

namespace ZelI {
class ITexture;
}  // namespace ZelI

namespace Zel {

class Image;
class ImageSurface;
class IZelStream;
class RenderTarget;

// A wrapper still bound when the texture is deleted is unbound by the carrier base.
class TextureBase : public RenderResource,
                    public RefCountedObj,
                    public RCInterfaceCarrier<ZelI::ITexture> {
public:
    // Texture kinds (the type field). Render targets keep their own value.
    enum Kind : int {
        KIND_2D = 2,
        KIND_CUBE = 4,
        KIND_ANIMATED = 5,
        KIND_ANIMATED_BLEND = 6,
    };
    // Flag word bits.
    enum Flag : std::uint32_t {
        // The texture is in use: it may only be locked read-only, nobody copies into it, and
        // FindFreeRenderTarget passes over a render target that has it.
        FLAG_IN_USE = 0x1,
        // A full mip chain: the byte size counts four thirds.
        FLAG_FULL_MIP = 0x4,
        FLAG_DYNAMIC = 0x10,
        // Made for the host, which holds it through its wrapper without a reference: only the
        // host's release (or the manager's end) removes it.
        FLAG_CLIENT_OWNED = 0x20,
    };
    // One level of LockAllLevels.
    struct LockRecord {
        std::uint32_t locked = 0;  // 1 when the lock succeeded
        std::uint32_t reserved = 0;
        std::uint32_t level = 0;
        std::int32_t pitch = 0;  // bytes per row (per block row for DXT)
        void* bits = nullptr;
    };

    // pool: 0 default, 1 a pool the device restores by itself, 2 system memory. device: the
    // Direct3D device the texture is made on (not owned; may be null). type: the kind above.
    TextureBase(std::uint32_t pool, IDirect3DDevice9* device, int type);
    ~TextureBase() override;
    ZEL_CLASS_ID(TextureBase)

    // The render resource: the base releases the Direct3D texture it holds and rebuilds nothing.
    bool ReleaseDeviceObjects() override;
    bool RecreateDeviceObjects() override { return true; }

    virtual bool IsRenderTarget() const { return false; }
    // Binds the image and, when it has a surface, takes width, height and depth from its first
    // surface and the level count and format from the image.
    virtual void SetImage(const SharedPtr<Image>& image);
    // Makes the device texture for the bound image and uploads its levels.
    virtual bool CreateFromImage() { return false; }
    // The device texture's reference count (one added and released to read it); 0 without one.
    virtual std::uint32_t GetDeviceRefCount() { return 0; }
    // Saves level 0 to the file; imageKind: 0 BMP, 1 JPEG, 2 TGA, 3 PNG, 4 DDS.
    virtual bool SaveToFile(const char* /*path*/, int /*imageKind*/) { return false; }
    // Makes an empty device texture of the size and format (levels 0: a full chain).
    virtual bool Create(int /*width*/, int /*height*/, int /*depth*/, int /*type*/, int /*format*/,
                        int /*levels*/, bool /*dynamic*/) {
        return false;
    }
    // Copies level 0 of the source into level 0 of this texture (CanCopyFrom must hold); a render
    // target is read back through scratch (a system-memory texture of the same size, or null).
    virtual bool CopyFrom(TextureBase* source, TextureBase* scratch);
    // The same for levels 0 to levelCount - 1, each at its own size and pitch.
    virtual bool CopyLevelsFrom(int levelCount, TextureBase* source, TextureBase* scratch);
    // Reads the render target's surface back into this texture (see TextureD3D9).
    virtual bool CopyFromRenderTarget(RenderTarget* /*target*/, TextureBase* /*scratch*/) {
        return false;
    }
    // Locks a level for CPU access; mode is a LockOption. A texture in use may be locked only
    // read-only (mode 2). On failure pitch and bits are zeroed.
    virtual bool LockLevel(int /*level*/, std::int32_t* pitch, void** bits, const RECT* /*rect*/,
                           std::uint32_t /*mode*/) {
        ClearLockOutput(pitch, bits);
        return false;
    }
    // Unlocks the level LockLevel locked.
    virtual void UnlockLevel() {}
    // One record per level, every level locked in turn; false at the first failed lock.
    virtual bool LockAllLevels(std::vector<LockRecord>& /*records*/) { return false; }
    virtual void UnlockAllLevels() {}
    // Asks the device to rebuild the sub-levels of a full-chain texture.
    virtual void GenerateMipmaps() {}
    // Reads the texture again from its named file at the size asked for (0: the file's).
    virtual bool ReloadFromFile(int /*width*/, int /*height*/, bool /*asynchronous*/) {
        return false;
    }
    virtual void ReleaseImage();
    virtual TextureBase* AsTextureBase() { return this; }
    // Brings the texture up to date just before it is bound; animated textures choose their
    // frame from the scene time here. Nothing for other kinds. Host thread.
    virtual void Update() {}
    // The texture to bind in this one's place: itself, or an animated texture's current frame
    // (null while it has none). Not a new reference.
    virtual TextureBase* GetCurrentTexture() { return this; }
    // Whether this texture may receive a copy of other: both 2D, same size, depth and format,
    // this one neither a render target nor in use, and other not this one.
    virtual bool CanCopyFrom(const TextureBase* other) const;
    // An opaque handle to a CPU bitmap of level 0, or null; given back with ReleaseDC.
    virtual HDC GetDC() { return nullptr; }
    virtual void ReleaseDC(HDC /*dc*/) {}
    // Called at the end of every operation that changes the texels.
    virtual void OnContentChanged() {}
    // Binds the image and makes the device texture from the file held in the stream.
    virtual bool CreateFromFileInMemory(IZelStream* stream, const SharedPtr<Image>& image);
    // Frees the system-memory copy a 9Ex device edits managed textures through.
    virtual void ReleaseSystemCopy() {}

    // The Direct3D texture of a 2D texture or colour target (no reference added), null for other
    // kinds or while there is none. SetDeviceTexture releases the device objects held and takes
    // over one reference of a texture made elsewhere.
    virtual IDirect3DTexture9* GetDeviceTexture() const { return texture_; }
    virtual IDirect3DBaseTexture9* GetD3DBaseTexture() const { return texture_; }
    void SetDeviceTexture(IDirect3DTexture9* texture);

    // Bytes of level 0 (the used size when it is a proper sub-rectangle), four thirds with a full
    // chain; cube maps count six faces.
    std::uint32_t GetSizeInBytes() const;
    // False, with the error report "TEXTURE引用计数错误", when only one reference is left; false
    // with "TEXTURE正在被IO线程使用" while a reload runs on the worker; else true.
    bool CanRelease() const;
    // With only the manager's reference left, the manager removes (deletes) the texture.
    void ReleaseIfUnused();

    // The name is stored normalised (lower case, backslashes).
    void SetName(const std::string& name);
    const std::string& GetName() const { return name_; }

    std::uint32_t GetPool() const { return poolCode_; }
    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    int GetDepth() const { return depth_; }
    int GetLevels() const { return levels_; }
    int GetType() const { return type_; }
    int GetFormat() const { return format_; }
    std::uint32_t GetFlags() const { return flags_; }
    void SetFlags(std::uint32_t flags) { flags_ = flags; }
    int GetUsedWidth() const { return usedWidth_; }
    int GetUsedHeight() const { return usedHeight_; }
    void SetUsedSize(int width, int height) {
        usedWidth_ = width;
        usedHeight_ = height;
    }
    std::uint32_t GetPoolLevel() const { return poolLevel_; }
    void SetPoolLevel(std::uint32_t level) { poolLevel_ = level; }
    bool IsIoBusy() const { return ioBusy_ != 0; }
    // Non-zero while the loading thread reloads the texture from its file.
    std::uint32_t GetIoBusy() const { return ioBusy_; }
    void SetIoBusy(std::uint32_t busy) { ioBusy_ = busy; }
    // The frame id at which an effect last counted the texture as bound (0 before that).
    std::uint32_t GetFrameStamp() const { return frameStamp_; }
    void SetFrameStamp(std::uint32_t frame) { frameStamp_ = frame; }
    Image* GetImage() const { return image_.Get(); }
    IDirect3DDevice9* GetDevice() const { return d3dDevice_; }
    // The bytes this texture has added to the manager's device-texture counter.
    std::uint32_t GetAccountedBytes() const { return accountedBytes_; }

    // Whether 2D textures ask for an automatically generated mip chain; off by default.
    static void SetAutoMipmap(bool on);
    static bool IsAutoMipmap();

protected:
    static void ClearLockOutput(std::int32_t* pitch, void** bits);
    // The stored description a creation works from; the used size becomes the full size.
    void SetFields(int width, int height, int depth, int type, int format, int levels);
    // Copies an image surface into a locked level row by row (block rows for DXT formats), the
    // level's pitch apart; nothing when a row does not fit the pitch.
    static void CopySurfaceRows(const ImageSurface& surface, std::uint32_t format, void* bits,
                                std::int32_t pitch);
    // Copies one locked level of width x height into another (block rows for DXT formats), each
    // at its own pitch. False, copying nothing, when a row does not fit either pitch.
    static bool CopyLevelRows(std::uint32_t width, std::uint32_t height, std::uint32_t format,
                              const void* from, std::int32_t fromPitch, void* to,
                              std::int32_t toPitch);
    // The manager's reserve road (check, collect, check, add) for a device creation; the bytes
    // are remembered. False when they do not fit. True without a texture manager.
    bool ReserveBytes(std::uint32_t bytes);
    // Adds the bytes to the manager's counter and remembers them; TakeBackBytes removes what was
    // remembered.
    void AccountBytes(std::uint32_t bytes);
    void TakeBackBytes();
    // Reports a failed device call through the render device's error logger (or the log).
    void LogDeviceError(const char* call, HRESULT result, const char* detail) const;
    // The Direct3D pool of the pool code: 0 DEFAULT, 1 MANAGED (DEFAULT on a 9Ex device), 2
    // SYSTEMMEM.
    D3DPOOL DevicePool() const;
    bool IsExDevice() const { return isEx_; }

    std::uint32_t ioBusy_ = 0;
    std::uint32_t frameStamp_ = 0;
    int width_ = 0, height_ = 0, depth_ = 1, levels_ = 0;
    int type_;
    int format_ = 2;
    SharedPtr<Image> image_;
    std::uint32_t flags_ = 0;
    std::uint32_t reserved_ = 0;
    std::uint32_t poolLevel_ = 0;
    int usedWidth_ = 0, usedHeight_ = 0;
    std::string name_;
    IDirect3DDevice9* d3dDevice_;
    bool isEx_ = false;
    IDirect3DTexture9* texture_ = nullptr;

private:
    bool CopyLevels(int levelCount, TextureBase* source, TextureBase* scratch);

    std::uint32_t accountedBytes_ = 0;
};

}  // namespace Zel
