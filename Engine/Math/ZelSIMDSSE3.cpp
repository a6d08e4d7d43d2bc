#include "Math/ZelSIMDSSE3.h"

namespace Zel {

const char* ZelSIMD_SSE3::GetName() const {
    return "MMX & SSE & SSE2 & SSE3";
}

}  // namespace Zel
