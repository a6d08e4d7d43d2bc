// The wrappers through which the host holds textures and render targets, and the binder that
// picks one for a texture's kind. Releasing either hands the texture back to the texture manager
// when nothing else holds it.
#pragma once

#include "Entity/Texture/RenderTarget.h"
#include "Entity/Texture/TextureBase.h"
#include "Interface/IRenderTarget.h"
#include "Interface/ITexture.h"
#include "Render/RenderCore/RCInterfaceImpl.h"

namespace Zel {

// The ITexture operations over a bound TextureBase (or a class derived from it).
template <class IX, class X, class W>
class ITextureImplRC : public IObjectImplRC<IX, X, W> {
public:
    int GetWidth() override { return this->Bound() ? this->Bound()->GetWidth() : 0; }
    int GetHeight() override { return this->Bound() ? this->Bound()->GetHeight() : 0; }
    int GetType() override;
    int Reserved8() override { return 0; }
    int Reserved9() override { return 0; }
    void* Lock(int level, std::int32_t* pitch) override;
    void Unlock() override;
    int AddRef() override;
    int ReleaseRef() override;
    bool SaveToFile(const char* path) override;
    void* GetDC() override;
    void ReleaseDC(void* dc) override;
    bool ReloadFromFile(int width, int height, bool asynchronous) override;

protected:
    // The lock option Lock uses.
    virtual std::uint32_t LockMode() const { return 0; }
    // With only the manager's reference left, the manager removes the texture.
    void DetachStep(X* impl) override { impl->ReleaseIfUnused(); }
};

class TextureImplRC final : public ITextureImplRC<ZelI::ITexture, TextureBase, TextureImplRC> {};

class RenderTargetImplRC final
    : public ITextureImplRC<ZelI::IRenderTarget, RenderTarget, RenderTargetImplRC> {
public:
    // Host targets are drawn into only after the render window exists (see IRenderImpl).
    using AllowedFunction = bool (*)();
    static void SetAllowedCheck(AllowedFunction allowed) { allowed_ = allowed; }

    // Released at once whatever the queue mode (Detach): the depth target first, then the
    // colour target.
    int Release() override;
    void Detach() override;
    int AddRef() override;
    int ReleaseRef() override;
    void BeginRendering(int slot) override;
    void EndRendering() override;

    // The depth target released with this one; owned through the texture manager's count.
    void SetDepthTarget(RenderTarget* depth) { depth_ = depth; }
    RenderTarget* GetDepthTarget() const { return depth_; }
    void OnOwnerGone() override;

protected:
    // A target is locked with the second name of a normal lock.
    std::uint32_t LockMode() const override;

private:
    RenderTarget* depth_ = nullptr;
    static inline AllowedFunction allowed_ = nullptr;
};

ZelI::ITexture* BindTextureInterface(RCInterfaceCarrier<ZelI::ITexture>* carrier);

// True while a host render target is bound between BeginRendering and EndRendering.
bool IsHostTargetBound();

}  // namespace Zel
