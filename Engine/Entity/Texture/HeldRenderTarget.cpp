#include "Entity/Texture/HeldRenderTarget.h"

namespace Zel {

void HeldRenderTarget::Assign(RenderTarget* target) {
    if (target == target_.Get())
        return;
    if (target_ && marked_)
        target_->SetFlags(target_->GetFlags() & ~std::uint32_t(TextureBase::FLAG_IN_USE));
    target_.Assign(target);
    marked_ = target && !(target->GetFlags() & TextureBase::FLAG_IN_USE);
    if (marked_)
        target->SetFlags(target->GetFlags() | TextureBase::FLAG_IN_USE);
}

}  // namespace Zel
