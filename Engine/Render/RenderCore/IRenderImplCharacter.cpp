// The root interface's rows that hand out the character wrappers.
#include "Render/RenderCore/IRenderImpl.h"
#include "Render/RenderCore/SkeletonWrappers.h"

namespace Zel {

ZelI::ISharedActionManager* IRenderImpl::GetSharedActionManager() {
    // Stateless: one manager serves every render object.
    static ISharedActionManagerImplRC manager;
    return &manager;
}

}  // namespace Zel
