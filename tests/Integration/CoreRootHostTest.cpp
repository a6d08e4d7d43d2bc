// The library as a host uses it: loaded with dlopen from a fresh working directory, the three
// exports found by name, the renderer created, its window opened and the renderer deleted (twice,
// as a careless host might), and the library unloaded.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>

#include "Interface/IProxyFactory.h"
#include "Interface/IRender.h"
#include "Interface/ZelEngine.h"

namespace fs = std::filesystem;

namespace {

TEST(CoreRootHostTest, LoadCreateOpenDeleteUnload) {
    char pattern[] = "/tmp/zelhostXXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    std::ofstream(dir / "EngineConfig.txt") << "draw actor off\r\n";

    void* module = dlopen(ZEL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto create = reinterpret_cast<PFN_CreateRenderer>(dlsym(module, "CreateRenderer"));
    auto destroy = reinterpret_cast<PFN_DeleteRenderer>(dlsym(module, "DeleteRenderer"));
    auto proxies = reinterpret_cast<PFN_CreateIProxyFactory>(dlsym(module, "CreateIProxyFactory"));
    ASSERT_TRUE(create && destroy && proxies);

    ZelI::IRender* render = create();
    ASSERT_NE(render, nullptr);
    ZelI::RenderWindowParams params;
    EXPECT_EQ(render->CreateRenderWindow(&params), -201);  // no data tree above the directory
    EXPECT_EQ(render->GetSystemInfo()->value0, 100u);
    ZelI::IProxyFactory* factory = proxies();
    ASSERT_NE(factory, nullptr);
    EXPECT_NE(factory->GetGlobalEnvironment(), nullptr);
    delete factory;
    EXPECT_EQ(destroy(), 1);  // the compiler module was released
    EXPECT_EQ(destroy(), 0);
    EXPECT_EQ(create(), nullptr);
    dlclose(module);

    std::vector<fs::path> logs;
    for (const auto& entry : fs::directory_iterator(dir / "EngineLog"))
        logs.push_back(entry.path());
    ASSERT_EQ(logs.size(), 1u);
    std::ifstream in(logs[0]);
    std::string line, last;
    while (std::getline(in, line)) last = line;
    EXPECT_NE(last.find(":ENGINE_INIT:DeleteRenderer End."), std::string::npos) << last;

    fs::current_path(previous);
    fs::remove_all(dir);
}

// Why the child below stopped; 0 when every step held.
enum ReloadFailure : int {
    kReloadOk = 0,
    kFirstLoadFailed = 10,
    kFirstRendererMissing,
    kStillLoadedAfterClose,
    kHandlerLeftBehind,
    kSecondLoadFailed,
    kSecondRendererMissing,
    kStillLoadedAtTheEnd,
};

int CreateDeleteClose(bool expectFresh) {
    void* module = dlopen(ZEL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!module)
        return expectFresh ? kFirstLoadFailed : kSecondLoadFailed;
    auto create = reinterpret_cast<PFN_CreateRenderer>(dlsym(module, "CreateRenderer"));
    auto destroy = reinterpret_cast<PFN_DeleteRenderer>(dlsym(module, "DeleteRenderer"));
    // A library that stayed loaded keeps its shut-down state and answers null here.
    ZelI::IRender* render = create ? create() : nullptr;
    if (!render || !destroy)
        return expectFresh ? kFirstRendererMissing : kSecondRendererMissing;
    ZelI::RenderWindowParams params;
    render->CreateRenderWindow(&params);  // starts the worker, loads the compiler module
    destroy();
    dlclose(module);
    return kReloadOk;
}

int LoadUnloadLoad() {
    if (int failure = CreateDeleteClose(true))
        return failure;
    if (dlopen(ZEL_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD))
        return kStillLoadedAfterClose;
    if (std::get_new_handler())
        return kHandlerLeftBehind;
    if (int failure = CreateDeleteClose(false))
        return failure;
    return dlopen(ZEL_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD) ? kStillLoadedAtTheEnd : kReloadOk;
}

TEST(CoreRootHostTest, DlcloseUnloadsTheLibraryAndTheNextLoadStartsAfresh) {
    char pattern[] = "/tmp/zelhostXXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    ASSERT_EQ(std::get_new_handler(), nullptr);
    // In a child, so that whatever the library leaves loaded does not reach this process.
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        fs::current_path(dir);
        ::_exit(LoadUnloadLoad());
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), kReloadOk);
    fs::remove_all(dir);
}

}  // namespace
