// The manager of every texture and render target of the process. It keeps no name map: plain
// lists of what it made, by kind and pool, and it removes textures that only it still references.
// It also owns the default texture, the texture pool ("LodConfig.xml"), the two scratch buffers of
// character texture composition, the device-texture byte counter with the video-memory budget,
// four listener lists and the texture report. As the owner of device objects it is registered
// with the render-resource registry from its construction to its destruction.
//
// Locks: the texture list, the render-target list, the pool and each scratch buffer have their
// own. Only PurgeUnused and ForceRemove hold two (the list lock, then the render-target lock).
// Listener lists 1, 2 and 4 are called inside the list lock, list 3 after both locks.
// Threads: the host and loading tasks on the worker.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "Core/SharedPtr.h"

#include "Core/ClassIds.h"
#include "Core/CResourceManager.h"
#include "Core/SharedPtr.h"
#include "Core/locksection.h"
#include "Entity/Texture/TexturePool.h"
#include "Platform/D3D9/D3D9.h"
#include "Render/RenderResourceManager.h"

namespace Zel {

class Image;
class IResList_Impl;
class IZelStream;
class RenderDevice;
class RenderTarget;
class TextureBase;
class TextureStage;

class TextureManager : public RenderResourceManager {
public:
    static constexpr std::uint32_t ScratchBuffer4MSize() { return 0x400000; }
    static constexpr std::uint32_t ScratchBuffer2MSize() { return 0x200000; }

    // Built by Globals::Init, host thread. Writes no log line.
    TextureManager();
    // Drops the default texture's reference, clears the pool, frees the scratch buffers,
    // unregisters, then deletes animated textures (kinds 5 and 6) and then every other texture
    // whatever its count, telling list 2 of each.
    ~TextureManager() override;
    TextureManager(const TextureManager&) = delete;
    TextureManager& operator=(const TextureManager&) = delete;
    // A registered class outside the Object tree.
    virtual std::uint32_t GetClassId() const { return ClassId::TextureManager; }
    virtual const char* GetClassName() const {
        return GetRegisteredClassName(ClassId::TextureManager);
    }

    // ---- Device and budget ----
    // The Direct3D device textures are made on and the render device that reports their device
    // errors (neither owned; null until attached; nothing can be made without the first).
    void SetDevice(IDirect3DDevice9* device, RenderDevice* renderDevice = nullptr);
    IDirect3DDevice9* GetDevice() const { return device_; }
    RenderDevice* GetRenderDevice() const { return renderDevice_; }

    // The texture memory figure in bytes: 32 MiB until the device's capability report sets it.
    void SetVideoMemoryBudget(std::uint32_t bytes) { videoMemoryBudget_ = bytes; }
    std::uint32_t GetVideoMemoryBudget() const { return videoMemoryBudget_; }
    // Every device creation asks CheckVideoMemory first and, once made, adds its bytes; every
    // release removes exactly what its creation added.
    //
    // Whether bytes fit: with no budget figure (0) it logs "可用显存返回0!,直接返回true" and
    // answers true; otherwise true when half the bytes fit in the budget left over by the
    // device-texture bytes.
    bool CheckVideoMemory(std::uint32_t bytes);
    void AddDeviceTextureBytes(std::uint32_t bytes);
    // Never below 0.
    void RemoveDeviceTextureBytes(std::uint32_t bytes);
    std::uint32_t GetDeviceTextureBytes() const { return deviceTextureBytes_; }
    // The creators' road: CheckVideoMemory; when it refuses, the material manager is collected
    // and its garbage released, the textures only the manager holds are purged, the image manager
    // is collected and purged, and the check is asked again. On a yes the bytes are added. False,
    // adding nothing, when they still do not fit. Host thread.
    bool ReserveVideoMemory(std::uint32_t bytes);

