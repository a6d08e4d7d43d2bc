// Named configuration values for a host tool, and the character configuration files of one sex.
// Owned by the global environment. Host thread.
#pragma once

#include <cstdint>

namespace ZelI {

class IGlobalConfigProxy {
public:
    // Only "EnableD3D9Ex" (exact case) is known: prefer an Ex device at the next window creation.
    // Other names set nothing and read 0.
    virtual void SetValue(const char* name, std::int32_t value) = 0;
    virtual std::int32_t GetValue(const char* name) = 0;
    // Load the pinch (bone sculpting) or makeup configuration of one sex from path (null: the
    // sex's default file); true when it was read.
    virtual bool LoadPinchConfig(bool male, const char* path) = 0;
    virtual bool LoadMakeupConfig(bool male, const char* path) = 0;

protected:
    ~IGlobalConfigProxy() = default;
};

}  // namespace ZelI
