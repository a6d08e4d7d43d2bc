// The Direct3D 9 2D texture: the device texture, creation from sizes, images and image files,
// level locks, copies, saving, reloading and device loss.
//
// Textures whose device memory the CPU cannot reach (the default pool, and the managed pool on a
// 9Ex device, which has none) go through a system-memory copy: a lock first reads the level back
// from the device into the copy (not for a discarding lock) and locks the copy, and the unlock
// uploads that level into the device texture (not after a read-only lock). A read-back that fails
// fails the lock.
//
// Device contexts: GetDC hands out an opaque handle to a CPU bitmap of level 0 kept by the
// device layer; the host cannot draw into it with GDI here, only through the layer.
//
// Made and owned by the texture manager; host or loading thread.
#pragma once

#include <string>

#include "Entity/Texture/TextureBase.h"

namespace Zel {

class TextureD3D9 : public TextureBase {
public:
    // type: the texture kind (2 unless an animated kind).
    TextureD3D9(std::uint32_t pool, IDirect3DDevice9* device, int type = KIND_2D);
    ~TextureD3D9() override;

    // Releases the held DC surface (logging "Error! texture %s  was not released clean, surface
    // is not NULL!"), the system copy and the device texture (logging "D3D Texture release
    // non-zero ref : %d,%s" when references remain) and takes the bytes back.
    bool ReleaseDeviceObjects() override;
    // Nothing when a device texture exists; from the image when one is bound, else from the
    // stored size, format and level count after the memory check.
    bool RecreateDeviceObjects() override;

    // The device texture for the bound image, every level the image has uploaded row by row.
    // When it cannot be made and both sides exceed 1, the image is halved (not DXT data) and
    // the creation tried again.
    bool CreateFromImage() override;
    std::uint32_t GetDeviceRefCount() override;
    // Level 0 to the file: kinds 0 BMP, 1 JPEG, 2 TGA, 3 PNG, 4 DDS; false for any other.
    bool SaveToFile(const char* path, int imageKind) override;
    // The memory check (" 创建贴图失败，显存不足" when it refuses), then the device texture:
    // with the automatic mip bit and a level count below 2 the chain is the device's (levels 0,
    // auto-generate usage, not for system memory); dynamic when asked, in the default pool and
    // allowed by the device capabilities. A device failure is reported as "CreateTexture" with
    // "W=%d,H=%d" and takes the bytes back.
    bool Create(int width, int height, int depth, int type, int format, int levels,
                bool dynamic) override;
    // Reads the target's surface back: straight into this texture in system memory, else through
    // scratch or a temporary system-memory texture, then CopyFrom and mip generation. False when
    // any step fails.
    bool CopyFromRenderTarget(RenderTarget* target, TextureBase* scratch) override;
    bool LockLevel(int level, std::int32_t* pitch, void** bits, const RECT* rect,
                   std::uint32_t mode) override;
    void UnlockLevel() override;
    bool LockAllLevels(std::vector<LockRecord>& records) override;
    void UnlockAllLevels() override;
    void GenerateMipmaps() override;
    // Under the main lock: with a name, and either synchronous or with exactly the manager's and
    // one holder's reference, re-reads the file (its ".dds" sibling first) at the size asked for
    // (0 keeps the file's), one level; the new texture replaces the old one. True without work
    // when the texture already has that size.
    bool ReloadFromFile(int width, int height, bool asynchronous) override;
    HDC GetDC() override;
    void ReleaseDC(HDC dc) override;
    // Binds the image and makes the texture from the stream's file with the file's size and
    // format, one level; width, height and levels come from the texture made, the format from the
    // file (DXT1-DXT5 6-10, X8R8G8B8 and R8G8B8 2, any other 1). A failure is reported as
    // "D3DXCreateTextureFromFileInMemoryEx" with the result.
    bool CreateFromFileInMemory(IZelStream* stream, const SharedPtr<Image>& image) override;
    void ReleaseSystemCopy() override;

    // The ".dds" sibling of a path: its extension (after the last separator) replaced, or ".dds"
    // appended when it has none.
    static std::string DdsSibling(const std::string& path);

private:
    // Creation shared by Create, re-creation and CreateFromImage. recreate: the level rule of
    // re-creation (below 2 levels: one level without the automatic mip bit) and its refusal text.
    bool MakeTexture(bool recreate, bool dynamic);
    bool UsesSystemCopy() const;
    IDirect3DTexture9* EnsureSystemCopy();
    // Uploads one level of the system copy into the device texture.
    bool UploadLevel(UINT level);
    // Reads one level of the device texture into the system copy.
    bool ReadBackLevel(UINT level);
    // One try of the reload: the file through the virtual file system, else from disk.
    HRESULT LoadFile(const std::string& path, int width, int height, IDirect3DTexture9** out);

    IDirect3DTexture9* systemCopy_ = nullptr;
    int lockedLevel_ = -1;
    int lockHook_ = 0;
    bool lockReadOnly_ = false;
    bool dynamic_ = false;
    IDirect3DSurface9* dcSurface_ = nullptr;
    ULONG dcSurfaceCount_ = 0;
};

}  // namespace Zel
