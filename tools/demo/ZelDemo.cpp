// The demo host. It does what a game host does: loads libZelEngine.so with dlopen, finds the
// exports, creates the renderer, opens the render window, deletes the renderer again and says
// where the library wrote its log, printing each step. It uses only the public interface headers.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "Interface/IRender.h"
#include "Interface/ZelEngine.h"

namespace {

void Usage() { std::printf("usage: zel_demo [--lib path/to/libZelEngine.so] [--out dir]\n"); }

// The newest log file the library wrote under the working directory; empty when there is none.
std::string NewestLog() {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path newest;
    fs::file_time_type newestTime{};
    for (const auto& entry : fs::directory_iterator("EngineLog", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("Engine_", 0) != 0 || entry.path().extension() != ".log") continue;
        const auto time = entry.last_write_time(ec);
        if (newest.empty() || time > newestTime) {
            newest = entry.path();
            newestTime = time;
        }
    }
    return newest.empty() ? std::string() : fs::absolute(newest, ec).string();
}

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
    if (render) {
        ZelI::RenderWindowParams params;
        params.width = 800;
        params.height = 600;
        const int result = render->CreateRenderWindow(&params);
        std::printf("zel_demo: CreateRenderWindow -> %d%s\n", result,
                    result == 100 ? "" : " (no render system yet)");
    }
    int released = destroy();
    std::printf("zel_demo: DeleteRenderer -> %d\n", released);
    dlclose(module);
    const std::string log = NewestLog();
    std::printf("zel_demo: log file %s\n", log.empty() ? "(none written)" : log.c_str());
    std::printf("zel_demo: done (frames go to %s/)\n", outDir.c_str());
    return 0;
}
