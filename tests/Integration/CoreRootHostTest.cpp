// The library as a host uses it: loaded with dlopen from a fresh working directory, the three
// exports found by name, the renderer created, its window opened and the renderer deleted (twice,
// as a careless host might), and the library unloaded.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

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
    EXPECT_EQ(render->CreateRenderWindow(&params), -101);
    EXPECT_EQ(render->GetSystemInfo()->value0, 100u);
    EXPECT_EQ(proxies(), nullptr);
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

}  // namespace
