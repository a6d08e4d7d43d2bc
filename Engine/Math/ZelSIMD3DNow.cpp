#include "Math/ZelSIMD3DNow.h"

namespace Zel {

const char* ZelSIMD_3DNow::GetName() const {
    return "MMX & 3DNow!";
}

// As the MMX copy: the runtime's copy below the last-level cache, streaming stores beyond it.
void ZelSIMD_3DNow::CopyMemory(void* dst, const void* src, int byteCount) const {
    ZelSIMD_MMX::CopyMemory(dst, src, byteCount);
}

}  // namespace Zel