    // ---- Texture pool ("LodConfig.xml"), under the pool lock ----
    // Reads the pool settings; the capability report calls it once the budget and the texture
    // scale level are set.
    void LoadTexturePoolConfig();
    std::uint32_t GetTexturePoolConfigLoads() const { return poolConfigLoads_; }
    // The pool's reference counting: the texture taken has lost the pool's reference, so with
    // only the manager's left it must be taken and held (SharedPtr) on the same thread before
    // anything purges; both run on the host thread.
    TextureBase* TakeFromTexturePool(std::int32_t level);
    bool ReturnToTexturePool(TextureBase* texture);
    // False, writing zeros, while the pool has no levels.
    bool GetTexturePoolLevel(std::int32_t* level, std::int32_t* format, std::int32_t* width,
                             std::int32_t* height);
    void ClearTexturePool();
    // The pool itself, for reading; take the pool lock's operations above to change it.
    const TexturePool& GetTexturePool() const { return pool_; }

    // ---- Textures and render targets ----
    // A new empty texture of the pool code and kind (4 a cube map, 5 an AnimationTexture, 6 an
    // AnimationBlendTexture, any other a 2D texture), held by the manager (count 1) and told to
    // list 1; null without a device.
    TextureBase* CreateTexture(std::uint32_t pool, int kind);
    // A plain system-memory texture of one level (X8R8G8B8 unless told), made on the device:
    // the staging texture render targets are read through. Null when it cannot be made.
    TextureBase* CreateStagingTexture(int width, int height, int format = 2);
    // A new render target (colour, or a depth-stencil surface when depthStencil is set) from the
    // device factory, entered into both lists (count 1, the manager's); null without a render
    // device.
    RenderTarget* CreateRenderTarget(bool depthStencil);
    // Enters a render target made by the device factory into both lists and tells list 3.
    // Null (nothing entered) for null.
    RenderTarget* AddRenderTarget(RenderTarget* target);
    // The first render target whose width, height, depth, format and type equal the request
    // and whose in-use flag is clear; no reference added; null when none.
    RenderTarget* FindFreeRenderTarget(int width, int height, int depth, int format, int type);
    // Deletes every texture whose count is 1; render targets also leave their list (list 4).
    void PurgeUnused() override;
    // The default texture (and a protected one) are never removed (true). A texture any other
    // holder references is refused with the error report "Can't forceremove this resource!"
    // (false); so is one the manager does not hold. Otherwise it is unlinked (a render target
    // also from its list, list 4), told to list 2 and deleted.
    virtual bool ForceRemove(TextureBase* texture);
    // VisitActive (name, count) for every texture, then for every render target.
    virtual void Enumerate(IResVisitor* visitor);
    // Default-pool textures release (lost) or rebuild (reset) their device objects.
    void OnLostDevice() override;
    void OnResetDevice() override;

    // The texture of the image manager's default image, made on first use; the manager keeps one
    // reference and returns it (holders take their own). Null when it cannot be made.
    TextureBase* GetDefaultTexture();
    // A texture ForceRemove never removes; the manager holds one reference. Null clears it.
    void SetProtectedTexture(TextureBase* texture);
    // The texture of "../resources/media/shaders/common/actor_ref.jpg", loaded on first use.
    TextureBase* GetActorReflectionTexture();
    // The image by path (a path with ".." or "/" by full path, else under the image manager's base
    // path); the default image when it is missing or did not load.
    void LoadImage(const std::string& path, SharedPtr<Image>& out);
    // The image manager builds the image from the stream's file, with the same fall-back. A null
    // stream is the assertion report "pstream==NULL" and leaves out unchanged.
    void LoadImageFromMem(const std::string& name, IZelStream* stream, SharedPtr<Image>& out);

    // ---- Scratch buffers of texture composition ----
    // Allocated and zeroed on first use; the same buffer every call; freed at shutdown.
    std::uint8_t* GetScratchBuffer4M();
    std::uint8_t* GetScratchBuffer2M();
    // Bytes from p to the end of the scratch buffer p lies in; 0 when it lies in neither.
    std::uint64_t GetScratchBufferRoom(const void* p);

    // ---- Listeners (name, thread id): 1 created, 2 removed, 3 render target created, 4 render
    // target removed. Add answers the slot index, reusing a freed slot. ----
    std::uint32_t AddListener(int list, ResourceListener listener);
    void RemoveListener(int list, std::uint32_t index);

