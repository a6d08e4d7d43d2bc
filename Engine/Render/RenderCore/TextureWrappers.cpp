#include "Render/RenderCore/TextureWrappers.h"

#include <atomic>

#include "Core/PathUtils.h"
#include "Core/ScopedLock.h"
#include "Render/RenderCodes.h"

namespace Zel {
namespace {

std::atomic<bool> g_hostTargetBound{false};

}  // namespace

bool IsHostTargetBound() {
    return g_hostTargetBound.load();
}

template <class IX, class X, class W>
int ITextureImplRC<IX, X, W>::GetType() {
    X* texture = this->Bound();
    if (!texture)
        return 0;
    if (texture->IsRenderTarget())
        return 0;
    switch (texture->GetType()) {
        case 1:
            return 0;
        case 3:
            return 2;
        case 4:
            return 3;
        default:
            return 1;
    }
}

template <class IX, class X, class W>
void* ITextureImplRC<IX, X, W>::Lock(int level, std::int32_t* pitch) {
    X* texture = this->Bound();
    if (!texture)
        return nullptr;
    ScopedLock lock(threadmng::kMainLock);
    void* bits = nullptr;
    std::int32_t rowPitch = 0;
    if (!texture->LockLevel(level, &rowPitch, &bits, nullptr, LockMode()))
        return nullptr;
    if (pitch)
        *pitch = rowPitch;
    return bits;
}

template <class IX, class X, class W>
void ITextureImplRC<IX, X, W>::Unlock() {
    if (X* texture = this->Bound()) {
        ScopedLock lock(threadmng::kMainLock);
        texture->UnlockLevel();
    }
}

template <class IX, class X, class W>
int ITextureImplRC<IX, X, W>::AddRef() {
    X* texture = this->Bound();
    if (!texture)
        return 0;
    ScopedLock lock(threadmng::kMainLock);
    return texture->RefCountedObj::AddRef();
}

template <class IX, class X, class W>
int ITextureImplRC<IX, X, W>::ReleaseRef() {
    X* texture = this->Bound();
    if (!texture)
        return 0;
    ScopedLock lock(threadmng::kMainLock);
    return texture->DecRef();
}

template <class IX, class X, class W>
bool ITextureImplRC<IX, X, W>::SaveToFile(const char* path) {
    X* texture = this->Bound();
    if (!texture || !path)
        return false;
    return texture->SaveToFile(path, ImageKindFromPath(path));
}

template <class IX, class X, class W>
void* ITextureImplRC<IX, X, W>::GetDC() {
    X* texture = this->Bound();
    return texture ? static_cast<void*>(texture->GetDC()) : nullptr;
}

template <class IX, class X, class W>
void ITextureImplRC<IX, X, W>::ReleaseDC(void* dc) {
    if (X* texture = this->Bound())
        texture->ReleaseDC(static_cast<HDC>(dc));
}

template <class IX, class X, class W>
bool ITextureImplRC<IX, X, W>::ReloadFromFile(int width, int height, bool asynchronous) {
    X* texture = this->Bound();
    return texture && texture->ReloadFromFile(width, height, asynchronous);
}

template class ITextureImplRC<ZelI::ITexture, TextureBase, TextureImplRC>;
template class ITextureImplRC<ZelI::IRenderTarget, RenderTarget, RenderTargetImplRC>;

int RenderTargetImplRC::Release() {
    Detach();
    return 0;
}

void RenderTargetImplRC::Detach() {
    if (depth_) {
        depth_->ReleaseIfUnused();
        depth_ = nullptr;
    }
    RenderTarget* target = Bound();
    if (!target)
        return;
    Carrier(target)->SetBoundInterface(nullptr, nullptr);
    target->ReleaseIfUnused();
    ClearImpl();
    Recycle();
}

void RenderTargetImplRC::OnOwnerGone() {
    depth_ = nullptr;
    ITextureImplRC::OnOwnerGone();
}

std::uint32_t RenderTargetImplRC::LockMode() const {
    return LO_NORMAL2;
}

int RenderTargetImplRC::AddRef() {
    RenderTarget* target = Bound();
    if (!target)
        return 0;
    if (depth_)
        depth_->RefCountedObj::AddRef();
    return target->RefCountedObj::AddRef();
}

int RenderTargetImplRC::ReleaseRef() {
    RenderTarget* target = Bound();
    if (!target)
        return 0;
    if (depth_)
        depth_->DecRef();
    return target->DecRef();
}

void RenderTargetImplRC::BeginRendering(int slot) {
    RenderTarget* target = Bound();
    if (!target || slot < 0 || !allowed_ || !allowed_())
        return;
    g_hostTargetBound.store(true);
    target->Bind(static_cast<std::uint32_t>(slot));
    if (depth_)
        depth_->Bind(0);
}

void RenderTargetImplRC::EndRendering() {
    RenderTarget* target = Bound();
    if (!target || !allowed_ || !allowed_())
        return;
    g_hostTargetBound.store(false);
    target->Unbind();
    if (depth_)
        depth_->Unbind();
}

ZelI::ITexture* BindTextureInterface(RCInterfaceCarrier<ZelI::ITexture>* carrier) {
    if (auto* target = dynamic_cast<RenderTarget*>(carrier))
        return RenderTargetImplRC::Bind(target);
    if (auto* texture = dynamic_cast<TextureBase*>(carrier))
        return TextureImplRC::Bind(texture);
    return nullptr;
}

}  // namespace Zel
