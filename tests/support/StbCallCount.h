// Counts the calls that reach the system's stb_image decoder: this header defines
// stbi_info_from_memory and stbi_load_from_memory, which the program's own code (the engine and
// the platform layers linked into it) then calls in place of the library's, and forwards each to
// the library's definition. Include it in exactly one source file of a test program of its own
// (link "dl"), so that no other program's calls go through it.
#pragma once

#include <dlfcn.h>
#include <stb/stb_image.h>

#include <atomic>
#include <cstdlib>

namespace ZelTest {

inline std::atomic<int>& StbCalls() {
    static std::atomic<int> calls{0};
    return calls;
}

// The library's definition of name, looked up past this program's own.
template <class Function>
Function NextStbDefinition(const char* name) {
    void* found = dlsym(RTLD_NEXT, name);
    if (found == nullptr)
        std::abort();
    return reinterpret_cast<Function>(found);
}

}  // namespace ZelTest

extern "C" int stbi_info_from_memory(stbi_uc const* buffer, int len, int* x, int* y, int* comp) {
    ++ZelTest::StbCalls();
    using Info = int (*)(stbi_uc const*, int, int*, int*, int*);
    static const Info next = ZelTest::NextStbDefinition<Info>("stbi_info_from_memory");
    return next(buffer, len, x, y, comp);
}

extern "C" stbi_uc* stbi_load_from_memory(stbi_uc const* buffer, int len, int* x, int* y,
                                          int* channels_in_file, int desired_channels) {
    ++ZelTest::StbCalls();
    using Load = stbi_uc* (*)(stbi_uc const*, int, int*, int*, int*, int);
    static const Load next = ZelTest::NextStbDefinition<Load>("stbi_load_from_memory");
    return next(buffer, len, x, y, channels_in_file, desired_channels);
}
