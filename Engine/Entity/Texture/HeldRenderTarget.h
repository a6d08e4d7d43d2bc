// A render target the engine's own passes keep for as long as they run (the projective shadow's
// maps, the post effects' screen and motion targets): one reference, and the target flagged in
// use, so that TextureManager::FindFreeRenderTarget never hands it to another pass asking for a
// target of the same size, format and usage. Giving it back clears the flag (only when this
// holder set it) and the pool may hand the target out again.
//
// Threads: the render thread, as the passes that hold the targets.
#pragma once

#include "Core/SharedPtr.h"
#include "Entity/Texture/RenderTarget.h"

namespace Zel {

class HeldRenderTarget {
public:
    HeldRenderTarget() = default;
    // Gives back what it holds.
    ~HeldRenderTarget() { Reset(); }
    HeldRenderTarget(const HeldRenderTarget&) = delete;
    HeldRenderTarget& operator=(const HeldRenderTarget&) = delete;

    // Gives back the target held (its reference and, when set here, its in-use flag), then holds
    // target; null holds nothing. Assigning the target already held changes nothing.
    void Assign(RenderTarget* target);
    void Reset() { Assign(nullptr); }

    RenderTarget* Get() const { return target_.Get(); }
    RenderTarget* operator->() const { return target_.Get(); }
    explicit operator bool() const { return static_cast<bool>(target_); }

private:
    SharedPtr<RenderTarget> target_;
    // Whether this holder set the in-use flag: a target already flagged (a host's) keeps it.
    bool marked_ = false;
};

}  // namespace Zel