    // ---- Monitor counts, under the list lock ----
    std::uint32_t GetActiveTextureCount();
    std::uint32_t GetUnreferencedTextureCount();
    std::uint32_t GetActiveTextureBytes();
    std::uint32_t GetUnreferencedTextureBytes();
    std::size_t GetTextureCount();
    std::size_t GetRenderTargetCount();
    // Before the render device goes: every render target releases its device objects and
    // forgets the device, so none reaches it afterwards (its destructor included).
    void DetachRenderTargets();
    bool Contains(const TextureBase* texture);
    // Whether the pointer is one of the render targets; under the render-target lock.
    bool ContainsRenderTarget(const void* target);

    // ---- What the host's texture and render-target proxies hand out ----
    // The first texture of the list whose name equals the normalised form of name; null when
    // none. No reference added. Under the list lock.
    TextureBase* FindByName(const std::string& name);
    // The first render target whose name equals name as given; null when none. No reference
    // added. Under the render-target lock.
    RenderTarget* FindRenderTargetByName(const std::string& name);
    // A new list of every texture (name, reference count, GetSizeInBytes) as it is now, in list
    // order; the manager owns it and deletes it at the next call or with itself. The entries
    // stay readable after their textures have gone. Under the list lock; host thread.
    IResList_Impl* GetResList();
    // The same for the render targets, under the render-target lock.
    IResList_Impl* GetRenderTargetResList();

    // The texture report appended to the file (null: "TexRes%s.txt" with the time string, in the
    // data root); nothing when it cannot be opened.
    void DumpResources(const char* fileName);
    // The same groups to a stream in the stream report's form.
    virtual void WriteResourceReport(std::ostream& stream);

    // --- Stage textures for materials -------------------------------------------------------
    // A pending stage (TSF_TEXTURE_PENDING) loads its texture (LoadTextureSlot), or takes the
    // current default-texture pointer when texture-load flag bit 1 or switch 39 asks for default
    // textures; the pending bit is cleared either way. Nothing for a stage that is not pending.
    void ResolveTextureSlot(TextureStage& stage);
    // Clears the pending bit and gives the stage the texture of the image of its name, or the
    // default texture when the image is missing, not loaded or yields no texture.
    void LoadTextureSlot(TextureStage& stage);
    // The texture of the image of the name (LoadImage), or the default texture when the image is
    // missing, not loaded or yields no texture. A name of six face images, each followed by '*'
    // ("a*b*c*d*e*f*", faces in the order +X, -X, +Y, -Y, +Z, -Z), gives a cube texture made from
    // the six images, shared by every stage of that name; a name that is not six faces, a face
    // that is missing or unreadable, or faces that differ in size or format give one log line and
    // the default texture. No reference added; null only when not even the default texture can
    // be made.
    TextureBase* LoadNamedTexture(const std::string& name);
    // Whether texture-load flag bit 1 or switch 39 asks for the default texture in place of every
    // texture a material names.
    static bool WantsDefaultTextures();

private:
    // The report's groups: Client, UI, Effect, Scene, Actor, Other.
    static int GroupOf(const std::string& name);
    std::vector<std::vector<TextureBase*>> CollectGroups();
    void Tell(int list, const TextureBase* texture);
    // Unlinks a texture found in the list (list lock held); render targets leave their list and
    // list 4 is told.
    void Unlink(std::size_t index);
    std::uint8_t* ScratchBuffer(int which);
    // The cube of a name of face images (LoadNamedTexture).
    TextureBase* LoadCubeTexture(const std::string& name);

    IDirect3DDevice9* device_ = nullptr;
    RenderDevice* renderDevice_ = nullptr;
    locksection listLock_;
    std::vector<TextureBase*> textures_;
    locksection targetLock_;
    std::vector<RenderTarget*> targets_;
    std::uint32_t videoMemoryBudget_ = 0x2000000;
    std::uint32_t deviceTextureBytes_ = 0;
    std::uint32_t poolConfigLoads_ = 0;
    TextureBase* defaultTexture_ = nullptr;
    TextureBase* protectedTexture_ = nullptr;
    SharedPtr<Image> actorReflectionImage_;
    TextureBase* actorReflectionTexture_ = nullptr;
    locksection poolLock_;
    TexturePool pool_;
    locksection scratchLocks_[2];
    std::vector<std::uint8_t> scratch_[2];
    std::vector<ResourceListener> listeners_[4];
    std::unique_ptr<IResList_Impl> textureList_;
    std::unique_ptr<IResList_Impl> targetList_;
};

}  // namespace Zel
