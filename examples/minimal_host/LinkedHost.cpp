// The smallest host that links the renderer instead of loading it: creates it, reads its system
// summary and deletes it. Exits 0 when every step worked.
#include <cstdio>

#include "Interface/IRender.h"
#include "Interface/ZelEngine.h"

int main() {
    ZelI::IRender* render = CreateRenderer();
    if (!render) {
        std::fprintf(stderr, "CreateRenderer answered null\n");
        return 1;
    }
    std::printf("renderer created (system info %u)\n",
                render->GetSystemInfo() ? render->GetSystemInfo()->value0 : 0u);
    DeleteRenderer();
    std::printf("renderer deleted\n");
    return 0;
}
