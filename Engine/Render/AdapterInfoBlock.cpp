#include "Render/AdapterInfoBlock.h"

namespace Zel {

AdapterInfoBlock& GetAdapterInfoBlock() {
    static AdapterInfoBlock block;
    return block;
}

}  // namespace Zel
