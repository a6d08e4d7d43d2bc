// Base of every texture, made and owned by the texture manager. For now this is what the device
// and the image resource need of it: the memory pool and the Direct3D texture, made from a bound
// image's surfaces or from an image file held in a stream. The texture code builds its kinds,
// device loss, byte accounting, locks, copies and the host wrapper on it.
//
// Reference counted: the count starts at 1, the manager's own; holders add theirs.
// Threads: the loading thread (host or worker inside a task step), like every device call.
#pragma once

#include <cstdint>
#include <string>

#include "Core/RefCountedObj.h"
#include "Core/SharedPtr.h"
#include "Platform/D3D9/D3D9.h"

namespace Zel {

class Image;
class IZelStream;

class TextureBase : public RefCountedObj {
public:
    // pool: 0 default, 1 a pool the device restores by itself (MANAGED), 2 system memory. The
    // device is not owned. type: 2 a 2D texture, 4 a cube texture.
    TextureBase(std::uint32_t pool, IDirect3DDevice9* device, int type);
    // Releases the device texture and the image.
    ~TextureBase() override;

    // Binds the image; when it has a surface, width, height and depth come from its first surface
    // and the level count and format from the image.
    void SetImage(const SharedPtr<Image>& image);
    void ReleaseImage();
    // Makes the device texture for the bound image (its size, level count and format) and copies
    // each level the image has a surface for, row by row at the lock's pitch. The name becomes the
    // image's load path, normalised. False without an image, a surface or a device, for a format
    // without a Direct3D format, or when the device refuses (reported as an error).
    bool CreateFromImage();
    // Binds the image and makes the device texture from the stream's file bytes with
    // D3DXCreateTextureFromFileInMemoryEx (the file's size, one level, the file's own format).
    // Width and height then come from level 0, the level count from the texture, and the format
    // from the file's source format: DXT1-DXT5 give 6-10, X8R8G8B8 and R8G8B8 give 2, any other 1.
    // A failure is reported as the error "D3DXCreateTextureFromFileInMemoryEx" with the result.
    bool CreateFromFileInMemory(IZelStream* stream, const SharedPtr<Image>& image);
    // Releases the device texture. Always true.
    virtual bool ReleaseDeviceObjects();
    // Nothing to make again in this base; true.
    virtual bool RecreateDeviceObjects() { return true; }

    std::uint32_t GetPool() const { return pool_; }
    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    int GetDepth() const { return depth_; }
    int GetLevels() const { return levels_; }
    int GetType() const { return type_; }
    int GetFormat() const { return format_; }
    const std::string& GetName() const { return name_; }
    Image* GetImage() const { return image_.Get(); }
    IDirect3DDevice9* GetDevice() const { return device_; }
    // The Direct3D texture; no reference is added. Null while the texture has none.
    virtual IDirect3DTexture9* GetDeviceTexture() const { return texture_; }
    // Takes over one reference of a Direct3D texture made elsewhere, releasing the one held before.
    void SetDeviceTexture(IDirect3DTexture9* texture);

    // ---- What render targets need of a texture until the texture code gives it its full form.
    // True for render targets.
    virtual bool IsRenderTarget() const { return false; }
    // Makes the device texture: width × height texels, levels (0 a full chain), the pixel format,
    // in the texture's pool, usage 0; depth and type are stored. The dynamic flag is ignored.
    // False without a device or for a format without a Direct3D format.
    virtual bool Create(int width, int height, int depth, int type, int format, int levels,
                        bool dynamic);
    // Locks a level (lock mode: LockOption) and remembers it; pitch in bytes. False, with the
    // outputs zeroed, when it cannot be locked.
    virtual bool LockLevel(int level, std::int32_t* pitch, void** bits, const RECT* rect,
                           std::uint32_t mode);
    // Unlocks the remembered level; nothing when none is locked.
    virtual void UnlockLevel();
    // Saves level 0; imageKind 0 BMP, 1 JPEG, 2 TGA, 3 PNG, 4 DDS.
    virtual bool SaveToFile(const char* path, int imageKind);
    void SetName(const std::string& name) { name_ = name; }
    // Bit 0: in use (render targets handed out by FindFreeRenderTarget); bit 5: see its users.
    std::uint32_t GetFlags() const { return flags_; }
    void SetFlags(std::uint32_t flags) { flags_ = flags; }

protected:
    std::uint32_t flags_ = 0;
    int lockedLevel_ = -1;
    // ---- end of the render-target block.

    D3DPOOL DevicePool() const;

    std::uint32_t pool_;
    IDirect3DDevice9* device_;
    int width_ = 0, height_ = 0, depth_ = 1, levels_ = 0;
    int type_;
    int format_ = 2;
    SharedPtr<Image> image_;
    std::string name_;

private:
    IDirect3DTexture9* texture_ = nullptr;
};

}  // namespace Zel
