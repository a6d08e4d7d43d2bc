// The demo host. It does what a game host does: loads libZelEngine.so with dlopen, finds the
// exports, creates the renderer and deletes it again, printing each step. It uses only the public
// interface headers.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "Interface/ZelEngine.h"

namespace {

void Usage() { std::printf("usage: zel_demo [--lib path/to/libZelEngine.so] [--out dir]\n"); }

}  // namespace

int main(int argc, char** argv) {
    std::string libraryPath = ZEL_DEFAULT_LIBRARY;
    std::string outDir = "out";
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--lib") && i + 1 < argc) {
            libraryPath = argv[++i];
        } else if (!std::strcmp(argv[i], "--out") && i + 1 < argc) {
            outDir = argv[++i];
        } else {
            Usage();
            return 2;
        }
    }

    std::printf("zel_demo: loading %s\n", libraryPath.c_str());
    void* module = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::printf("zel_demo: dlopen failed: %s\n", dlerror());
        return 1;
    }
    auto create = reinterpret_cast<PFN_CreateRenderer>(dlsym(module, "CreateRenderer"));
    auto destroy = reinterpret_cast<PFN_DeleteRenderer>(dlsym(module, "DeleteRenderer"));
    auto proxies = reinterpret_cast<PFN_CreateIProxyFactory>(dlsym(module, "CreateIProxyFactory"));
    std::printf("zel_demo: exports CreateRenderer=%s DeleteRenderer=%s CreateIProxyFactory=%s\n",
                create ? "found" : "missing", destroy ? "found" : "missing",
                proxies ? "found" : "missing");
    if (!create || !destroy || !proxies) {
        dlclose(module);
        return 1;
    }

    ZelI::IRender* render = create();
    std::printf("zel_demo: CreateRenderer -> %s\n", render ? "IRender" : "null");
    int released = destroy();
    std::printf("zel_demo: DeleteRenderer -> %d\n", released);
    dlclose(module);
    std::printf("zel_demo: done (frames go to %s/)\n", outDir.c_str());
    return 0;
}
