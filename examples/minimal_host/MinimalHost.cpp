// The smallest host: loads the installed renderer with dlopen, creates it, reads its system
// summary and deletes it. Exits 0 when every step worked. Run it in a folder it may write its
// log folder (EngineLog/) into.
#include <dlfcn.h>

#include <cstdio>

#include "Interface/IRender.h"
#include "Interface/ZelEngine.h"

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : ZEL_LIBRARY;
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
        return 1;
    }
    auto create = reinterpret_cast<PFN_CreateRenderer>(dlsym(library, "CreateRenderer"));
    auto destroy = reinterpret_cast<PFN_DeleteRenderer>(dlsym(library, "DeleteRenderer"));
    if (!create || !destroy) {
        std::fprintf(stderr, "%s lacks CreateRenderer or DeleteRenderer\n", path);
        return 1;
    }
    ZelI::IRender* render = create();
    if (!render) {
        std::fprintf(stderr, "CreateRenderer answered null\n");
        return 1;
    }
    std::printf("renderer created from %s (system info %u)\n", path,
                render->GetSystemInfo() ? render->GetSystemInfo()->value0 : 0u);
    destroy();
    dlclose(library);
    std::printf("renderer deleted\n");
    return 0;
}
